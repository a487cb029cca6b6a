#pragma once

// The settings dialog ("Settings"): four tabs, General, Audio, Application
// and Advanced, over a copy of the settings that the main window fills
// before initialise() and reads back after the dialog was accepted. Nothing
// in Vantor updates itself, so enabledAutoUpdate is passed through unshown.

#include "AudioDevices.h"
#include "GeneralSettings.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

// The rate of rates nearest to wanted (the first of two as near); 0 when
// there are none.
int nearestRate(const QList<int>& rates, int wanted);

class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    // inputFile: the recording offered as the file input, listed with the
    // system's devices.
    explicit SettingsDialog(audioDevices::InputFile inputFile, QWidget* parent = nullptr);

    // Sets every widget from settings.
    void initialise();
    GeneralSettings settings;

public slots:
    void accept() override;
    // Refills the sample rates with what the device offers.
    void onAudioInputDeviceChanged(QString deviceName);

private:
    const audioDevices::InputFile mInputFile;
    QCheckBox* mMetronomeClick;
    QComboBox* mCountIn;
    QSpinBox* mVolumeWarning;
    QSpinBox* mVolumeCutoff;
    QSpinBox* mBarsPerRow;
    QDoubleSpinBox* mSecondsPerRow;
    QCheckBox* mDifferentBarBeginClick;
    QDoubleSpinBox* mScoreRefreshRate;
    QDoubleSpinBox* mCalibrationDuration;
    QSpinBox* mCalibrationCountdown;
    QCheckBox* mSubBeats;
    QSpinBox* mMaxMetronomeCompensation;
    QComboBox* mInputDevices;
    QComboBox* mFrequencies;
    QComboBox* mOutputDevices;
    QSpinBox* mInputFilterFrequency;
    QLineEdit* mAutoSaveLocation;
    QSpinBox* mAutoSaveCount;
    QDoubleSpinBox* mPitchPeakThreshold;
    QDoubleSpinBox* mMinimumPitchPeak;
    QCheckBox* mSecondLook;
    QComboBox* mFindDrones;
};
