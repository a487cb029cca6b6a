#pragma once

// Where the player sends audio: the system's audio output, or the silent
// output that consumes audio at real-time pace and discards it, for machines
// without a sound card. Both pull from a QIODevice, report the playing
// position through notify() and their state as QAudioOutput does. Lives in
// the player's thread.

#include <QAudio>
#include <QIODevice>
#include <QObject>

class AudioOutputBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioOutputBackend() override = default;

    virtual void setNotifyInterval(int ms) = 0;
    virtual void start(QIODevice* source) = 0;
    virtual void stop() = 0;
    virtual void suspend() = 0;
    virtual void resume() = 0;
    virtual QAudio::State state() const = 0;

signals:
    void notify();
    void stateChanged(QAudio::State state);
};
