#pragma once

// Where the recorder reads audio from: the system's audio input, or a
// recording played in as if it were one (FileAudioInput). Both hand out a
// sequential QIODevice in pull mode that signals readyRead as audio arrives,
// and report their state as QAudioInput does. Lives in the recorder's thread.

#include <QAudio>
#include <QAudioFormat>
#include <QIODevice>
#include <QObject>

class AudioInputBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioInputBackend() override = default;

    // Starts delivering audio in format; null when the format cannot be had
    // (state() is then Stopped and error() says why).
    virtual QIODevice* start() = 0;
    virtual void stop() = 0;
    virtual QAudio::State state() const = 0;
    virtual QAudio::Error error() const = 0;
    // Silence to deliver before the audio from the next start: a recording
    // played in then starts where a count-in ends. A device ignores it.
    virtual void setLeadIn_samples(qint64 samples) { (void)samples; }

signals:
    void stateChanged(QAudio::State state);
};
