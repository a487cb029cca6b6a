#include "TuningReading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace {

using Kind = DroneSet::Drone::Kind;

double cents(double reference_Hz, double frequency_Hz)
{
    return 1200.0 * std::log2(frequency_Hz / reference_Hz);
}

TEST(TuningReading, EachNoteInCentsAgainstTheStandardScaleOfItsOwnLowAAndHeardOnlyWhenPlayed)
{
    // Notes given off the just scale, and one given exactly on it; the rest
    // keep their standard ratios.
    const std::map<PipeTuning::ReferenceNote, float> rows[] = {
        {{PipeTuning::LowA, 480.0f}, {PipeTuning::D, 645.0f}, {PipeTuning::HighG, 830.0f}, {PipeTuning::B, 540.0f}},
        {{PipeTuning::LowA, 466.3f}, {PipeTuning::LowG, 412.0f}, {PipeTuning::F, 770.0f}, {PipeTuning::HighA, 936.0f}},
    };
    for (const auto& given : rows) {
        PipeTuning tuning;
        tuning.setTuningScheme(PipeTuning::Calibrated, given);
        NoteMap melody;
        melody.insert({0.0f, PipeNote(LA, 0.0f, 0.5f)});
        melody.insert({0.5f, PipeNote(D, 0.5f, 0.5f)});
        const TuningReading reading = TuningReading::of(tuning, melody, DroneSet());
        const double lowA_Hz = given.at(PipeTuning::LowA);
        EXPECT_FLOAT_EQ(reading.lowA_Hz, given.at(PipeTuning::LowA));
        EXPECT_TRUE(reading.drones.empty());
        for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
            const TuningReading::Note& note = reading.notes[static_cast<std::size_t>(index)];
            const double standard_Hz = PipeTuning::standardRatios()[static_cast<std::size_t>(index)] * lowA_Hz;
            const auto found = given.find(note.note);
            const double played_Hz = found != given.end() ? found->second : standard_Hz;
            EXPECT_EQ(note.note, PipeTuning::noteIndexToReferenceNote(index));
            EXPECT_EQ(note.name, referenceNoteToNoteName(note.note));
            EXPECT_NEAR(note.frequency_Hz, played_Hz, 0.01) << note.note;
            EXPECT_NEAR(note.cents, cents(standard_Hz, played_Hz), 0.01) << note.note;
            EXPECT_EQ(note.heard, note.name == LA || note.name == D) << note.note;
        }
    }
}

TEST(TuningReading, DronesInCentsAgainstLowATwoOctavesAndOneOctaveDown)
{
    // The chanter's Low A, the drone, its frequency and its cents.
    const std::tuple<float, Kind, float, double> rows[] = {
        {480.0f, Kind::Bass, 119.93f, cents(120.0, 119.93)},
        {480.0f, Kind::Tenor, 240.12f, cents(240.0, 240.12)},
        {480.0f, Kind::Tenor, 239.70f, cents(240.0, 239.70)},
        {466.3f, Kind::Bass, 117.5f, cents(466.3 / 4.0, 117.5)},
        {466.3f, Kind::Tenor, 233.15f, 0.0},
        // No Low A set: 440 Hz, as the tuning reads it.
        {0.0f, Kind::Tenor, 222.0f, cents(220.0, 222.0)},
        // A drone without a frequency says nothing.
        {480.0f, Kind::Bass, 0.0f, 0.0},
    };
    for (const auto& [lowA_Hz, kind, drone_Hz, expected_cents] : rows) {
        PipeTuning tuning;
        tuning.setLowA_Hz(lowA_Hz);
        DroneSet drones;
        drones.drones.push_back({kind, drone_Hz, -20.0f});
        drones.tenorBeat_Hz = 0.42f;
        const TuningReading reading = TuningReading::of(tuning, NoteMap(), drones);
        ASSERT_EQ(reading.drones.size(), 1u);
        EXPECT_EQ(reading.drones[0].kind, kind);
        EXPECT_EQ(reading.drones[0].frequency_Hz, drone_Hz);
        EXPECT_EQ(reading.drones[0].level_dBFS, -20.0f);
        EXPECT_NEAR(reading.drones[0].cents, expected_cents, 0.01) << lowA_Hz << " " << drone_Hz;
        EXPECT_EQ(reading.tenorBeat_Hz, 0.42f);
        for (const TuningReading::Note& note : reading.notes)
            EXPECT_FALSE(note.heard);
    }
}

} // namespace
