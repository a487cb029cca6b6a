#pragma once

// Turns the signals with which a desktop session or a terminal ends a
// program (SIGTERM, SIGHUP, SIGINT) into a Qt signal on the thread that made
// this object, so the window can stop and keep a recording before the
// program goes. The handler only writes the signal's number into a socket
// pair, the one thing that is safe there; a socket notifier reads it back in
// the event loop. One object per process; GUI thread.

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the socket pair or a handler could not be set up; the
    // signals then end the program as they would have.
    bool isWatching() const { return mNotifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* mNotifier = nullptr;
};
