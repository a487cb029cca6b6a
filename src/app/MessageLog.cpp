#include "MessageLog.h"

#include <cstdio>

TrackingHandler* gTrackingHandler = nullptr;

void TrackingHandler::track(QtMsgType /*type*/, const QString& /*message*/)
{
    // No online services: the event is accepted and goes no further.
    ++mEvents;
}

bool isTrackingMessage(const QString& message)
{
    return message.startsWith('!') || message.startsWith("\"!");
}

void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
    if (gTrackingHandler != nullptr && isTrackingMessage(message))
        gTrackingHandler->track(type, message);
}

void installMessageLog()
{
    // Never freed: messages may be logged until the process ends.
    if (gTrackingHandler == nullptr)
        gTrackingHandler = new TrackingHandler;
    qInstallMessageHandler(myMessageOutput);
    qSetMessagePattern(kMessagePattern);
}
