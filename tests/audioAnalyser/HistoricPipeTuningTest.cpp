#include "HistoricPipeTuning.h"

#include <gtest/gtest.h>

namespace {

// Parallel per-window series as the progressive transcription collects them:
// count more clear, loud windows at frequency_Hz.
struct Windows {
    void add(float frequency_Hz, int count)
    {
        frequencies.insert(frequencies.end(), static_cast<std::size_t>(count), frequency_Hz);
        qualities.resize(frequencies.size(), 0.99f);
        volumes.resize(frequencies.size(), 1.0f);
    }
    std::vector<float> frequencies;
    std::vector<float> qualities;
    std::vector<float> volumes;
};

float centreOf(const HistoricPipeTuning& historic, PipeTuning::ReferenceNote note)
{
    return historic.tuning().getReferenceNoteCentreFrequency_Hz(note);
}

const float kStandardD_Hz = PipeTuning().getReferenceNoteCentreFrequency_Hz(PipeTuning::D);

TEST(HistoricPipeTuning, FourthWindowOfARunIsTheFirstToCount)
{
    HistoricPipeTuning historic;
    Windows windows;
    windows.add(590.0f, 3);
    historic.update(windows.frequencies, windows.qualities, windows.volumes, 0);
    EXPECT_EQ(centreOf(historic, PipeTuning::D), kStandardD_Hz);

    windows.add(590.0f, 1);
    historic.update(windows.frequencies, windows.qualities, windows.volumes, 3);
    EXPECT_FLOAT_EQ(centreOf(historic, PipeTuning::D), 590.0f);
    EXPECT_EQ(historic.tuning().tuningScheme(), PipeTuning::Calibrated);
    EXPECT_EQ(historic.tuning().lowA_Hz(), 440.0f);
}

TEST(HistoricPipeTuning, SeedingGivesEachNoteAverageSizeMinusThreeCentres)
{
    PipeTuning calibrated;
    calibrated.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 478.0f}, {PipeTuning::D, 641.0f}});
    HistoricPipeTuning historic;
    historic.setCalibratedTuning(calibrated, true);
    for (const auto& [note, centre_Hz] : calibrated.getNoteCentreFrequencies())
        EXPECT_NEAR(centreOf(historic, note), centre_Hz, 0.001f) << note;

    // Seven seeded values of D and one new one.
    Windows windows;
    windows.add(649.0f, 4);
    historic.update(windows.frequencies, windows.qualities, windows.volumes, 0);
    EXPECT_NEAR(centreOf(historic, PipeTuning::D), (7.0f * 641.0f + 649.0f) / 8.0f, 0.001f);
}

} // namespace
