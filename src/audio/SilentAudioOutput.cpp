#include "SilentAudioOutput.h"

#include <algorithm>

SilentAudioOutput::SilentAudioOutput(int sampleRate_Hz, double speed, QObject* parent)
    : AudioOutputBackend(parent), mSampleRate_Hz(sampleRate_Hz), mSpeed(speed > 0.0 ? speed : 1.0), mTimer(this)
{
    mTimer.setTimerType(Qt::PreciseTimer);
    connect(&mTimer, &QTimer::timeout, this, &SilentAudioOutput::consumeDue);
}

void SilentAudioOutput::start(QIODevice* source)
{
    mSource = source;
    mConsumed_B = 0;
    mClockBase_B = 0;
    mClock.start();
    mTimer.start(std::max(1, static_cast<int>(mNotifyInterval_ms / mSpeed)));
    setState(QAudio::ActiveState);
}

void SilentAudioOutput::stop()
{
    mTimer.stop();
    mSource = nullptr;
    setState(QAudio::StoppedState);
}

void SilentAudioOutput::suspend()
{
    if (mState != QAudio::ActiveState)
        return;
    consumeDue();
    mTimer.stop();
    setState(QAudio::SuspendedState);
}

void SilentAudioOutput::resume()
{
    if (mState != QAudio::SuspendedState)
        return;
    mClockBase_B = mConsumed_B;
    mClock.start();
    mTimer.start();
    setState(QAudio::ActiveState);
}

void SilentAudioOutput::consumeDue()
{
    if (mSource == nullptr || mState != QAudio::ActiveState)
        return;
    const qint64 due_B =
        mClockBase_B + static_cast<qint64>(mClock.nsecsElapsed() * 1e-9 * mSampleRate_Hz * mSpeed) * 2;
    if (due_B > mConsumed_B) {
        const QByteArray played = mSource->read(due_B - mConsumed_B);
        mConsumed_B += played.size() > 0 ? played.size() : 0;
        if (played.isEmpty() && mSource->atEnd()) {
            mTimer.stop();
            setState(QAudio::IdleState);
            return;
        }
    }
    emit notify();
}

void SilentAudioOutput::setState(QAudio::State state)
{
    if (state == mState)
        return;
    mState = state;
    emit stateChanged(state);
}
