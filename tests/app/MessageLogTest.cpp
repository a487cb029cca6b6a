// The log line format and which messages are tracking events.

#include "MessageLog.h"

#include <QDebug>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(MessageLogTest, TrackingEventsStartWithAnExclamationMarkAndOnlyTheyReachTheHandler)
{
    const std::pair<QString, bool> cases[] = {
        {"!main:codeerr:Internal err: Transcription calculation", true},
        {"\"!lifecycle:update:1.8\"", true}, // logged through the quoting stream
        {"Low A estimated: 481 Hz!", false},
        {" !main:codeerr:x", false},
        {"", false},
    };
    for (const auto& [message, tracked] : cases)
        EXPECT_EQ(isTrackingMessage(message), tracked) << message.toStdString();
    // Only they reach the tracking handler.
    installMessageLog();
    ASSERT_NE(gTrackingHandler, nullptr);
    const int before = gTrackingHandler->eventCount();
    qWarning() << "!main:codeerr:Internal err: test";
    qDebug() << "plain message";
    qWarning().noquote() << "!@advert:pixmap_err:test";
    EXPECT_EQ(gTrackingHandler->eventCount(), before + 2);
    qInstallMessageHandler(nullptr);
    qSetMessagePattern(QString());
}

TEST(MessageLogTest, EveryLineCarriesTimeThreadLevelAndFunction)
{
    qSetMessagePattern(kMessagePattern);
    const QMessageLogContext context("MainWindow.cpp", 10, "void MainWindow::onStop()", "default");
    const QRegularExpression line(R"(^\[\d{8} \d{1,2}:\d{2}:\d{2}\.\d{3} tid:\d+ ([DIWCF])\] (.*) - (.*)$)");
    const std::pair<QtMsgType, QString> levels[] = {
        {QtDebugMsg, "D"}, {QtInfoMsg, "I"}, {QtWarningMsg, "W"}, {QtCriticalMsg, "C"}};
    for (const auto& [type, letter] : levels) {
        const QRegularExpressionMatch match = line.match(qFormatLogMessage(type, context, "Stopping"));
        ASSERT_TRUE(match.hasMatch()) << qFormatLogMessage(type, context, "Stopping").toStdString();
        EXPECT_EQ(match.captured(1), letter);
        EXPECT_EQ(match.captured(2), "MainWindow::onStop");
        EXPECT_EQ(match.captured(3), "Stopping");
    }
    qSetMessagePattern(QString());
}

} // namespace
