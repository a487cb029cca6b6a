#include "GeneralSettings.h"

#include <QStandardPaths>

#include <algorithm>
#include <map>

namespace {

// A stored value of another type (a float saved as text on some platforms)
// is converted; one that does not convert keeps the default.
float readFloat(QSettings& store, const char* key, float fallback, float low, float high)
{
    bool ok = false;
    const float value = store.value(key, fallback).toFloat(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

int readInt(QSettings& store, const char* key, int fallback, int low, int high)
{
    bool ok = false;
    const int value = store.value(key, fallback).toInt(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

bool readBool(QSettings& store, const char* key, bool fallback)
{
    return store.value(key, fallback).toBool();
}

QString readString(QSettings& store, const char* key, const QString& fallback)
{
    return store.value(key, fallback).toString();
}

QString tuningKey(PipeTuning::ReferenceNote note)
{
    return QString("Tuning_") + QString::fromStdString(toString(note));
}

} // namespace

QString GeneralSettings::defaultAutoSaveDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Vantor/autosave/";
}

GeneralSettings GeneralSettings::load(QSettings& store)
{
    GeneralSettings s;
    // The ranges are the settings dialog's and the tool bar's.
    s.bpm = readFloat(store, "bpm", s.bpm, 20.0f, 200.0f);
    s.timeSignature = readInt(store, "timeSignature", s.timeSignature, 0, 4);
    s.calibrationCountdown_s = readInt(store, "calibrationCountdown_s", s.calibrationCountdown_s, 0, 99);
    s.calibrationDuration_s = readFloat(store, "calibrationDuration_s", s.calibrationDuration_s, 0.2f, 5.0f);
    s.volumeCutoff_percent = readInt(store, "volumeCutoff_percent", s.volumeCutoff_percent, 0, 99);
    s.scoreRefreshRate_Hz = readFloat(store, "scoreRefreshRate_Hz", s.scoreRefreshRate_Hz, 0.01f, 20.0f);
    s.metronomeEnabled = readBool(store, "metronomeEnabled", s.metronomeEnabled);
    s.subBeatsEnabled = readBool(store, "subBeatsEnabled", s.subBeatsEnabled);
    s.isRounded = readBool(store, "isRounded", s.isRounded);
    s.barsPerRow = readInt(store, "barsPerRow", s.barsPerRow, 1, 12);
    s.timeShift_s = readFloat(store, "timeShift_s", s.timeShift_s, -100.0f, 100.0f);
    s.secsPerRow_s = readFloat(store, "secsPerRow_s", s.secsPerRow_s, 1.0f, 20.0f);
    s.differentBarBeginClick = readBool(store, "differentBarBeginClick", s.differentBarBeginClick);
    s.countInBars = readInt(store, "countInBars", s.countInBars, 0, 2);
    s.clickVolume_percent = readInt(store, "clickVolume_percent", s.clickVolume_percent, 0, 100);
    s.volumeWarning_percent = readInt(store, "volumeWarning_percent", s.volumeWarning_percent, 1, 100);
    s.recordingFrequency_Hz = readInt(store, "recordingFrequency_Hz", s.recordingFrequency_Hz, 8000, 192000);
    s.enabledAutoUpdate = readBool(store, "enabledAutoUpdate", s.enabledAutoUpdate);
    s.maxClickCompensation_ms = readInt(store, "maxClickCompensation_ms", s.maxClickCompensation_ms, 0, 1000);
    s.audioDevice = readString(store, "audioDevice", s.audioDevice);
    s.audioOutputDevice = readString(store, "audioOutputDevice", s.audioOutputDevice);
    s.filterCornerFrequency_Hz =
        readFloat(store, "filterCornerFrequency_Hz", s.filterCornerFrequency_Hz, 0.0f, 20000.0f);
    s.tuneName = readString(store, "tuneName", s.tuneName);
    s.tuneType = readString(store, "tuneType", s.tuneType);
    s.composer = readString(store, "composer", s.composer);
    s.autoSaveDir = readString(store, "autoSaveDir", s.autoSaveDir);
    s.autoSaveCount = readInt(store, "autoSaveCount", s.autoSaveCount, 0, 1000);
    s.pitchPeakThreshold = readFloat(store, "pitchPeakThreshold", s.pitchPeakThreshold, 0.8f, 0.99f);
    s.minimumPitchPeak = readFloat(store, "minimumPitchPeak", s.minimumPitchPeak, 0.0f, 0.99f);
    s.secondLook = readBool(store, "secondLook", s.secondLook);
    s.findDrones = readBool(store, "findDrones", s.findDrones);
    s.debugDisable = readBool(store, "debugDisable", s.debugDisable);
    return s;
}

void GeneralSettings::save(QSettings& store) const
{
    store.setValue("bpm", bpm);
    store.setValue("timeSignature", timeSignature);
    store.setValue("calibrationCountdown_s", calibrationCountdown_s);
    store.setValue("calibrationDuration_s", calibrationDuration_s);
    store.setValue("volumeCutoff_percent", volumeCutoff_percent);
    store.setValue("scoreRefreshRate_Hz", scoreRefreshRate_Hz);
    store.setValue("metronomeEnabled", metronomeEnabled);
    store.setValue("subBeatsEnabled", subBeatsEnabled);
    store.setValue("isRounded", isRounded);
    store.setValue("barsPerRow", barsPerRow);
    store.setValue("timeShift_s", timeShift_s);
    store.setValue("secsPerRow_s", secsPerRow_s);
    store.setValue("differentBarBeginClick", differentBarBeginClick);
    store.setValue("countInBars", countInBars);
    store.setValue("clickVolume_percent", clickVolume_percent);
    store.setValue("volumeWarning_percent", volumeWarning_percent);
    store.setValue("recordingFrequency_Hz", recordingFrequency_Hz);
    store.setValue("enabledAutoUpdate", enabledAutoUpdate);
    store.setValue("maxClickCompensation_ms", maxClickCompensation_ms);
    store.setValue("audioDevice", audioDevice);
    store.setValue("audioOutputDevice", audioOutputDevice);
    store.setValue("filterCornerFrequency_Hz", filterCornerFrequency_Hz);
    store.setValue("tuneName", tuneName);
    store.setValue("tuneType", tuneType);
    store.setValue("composer", composer);
    store.setValue("autoSaveDir", autoSaveDir);
    store.setValue("autoSaveCount", autoSaveCount);
    store.setValue("pitchPeakThreshold", pitchPeakThreshold);
    store.setValue("minimumPitchPeak", minimumPitchPeak);
    store.setValue("secondLook", secondLook);
    store.setValue("findDrones", findDrones);
}

ScoreSettings GeneralSettings::scoreSettings() const
{
    ScoreSettings score;
    timeSignatureComponents(static_cast<TimeSignature>(timeSignature), score.timeSigNumerator,
                            score.timeSigDenominator);
    score.bpm = bpm;
    score.timeShift_s = timeShift_s;
    score.rounding = isRounded;
    score.barsPerRow = barsPerRow;
    score.tuneName = tuneName.toStdString();
    score.tuneType = tuneType.toStdString();
    score.composer = composer.toStdString();
    return score;
}

void GeneralSettings::setTune(const ScoreSettings& score)
{
    tuneName = QString::fromStdString(score.tuneName);
    tuneType = QString::fromStdString(score.tuneType);
    composer = QString::fromStdString(score.composer);
    TimeSignature signature = FourFour;
    if (timeSignatureFromComponents(score.timeSigNumerator, score.timeSigDenominator, signature))
        timeSignature = signature;
    bpm = score.bpm;
    timeShift_s = score.timeShift_s;
}

bool loadCalibratedTuning(QSettings& store, PipeTuning& tuning)
{
    PipeTuning standard;
    standard.setLowA_Hz(220.0f);
    std::map<PipeTuning::ReferenceNote, float> notes;
    bool stored = false;
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
        const QString key = tuningKey(note);
        stored = stored || store.contains(key);
        notes[note] = readFloat(store, key.toUtf8().constData(), standard.getReferenceNoteCentreFrequency_Hz(note),
                                100.0f, 3000.0f);
    }
    if (!stored)
        return false;
    tuning = PipeTuning();
    tuning.setTuningScheme(PipeTuning::Calibrated, notes);
    return true;
}

void saveCalibratedTuning(QSettings& store, const PipeTuning& tuning)
{
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
        store.setValue(tuningKey(note), tuning.getReferenceNoteCentreFrequency_Hz(note));
    }
}
