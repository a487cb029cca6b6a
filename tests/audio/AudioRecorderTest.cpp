// The recorder fed by the file-backed input: chunking of what the device
// delivers, live and historic modes, the first-data signal, and the wrapper
// in a thread of its own. No sound card is needed.

#include "AudioDevices.h"
#include "AudioRecorder.h"
#include "AudioRecorderWrapper.h"
#include "ProjectContents.h"
#include "TestSignals.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr int kRate_Hz = 44100;

class AudioRecorderTest : public ::testing::Test
{
protected:
    // A second of chanter tone as a WAVE file, played in by the file input
    // twenty times faster than real time, periodSamples a delivery.
    void useFileInput(int periodSamples)
    {
        const std::string path = dir.filePath("tone.wav").toStdString();
        std::string error;
        ProjectContents tone;
        tone.samples = testsignals::pcm(testsignals::chanterTone(480.0f, kRate_Hz));
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(waveFileBytes(tone.samples, kRate_Hz));
        file.close();
        audioDevices::setInputFile(QString::fromStdString(path), 20.0, periodSamples);
    }
    void TearDown() override { audioDevices::setInputFile(QString()); }

    QTemporaryDir dir;
};

TEST_F(AudioRecorderTest, CutsDeliveriesIntoChunksAndKeepsTheRestPending)
{
    // Deliveries of 3000 bytes, chunks of 4096: the first chunk is complete
    // with the second delivery, leaving 1904 bytes pending.
    useFileInput(1500);
    AudioRecorder recorder;
    QSignalSpy data(&recorder, &AudioRecorder::dataReceived);
    QSignalSpy first(&recorder, &AudioRecorder::firstDataReceived);
    recorder.enableHistoricRecording(true);
    recorder.restart(audioDevices::fileInputName(), kRate_Hz, 2048);
    ASSERT_NE(recorder.input(), nullptr);
    ASSERT_TRUE(data.wait(10000));
    EXPECT_EQ(data.takeFirst(), (QList<QVariant>{qint64(4096), true}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.count() >= 20; }, 10000));
    // Every chunk appends to the recording; the totals grow a chunk at a time.
    for (int k = 0; k < data.count(); ++k)
        EXPECT_EQ(data[k][0].toLongLong(), 4096LL * (k + 2));
    EXPECT_EQ(first.count(), 1);
    recorder.stop();
    const QByteArray recorded = recorder.recordedData();
    EXPECT_EQ(recorded.size() % 4096, 0);
    EXPECT_EQ(recorder.getRecentData(recorded.size()), QByteArray());
    EXPECT_EQ(recorder.getRecentData(4096), recorded.mid(4096));
    EXPECT_FLOAT_EQ(recorder.getElapsed_s(), static_cast<float>(recorded.size()) / (2.0f * kRate_Hz));
}

TEST_F(AudioRecorderTest, LiveModeKeepsOnlyTheNewestChunk)
{
    useFileInput(2048);
    AudioRecorder recorder;
    QSignalSpy data(&recorder, &AudioRecorder::dataReceived);
    QSignalSpy first(&recorder, &AudioRecorder::firstDataReceived);
    recorder.restart(audioDevices::fileInputName(), kRate_Hz, 2048);
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.count() >= 5; }, 10000));
    recorder.stop();
    EXPECT_EQ(recorder.recordedData().size(), 4096);
    EXPECT_EQ(recorder.getLiveBytesReceived(), 4096LL * data.count());
    EXPECT_EQ(data.last(), (QList<QVariant>{4096LL * data.count(), false}));
    EXPECT_EQ(first.count(), 0);
}

TEST_F(AudioRecorderTest, AFileOfAnotherRateIsRefusedNotPlayedAtTheWrongSpeed)
{
    useFileInput(2048);
    AudioRecorder recorder;
    QSignalSpy data(&recorder, &AudioRecorder::dataReceived);
    recorder.restart(audioDevices::fileInputName(), 48000, 2048);
    EXPECT_EQ(recorder.input(), nullptr);
    EXPECT_FALSE(data.wait(300));
}

TEST_F(AudioRecorderTest, WrapperRunsTheRecorderInItsOwnThread)
{
    useFileInput(2048);
    QThread thread;
    auto* wrapper = new AudioRecorderWrapper;
    wrapper->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, wrapper, &QObject::deleteLater);
    thread.start();
    // The wrapper's signals reach this thread queued, as they reach the
    // main window.
    QObject receiver;
    bool initialised = false;
    int chunks = 0;
    QObject::connect(wrapper, &AudioRecorderWrapper::initialised, &receiver, [&] { initialised = true; });
    QObject::connect(wrapper, &AudioRecorderWrapper::dataReceived, &receiver, [&] { ++chunks; });
    EXPECT_EQ(wrapper->recordedData(), QByteArray()); // before initialise: nothing
    wrapper->initialise();
    ASSERT_TRUE(QTest::qWaitFor([&] { return initialised; }, 10000));
    wrapper->enableHistoricRecording(true);
    wrapper->start(audioDevices::fileInputName(), kRate_Hz, 2048);
    ASSERT_TRUE(QTest::qWaitFor([&] { return chunks >= 10; }, 10000));
    wrapper->stop();
    QTest::qWait(50);
    EXPECT_GE(wrapper->recordedData().size(), 10 * 4096);
    EXPECT_GT(wrapper->getElapsed_s(), 0.4f);
    thread.quit();
    ASSERT_TRUE(thread.wait(2000));
}

} // namespace
