#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The write end is used by the handler, the read end by the notifier.
int gSockets[2] = {-1, -1};

extern "C" void onSignal(int signalNumber)
{
    const char number = static_cast<char>(signalNumber);
    // Nothing can be done about a failed write inside a handler.
    [[maybe_unused]] const ssize_t written = ::write(gSockets[0], &number, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (gSockets[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, gSockets) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
    mNotifier = new QSocketNotifier(gSockets[1], QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (mNotifier == nullptr)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
    delete mNotifier;
    ::close(gSockets[0]);
    ::close(gSockets[1]);
    gSockets[0] = gSockets[1] = -1;
}

void TerminationSignals::readSignal()
{
    char number = 0;
    if (::read(gSockets[1], &number, 1) == 1)
        emit received(number);
}
