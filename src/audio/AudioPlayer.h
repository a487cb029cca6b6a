#pragma once

// Plays raw 16-bit mono PCM through the chosen output (a system device or
// the silent output) on a thread of its own and reports the playing
// position. Every public slot called from another thread re-posts itself to
// the player's thread with its arguments and returns at once; signals reach
// other threads queued. The player owns its thread: the constructor starts
// it and moves the player onto it; quit() ends it.

#include "AudioOutputBackend.h"

#include <QAudioFormat>
#include <QBuffer>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class AudioPlayer : public QObject
{
    Q_OBJECT
public:
    // The notify interval and the read-ahead the position is held back by.
    static constexpr int kNotifyInterval_ms = 10;
    static constexpr qint64 kReadAhead_B = 20480;

    AudioPlayer();
    ~AudioPlayer() override;

    // Any thread.
    void setSampleRate(int sampleRate_Hz) { mSampleRate_Hz = sampleRate_Hz; }
    int sampleRate() const { return mSampleRate_Hz; }
    bool isThreadRunning() const { return mThread.isRunning(); }
    void waitForThread() { mThread.wait(); }

public slots:
    void setAudioData(QByteArray data);
    void start();
    void stop();
    void pause();
    void seek(float seconds);
    void loadFile(QString path, bool stereo);
    void setAudioDevice(QString name);
    void quit();
    void finish();
    float time_s();
    QByteArray bufferSubset(float from_s, float to_s);

signals:
    void dataPlayed(const char* data, qint64 position, bool seeked);
    void fileOpened(QString path, bool ok, qint64 size);
    void audioFinished();
    // The output cannot play the audio: nothing plays. deviceName is the
    // output tried, reason says why (for the log).
    void playbackFailed(QString deviceName, QString reason);

private slots:
    void audioNotify();
    void audioStateChanged(QAudio::State state);

private:
    bool inOwnThread() const { return QThread::currentThread() == &mThread; }

    std::unique_ptr<AudioOutputBackend> mOutput;
    QAudioFormat mFormat;
    std::atomic<int> mSampleRate_Hz{8000};
    bool mSeeked = false;
    QByteArray mAudioData;
    QBuffer mBuffer;
    QThread mThread;
    QString mDeviceName;
};
