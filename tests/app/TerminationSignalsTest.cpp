// A request to end the program reaches the event loop as a signal instead of
// ending it on the spot.

#include "TerminationSignals.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(TerminationSignals, ARequestToEndArrivesInTheEventLoop)
{
    TerminationSignals termination;
    ASSERT_TRUE(termination.isWatching());
    QSignalSpy received(&termination, &TerminationSignals::received);
    for (int signalNumber : {SIGTERM, SIGHUP}) {
        received.clear();
        ASSERT_EQ(std::raise(signalNumber), 0);
        ASSERT_TRUE(received.wait(2000));
        EXPECT_EQ(received.first()[0].toInt(), signalNumber);
    }
}

} // namespace
