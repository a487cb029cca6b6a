// Playback of a stored recording through the silent output, played twenty
// times faster than real time: position reports, the end of the audio, and
// the playback window's states, slider and label.

#include "AudioDevices.h"
#include "AudioMetaTypes.h"
#include "AudioPlaybackDialog.h"
#include "AudioPlayer.h"
#include "ProjectContents.h"
#include "TestSignals.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kRate_Hz = 44100;

QByteArray seconds(float duration_s)
{
    return pcmBytes(testsignals::pcm(testsignals::chanterTone(480.0f, static_cast<std::size_t>(duration_s * kRate_Hz))));
}

class AudioPlaybackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        registerAudioMetaTypes();
        audioDevices::setSilentOutputSpeed(20.0);
    }
    void TearDown() override { audioDevices::setSilentOutputSpeed(1.0); }
};

TEST_F(AudioPlaybackTest, PlayerReportsItsPositionAndTheEnd)
{
    AudioPlayer player;
    player.setSampleRate(kRate_Hz);
    QObject receiver;
    std::vector<qint64> positions;
    bool finished = false;
    QObject::connect(&player, &AudioPlayer::dataPlayed, &receiver,
                     [&](const char*, qint64 position, bool) { positions.push_back(position); });
    QObject::connect(&player, &AudioPlayer::audioFinished, &receiver, [&] { finished = true; });
    player.setAudioDevice(audioDevices::kSilentOutputName);
    player.setAudioData(seconds(2.0f));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000));
    ASSERT_GT(positions.size(), 5u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), 2 * 2 * kRate_Hz); // the full position at the end
    // Until the end, what is reported is held back by the output's read-ahead.
    const qint64 end = positions.back();
    for (qint64 position : positions)
        EXPECT_TRUE(position == end || position <= end - AudioPlayer::kReadAhead_B) << position;
    player.quit();
    player.waitForThread();
    EXPECT_FLOAT_EQ(player.time_s(), 2.0f);
    EXPECT_EQ(player.bufferSubset(0.5f, 0.5f), QByteArray());
    EXPECT_EQ(player.bufferSubset(0.0f, 0.5f).size(), kRate_Hz);
}

// One dialog: played, paused, resumed and played to the end; then an output
// that refuses the recording, and another chosen.
TEST_F(AudioPlaybackTest, DialogFollowsThePlayerAndOffersAnotherOutputWhenOneCannotPlay)
{
    AudioPlaybackDialog dialog;
    dialog.initialise(kRate_Hz, audioDevices::kSilentOutputName, seconds(3.0f));
    EXPECT_EQ(dialog.slider()->maximum(), 3000);
    EXPECT_EQ(dialog.timeLabel()->text(), "  0.0 /   3.0 secs");
    EXPECT_FALSE(dialog.playButton()->isEnabled());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.slider()->value() > 500; }, 20000));
    dialog.grab().save(QString(VANTOR_SCREENSHOT_DIR) + "/playback-dialog.png");

    // Pause keeps the position; Play resumes from it, not from 0.
    QTest::mouseClick(dialog.pauseButton(), Qt::LeftButton);
    const int paused = dialog.slider()->value();
    QTest::qWait(100);
    EXPECT_EQ(dialog.slider()->value(), paused);
    QTest::mouseClick(dialog.playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.slider()->value() > paused; }, 20000));

    // At the end of the audio the dialog is stopped with the slider at 0.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.playButton()->isEnabled(); }, 20000));
    EXPECT_EQ(dialog.slider()->value(), 0);
    EXPECT_FALSE(dialog.stopButton()->isEnabled());

    // What the player reports when the device refuses the format.
    emit dialog.player().playbackFailed("Speakers", "raw audio format not supported by backend, cannot play audio. "
                                                    "Device is Speakers");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.problemLabel()->isVisible(); }, 5000));
    EXPECT_TRUE(dialog.problemLabel()->text().contains("Speakers cannot play this recording"));
    EXPECT_TRUE(dialog.playButton()->isEnabled());
    EXPECT_FALSE(dialog.pauseButton()->isEnabled());
    EXPECT_EQ(dialog.timeLabel()->text(), "  0.0 /   3.0 secs");
    EXPECT_NE(dialog.outputChoice()->findData(audioDevices::kSilentOutputName), -1);
    EXPECT_EQ(dialog.outputChoice()->findData("Speakers"), -1);
    QTest::qWait(50);
    dialog.grab().save(QString(VANTOR_SCREENSHOT_DIR) + "/playback-dialog-cannot-play.png");
    // Played on the output chosen instead.
    dialog.outputChoice()->setCurrentIndex(dialog.outputChoice()->findData(audioDevices::kSilentOutputName));
    QTest::mouseClick(dialog.playButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.slider()->value() > 500; }, 20000));
    EXPECT_FALSE(dialog.problemLabel()->isVisible());
    EXPECT_EQ(dialog.outputDevice(), audioDevices::kSilentOutputName);
    dialog.updatePlaybackTimes(2.5f);
    EXPECT_EQ(dialog.timeLabel()->text(), "  2.5 /   3.0 secs");
}

} // namespace
