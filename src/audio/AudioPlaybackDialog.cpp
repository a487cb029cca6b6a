#include "AudioPlaybackDialog.h"

#include "AudioDevices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpacerItem>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

AudioPlaybackDialog::AudioPlaybackDialog(QWidget* parent)
    : QDialog(parent),
      mSlider(new QSlider(Qt::Horizontal)),
      mTimeLabel(new QLabel("TextLabel")),
      mPlay(new QPushButton("Play")),
      mPause(new QPushButton("Pause")),
      mStop(new QPushButton("Stop")),
      mProblemBox(new QWidget),
      mProblem(new QLabel),
      mOutputs(new QComboBox)
{
    setWindowTitle("Audio Playback");
    resize(561, 105);
    auto* layout = new QVBoxLayout(this);
    auto* position = new QHBoxLayout;
    position->addWidget(mSlider);
    position->addWidget(mTimeLabel);
    layout->addLayout(position);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(mPlay);
    buttons->addWidget(mPause);
    buttons->addWidget(mStop);
    buttons->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    layout->addLayout(buttons);
    mProblem->setObjectName("playbackProblem");
    mProblem->setWordWrap(true);
    mOutputs->setObjectName("playbackOutput");
    auto* problem = new QVBoxLayout(mProblemBox);
    problem->setContentsMargins(0, 0, 0, 0);
    problem->addWidget(mProblem);
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel("Play on:"));
    choice->addWidget(mOutputs, 1);
    problem->addLayout(choice);
    mProblemBox->hide();
    layout->addWidget(mProblemBox);
    layout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    layout->addWidget(close);
    connect(close, &QDialogButtonBox::accepted, this, &QDialog::close);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::close);

    connect(mSlider, &QSlider::valueChanged, this, &AudioPlaybackDialog::onSliderValueChanged);
    connect(&mPlayer, &AudioPlayer::dataPlayed, this, &AudioPlaybackDialog::onDataPlayed);
    connect(&mPlayer, &AudioPlayer::audioFinished, this, &AudioPlaybackDialog::onAudioFinished);
    connect(&mPlayer, &AudioPlayer::playbackFailed, this, &AudioPlaybackDialog::onPlaybackFailed);
    connect(mPlay, &QPushButton::clicked, this, &AudioPlaybackDialog::onPlay);
    connect(mPause, &QPushButton::clicked, this, &AudioPlaybackDialog::onPause);
    connect(mStop, &QPushButton::clicked, this, &AudioPlaybackDialog::onStop);
}

AudioPlaybackDialog::~AudioPlaybackDialog()
{
    if (mPlayer.isThreadRunning()) {
        mPlayer.quit();
        while (mPlayer.isThreadRunning())
            QThread::usleep(100);
    }
}

void AudioPlaybackDialog::initialise(int sampleRate, QString deviceName, QByteArray audio)
{
    mPlay->setEnabled(false);
    mPause->setEnabled(true);
    mStop->setEnabled(true);
    mSampleRate = sampleRate;
    mPlayer.setSampleRate(sampleRate);
    mDuration_s = static_cast<float>(static_cast<double>(audio.size()) * 0.5 / sampleRate);
    mDeviceName = audioDevices::chooseOutput(deviceName);
    mPlayer.setAudioDevice(mDeviceName);
    mSlider->setMaximum(static_cast<int>(mDuration_s * 1000.0f));
    updatePlaybackTimes(0.0f);
    mPlayer.setAudioData(audio);
}

void AudioPlaybackDialog::updatePlaybackTimes(float seconds)
{
    mTimeLabel->setText(QString("%1 / %2 secs").arg(seconds, 5, 'f', 1).arg(mDuration_s, 5, 'f', 1));
}

void AudioPlaybackDialog::setSliderQuietly(int value)
{
    mMovingSlider = true;
    mSlider->setValue(value);
    mMovingSlider = false;
}

void AudioPlaybackDialog::onDataPlayed(const char* /*data*/, qint64 position, bool /*seeked*/)
{
    if (mPlay->isEnabled())
        return;
    const float t = static_cast<float>(static_cast<double>(position) * 0.5 / mSampleRate);
    updatePlaybackTimes(t);
    setSliderQuietly(static_cast<int>(t * 1000.0f));
}

void AudioPlaybackDialog::onSliderValueChanged(int value)
{
    if (mMovingSlider)
        return;
    const float t = static_cast<float>(value) / 1000.0f;
    updatePlaybackTimes(t);
    mPlayer.seek(t);
}

void AudioPlaybackDialog::onPlay()
{
    mPlay->setEnabled(false);
    mPause->setEnabled(true);
    mStop->setEnabled(true);
    const float t = static_cast<float>(mSlider->value()) / 1000.0f;
    if (!mProblemBox->isHidden() && mOutputs->count() > 0) {
        mDeviceName = mOutputs->currentData().toString();
        mPlayer.setAudioDevice(mDeviceName);
        mProblemBox->hide();
    }
    mPlayer.start();
    mPlayer.seek(t);
}

void AudioPlaybackDialog::onPause()
{
    mPlay->setEnabled(true);
    mStop->setEnabled(true);
    mPause->setEnabled(false);
    mPlayer.stop();
}

void AudioPlaybackDialog::onStop()
{
    mPlay->setEnabled(true);
    mPause->setEnabled(false);
    mStop->setEnabled(false);
    updatePlaybackTimes(0.0f);
    setSliderQuietly(0);
    mPlayer.stop();
}

void AudioPlaybackDialog::onAudioFinished()
{
    onStop();
}

void AudioPlaybackDialog::onPlaybackFailed(QString deviceName, QString reason)
{
    onStop();
    mProblem->setText(QString("<b>Nothing can be heard:</b> %1 cannot play this recording (16-bit mono at %2 Hz). "
                              "Choose another output, or the silent output to follow the recording without sound, "
                              "and press Play.")
                          .arg(deviceName.toHtmlEscaped())
                          .arg(mSampleRate));
    mProblem->setToolTip(reason);
    mOutputs->clear();
    for (const QString& name : audioDevices::outputNames())
        if (name != deviceName)
            mOutputs->addItem(name, name);
    mProblemBox->show();
    // The wrapped message needs more height than the dialog started with.
    layout()->activate();
    resize(width(), std::max(height(), layout()->heightForWidth(width())));
}
