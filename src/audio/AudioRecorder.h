#pragma once

// Reads 16-bit mono PCM from the chosen input (a system device or a file
// played in), cuts it into chunks of a fixed size and announces each chunk.
// Live mode keeps only the newest chunk (for the level meter and the pitch
// display); historic mode appends every chunk to the recording, which the
// processing thread transcribes and the main window saves. Lives in the
// capture thread; the recording, the live byte count and the mode are read
// from other threads under mMutex (the processing thread takes its own
// recorder lock first, then this one).

#include "AudioDevices.h"
#include "AudioInputBackend.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <mutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class AudioRecorder : public QObject
{
    Q_OBJECT
public:
    // A metronome click played while recording: which sound, and where the
    // recording stood (in samples) when it was played.
    struct ClickMark {
        std::size_t position = 0;
        int sound = 0;
    };

    // file: the recording offered as the file input, if any.
    explicit AudioRecorder(audioDevices::InputFile file = {}, QObject* parent = nullptr);
    ~AudioRecorder() override;

    // Opens the input afresh for the rate with chunks of numNotifySamples
    // samples; always true.
    bool initialise(int sampleRate_Hz, int numNotifySamples);
    void start();
    void stop();
    // stop (when running), setAudioDevice, initialise, start.
    void restart(const QString& deviceName, int sampleRate_Hz, int numNotifySamples);
    // The named input when there is one; otherwise the previous choice stays.
    void setAudioDevice(const QString& deviceName);
    QString audioDevice() const { return mDeviceName; }
    const audioDevices::InputFile& inputFile() const { return mInputFile; }

    // When an enabled recording begins: at once, or with the input's next
    // start (a file played in again from its beginning), so that nothing the
    // input delivered before belongs to it.
    enum class HistoricStart { Now, AtInputStart };
    // Any thread. Enabling starts a fresh recording leadIn_samples into the
    // input (a count-in): those samples are read and timed but not kept, so
    // the clock runs from -leadIn to the recording's first sample and on. A
    // file played in from its start while historic recording is enabled is
    // preceded by as much silence, so that its first sample is the
    // recording's.
    void enableHistoricRecording(bool enable, qint64 leadIn_samples = 0, HistoricStart start = HistoricStart::Now);
    bool isHistoricRecordingEnabled() const { return mHistoricRecording; }
    QByteArray recordedData() const;
    qint64 getLiveBytesReceived() const;
    // The recording after its first fromByte bytes; empty when there is none.
    QByteArray getRecentData(qint64 fromByte) const;
    // The recording's clock, a chunk at a time: negative during a lead-in.
    float getElapsed_s() const;
    // The same clock between chunks while recording: the samples read so
    // far plus the time since the last read, as the input arrives in bursts
    // and the clock runs on.
    float getPosition_s() const;
    // The metronome plays a click of the given sound now; kept while
    // recording historically, forgotten when a recording starts. Its place
    // is getPosition_s's. A click marked after a fetch of the recording
    // stands at or after its end; one marked before the recording's first
    // sample stands at it.
    void markClick(int sound);
    // The clicks marked after the first from.
    std::vector<ClickMark> clicksSince(std::size_t from) const;

    // The backend in use, for tests that pace a file input; null when closed.
    AudioInputBackend* input() const { return mInput.get(); }

signals:
    void firstDataReceived();
    void dataReceived(qint64 totalDataSize_B, bool historicRecordingEnabled);
    // The input cannot be opened, or stopped by itself with an error while
    // recording (unplugged, taken by another program); what was recorded is
    // kept.
    void inputFailed(QString message);

public slots:
    void audioStateChanged(QAudio::State state);
    void audioDataReady();

private:
    // Under mMutex.
    void beginHistoric(bool enable);
    qint64 position_samples() const;
    // How far past the last read the clock runs on: an input that stalls
    // does not carry the clicks' places away.
    static constexpr qint64 kLongestReadGap_ms = 250;

    mutable std::mutex mMutex; // guards mRecorded, mLiveBytesReceived, mClicks, mRead_B, mLastRead, mLeadIn*,
                               // mHistoricAtInputStart
    const audioDevices::InputFile mInputFile;
    std::unique_ptr<AudioInputBackend> mInput;
    QIODevice* mInputDevice = nullptr; // owned by mInput
    QString mDeviceName;
    QAudioFormat mFormat;
    QByteArray mRecorded;
    std::vector<ClickMark> mClicks;
    // The lead-in of the recording, whole and what of it is still to come.
    qint64 mLeadIn_B = 0;
    qint64 mLeadInLeft_B = 0;
    bool mHistoricAtInputStart = false;
    // The recording's bytes once what was last read is in it (negative in
    // the lead-in), and when.
    qint64 mRead_B = 0;
    QElapsedTimer mLastRead;
    bool mRecording = false;
    std::atomic<bool> mHistoricRecording{false};
    qint64 mLiveBytesReceived = 0;
    QByteArray mPending;
    int mChunkSize_B = 1024;
    bool mFirstDataSignalled = false;
};
