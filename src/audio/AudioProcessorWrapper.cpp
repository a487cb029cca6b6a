#include "AudioProcessorWrapper.h"

#include <QMetaObject>
#include <QThread>

void AudioProcessorWrapper::initialise()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "initialise", Qt::AutoConnection);
        return;
    }
    if (mProcessor.load() == nullptr)
        mProcessor = new AudioProcessor(this);
    emit initialised();
}
