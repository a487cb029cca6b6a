// Settings in a scratch store: a save/load cycle, values edited out of
// range by hand, and the calibrated tuning (none stored on a first start).

#include "GeneralSettings.h"

#include "TestSignals.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

class GeneralSettingsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QSettings store{dir.filePath("settings.ini"), QSettings::IniFormat};
};

TEST_F(GeneralSettingsTest, SurvivesASaveAndLoadCycleAndValuesEditedOutOfRangeAreBroughtBack)
{
    const GeneralSettings settings{.bpm = 84.0f, .timeSignature = 4, .subBeatsEnabled = true, .secsPerRow_s = 7.5f,
                                   .countInBars = 2, .clickVolume_percent = 35, .audioDevice = "File input: tune.wav", .audioOutputDevice = {},
                                   .tuneName = "The Brown Haired Maiden", .pitchPeakThreshold = 0.95f,
                                   .secondLook = false, .findDrones = false, .debugDisable = true};
    settings.save(store);
    const GeneralSettings loaded = GeneralSettings::load(store);
    auto saved = [](const GeneralSettings& s) {
        return std::tie(s.bpm, s.timeSignature, s.subBeatsEnabled, s.secsPerRow_s, s.countInBars,
                        s.clickVolume_percent, s.audioDevice, s.tuneName, s.pitchPeakThreshold, s.secondLook,
                        s.findDrones);
    };
    EXPECT_EQ(saved(loaded), saved(settings));
    // Read only: never written back.
    EXPECT_FALSE(loaded.debugDisable);

    // Values edited out of range by hand are brought back.
    const std::pair<const char*, QVariant> edits[] = {
        {"bpm", 900},           {"timeSignature", 9},     {"barsPerRow", 0},     {"secsPerRow_s", -3},
        {"volumeCutoff_percent", 150}, {"scoreRefreshRate_Hz", 0}, {"autoSaveCount", -1},
        {"pitchPeakThreshold", "0.5"}, {"recordingFrequency_Hz", "lots"}, {"countInBars", 3},
        {"clickVolume_percent", -20},
    };
    for (const auto& [key, value] : edits)
        store.setValue(key, value);
    const GeneralSettings edited = GeneralSettings::load(store);
    EXPECT_EQ(std::tie(edited.bpm, edited.timeSignature, edited.barsPerRow, edited.secsPerRow_s,
                       edited.volumeCutoff_percent, edited.scoreRefreshRate_Hz, edited.autoSaveCount,
                       edited.pitchPeakThreshold, edited.recordingFrequency_Hz, edited.countInBars,
                       edited.clickVolume_percent),
              std::make_tuple(200.0f, 4, 1, 1.0f, 99, 0.01f, 0, 0.8f, 44100, 2, 0));
}

TEST_F(GeneralSettingsTest, TheCalibratedTuningIsStoredNoteByNote)
{
    PipeTuning tuning;
    std::map<PipeTuning::ReferenceNote, float> notes = testsignals::tuningAt(482.0f).getNoteCentreFrequencies();
    notes[PipeTuning::HighG] *= 1.01f; // a sharp High G
    tuning.setTuningScheme(PipeTuning::Calibrated, notes);
    PipeTuning none;
    EXPECT_FALSE(loadCalibratedTuning(store, none)); // a first start
    saveCalibratedTuning(store, tuning);
    EXPECT_EQ(store.value("Tuning_Low A").toFloat(), tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA));
    PipeTuning loaded;
    ASSERT_TRUE(loadCalibratedTuning(store, loaded));
    EXPECT_EQ(loaded.tuningScheme(), PipeTuning::Calibrated);
    for (const auto& [note, frequency] : tuning.getNoteCentreFrequencies())
        EXPECT_NEAR(loaded.getReferenceNoteCentreFrequency_Hz(note), frequency, 0.01f) << toString(note);
}

} // namespace
