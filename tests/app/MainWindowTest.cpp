// The real main window, offscreen, with the file-backed input and a scratch
// settings store: a live recording of the bundled example against the
// command-line tool, Space, the menus and dialogs of an idle window, a
// missing input, the time limit, calibration from a played scale, and the
// internal-error report. Screenshots of what a piper sees go to the build
// tree (and to docs/ with VANTOR_UPDATE_DOCS=1).

#include "AudioProcessor.h"
#include "ChanterSynth.h"
#include "MainWindowFixture.h"
#include "RowsView.h"
#include "ScoreEditing.h"
#include "TestSignals.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTextBrowser>

#include <algorithm>


namespace {

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, RecordShowsTheExampleLiveAndStopGivesTheCommandLinesNotes)
{
    open(kExample, 2.0);
    QApplication::setActiveWindow(window.get());
    auto* record = find<QAction>("recordAction");
    auto* stop = find<QAction>("stopAction");
    auto* bpm = find<QSpinBox>("bpmSpinBox");
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
    // Space records and stops, even with the focus in the BPM box.
    bpm->setFocus();
    QTest::keyClick(bpm, Qt::Key_Space);
    ASSERT_TRUE(window->isRecording());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(record->isEnabled());
    EXPECT_FALSE(bpm->isEnabled());
    // Rows appear while the tune plays.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->views().scoreRowCount() >= 1; }, 20000));
    screenshot("recording");
    // The live score is read only: a click on a note selects nothing.
    auto* scoreView = find<RowsView>("scoreDockView");
    ASSERT_FALSE(window->views().scoreItemPlaces().begin()->second.empty());
    const PipeTuneRenderer::ItemPlace place = window->views().scoreItemPlaces().begin()->second.front();
    QTest::mouseClick(scoreView, Qt::LeftButton, Qt::NoModifier,
                      QPoint(static_cast<int>(place.rect.center().x()),
                             scoreView->rowTop(place.row) + static_cast<int>(place.rect.center().y())));
    EXPECT_FALSE(window->editing()->cursor().has_value());
    EXPECT_FALSE(window->editing()->action("noteUp")->isEnabled());
    // The tuning meter follows the playing.
    auto* lowA = find<QLabel>("tuningLowA");
    EXPECT_TRUE(lowA->text().startsWith("Low A as played: ")) << lowA->text().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > 15.2f; }, 30000));
    // The disabled spin box has lost the focus: Space reaches Stop through
    // its shortcut.
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_FALSE(window->isRecording());
    EXPECT_TRUE(record->isEnabled());
    EXPECT_TRUE(bpm->isEnabled());
    EXPECT_EQ(bpm->value(), 72);
    // The last result covers the whole recording.
    ASSERT_TRUE(waitForTheLastResult(shown, recorded_s()));
    QTest::qWait(100);
    screenshot("after_stop");

    ASSERT_EQ(estimates.size(), 1u);
    const float lowA_Hz = estimates.front();
    EXPECT_NEAR(lowA_Hz, 480.0f, 4.0f);
    EXPECT_EQ(find<QLabel>("lowALabel")->text(), lowAText(lowA_Hz));
    // After Stop the meter holds the whole tune: its notes, and Low G, which
    // its opening never plays, not heard.
    EXPECT_EQ(find<QLabel>("tuningCents_LA")->text(), "0.0");
    for (const char* played : {"tuningCents_E", "tuningCents_HA"})
        EXPECT_NE(find<QLabel>(played)->text(), "not heard") << played;
    EXPECT_EQ(find<QLabel>("tuningCents_LG")->text(), "not heard");
    EXPECT_EQ(find<QLabel>("tuningDronesMessage")->text(), "No drones heard");

    // vantor-transcribe's progressive transcription of the same audio, from
    // the same Low A, note for note.
    TranscriptionOptions options;
    options.tuningSource = TuningSource::GivenLowA;
    options.lowA_Hz = lowA_Hz;
    const TranscriptionResult expected = transcribedRecording(options);
    EXPECT_EQ(window->lastMelody(), expected.melody);
    EXPECT_EQ(window->lastGracenotes(), expected.gracing);

    // And it is the tune: the true melody's notes are found at their onsets
    // (the recording starts where the file input was at Record).
    const QJsonArray truth =
        QJsonDocument::fromJson(contents(example("scotland_the_brave.truth.json"))).object()["notes"].toArray();
    int found = 0;
    for (const QJsonValue& note : truth) {
        found += std::any_of(window->lastMelody().begin(), window->lastMelody().end(), [&](const auto& entry) {
            return QString::fromStdString(toString(entry.second.noteName())) == note["name"].toString()
                   && std::abs(entry.second.start_s() - note["start_s"].toDouble()) < 0.1;
        });
    }
    EXPECT_GE(found, static_cast<int>(truth.size() * 0.85)) << found << " of " << truth.size();

    find<QAction>("zoom50Action")->trigger();
    screenshot("zoom50");
    find<QAction>("zoom100Action")->trigger();
    // And Space records again from the BPM box.
    bpm->setFocus();
    QTest::keyClick(bpm, Qt::Key_Space);
    EXPECT_TRUE(window->isRecording());
    stop->trigger();
}

// One idle window, each check in turn; the internal error that closes it
// comes last.
TEST_F(MainWindowTest, AnIdleWindowsMenusAndDialogsAndTheInternalErrorReport)
{
    open(kExample, 1.0);
    auto* bpm = find<QSpinBox>("bpmSpinBox");
    // Nothing to play before a recording.
    find<QAction>("playAudioAction")->trigger();
    EXPECT_EQ(firstSeen(), "Nothing to play: There is no audio to play yet");

    // The tune details dialog takes the typing at once, and Space on the
    // tool bar under it, which otherwise records, does not.
    int detailsShown = 0;
    closer.inspectWith([&](QWidget* modal) {
        if (modal->objectName() == "aboutBox") {
            auto* box = qobject_cast<QMessageBox*>(modal);
            EXPECT_TRUE(box->informativeText().startsWith("<p><b>Vantor</b></p><p>Version: 1.8</p>"));
            EXPECT_TRUE(box->detailedText().startsWith("Vantor End-User Licence Agreement"));
            screenshot("about");
        }
        auto* name = modal->findChild<QLineEdit*>("tuneName");
        if (name == nullptr || ++detailsShown > 1)
            return false;
        screenshot("tune_details");
        EXPECT_EQ(modal->focusWidget(), name);
        EXPECT_EQ(name->selectedText(), name->text());
        QTest::keyClick(bpm, Qt::Key_Space);
        QTest::keyClicks(modal->focusWidget(), "Bonnie Dundee");
        screenshot("tune_details_typed");
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        return true;
    });
    find<QAction>("tuneDetailsAction")->trigger();
    EXPECT_EQ(detailsShown, 1);
    EXPECT_EQ(window->settings().tuneName, "Bonnie Dundee");
    EXPECT_FALSE(window->isRecording());
    closer.clear();
    find<QAction>("aboutAction")->trigger();
    EXPECT_TRUE(firstSeen().startsWith("About Vantor: ")) << firstSeen().toStdString();

    // The View menu brings each view to the front; tabbed together at the
    // first start, only the one asked for shows.
    auto* score = find<QDockWidget>("scoreDock");
    auto* timing = find<QDockWidget>("timingDock");
    const std::pair<const char*, QDockWidget*> rows[] = {
        {"showTimingAction", timing}, {"showScoreAction", score}, {"showTimingAction", timing}};
    for (const auto& [name, dock] : rows) {
        auto* action = find<QAction>(name);
        EXPECT_TRUE(action->isEnabled()) << name;
        action->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dock->visibleRegion().isEmpty(); }, 2000)) << name;
        EXPECT_TRUE((dock == score ? timing : score)->visibleRegion().isEmpty()) << name;
    }

    // Cancelling the calibration during its countdown keeps the tuning.
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

    // The user guide and every picture it shows are in the resource folder.
    const QString guide = appResources::path("help/index.html");
    const QRegularExpression image("<img src=\"([^\"]+)\"");
    for (auto match = image.globalMatch(QString::fromUtf8(contents(guide))); match.hasNext();) {
        const QString picture = match.next().captured(1);
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(guide).dir().filePath(picture))) << picture.toStdString();
    }
    QTextBrowser browser;
    browser.setSearchPaths({QFileInfo(guide).path()});
    browser.setSource(QUrl::fromLocalFile(guide));
    browser.resize(900, 1200);
    saveShot(browser.grab().toImage(), "help");

    // An internal error is reported once, with nothing recorded to save,
    // and closes the window.
    closer.clear();
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

// What start-up and Record say of an input file that cannot be played, of
// the example standing in for a missing microphone (no file chosen), and of
// no input at all.
TEST_F(MainWindowTest, EachInputIsSaidAtStartAndRecordIsRefusedWithoutOne)
{
    const bool microphone = !audioDevices::chooseInput(QString(), {}).isEmpty();
    const QString missing = fileDir.filePath("take.wav");
    const QString folder = fileDir.path();
    const struct {
        QString path;
        bool chosen;
        QString atStart, label, shot, atRecord;
    } rows[] = {
        {missing, true, "The recording to play in as the input does not exist:\n" + QDir::toNativeSeparators(missing),
         "Input: file take.wav not found", "input_file_missing", "the input file " + missing + " does not exist."},
        {folder, true,
         "The recording to play in as the input is a folder, not a recording:\n" + QDir::toNativeSeparators(folder),
         "Input: file " + QFileInfo(folder).fileName() + " cannot be played", "input_file_folder",
         "the input file " + folder + " is a folder, not a recording."},
        {kExample, false, "", "Input: example recording, no microphone found", "input_example", ""},
        {"", true, "", "", "", "No audio input device was found."},
    };
    for (const auto& row : rows) {
        if (microphone && (!row.chosen || row.path.isEmpty()))
            continue; // this machine's microphone would be chosen
        closer.clear();
        closer.inspectWith([this, shot = row.shot](QWidget*) {
            screenshot(shot);
            return false;
        });
        open(row.path, 1.0, row.chosen);
        if (!row.atStart.isEmpty()) {
            EXPECT_TRUE(firstSeen().startsWith("Input file missing: " + row.atStart)) << firstSeen().toStdString();
        } else if (!row.shot.isEmpty()) {
            screenshot(row.shot);
        }
        closer.inspectWith(nullptr);
        if (!row.label.isEmpty()) {
            EXPECT_EQ(find<QLabel>("inputLabel")->text(), row.label);
        }
        if (!row.atRecord.isEmpty()) {
            closer.clear();
            find<QAction>("recordAction")->trigger();
            EXPECT_TRUE(firstSeen().startsWith("No audio input: Vantor cannot record: " + row.atRecord))
                << firstSeen().toStdString();
            EXPECT_FALSE(window->isRecording());
            EXPECT_TRUE(find<QAction>("recordAction")->isEnabled());
        }
        window.reset();
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
    const std::vector<short> tone = testsignals::pcm(testsignals::chanterTone(480.0f, 200u * kRate_Hz));
    open(write("long.wav", waveFileBytes(tone, kRate_Hz)), kSpeed);
    find<QAction>("recordAction")->trigger();
    EXPECT_EQ(firstSeen(), "Recording stopped: Recording stopped as maximum time (180 seconds) reached");
    EXPECT_FALSE(window->isRecording());
    EXPECT_GT(recorded_s(), MainWindow::kMaximumRecordingTime_s);
    // At most a click (0.3 s of wall time) later.
    EXPECT_LT(recorded_s(), MainWindow::kMaximumRecordingTime_s + 0.3f * kSpeed + 2.0f);
}

TEST_F(MainWindowTest, CalibrationFromAPlayedScaleSetsTheLowA)
{
    // A second of silence, the scale of a chanter at 490 Hz without High G,
    // each note held 0.5 s as the user guide advises, a pause, and the
    // whole scale.
    const std::vector<synth::Segment> notes = synth::scale(testsignals::tuningAt(490.0f), 0.5f);
    std::vector<synth::Segment> scale{{0.0f, 1.0f}};
    scale.insert(scale.end(), notes.begin(), notes.begin() + 7);
    scale.insert(scale.end(), notes.begin() + 8, notes.end());
    scale.push_back({0.0f, 1.5f});
    scale.insert(scale.end(), notes.begin(), notes.end());
    store("calibrationCountdown_s", 0);
    open(write("scale.wav", waveFileBytes(testsignals::chanterPcm(scale), kRate_Hz)), 1.0);
    auto* dialog = find<QProgressDialog>("calibrationDialog");
    find<QAction>("calibrateAction")->trigger();
    auto waitForLabel = [&](const QString& text, int timeout_ms) {
        return QTest::qWaitFor([&] { return dialog->labelText().contains(text); }, timeout_ms);
    };
    ASSERT_TRUE(waitForLabel("Notes detected", 5000));
    // The dialog names the note not heard.
    ASSERT_TRUE(waitForLabel("Still missing: <b>High G</b>", 10000)) << dialog->labelText().toStdString();
    screenshot("calibration_missing_note");
    ASSERT_TRUE(waitForLabel("SUCCESS", 20000)) << dialog->labelText().toStdString();
    screenshot("calibration_success");
    EXPECT_TRUE(window->isCalibrated());
    EXPECT_FALSE(find<QLabel>("notCalibratedLabel")->isVisible());
    const float lowA_Hz = window->calibratedTuning().getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    EXPECT_NEAR(lowA_Hz, 490.0f, 3.0f);
    EXPECT_EQ(find<QLabel>("lowALabel")->text(), lowAText(lowA_Hz));
    // The dialog closes two seconds after the success.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000));
    // The calibration is kept for the next start.
    window.reset();
    PipeTuning stored;
    QSettings settings;
    ASSERT_TRUE(loadCalibratedTuning(settings, stored));
    EXPECT_NEAR(stored.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA), lowA_Hz, 0.01f);
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
        EXPECT_GT(readProject(folder + "/" + files.first()).samples.size(), static_cast<std::size_t>(kRate_Hz))
            << what.toStdString();
    }
}

} // namespace
