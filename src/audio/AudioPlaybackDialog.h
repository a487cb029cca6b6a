#pragma once

// The modal window that plays the current recording: a position slider, the
// time as "  2.5 /  12.0 secs", and Play, Pause and Stop. The player runs on
// its own thread; the dialog moves the slider as the position reports
// arrive and seeks when the user moves it. When the output cannot play the
// recording the dialog says so and offers the other outputs (the silent one
// among them) for the next Play. GUI thread.

#include "AudioPlayer.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

class AudioPlaybackDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AudioPlaybackDialog(QWidget* parent = nullptr);
    ~AudioPlaybackDialog() override;

    // Starts playing audio (16-bit mono at sampleRate) on the named output.
    void initialise(int sampleRate, QString deviceName, QByteArray audio);
    // The label's text for a time: "%1 / %2 secs", each 5 wide, 1 decimal.
    void updatePlaybackTimes(float seconds);

    // For tests and the main window.
    QSlider* slider() const { return mSlider; }
    QLabel* timeLabel() const { return mTimeLabel; }
    QPushButton* playButton() const { return mPlay; }
    QPushButton* pauseButton() const { return mPause; }
    QPushButton* stopButton() const { return mStop; }
    AudioPlayer& player() { return mPlayer; }
    QLabel* problemLabel() const { return mProblem; }
    QComboBox* outputChoice() const { return mOutputs; }
    // The output the dialog last played on (or tried to).
    const QString& outputDevice() const { return mDeviceName; }

public slots:
    void onPlay();
    void onPause();
    void onStop();
    void onAudioFinished();
    void onDataPlayed(const char* data, qint64 position, bool seeked);
    void onSliderValueChanged(int value);
    void onPlaybackFailed(QString deviceName, QString reason);

private:
    void setSliderQuietly(int value);

    QSlider* mSlider;
    QLabel* mTimeLabel;
    QPushButton* mPlay;
    QPushButton* mPause;
    QPushButton* mStop;
    QWidget* mProblemBox;
    QLabel* mProblem;
    QComboBox* mOutputs;
    QString mDeviceName;
    int mSampleRate = 44100;
    AudioPlayer mPlayer;
    float mDuration_s = 0.0f;
    bool mMovingSlider = false;
};
