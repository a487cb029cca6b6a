#include "PipeTuning.h"

#include "utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using Note = PipeTuning::ReferenceNote;

PipeTuning tuningAt(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return tuning;
}

Note classify(PipeTuning tuning, float frequency_Hz, float* centre = nullptr, float* cents = nullptr)
{
    float c = -1.0f;
    float d = -1.0f;
    const Note note = tuning.calculate(frequency_Hz, c, d);
    if (centre)
        *centre = c;
    if (cents)
        *cents = d;
    return note;
}

TEST(PipeTuning, DefaultsAreStandardRatiosAt440)
{
    const PipeTuning tuning;
    EXPECT_EQ(tuning.tuningScheme(), PipeTuning::Standard);
    EXPECT_EQ(tuning.lowA_Hz(), 440.0f);
    const std::vector<double> expected = {0.875, 1.0, 1.125, 1.25, 4.0 / 3.0, 1.5, 5.0 / 3.0, 1.75, 2.0};
    EXPECT_EQ(tuning.noteRatios(), expected);
}

TEST(PipeTuning, ClassifiesDronesAndChanterNotes)
{
    float centre = 0.0f;
    float cents = 0.0f;
    EXPECT_EQ(classify(PipeTuning(), 440.0f, &centre, &cents), PipeTuning::LowA);
    EXPECT_EQ(centre, 440.0f);
    EXPECT_EQ(cents, 0.0f);
    EXPECT_EQ(classify(PipeTuning(), 110.0f, &centre), PipeTuning::Bass);
    EXPECT_EQ(centre, 110.0f);
    EXPECT_EQ(classify(PipeTuning(), 220.0f, &centre), PipeTuning::Tenor);
    EXPECT_EQ(centre, 220.0f);

    EXPECT_EQ(classify(tuningAt(480.0f), 960.0f, &centre), PipeTuning::HighA);
    EXPECT_EQ(centre, 960.0f);
    EXPECT_EQ(classify(tuningAt(480.0f), 1100.0f, &centre, &cents), PipeTuning::Unknown);
    EXPECT_EQ(centre, 0.0f);
    EXPECT_EQ(cents, 0.0f);
}

TEST(PipeTuning, EveryStandardCentreClassifiesAsItsOwnNote)
{
    for (float lowA_Hz : {440.0f, 470.0f, 480.0f, 493.0f}) {
        PipeTuning tuning = tuningAt(lowA_Hz);
        for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies()) {
            float centre = 0.0f;
            float cents = 1.0f;
            EXPECT_EQ(tuning.calculate(centre_Hz, centre, cents), note) << lowA_Hz << " " << note;
            EXPECT_NEAR(cents, 0.0f, 0.01f);
        }
    }
}

TEST(PipeTuning, ReportsDeviationInCentsWithTheHouseConstant)
{
    float cents = 0.0f;
    classify(PipeTuning(), 440.0f * std::pow(2.0f, 20.0f / 1200.0f), nullptr, &cents);
    // The constant 3986.4460836 is a little larger than 1200 / log10(2).
    EXPECT_NEAR(cents, 20.0 * 3986.4460836 / 3986.3137, 0.002);
    EXPECT_GT(cents, 20.0f);
    classify(PipeTuning(), 430.0f, nullptr, &cents);
    EXPECT_LT(cents, 0.0f);
}

TEST(PipeTuning, MidpointBetweenNeighboursGoesToTheUpperNote)
{
    // Low A - B midpoint: ratio 1.0625, exactly 510 Hz at a Low A of 480.
    EXPECT_EQ(classify(tuningAt(480.0f), 510.0f), PipeTuning::B);
    EXPECT_EQ(classify(tuningAt(480.0f), std::nextafter(510.0f, 0.0f)), PipeTuning::LowA);

    // C - D midpoint with a calibrated D of ratio 1.375: ratio 1.3125, 630 Hz.
    PipeTuning calibrated;
    calibrated.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.0f}, {PipeTuning::D, 660.0f}});
    EXPECT_EQ(classify(calibrated, 630.0f), PipeTuning::D);
    EXPECT_EQ(classify(calibrated, std::nextafter(630.0f, 0.0f)), PipeTuning::C);
}

TEST(PipeTuning, WindowBoundariesAreExclusive)
{
    // Note numbers (Low A = 69): 39, 51, 63 and 83 belong to no window,
    // 64..66 lie in the gap below the chanter.
    auto atNote = [](double m) { return static_cast<float>(440.0 * std::pow(2.0, (m - 69.0) / 12.0)); };
    EXPECT_EQ(classify(PipeTuning(), atNote(39.2)), PipeTuning::Bass);
    EXPECT_EQ(classify(PipeTuning(), atNote(38.8)), PipeTuning::Unknown);
    EXPECT_EQ(classify(PipeTuning(), atNote(50.8)), PipeTuning::Bass);
    EXPECT_EQ(classify(PipeTuning(), atNote(51.2)), PipeTuning::Tenor);
    EXPECT_EQ(classify(PipeTuning(), atNote(62.8)), PipeTuning::Tenor);
    EXPECT_EQ(classify(PipeTuning(), atNote(63.2)), PipeTuning::Unknown);
    EXPECT_EQ(classify(PipeTuning(), atNote(65.8)), PipeTuning::Unknown);
    EXPECT_EQ(classify(PipeTuning(), atNote(66.2)), PipeTuning::LowG);
    EXPECT_EQ(classify(PipeTuning(), atNote(82.8)), PipeTuning::HighA);
    EXPECT_EQ(classify(PipeTuning(), atNote(83.2)), PipeTuning::Unknown);
}

TEST(PipeTuning, ZeroLowAActsAs440)
{
    const PipeTuning zero = tuningAt(0.0f);
    EXPECT_EQ(zero.getNoteCentreFrequencies(), PipeTuning().getNoteCentreFrequencies());
    EXPECT_EQ(classify(zero, 495.0f), PipeTuning::B);
}

TEST(PipeTuning, BadFrequenciesAreUnknown)
{
    for (float frequency : {0.0f, -440.0f, NAN, INFINITY}) {
        float centre = 1.0f;
        float cents = 1.0f;
        PipeTuning tuning;
        EXPECT_EQ(tuning.calculate(frequency, centre, cents), PipeTuning::Unknown);
        EXPECT_EQ(centre, 0.0f);
        EXPECT_EQ(cents, 0.0f);
    }
}

TEST(PipeTuning, CentreFrequenciesFollowLowA)
{
    const PipeTuning tuning = tuningAt(480.0f);
    EXPECT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowG), 420.0f);
    EXPECT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::D), 640.0f);
    EXPECT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA), 960.0f);
    EXPECT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::Tenor), 0.0f);
    const auto centres = tuning.getNoteCentreFrequencies();
    ASSERT_EQ(centres.size(), 9u);
    EXPECT_EQ(centres.begin()->first, PipeTuning::LowG);
    EXPECT_EQ(centres.rbegin()->first, PipeTuning::HighA);
}

TEST(PipeTuning, CalibratedSchemeTakesMeasuredFrequencies)
{
    PipeTuning tuning;
    tuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.0f}, {PipeTuning::D, 640.0f}});
    EXPECT_EQ(tuning.tuningScheme(), PipeTuning::Calibrated);
    EXPECT_EQ(tuning.lowA_Hz(), 480.0f);
    std::vector<double> expected = PipeTuning::standardRatios();
    expected[4] = static_cast<double>(640.0f / 480.0f);
    EXPECT_EQ(tuning.noteRatios(), expected);
    EXPECT_NE(tuning.noteRatios()[4], 4.0 / 3.0); // single precision, not double

    // Zero entries and non-melody notes are ignored; the Low A ratio stays 1.
    tuning.setTuningScheme(PipeTuning::Calibrated,
                           {{PipeTuning::LowA, 0.0f}, {PipeTuning::E, 0.0f}, {PipeTuning::Tenor, 300.0f},
                            {PipeTuning::HighA, 950.0f}});
    EXPECT_EQ(tuning.lowA_Hz(), 480.0f);
    EXPECT_EQ(tuning.noteRatios()[1], 1.0);
    EXPECT_EQ(tuning.noteRatios()[5], 1.5);
    EXPECT_EQ(tuning.noteRatios()[8], static_cast<double>(950.0f / 480.0f));
}

TEST(PipeTuning, EmptyCalibrationAndStandardSchemeRestoreStandardRatios)
{
    PipeTuning tuning;
    tuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 470.0f}, {PipeTuning::F, 800.0f}});
    tuning.setTuningScheme(PipeTuning::Calibrated, {});
    EXPECT_EQ(tuning.noteRatios(), PipeTuning::standardRatios());
    EXPECT_EQ(tuning.lowA_Hz(), 470.0f);

    tuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::F, 800.0f}});
    tuning.setTuningScheme(PipeTuning::Standard, {{PipeTuning::F, 800.0f}, {PipeTuning::LowA, 500.0f}});
    EXPECT_EQ(tuning.noteRatios(), PipeTuning::standardRatios());
    EXPECT_EQ(tuning.lowA_Hz(), 470.0f);
}

TEST(PipeTuning, UnusedSchemeValuesAreOnlyStored)
{
    PipeTuning tuning;
    tuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::F, 800.0f}});
    const std::vector<double> ratios = tuning.noteRatios();
    tuning.setTuningScheme(static_cast<PipeTuning::TuningScheme>(1), {{PipeTuning::LowA, 500.0f}});
    EXPECT_EQ(static_cast<int>(tuning.tuningScheme()), 1);
    EXPECT_EQ(tuning.noteRatios(), ratios);
    EXPECT_EQ(tuning.lowA_Hz(), 440.0f);
}

TEST(PipeTuning, CalibrationWithoutLowADividesByTheDefaultLowA)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(0.0f);
    tuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::D, 600.0f}});
    EXPECT_EQ(tuning.noteRatios()[4], static_cast<double>(600.0f / 440.0f));
}

TEST(PipeTuning, ReferenceNoteConversions)
{
    for (int index = 0; index < 9; ++index) {
        const Note note = static_cast<Note>(index + 3);
        EXPECT_EQ(PipeTuning::noteIndexToReferenceNote(index), note);
        EXPECT_EQ(PipeTuning::referenceNoteToNoteIndex(note), index);
        EXPECT_EQ(meoldyNoteToOrdinal(note), index);
        EXPECT_EQ(ordinalToReferenceMelodyNote(index), note);
        EXPECT_EQ(referenceNoteToNoteName(note), static_cast<PipeNoteName>(index + 1));
        EXPECT_EQ(noteNameToReferenceNote(static_cast<PipeNoteName>(index + 1)), note);
    }
    for (int index : {-1, 9, 100}) {
        EXPECT_EQ(PipeTuning::noteIndexToReferenceNote(index), PipeTuning::Unknown);
        EXPECT_EQ(ordinalToReferenceMelodyNote(index), PipeTuning::Unknown);
    }
    for (Note note : {PipeTuning::Unknown, PipeTuning::Bass, PipeTuning::Tenor, static_cast<Note>(12)}) {
        EXPECT_EQ(PipeTuning::referenceNoteToNoteIndex(note), -1);
        EXPECT_EQ(referenceNoteToNoteName(note), Unknown);
    }
    EXPECT_EQ(noteNameToReferenceNote(dg), PipeTuning::Unknown);
    EXPECT_EQ(noteNameToReferenceNote(strla), PipeTuning::Unknown);
    EXPECT_EQ(noteNameToReferenceNote(Unknown), PipeTuning::Unknown);
}

TEST(PipeTuning, ReferenceNoteTexts)
{
    const std::vector<std::string> texts = {"Unknown", "Bass", "Tenor", "Low G", "Low A", "B",
                                            "C",       "D",    "E",     "F",     "High G", "High A"};
    for (std::size_t value = 0; value < texts.size(); ++value) {
        std::ostringstream stream;
        stream << static_cast<Note>(value);
        EXPECT_EQ(stream.str(), texts[value]);
    }
    EXPECT_EQ(toString(static_cast<Note>(12)), "Unknown");
    EXPECT_EQ(toString(static_cast<Note>(-3)), "Unknown");
}

TEST(PipeTuning, FrequencyMapText)
{
    EXPECT_EQ(toString(std::map<Note, float>{}),
              "Low G: Not present Low A: Not present B: Not present C: Not present D: Not present "
              "E: Not present F: Not present High G: Not present High A: Not present ");
    EXPECT_EQ(toString(std::map<Note, float>{{PipeTuning::LowA, 480.0f}, {PipeTuning::Tenor, 240.0f},
                                              {PipeTuning::HighA, 959.5f}}),
              "Low G: Not present Low A: 480.000000 B: Not present C: Not present D: Not present "
              "E: Not present F: Not present High G: Not present High A: 959.500000 ");
}

} // namespace
