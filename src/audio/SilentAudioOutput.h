#pragma once

// An output "device" that consumes 16-bit mono audio at real-time pace (or
// speed times faster, for tests) and discards it: playback runs, reports
// its position and ends where no sound card exists.

#include "AudioOutputBackend.h"

#include <QElapsedTimer>
#include <QTimer>

class SilentAudioOutput : public AudioOutputBackend
{
    Q_OBJECT
public:
    SilentAudioOutput(int sampleRate_Hz, double speed, QObject* parent = nullptr);

    void setNotifyInterval(int ms) override { mNotifyInterval_ms = ms > 0 ? ms : 10; }
    void start(QIODevice* source) override;
    void stop() override;
    void suspend() override;
    void resume() override;
    QAudio::State state() const override { return mState; }

private:
    void consumeDue();
    void setState(QAudio::State state);

    int mSampleRate_Hz;
    double mSpeed;
    int mNotifyInterval_ms = 10;
    QIODevice* mSource = nullptr; // the player's buffer, which outlives playback
    QTimer mTimer;
    QElapsedTimer mClock;
    qint64 mConsumed_B = 0;
    qint64 mClockBase_B = 0; // consumed when the clock last started
    QAudio::State mState = QAudio::StoppedState;
};
