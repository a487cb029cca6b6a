#include "PipeTuning.h"

#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

using Note = PipeTuning::ReferenceNote;

using testsignals::tuningAt;

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

TEST(PipeTuning, AMidpointBetweenNeighboursGoesToTheUpperNoteAndWindowBoundariesAreExclusive)
{
    PipeTuning calibrated;
    calibrated.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.0f}, {PipeTuning::D, 660.0f}});
    // MIDI note number n of the default tuning (Low A = 69): 39, 51, 63 and
    // 83 belong to no window, 64..66 lie in the gap below the chanter.
    auto midi = [](double n) { return static_cast<float>(440.0 * std::pow(2.0, (n - 69.0) / 12.0)); };
    const std::tuple<PipeTuning, float, Note> rows[] = {
        // Low A - B midpoint: ratio 1.0625, exactly 510 Hz at a Low A of 480.
        {tuningAt(480.0f), 510.0f, PipeTuning::B}, {tuningAt(480.0f), std::nextafter(510.0f, 0.0f), PipeTuning::LowA},
        // C - D midpoint with a calibrated D of ratio 1.375: ratio 1.3125, 630 Hz.
        {calibrated, 630.0f, PipeTuning::D}, {calibrated, std::nextafter(630.0f, 0.0f), PipeTuning::C},
        {PipeTuning(), midi(39.2), PipeTuning::Bass}, {PipeTuning(), midi(38.8), PipeTuning::Unknown},
        {PipeTuning(), midi(50.8), PipeTuning::Bass}, {PipeTuning(), midi(51.2), PipeTuning::Tenor},
        {PipeTuning(), midi(62.8), PipeTuning::Tenor}, {PipeTuning(), midi(63.2), PipeTuning::Unknown},
        {PipeTuning(), midi(65.8), PipeTuning::Unknown}, {PipeTuning(), midi(66.2), PipeTuning::LowG},
        {PipeTuning(), midi(82.8), PipeTuning::HighA}, {PipeTuning(), midi(83.2), PipeTuning::Unknown},
    };
    for (auto [tuning, frequency_Hz, note] : rows) {
        float centre = -1.0f;
        float cents = -1.0f;
        EXPECT_EQ(tuning.calculate(frequency_Hz, centre, cents), note) << frequency_Hz << " Hz";
    }
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

} // namespace
