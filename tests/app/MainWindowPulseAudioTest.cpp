// The main window recording through a real sound server: a PulseAudio
// daemon of the test's own with a null sink, whose monitor is the system
// input Vantor records from, while the bundled example is played into the
// sink; the metronome's click goes to the same sink, as a piper's speakers
// reach the microphone. The transcription must be the command line's of the
// file, click or none. Skipped where PulseAudio is not installed (CI, which
// sets VANTOR_REQUIRE_PULSEAUDIO, fails instead).

#include "MainWindowFixture.h"
#include "PulseAudioServer.h"
#include "ScratchHome.h"
#include "AudioFileReader.h"

#include <QProcess>

#include <memory>
#include <tuple>

namespace {

std::unique_ptr<PulseAudioServer> gServer;
QString gServerProblem;

class MainWindowPulseAudioTest : public MainWindowFixture, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        if (gServer == nullptr) {
            if (qEnvironmentVariableIsSet("VANTOR_REQUIRE_PULSEAUDIO"))
                FAIL() << "PulseAudio is required here: " << gServerProblem.toStdString();
            GTEST_SKIP() << gServerProblem.toStdString();
        }
        MainWindowFixture::SetUp();
    }

    static std::vector<std::string> names(const NoteMap& notes)
    {
        std::vector<std::string> result;
        for (const auto& entry : notes)
            result.push_back(toString(entry.second.noteName()));
        return result;
    }
};

TEST_P(MainWindowPulseAudioTest, RecordingThroughTheSoundServerGivesTheFilesTranscription)
{
    const bool click = GetParam();
    store("metronomeEnabled", click);
    open(QString(), 1.0);
    ASSERT_TRUE(window->inputFile().path.isEmpty());

    QSignalSpy shown(window.get(), &MainWindow::resultShown);
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(window->isRecording());
    // The first click sounds with the first audio.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > 0.2f; }, 10000));
    QProcess player;
    player.start("paplay", {"--device=" + QString(PulseAudioServer::kSink), kExample});
    // The window's clock runs meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return player.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
    // The tail of the last note arrives through the server's buffers.
    const float end_s = window->recorderWrapper()->getElapsed_s() + 0.5f;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > end_s; }, 10000));
    find<QAction>("stopAction")->trigger();
    ASSERT_TRUE(waitForTheLastResult(shown, recorded_s()));
    if (click) {
        EXPECT_GT(window->metronome().clickCount(), 15);
    }

    AudioData audio;
    std::string error;
    ASSERT_TRUE(readAudioFile(kExample.toStdString(), audio, error)) << error;
    const TranscriptionResult file = transcribeRecording(audio.samples, audio.samplingFrequency_Hz, {});
    EXPECT_EQ(window->lastMelody().size(), file.melody.size());
    EXPECT_EQ(window->lastGracenotes().size(), file.gracing.size());
    EXPECT_EQ(names(window->lastMelody()), names(file.melody));
    EXPECT_EQ(names(window->lastGracenotes()), names(file.gracing));
    // Re-transcribed, the recording's clicks are taken out again.
    const NoteMap melody = window->lastMelody();
    const NoteMap gracing = window->lastGracenotes();
    find<QAction>("retranscribeAction")->trigger();
    ASSERT_TRUE(window->isPlayingBack());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 60000));
    EXPECT_EQ(window->lastMelody(), melody);
    EXPECT_EQ(window->lastGracenotes(), gracing);
    // Saved and opened again, too: the project keeps where the clicks were.
    const QString project = fileDir.filePath("take.vnt");
    ASSERT_TRUE(window->saveVnt(project, true));
    ASSERT_TRUE(window->openVnt(project, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 60000));
    EXPECT_EQ(window->lastMelody(), melody);
    EXPECT_EQ(window->lastGracenotes(), gracing);

    // The click was heard: the recording as it is transcribes otherwise.
    if (click) {
        const TranscriptionResult heard = transcribedRecording({});
        EXPECT_NE(std::tuple(names(heard.melody), names(heard.gracing)),
                  std::tuple(names(file.melody), names(file.gracing)));
    }
}

INSTANTIATE_TEST_SUITE_P(Click, MainWindowPulseAudioTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ClickOnTheSameDevice" : "NoClick"; });

} // namespace

int main(int argc, char** argv)
{
    const ScratchHome home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // Before any audio is touched: Qt connects to the server once.
    if (PulseAudioServer::installed()) {
        gServer = std::make_unique<PulseAudioServer>();
        gServerProblem = gServer->start();
        if (!gServerProblem.isEmpty())
            gServer.reset();
    } else {
        gServerProblem = "pulseaudio, pactl or paplay is not installed";
    }
    const int result = RUN_ALL_TESTS();
    gServer.reset();
    return result;
}
