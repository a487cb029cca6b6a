#include "SettingsDialog.h"

#include "AudioDevices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdlib>
#include <utility>

namespace {

template <typename T>
T* named(T* widget, const char* name, const QString& toolTip = QString())
{
    widget->setObjectName(name);
    if (!toolTip.isEmpty())
        widget->setToolTip(toolTip);
    return widget;
}

QSpinBox* spinBox(const char* name, int low, int high, const QString& suffix = QString())
{
    auto* box = named(new QSpinBox, name);
    box->setRange(low, high);
    box->setSuffix(suffix);
    return box;
}

QDoubleSpinBox* doubleSpinBox(const char* name, double low, double high, int decimals, double step,
                              const QString& suffix = QString())
{
    auto* box = named(new QDoubleSpinBox, name);
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    return box;
}

QWidget* page(QFormLayout*& form)
{
    auto* widget = new QWidget;
    form = new QFormLayout(widget);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    return widget;
}

// Selects the item whose data is value, else the fallback's, else the first.
void select(QComboBox* box, const QVariant& value, const QVariant& fallback)
{
    int index = box->findData(value);
    if (index < 0)
        index = box->findData(fallback);
    box->setCurrentIndex(std::max(index, 0));
}

} // namespace

int nearestRate(const QList<int>& rates, int wanted)
{
    int nearest = 0;
    for (int rate : rates) {
        if (nearest == 0 || std::abs(rate - wanted) < std::abs(nearest - wanted))
            nearest = rate;
    }
    return nearest;
}

SettingsDialog::SettingsDialog(audioDevices::InputFile inputFile, QWidget* parent)
    : QDialog(parent), mInputFile(std::move(inputFile))
{
    setWindowTitle("Settings");
    setObjectName("settingsDialog");
    auto* tabs = named(new QTabWidget(this), "settingsTabs");

    QFormLayout* form = nullptr;
    tabs->addTab(page(form), "General");
    form->addRow("Metronome click", mMetronomeClick = named(new QCheckBox, "metronomeClick"));
    mCountIn = named(new QComboBox, "countInCombo",
                     "Clicks before the recording starts; it starts on the beat after them.\n"
                     "With the metronome click off, the count shows in the status bar alone.");
    for (const char* bars : {"None", "One bar", "Two bars"})
        mCountIn->addItem(bars, mCountIn->count());
    form->addRow("Count-in", mCountIn);
    form->addRow("Metronome click on sub beats", mSubBeats = named(new QCheckBox, "subBeats"));
    form->addRow("Different metronome click for bar/measure beginning",
                 mDifferentBarBeginClick = named(new QCheckBox, "differentBarBeginClick"));
    form->addRow("Max metronome compensation:",
                 mMaxMetronomeCompensation = spinBox("maxMetronomeCompensation", 0, 1000, " ms"));
    form->addRow("Volume warning", mVolumeWarning = spinBox("volumeWarning", 1, 100, " %"));
    form->addRow("Volume cutoff", mVolumeCutoff = spinBox("volumeCutoff", 0, 99, " %"));
    form->addRow("Sheet music view bars/measures per row", mBarsPerRow = spinBox("barsPerRow", 1, 12));
    form->addRow("Timing view seconds per row",
                 mSecondsPerRow = doubleSpinBox("secondsPerRow", 1.0, 20.0, 1, 1.0, " s"));
    form->addRow("View refresh rate", mScoreRefreshRate = doubleSpinBox("scoreRefreshRate", 0.01, 20.0, 2, 1.0, " Hz"));
    form->addRow("Calibration note average duration",
                 mCalibrationDuration = doubleSpinBox("calibrationDuration", 0.2, 5.0, 1, 0.1, " s"));
    form->addRow("Calibration countdown", mCalibrationCountdown = spinBox("calibrationCountdown", 0, 99, " s"));

    tabs->addTab(page(form), "Audio");
    form->addRow("Input device:", mInputDevices = named(new QComboBox, "mInputDevicesComboBox"));
    form->addRow("Input Frequency:", mFrequencies = named(new QComboBox, "mFrequencyCombo"));
    form->addRow("Output device:", mOutputDevices = named(new QComboBox, "audioOutputDevice"));
    form->addRow("Input Filter Frequency:", mInputFilterFrequency = spinBox("inputFilterFrequency", 0, 20000, " Hz"));
    mInputFilterFrequency->setSingleStep(100);
    connect(mInputDevices, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { onAudioInputDeviceChanged(mInputDevices->itemData(index).toString()); });

    tabs->addTab(page(form), "Application");
    auto* location = new QWidget;
    auto* locationRow = new QHBoxLayout(location);
    locationRow->setContentsMargins(0, 0, 0, 0);
    mAutoSaveLocation = named(new QLineEdit, "autoSaveLocation",
                              QString("The folder on your computer where the auto saved transcriptions and "
                                      "calibrations are kept.\nThe default location is %1")
                                  .arg(GeneralSettings::defaultAutoSaveDir()));
    auto* browse = named(new QPushButton("Browse..."), "autoSaveBrowse");
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, "Auto save location", mAutoSaveLocation->text());
        if (!folder.isEmpty())
            mAutoSaveLocation->setText(folder);
    });
    locationRow->addWidget(mAutoSaveLocation);
    locationRow->addWidget(browse);
    form->addRow("Auto save location:", location);
    form->addRow("Auto saves to keep:", mAutoSaveCount = spinBox("autoSaveCount", 0, 1000));

    tabs->addTab(page(form), "Advanced");
    form->addRow(new QLabel("These are advanced transcription settings."));
    form->addRow("Pitch peak threshold:", mPitchPeakThreshold = doubleSpinBox("pitchPeakThreshold", 0.8, 0.99, 2, 0.01));
    form->addRow("Minimum pitch peak:", mMinimumPitchPeak = doubleSpinBox("minimumPitchPeak", 0.0, 0.99, 2, 0.01));
    mSecondLook = named(new QCheckBox, "secondLook",
                        "After each transcription, look again at every gracing and at notes too short for the "
                        "transcription, with a finer pitch track.\nOff gives the transcription as it is.");
    form->addRow("Second look at gracings and short notes:", mSecondLook);
    mFindDrones = named(new QComboBox, "findDrones",
                        "Auto: find the drones and a room's reverberation and take them out of what is "
                        "transcribed.\nOff: transcribe the recording as it is.");
    mFindDrones->addItem("Auto: leave out the drones and the room", true);
    mFindDrones->addItem("Off: transcribe the recording as it is", false);
    form->addRow("Drones and room:", mFindDrones);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

void SettingsDialog::initialise()
{
    mMetronomeClick->setChecked(settings.metronomeEnabled);
    select(mCountIn, settings.countInBars, 1);
    mVolumeWarning->setValue(settings.volumeWarning_percent);
    mVolumeCutoff->setValue(settings.volumeCutoff_percent);
    mBarsPerRow->setValue(settings.barsPerRow);
    mSecondsPerRow->setValue(settings.secsPerRow_s);
    mDifferentBarBeginClick->setChecked(settings.differentBarBeginClick);
    mScoreRefreshRate->setValue(settings.scoreRefreshRate_Hz);
    mCalibrationDuration->setValue(settings.calibrationDuration_s);
    mCalibrationCountdown->setValue(settings.calibrationCountdown_s);
    mSubBeats->setChecked(settings.subBeatsEnabled);
    mMaxMetronomeCompensation->setValue(settings.maxClickCompensation_ms);
    mInputFilterFrequency->setValue(static_cast<int>(settings.filterCornerFrequency_Hz));
    mAutoSaveLocation->setText(settings.autoSaveDir);
    mAutoSaveCount->setValue(settings.autoSaveCount);
    mPitchPeakThreshold->setValue(settings.pitchPeakThreshold);
    mMinimumPitchPeak->setValue(settings.minimumPitchPeak);
    mSecondLook->setChecked(settings.secondLook);
    select(mFindDrones, settings.findDrones, true);

    // The devices in use: a file played in, else the stored devices when
    // present, else the system's defaults.
    {
        const QSignalBlocker blocker(mInputDevices);
        mInputDevices->clear();
        for (const QString& name : audioDevices::inputNames(mInputFile))
            mInputDevices->addItem(name, name);
        select(mInputDevices, audioDevices::chooseInput(settings.audioDevice, mInputFile), QVariant());
    }
    onAudioInputDeviceChanged(mInputDevices->currentData().toString());
    mOutputDevices->clear();
    for (const QString& name : audioDevices::outputNames())
        mOutputDevices->addItem(name, name);
    select(mOutputDevices, audioDevices::chooseOutput(settings.audioOutputDevice), QVariant());
}

void SettingsDialog::onAudioInputDeviceChanged(QString deviceName)
{
    mFrequencies->clear();
    const QList<int> rates = audioDevices::inputSampleRates(deviceName, mInputFile);
    for (int rate : rates)
        mFrequencies->addItem(QString::number(rate), rate);
    const int chosen = rates.contains(settings.recordingFrequency_Hz) ? settings.recordingFrequency_Hz
                                                                      : nearestRate(rates, 44100);
    mFrequencies->setCurrentIndex(std::max(0, mFrequencies->findData(chosen)));
}

void SettingsDialog::accept()
{
    settings.metronomeEnabled = mMetronomeClick->isChecked();
    settings.countInBars = mCountIn->currentData().toInt();
    settings.volumeWarning_percent = mVolumeWarning->value();
    settings.volumeCutoff_percent = mVolumeCutoff->value();
    settings.barsPerRow = mBarsPerRow->value();
    settings.secsPerRow_s = static_cast<float>(mSecondsPerRow->value());
    settings.differentBarBeginClick = mDifferentBarBeginClick->isChecked();
    settings.scoreRefreshRate_Hz = static_cast<float>(mScoreRefreshRate->value());
    settings.calibrationDuration_s = static_cast<float>(mCalibrationDuration->value());
    settings.calibrationCountdown_s = mCalibrationCountdown->value();
    settings.subBeatsEnabled = mSubBeats->isChecked();
    settings.maxClickCompensation_ms = mMaxMetronomeCompensation->value();
    if (mInputDevices->count() > 0)
        settings.audioDevice = mInputDevices->currentData().toString();
    if (mFrequencies->count() > 0)
        settings.recordingFrequency_Hz = mFrequencies->currentData().toInt();
    settings.audioOutputDevice = mOutputDevices->currentData().toString();
    settings.filterCornerFrequency_Hz = static_cast<float>(mInputFilterFrequency->value());
    const QString folder = mAutoSaveLocation->text().trimmed();
    if (!folder.isEmpty())
        settings.autoSaveDir = folder;
    settings.autoSaveCount = mAutoSaveCount->value();
    settings.pitchPeakThreshold = static_cast<float>(mPitchPeakThreshold->value());
    settings.minimumPitchPeak = static_cast<float>(mMinimumPitchPeak->value());
    settings.secondLook = mSecondLook->isChecked();
    settings.findDrones = mFindDrones->currentData().toBool();
    QDialog::accept();
}
