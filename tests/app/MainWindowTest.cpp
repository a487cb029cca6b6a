// The real main window, offscreen, with the file-backed input and a scratch
// settings store: a live recording of the bundled example against the
// command-line tool, Space, a missing input, the time limit, calibration
// from a played scale, and the internal-error report. Screenshots of what a
// piper sees go to the build tree (and to docs/ with VANTOR_UPDATE_DOCS=1).

#include "AudioProcessor.h"
#include "AudioRecorderWrapper.h"
#include "ChanterSynth.h"
#include "MainWindowFixture.h"
#include "RecordingTranscriber.h"
#include "RowsView.h"
#include "TestSignals.h"
#include "utils.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QSpinBox>

#include <functional>

namespace {

using MainWindowTest = MainWindowFixture;

// (name, onset) of each note of the example's true melody.
std::vector<std::pair<QString, float>> trueMelody()
{
    QFile file(QString(VANTOR_EXAMPLES_DIR) + "/scotland_the_brave.truth.json");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<std::pair<QString, float>> notes;
    for (const QJsonValue& note : QJsonDocument::fromJson(file.readAll()).object()["notes"].toArray())
        notes.emplace_back(note["name"].toString(), static_cast<float>(note["start_s"].toDouble()));
    return notes;
}

TEST_F(MainWindowTest, RecordShowsTheExampleLiveAndStopGivesTheCommandLinesNotes)
{
    open(kExample, 2.0);
    auto* record = find<QAction>("recordAction");
    auto* stop = find<QAction>("stopAction");
    auto* scoreView = find<RowsView>("scoreDockView");
    // Not calibrated: the Low A comes from the recording.
    EXPECT_TRUE(find<QLabel>("notCalibratedLabel")->isVisible());
    EXPECT_FALSE(window->isCalibrated());
    screenshot("idle");

    // The processor lives in its own thread: its signal is taken here queued.
    QObject receiver;
    std::vector<float> estimates;
    QObject::connect(window->processor(), &AudioProcessor::lowAEstimated, &receiver,
                     [&](float lowA_Hz) { estimates.push_back(lowA_Hz); });
    QSignalSpy shown(window.get(), &MainWindow::resultShown);
    record->trigger();
    ASSERT_TRUE(window->isRecording());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(record->isEnabled());
    // Rows appear while the tune plays.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->views().scoreRowCount() >= 1; }, 20000));
    EXPECT_TRUE(window->isRecording());
    screenshot("recording");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > 15.2f; }, 30000));
    stop->trigger();
    EXPECT_FALSE(window->isRecording());
    EXPECT_TRUE(record->isEnabled());
    // The last result covers the whole recording.
    const float recorded_s = static_cast<float>(window->recording().size()) / (2.0f * kRate_Hz);
    // (A slow machine, a sanitizer build, may still be catching up.)
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty() && shown.last()[0].toFloat() > recorded_s - 0.05f; },
                                60000));
    QTest::qWait(100);
    screenshot("after_stop");

    ASSERT_EQ(estimates.size(), 1u);
    const float lowA_Hz = estimates.front();
    EXPECT_NEAR(lowA_Hz, 480.0f, 4.0f);
    EXPECT_EQ(find<QLabel>("lowALabel")->text(), QString("Low A = %1 Hz  ").arg(static_cast<double>(lowA_Hz), 0, 'f', 1));

    // vantor-transcribe's progressive transcription of the same audio, from
    // the same Low A, note for note.
    const QByteArray recording = window->recording();
    const std::vector<short> samples =
        utils::decodePcm16(recording.constData(), static_cast<std::size_t>(recording.size()));
    TranscriptionOptions options;
    options.tuningSource = TuningSource::GivenLowA;
    options.lowA_Hz = lowA_Hz;
    const TranscriptionResult expected = transcribeRecording(samples, kRate_Hz, options);
    EXPECT_EQ(window->lastMelody(), expected.melody);
    EXPECT_EQ(window->lastGracenotes(), expected.gracing);

    // And it is the tune: the true melody's notes are found at their onsets
    // (the recording starts where the file input was at Record).
    const std::vector<std::pair<QString, float>> truth = trueMelody();
    int found = 0;
    for (const auto& [name, onset_s] : truth) {
        for (const auto& entry : window->lastMelody()) {
            if (QString::fromStdString(toString(entry.second.noteName())) == name
                && std::abs(entry.second.start_s() - onset_s) < 0.1f) {
                ++found;
                break;
            }
        }
    }
    EXPECT_GE(found, static_cast<int>(truth.size() * 0.85)) << found << " of " << truth.size();
    EXPECT_FALSE(scoreView->composite().isNull());

    find<QAction>("zoom50Action")->trigger();
    const QSize half = scoreView->composite().size();
    find<QAction>("zoom100Action")->trigger();
    EXPECT_NEAR(half.width(), scoreView->composite().width() / 2, 1);
    find<QAction>("zoom50Action")->trigger();
    screenshot("zoom50");
    find<QAction>("zoom100Action")->trigger();
}

TEST_F(MainWindowTest, SpaceRecordsAndStopsEvenWithTheFocusInTheBpmBox)
{
    open(kExample, 1.0);
    QApplication::setActiveWindow(window.get());
    auto* bpm = find<QSpinBox>("bpmSpinBox");
    bpm->setFocus();
    QTest::keyClick(bpm, Qt::Key_Space);
    EXPECT_TRUE(window->isRecording());
    EXPECT_FALSE(bpm->isEnabled());
    QTest::qWait(300);
    // The disabled spin box has lost the focus: Space reaches Stop through
    // its shortcut.
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_FALSE(window->isRecording());
    EXPECT_TRUE(bpm->isEnabled());
    EXPECT_EQ(bpm->value(), 72);
    bpm->setFocus();
    QTest::keyClick(bpm, Qt::Key_Space);
    EXPECT_TRUE(window->isRecording());
    find<QAction>("stopAction")->trigger();
}

TEST_F(MainWindowTest, RecordIsRefusedWithoutAnAudioInput)
{
    if (!audioDevices::chooseInput(QString(), {}).isEmpty())
        GTEST_SKIP() << "this machine has an audio input";
    open(QString(), 1.0);
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen().isEmpty(); }, 5000));
    EXPECT_TRUE(closer.seen().first().startsWith("No audio input: Vantor cannot record: "));
    EXPECT_FALSE(window->isRecording());
    EXPECT_TRUE(find<QAction>("recordAction")->isEnabled());
}

TEST_F(MainWindowTest, TheExampleStandingInForAMicrophoneIsSaid)
{
    if (!audioDevices::chooseInput(QString(), {}).isEmpty())
        GTEST_SKIP() << "this machine has an audio input";
    // What start-up gives when there is no microphone and no file chosen.
    open(kExample, 1.0, false);
    auto* input = find<QLabel>("inputLabel");
    EXPECT_TRUE(input->isVisible());
    EXPECT_EQ(input->text(), "Input: example recording, no microphone found");
    screenshot("input_example");
}

TEST_F(MainWindowTest, AMissingInputFileIsSaidAtStart)
{
    const QString missing = fileDir.filePath("take.wav");
    closer.inspectWith([&](QWidget* modal) {
        if (modal->windowTitle() == "Input file missing")
            screenshot("input_file_missing");
        return false;
    });
    open(missing, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen().isEmpty(); }, 5000));
    EXPECT_TRUE(closer.seen().first().startsWith("Input file missing: The recording to play in as the input does "
                                                 "not exist:\n" + QDir::toNativeSeparators(missing)))
        << closer.seen().first().toStdString();
    EXPECT_EQ(find<QLabel>("inputLabel")->text(), "Input: file take.wav not found");
    closer.clear();
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen().isEmpty(); }, 5000));
    EXPECT_TRUE(closer.seen().first().startsWith("No audio input: Vantor cannot record: the input file " + missing
                                                 + " does not exist."))
        << closer.seen().first().toStdString();
    EXPECT_FALSE(window->isRecording());
}

TEST_F(MainWindowTest, AFolderGivenAsTheInputFileIsSaidToBeOne)
{
    closer.inspectWith([&](QWidget* modal) {
        if (modal->windowTitle() == "Input file missing")
            screenshot("input_file_folder");
        return false;
    });
    open(fileDir.path(), 1.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen().isEmpty(); }, 5000));
    EXPECT_TRUE(closer.seen().first().startsWith("Input file missing: The recording to play in as the input is a "
                                                 "folder, not a recording:\n" + QDir::toNativeSeparators(fileDir.path())))
        << closer.seen().first().toStdString();
    EXPECT_EQ(find<QLabel>("inputLabel")->text(),
              "Input: file " + QFileInfo(fileDir.path()).fileName() + " cannot be played");
}

TEST_F(MainWindowTest, TuneDetailsTakeTheTypingAndSpaceNeverRecordsUnderADialog)
{
    open(kExample, 1.0);
    int shown = 0;
    closer.inspectWith([&](QWidget* modal) {
        auto* name = modal->findChild<QLineEdit*>("tuneName");
        if (name == nullptr || ++shown > 1)
            return false;
        EXPECT_EQ(modal->focusWidget(), name);
        EXPECT_EQ(name->selectedText(), name->text());
        // Space on the tool bar under the dialog, which otherwise records.
        QTest::keyClick(find<QSpinBox>("bpmSpinBox"), Qt::Key_Space);
        QTest::keyClicks(modal->focusWidget(), "Bonnie Dundee");
        screenshot("tune_details_typed");
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        return true;
    });
    find<QAction>("tuneDetailsAction")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(window->settings().tuneName, "Bonnie Dundee");
    EXPECT_FALSE(window->isRecording());
}

TEST_F(MainWindowTest, TheViewMenuBringsEachViewToTheFront)
{
    open(kExample, 1.0);
    auto* score = find<QDockWidget>("scoreDock");
    auto* timing = find<QDockWidget>("timingDock");
    const std::pair<const char*, QDockWidget*> rows[] = {
        {"showTimingAction", timing}, {"showScoreAction", score}, {"showTimingAction", timing}};
    for (const auto& [name, dock] : rows) {
        auto* action = find<QAction>(name);
        EXPECT_TRUE(action->isEnabled()) << name;
        action->trigger();
        QDockWidget* other = dock == score ? timing : score;
        // Tabbed together at the first start: only the one asked for shows.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->visibleRegion().isEmpty(); }, 2000)) << name;
        EXPECT_TRUE(other->visibleRegion().isEmpty()) << name;
    }
}

TEST_F(MainWindowTest, TheMaximumRecordingTimeStopsTheRecording)
{
    // Three minutes of tone played in 40 times faster than real time, to a
    // metronome at 200 BPM, which checks the time at every click; the
    // transcriber is switched off so that only the capture is timed.
    constexpr double kSpeed = 40.0;
    store("debugDisable", true);
    store("bpm", 200);
    std::vector<short> tone = testsignals::pcm(testsignals::chanterTone(480.0f, kRate_Hz));
    std::vector<short> long_;
    while (long_.size() < 200u * kRate_Hz)
        long_.insert(long_.end(), tone.begin(), tone.end());
    open(writeWave("long.wav", long_), kSpeed);
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closer.seen().isEmpty(); }, 30000));
    EXPECT_EQ(closer.seen().first(), "Recording stopped: Recording stopped as maximum time (180 seconds) reached");
    EXPECT_FALSE(window->isRecording());
    const float recorded_s = static_cast<float>(window->recording().size()) / (2.0f * kRate_Hz);
    EXPECT_GT(recorded_s, MainWindow::kMaximumRecordingTime_s);
    // At most a click (0.3 s of wall time) later.
    EXPECT_LT(recorded_s, MainWindow::kMaximumRecordingTime_s + 0.3f * kSpeed + 2.0f);
}

TEST_F(MainWindowTest, CalibrationFromAPlayedScaleSetsTheLowA)
{
    // A second of silence, the scale of a chanter at 490 Hz without High G,
    // each note held 0.5 s as the user guide advises, a pause, and the
    // whole scale.
    const std::vector<synth::Segment> notes = synth::scale(testsignals::tuningAt(490.0f), 0.5f);
    std::vector<synth::Segment> scale{{0.0f, 1.0f}};
    for (std::size_t note = 0; note < notes.size(); ++note)
        if (note != 7)
            scale.push_back(notes[note]);
    scale.push_back({0.0f, 1.5f});
    scale.insert(scale.end(), notes.begin(), notes.end());
    store("calibrationCountdown_s", 0);
    open(writeWave("scale.wav", testsignals::chanterPcm(scale)), 1.0);
    auto* dialog = find<QProgressDialog>("calibrationDialog");
    find<QAction>("calibrateAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->labelText().contains("Notes detected"); }, 5000));
    // The dialog names the note not heard.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->labelText().contains("Still missing: <b>High G</b>"); },
                                10000))
        << dialog->labelText().toStdString();
    screenshot("calibration_missing_note");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->labelText().contains("SUCCESS"); }, 20000))
        << dialog->labelText().toStdString();
    screenshot("calibration_success");
    EXPECT_TRUE(window->isCalibrated());
    EXPECT_FALSE(find<QLabel>("notCalibratedLabel")->isVisible());
    const float lowA_Hz = window->calibratedTuning().getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    EXPECT_NEAR(lowA_Hz, 490.0f, 3.0f);
    EXPECT_EQ(find<QLabel>("lowALabel")->text(), QString("Low A = %1 Hz  ").arg(static_cast<double>(lowA_Hz), 0, 'f', 1));
    // The dialog closes two seconds after the success.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000));
    // The calibration is kept for the next start.
    window.reset();
    PipeTuning stored;
    QSettings settings;
    ASSERT_TRUE(loadCalibratedTuning(settings, stored));
    EXPECT_NEAR(stored.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA), lowA_Hz, 0.01f);
}

TEST_F(MainWindowTest, CancellingCalibrationKeepsTheTuning)
{
    open(kExample, 1.0);
    auto* dialog = find<QProgressDialog>("calibrationDialog");
    find<QAction>("calibrateAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->isVisible() && dialog->labelText().contains("Countdown"); },
                                5000));
    screenshot("calibration_countdown");
    dialog->cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 2000));
    QTest::qWait(300);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(window->isCalibrated());
}

// However a recording under way ends (the window closed, the desktop session
// ended, the processing failed), what was recorded is autosaved, once.
TEST_F(MainWindowTest, ARecordingUnderWayIsKeptHoweverItEnds)
{
    const std::vector<std::pair<QString, std::function<void(MainWindow&)>>> endings = {
        {"closed", [](MainWindow& w) { w.close(); }},
        {"session", [](MainWindow& w) { w.keepRecording(); }},
        {"failed", [](MainWindow& w) { w.onInternalError("Transcription calculation"); }},
    };
    for (const auto& [what, end] : endings) {
        const QString folder = fileDir.filePath(what);
        store("autoSaveDir", folder);
        open(kExample, 4.0);
        find<QAction>("recordAction")->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > 2.0f; }, 10000));
        end(*window);
        window.reset();
        const QStringList files = QDir(folder).entryList({"*.vnt"}, QDir::Files);
        ASSERT_EQ(files.size(), 1) << what.toStdString();
        ProjectContents project;
        std::string error;
        ASSERT_TRUE(ProjectContents::read((folder + "/" + files.first()).toStdString(), project, error)) << error;
        EXPECT_GT(project.samples.size(), static_cast<std::size_t>(kRate_Hz)) << what.toStdString();
    }
}

TEST_F(MainWindowTest, AnInternalErrorIsReportedOnceAndClosesTheWindow)
{
    open(kExample, 1.0);
    window->onInternalError("Transcription calculation");
    ASSERT_GE(closer.seen().size(), 2);
    EXPECT_TRUE(closer.seen()[0].startsWith("Internal error: There was an internal error in processing."));
    EXPECT_TRUE(closer.seen()[0].endsWith("Additional details: Transcription calculation"));
    EXPECT_EQ(closer.seen()[1], "Nothing to save: You have not recorded anything yet");
    EXPECT_FALSE(window->isVisible());
    closer.clear();
    window->onInternalError("again");
    QTest::qWait(100);
    EXPECT_TRUE(closer.seen().isEmpty());
}

} // namespace
