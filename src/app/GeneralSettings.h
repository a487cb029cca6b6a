#pragma once

// Everything the piper can set, with its settings key and default, and the
// calibrated chanter tuning; loaded from and saved to a QSettings store.
// Values edited by hand outside their ranges are brought back into them on
// load. GUI thread.

#include "PipeTuning.h"
#include "ScoreSettings.h"

#include <QSettings>
#include <QString>

struct GeneralSettings {
    float bpm = 72.0f;
    int timeSignature = 0;
    int calibrationCountdown_s = 3;
    float calibrationDuration_s = 0.5f;
    int volumeCutoff_percent = 30;
    float scoreRefreshRate_Hz = 2.0f;
    bool metronomeEnabled = true;
    bool subBeatsEnabled = false;
    bool isRounded = false;
    int barsPerRow = 4;
    float timeShift_s = 0.0f;
    float secsPerRow_s = 5.0f;
    bool differentBarBeginClick = true;
    // Bars of clicks before a recording starts: 0, 1 or 2.
    int countInBars = 1;
    // Of the click sounds' full volume.
    int clickVolume_percent = 100;
    int volumeWarning_percent = 70;
    int recordingFrequency_Hz = 44100;
    bool enabledAutoUpdate = true;
    int maxClickCompensation_ms = 20;
    QString audioDevice;
    QString audioOutputDevice;
    float filterCornerFrequency_Hz = 2500.0f;
    QString tuneName = "Your Tune";
    QString tuneType = "March";
    QString composer = "Your Name";
    QString autoSaveDir = defaultAutoSaveDir();
    int autoSaveCount = 100;
    float pitchPeakThreshold = 0.97f;
    float minimumPitchPeak = 0.3f;
    // The closer look at gracings and short notes after each transcription.
    bool secondLook = true;
    // Whether the drones and a room's reverberation are found and taken out
    // of what is transcribed (auto), or the recording transcribed as it is.
    bool findDrones = true;

    // Read only: never written back.
    bool debugDisable = false;

    static QString defaultAutoSaveDir();

    // The score these settings write: tune details, tempo, time signature,
    // time shift, rounding and bars per row, no followed beats.
    ScoreSettings scoreSettings() const;
    // The settings that belong to one tune, taken from score: its details,
    // tempo, time signature (when it is one of the five offered) and time
    // shift; rounding and layout stay the piper's. A project brings its own,
    // which hold only while it is open.
    void setTune(const ScoreSettings& score);

    // Every key with its default when missing.
    static GeneralSettings load(QSettings& store);
    void save(QSettings& store) const;
};

// The calibrated tuning from the "Tuning_<note>" keys; false (and the tuning
// untouched) when no calibration was ever stored.
bool loadCalibratedTuning(QSettings& store, PipeTuning& tuning);
void saveCalibratedTuning(QSettings& store, const PipeTuning& tuning);
