#pragma once

// Owns the AudioProcessor in the processing thread: the wrapper is moved to
// that thread and creates the processor there in initialise(), announced by
// initialised(); called from another thread, initialise re-posts itself.

#include "AudioProcessor.h"

#include <QObject>

#include <atomic>

class AudioProcessorWrapper : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    Q_INVOKABLE void initialise();
    // Null until initialise has run; lives as long as the wrapper. Its
    // setters may be called from any thread.
    AudioProcessor* processor() const { return mProcessor.load(); }

signals:
    void initialised();

private:
    std::atomic<AudioProcessor*> mProcessor{nullptr}; // a child
};
