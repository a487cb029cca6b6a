#pragma once

// The process-wide diagnostic log: every message, from any thread, as one
// line on standard error: "[yyyyMMdd h:mm:ss.zzz tid:N L] function - text",
// L being D, I, W, C or F. Messages starting with "!" are tracking events
// ("!category:action:label"); they are handed to the TrackingHandler, which
// forwards nothing in this build (there are no online services).

#include <QString>
#include <QtGlobal>

#include <atomic>

constexpr const char* kMessagePattern =
    "[%{time yyyyMMdd h:mm:ss.zzz} tid:%{threadid} "
    "%{if-debug}D%{endif}%{if-info}I%{endif}%{if-warning}W%{endif}%{if-critical}C%{endif}%{if-fatal}F%{endif}] "
    "%{function} - %{message}";

// Takes the tracking events. Any thread.
class TrackingHandler
{
public:
    void track(QtMsgType type, const QString& message);
    // Events taken so far (tests).
    int eventCount() const { return mEvents; }

private:
    std::atomic<int> mEvents{0};
};

// The handler that receives tracking events; set once at start-up.
extern TrackingHandler* gTrackingHandler;

// Whether a message is a tracking event: it begins with "!", or, logged
// through the quoting debug stream, with a quote and then "!".
bool isTrackingMessage(const QString& message);

void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& message);

// Creates the tracking handler, installs the handler and the line format.
void installMessageLog();
