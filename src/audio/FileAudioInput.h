#pragma once

// An input "device" that plays a recording into the recorder, so that Vantor
// runs where no sound card exists and a piper can feed a recording through
// the live path. It serves the recording's 16-bit mono samples a period at a
// time (2048 samples by default, as a real device's notifications come) at
// real-time pace, or speed times faster; after the end it delivers silence,
// like a microphone in a quiet room. A recording whose rate differs from the
// format asked for is refused (never played at the wrong speed). A lead-in
// of silence may come first (a count-in before a recording). Lives in the
// recorder's thread.

#include "AudioInputBackend.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

class FileAudioInput : public AudioInputBackend
{
    Q_OBJECT
public:
    FileAudioInput(std::vector<short> samples, int samplingFrequency_Hz, const QAudioFormat& format,
                   QObject* parent = nullptr);

    // A recording from a file vantor-transcribe reads (audio or project);
    // empty, with a message naming the file, when it cannot be read.
    static std::vector<short> readRecording(const std::string& path, int& samplingFrequency_Hz, std::string& error);

    // 1 plays at the recording's own pace; larger values faster (tests).
    void setSpeed(double speed) { mSpeed = speed > 0.0 ? speed : 1.0; }
    void setPeriodSamples(int samples) { mPeriodSamples = samples > 0 ? samples : mPeriodSamples; }
    void setLeadIn_samples(qint64 samples) override { mLeadIn_B = 2 * std::max<qint64>(samples, 0); }
    // Whether the whole recording has been delivered.
    bool finished() const { return mPosition_B >= mRecording.size(); }

    // Ends delivery as an unplugged device does: stopped, with an I/O error.
    void disconnectDevice();

    QIODevice* start() override;
    void stop() override;
    QAudio::State state() const override { return mState; }
    QAudio::Error error() const override { return mError; }

private:
    // Delivers every whole period that is due by the clock.
    void deliverDue();
    void setState(QAudio::State state);

    class Reader;
    QByteArray mRecording;
    int mSamplingFrequency_Hz;
    QAudioFormat mFormat;
    QTimer mTimer;
    QElapsedTimer mClock;
    qint64 mDelivered_B = 0; // recording and silence after it
    Reader* mReader = nullptr; // a child, while started
    // In the recording; negative in the lead-in.
    qint64 mPosition_B = 0;
    qint64 mLeadIn_B = 0;
    double mSpeed = 1.0;
    int mPeriodSamples = 2048;
    QAudio::State mState = QAudio::StoppedState;
    QAudio::Error mError = QAudio::NoError;
};
