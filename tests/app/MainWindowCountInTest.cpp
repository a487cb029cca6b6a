// The count-in in the window, the file-backed input at its own pace, and the
// click volume slider.

#include "MainWindowFixture.h"
#include "TestSignals.h"

#include <QComboBox>
#include <QSlider>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

using MainWindowCountInTest = MainWindowFixture;
// Each click's time on the recording's clock, whether in the count-in, the count shown.
using Clicks = std::vector<std::tuple<float, bool, QString>>;

void listen(MainWindow& window, Clicks& clicks)
{
    auto* count = window.findChild<QLabel*>("countInLabel");
    QObject::connect(&window, &MainWindow::clickPlayed, &window, [&clicks, count](float time_s, bool countIn) {
        clicks.emplace_back(time_s, countIn, count->isVisible() ? count->text() : QString());
    });
}

TEST_F(MainWindowCountInTest, TheCountInClicksBeforeTheRecordingsFirstSampleAndIsNotTakenOut)
{
    store("bpm", 200); // a bar of 4/4 in 1.2 s
    const std::size_t length = 4 * kRate_Hz;
    const std::vector<short> played = testsignals::pcm(
        testsignals::mix(testsignals::chanterTone(480.0f, length), testsignals::noise(length, 0.05f, 7)));
    open(write("tone.wav", waveFileBytes(played, kRate_Hz)), 1.0);
    Clicks clicks;
    listen(*window, clicks);
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks.size() >= 3; }, 10000));
    screenshot("count_in");
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicks.size() >= 8; }, 10000));
    find<QAction>("stopAction")->trigger();

    const QString counts[] = {"Count-in 1", "Count-in 1 2", "Count-in 1 2 3", "Count-in 1 2 3 4", ""};
    for (int k = 0; k < 5; ++k) {
        const auto& [time_s, countIn, count] = clicks[k];
        EXPECT_EQ(std::make_tuple(count, countIn, countIn && time_s >= 0.0f),
                  std::make_tuple(counts[k], k < 4, false));
    }
    // The downbeat on the recording's first sample, within the 50 ms the timer keeps to.
    const long downbeat_samples = std::lround(std::get<0>(clicks[4]) * kRate_Hz);
    EXPECT_LT(std::abs(downbeat_samples), kRate_Hz / 20);

    // The recording is the file from its first sample; only its clicks are
    // marked, the downbeat's (a bar's) first, where it sounded (to the ms).
    const QByteArray& recording = window->recording();
    ASSERT_GT(recording.size(), kRate_Hz);
    const std::vector<short> recorded =
        utils::decodePcm16(recording.constData(), static_cast<std::size_t>(recording.size()));
    EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), played.begin()));
    const auto marks = window->recorderWrapper()->recorder()->clicksSince(0);
    ASSERT_EQ(marks.size(), clicks.size() - 4);
    EXPECT_EQ(marks.front().sound, 1);
    EXPECT_NEAR(static_cast<long>(marks.front().position), std::max(downbeat_samples, 0L), kRate_Hz / 1000 + 1);
}

TEST_F(MainWindowCountInTest, SpaceInTheCountInStopsItWithNothingRecordedAndTheClickVolumeIsKept)
{
    // A slow count-in without the metronome's sound still counts; Space in it stops.
    store("bpm", 20);
    store("metronomeEnabled", false);
    open(kExample, 1.0);
    closer.inspectWith([&](QWidget* modal) {
        auto* countIn = modal->findChild<QComboBox*>("countInCombo");
        if (countIn == nullptr)
            return false;
        EXPECT_EQ(countIn->currentIndex(), 1);
        countIn->setCurrentIndex(2);
        screenshot("settings_count_in");
        qobject_cast<QDialog*>(modal)->accept();
        return true;
    });
    find<QAction>("settingsAction")->trigger();
    EXPECT_EQ(window->settings().countInBars, 2);

    auto* slider = find<QSlider>("clickVolumeSlider");
    EXPECT_EQ(slider->value(), 100);
    slider->setFocus();
    for (int step = 0; step < 6; ++step)
        QTest::keyClick(slider, Qt::Key_PageDown);
    const qreal volume = window->clickSound().volume();
    EXPECT_EQ(slider->value(), 40);
    EXPECT_TRUE(volume > 0.0 && volume < 0.4) << volume; // on the ear's scale
    EXPECT_EQ(window->barClickSound().volume(), volume);
    saveShot(find<QToolBar>("metronomeToolBar")->grab().toImage(), "metronome_tool_bar");

    Clicks clicks;
    listen(*window, clicks);
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(slider, Qt::Key_Space);
    ASSERT_TRUE(window->isRecording());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !clicks.empty(); }, 10000));
    EXPECT_EQ(std::get<2>(clicks.front()), "Count-in 1");
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_FALSE(window->isRecording());
    EXPECT_TRUE(window->recording().isEmpty());
    EXPECT_TRUE(window->recorderWrapper()->recorder()->clicksSince(0).empty());
    EXPECT_FALSE(find<QLabel>("countInLabel")->isVisible());
    QTest::qWait(3500); // a beat at 20 BPM, and more
    EXPECT_EQ(clicks.size(), 1u);

    // Nothing to autosave; the volume is kept and applied at the next start.
    window.reset();
    EXPECT_TRUE(QDir(fileDir.filePath("autosave")).entryList({"*.vnt"}, QDir::Files).isEmpty());
    open(kExample, 1.0);
    EXPECT_EQ(find<QSlider>("clickVolumeSlider")->value(), 40);
    EXPECT_EQ(std::make_pair(window->clickSound().volume(), window->barClickSound().volume()),
              std::make_pair(volume, volume));
}

} // namespace
