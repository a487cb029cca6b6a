// The recorder fed by the file-backed input: chunking of what the device
// delivers, live and historic modes, the first-data signal, an input that
// goes away and inputs that cannot be played. The wrapper's thread is driven
// in AudioProcessorTest, with the processor's. No sound card is needed.

#include "AudioRecorder.h"
#include "FileAudioInput.h"
#include "InputFileOf.h"
#include "TestSignals.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int kRate_Hz = 44100;

// A second of chanter tone.
std::vector<short> tone()
{
    return testsignals::pcm(testsignals::chanterTone(480.0f, kRate_Hz));
}

TEST(AudioRecorder, CutsDeliveriesIntoChunksInBothModesAndKeepsTheRecordingWhenTheDeviceGoesAway)
{
    // Deliveries of 3000 bytes, chunks of 4096: the first chunk is complete
    // with the second delivery, leaving 1904 bytes pending.
    QTemporaryDir dir;
    const audioDevices::InputFile file = inputFileOf(dir.filePath("tone.wav"), tone(), 20.0, 1500);
    AudioRecorder recorder(file);
    QSignalSpy data(&recorder, &AudioRecorder::dataReceived);
    QSignalSpy first(&recorder, &AudioRecorder::firstDataReceived);
    QSignalSpy failed(&recorder, &AudioRecorder::inputFailed);
    recorder.enableHistoricRecording(true);
    recorder.restart(file.name(), kRate_Hz, 2048);
    ASSERT_TRUE(data.wait(10000));
    EXPECT_EQ(data.takeFirst(), (QList<QVariant>{qint64(4096), true}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.count() >= 20; }, 10000));
    EXPECT_EQ(first.count(), 1);

    // The device goes away: it is said, nothing more arrives, and what was
    // recorded is kept through Stop.
    auto* device = qobject_cast<FileAudioInput*>(recorder.input());
    ASSERT_NE(device, nullptr);
    device->disconnectDevice();
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.first()[0].toString().contains("An error occurred during read/write of audio device"));
    EXPECT_FALSE(data.wait(200));
    recorder.stop();
    // Every chunk appended to the recording; the totals grew a chunk at a time.
    for (int k = 0; k < data.count(); ++k)
        EXPECT_EQ(data[k][0].toLongLong(), 4096LL * (k + 2));
    const QByteArray recorded = recorder.recordedData();
    EXPECT_EQ(recorded.size(), data.last()[0].toLongLong());
    EXPECT_EQ(recorder.getRecentData(recorded.size()), QByteArray());
    EXPECT_EQ(recorder.getRecentData(4096), recorded.mid(4096));
    EXPECT_FLOAT_EQ(recorder.getElapsed_s(), static_cast<float>(recorded.size()) / (2.0f * kRate_Hz));

    // Chosen again, the input opens afresh. Live, only the newest chunk is
    // kept, the bytes are counted, and there is no first-data signal (it
    // starts a recording).
    data.clear();
    first.clear();
    recorder.enableHistoricRecording(false);
    recorder.restart(file.name(), kRate_Hz, 2048);
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.count() >= 5; }, 10000));
    recorder.stop();
    EXPECT_EQ(recorder.recordedData().size(), 4096);
    EXPECT_EQ(recorder.getLiveBytesReceived(), 4096LL * data.count());
    EXPECT_EQ(data.last(), (QList<QVariant>{4096LL * data.count(), false}));
    EXPECT_EQ(first.count(), 0);
}

// A file of another rate is refused, not played at the wrong speed. (A
// missing file and a folder are what the main window's tests say.)
TEST(AudioRecorder, AFileOfAnotherRateIsRefused)
{
    QTemporaryDir dir;
    const audioDevices::InputFile file = inputFileOf(dir.filePath("tone.wav"), tone(), 20.0, 2048);
    AudioRecorder recorder(file);
    QSignalSpy data(&recorder, &AudioRecorder::dataReceived);
    recorder.restart(file.name(), 48000, 2048);
    EXPECT_EQ(recorder.input(), nullptr);
    EXPECT_FALSE(data.wait(300));
}

TEST(AudioRecorder, AThreeMinuteRecordingKeepsEverySampleInOrder)
{
    // 181 s of a ramp, played in 400 times faster than real time: the
    // recording passes the 179.9 s limit the main window stops at, and holds
    // the file's samples exactly, chunk after chunk.
    std::vector<short> ramp(181 * kRate_Hz);
    for (std::size_t k = 0; k < ramp.size(); ++k)
        ramp[k] = static_cast<short>(k % 30011 - 15000);
    QTemporaryDir dir;
    const audioDevices::InputFile file = inputFileOf(dir.filePath("ramp.wav"), ramp, 400.0, 2048);
    AudioRecorder recorder(file);
    QSignalSpy data(&recorder, &AudioRecorder::dataReceived);
    recorder.enableHistoricRecording(true);
    recorder.restart(file.name(), kRate_Hz, 2048);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.getElapsed_s() > 179.9f; }, 60000));
    recorder.stop();
    const QByteArray recorded = recorder.recordedData();
    EXPECT_EQ(recorded.size(), 4096LL * data.count());
    EXPECT_EQ(data.last()[0].toLongLong(), recorded.size());
    const QByteArray expected = pcmBytes(ramp);
    // After its end the file input delivers silence.
    const int fromFile = std::min(recorded.size(), expected.size());
    EXPECT_EQ(recorded.left(fromFile), expected.left(fromFile));
    EXPECT_EQ(recorded.mid(fromFile), QByteArray(recorded.size() - fromFile, '\0'));
}

} // namespace
