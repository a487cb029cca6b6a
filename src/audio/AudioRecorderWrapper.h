#pragma once

// Owns the AudioRecorder in the capture thread: the wrapper is moved to that
// thread, creates the recorder there in initialise() and announces it with
// initialised(). initialise, start and stop called from another thread
// re-post themselves to the wrapper's thread and return at once; the data
// accessors act on the recorder under its lock from any thread.

#include "AudioRecorder.h"

#include <QObject>

#include <atomic>
#include <utility>

class AudioRecorderWrapper : public QObject
{
    Q_OBJECT
public:
    // file: the recording the recorder offers as the file input, if any.
    explicit AudioRecorderWrapper(audioDevices::InputFile file = {}, QObject* parent = nullptr)
        : QObject(parent), mInputFile(std::move(file))
    {
    }
    ~AudioRecorderWrapper() override;

    Q_INVOKABLE void initialise();
    Q_INVOKABLE void start(QString deviceName, int frequency_Hz, int numNotifySamples);
    Q_INVOKABLE void stop();

    // Any thread; empty, nothing or 0 until initialise has run.
    QByteArray recordedData() const;
    void enableHistoricRecording(bool enable, qint64 leadIn_samples = 0,
                                 AudioRecorder::HistoricStart start = AudioRecorder::HistoricStart::Now);
    float getElapsed_s() const;
    float getPosition_s() const;
    void markClick(int sound);
    // The recorder, for the processing thread's direct fetches; null until
    // initialise has run. The recorder lives as long as the wrapper.
    AudioRecorder* recorder() const { return mRecorder.load(); }

signals:
    void initialised();
    void firstDataReceived();
    void dataReceived(qint64 totalDataReceived_B, bool historicRecordingEnabled);
    void inputFailed(QString message);

private:
    bool inOwnThread() const;
    const audioDevices::InputFile mInputFile;
    std::atomic<AudioRecorder*> mRecorder{nullptr}; // a child, created in the wrapper's thread
};
