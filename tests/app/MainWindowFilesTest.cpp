// The main window's files, offscreen with a scratch settings store: every
// bundled example opens and transcribes as vantor-transcribe transcribes
// it, every save format is checked by content, autosaves rotate, bad files
// and unwritable places are refused with nothing lost, and the settings,
// playback and save dialogs are looked at.

#include "AudioFileReader.h"
#include "FileSizeLimit.h"
#include "Golden.h"
#include "AudioProcessor.h"
#include "MainWindowFixture.h"
#include "RowsView.h"
#include "ScoreEditing.h"
#include "SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <cerrno>
#include <cstring>

namespace {

class MainWindowFilesTest : public MainWindowFixture
{
protected:
    // vantor-transcribe's transcription of a project, from its calibration.
    static TranscriptionResult transcribedByTheCommandLine(const ProjectContents& project)
    {
        TranscriptionOptions options;
        options.tuningSource = TuningSource::Calibrated;
        options.calibratedTuning = project.calibration.value_or(PipeTuning());
        return transcribeRecording(project.samples, project.samplingFrequency_Hz, options);
    }

    // A saved WAVE file as a recording is read.
    static AudioData savedWave(const QString& path)
    {
        AudioData audio;
        std::string error;
        EXPECT_TRUE(readAudioFile(path.toStdString(), audio, error)) << error;
        return audio;
    }
};

TEST_F(MainWindowFilesTest, EveryExampleOpensAndTranscribesAsTheCommandLineDoes)
{
    const QStringList examples = QDir(QString(VANTOR_EXAMPLES_DIR)).entryList({"*.vnt"}, QDir::Files, QDir::Name);
    ASSERT_GE(examples.size(), 3);
    QStringList signatures;
    for (const QString& name : examples) {
        open(kExample, 1.0);
        openProject(example(name));
        const ProjectContents project = readProject(example(name));
        ASSERT_TRUE(project.calibration.has_value());
        const TranscriptionResult expected = transcribedByTheCommandLine(project);
        EXPECT_EQ(window->lastMelody(), expected.melody) << name.toStdString();
        EXPECT_EQ(window->lastGracenotes(), expected.gracing) << name.toStdString();
        EXPECT_GT(expected.melody.size(), 20u) << name.toStdString();
        // The tune's details and metre are the window's now.
        EXPECT_EQ(window->settings().tuneName.toStdString(), project.tuneName);
        EXPECT_EQ(window->settings().bpm, project.bpm);
        // Barred as the tune is written: each example opens with a pick-up,
        // a short first bar before a whole one.
        const PipeTuneModel& model = window->views().model();
        ASSERT_FALSE(model.parts.empty());
        ASSERT_GE(model.parts.front().bars.size(), 2u);
        auto melody32 = [](const PipeTuneModel::Bar& bar) {
            int total = 0;
            for (const PipeTuneModel::Item& item : bar.items)
                total += isMelodyNote(item.name) ? item.totalDuration32() : 0;
            return total;
        };
        const int bar32 = 32 * project.timeSigNumerator / project.timeSigDenominator;
        EXPECT_LT(melody32(model.parts.front().bars[0]), bar32) << name.toStdString();
        EXPECT_EQ(melody32(model.parts.front().bars[1]), bar32) << name.toStdString();
        signatures << find<QComboBox>("timeSignatureCombo")->currentText();
        screenshot("example_" + QFileInfo(name).baseName());
        window.reset();
    }
    signatures.removeDuplicates();
    EXPECT_GE(signatures.size(), 3) << signatures.join(", ").toStdString();
}

// A recording in every format sox writes, at another rate and in stereo,
// opened or dropped, gives the notes vantor-transcribe gives; a cancelled
// opening leaves the tune shown as it was.
TEST_F(MainWindowFilesTest, EveryAudioFormatOpensAsTheCommandLineTranscribesItAndCancelChangesNothing)
{
    const QString sox = QStandardPaths::findExecutable("sox");
    if (sox.isEmpty())
        GTEST_SKIP() << "sox is not installed";
    open(kExample, 1.0);
    const std::vector<std::pair<QString, QStringList>> cases = {
        {"tune.wav", {}}, {"tune.flac", {}}, {"tune.ogg", {}}, {"tune.aiff", {}}, {"tune.mp3", {}},
        {"tune_48k.wav", {"rate", "48000"}}, {"tune_stereo.flac", {"channels", "2"}}};
    for (const auto& [name, effects] : cases) {
        const QString path = fileDir.filePath(name);
        ASSERT_EQ(QProcess::execute(sox, QStringList{kExample, path, "trim", "0", "12"} + effects), 0);
        if (name.endsWith(".flac")) { // dropped from a file manager
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &enter);
            EXPECT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &drop);
        } else {
            ASSERT_TRUE(window->openFile(path, true)) << name.toStdString();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return window->recentFiles().value(0) == QFileInfo(path).absoluteFilePath() && !window->isPlayingBack();
        }, 30000));
        SCOPED_TRACE(name.toStdString());
        const AudioData audio = savedWave(path);
        const TranscriptionResult expected =
            transcribeRecording(audio.samples, audio.samplingFrequency_Hz, TranscriptionOptions());
        EXPECT_GT(expected.melody.size(), 10u);
        EXPECT_EQ(window->lastMelody(), expected.melody);
        EXPECT_EQ(window->lastGracenotes(), expected.gracing);
        EXPECT_EQ(window->recordingRate_Hz(), static_cast<int>(audio.samplingFrequency_Hz));
        EXPECT_EQ(window->recording().size(), static_cast<int>(2 * audio.samples.size()));
        EXPECT_EQ(window->settings().tuneName, QFileInfo(name).completeBaseName());
        EXPECT_TRUE(find<QAction>("followBeatAction")->isChecked());
    }

    // Saved as a project, it opens as one.
    const QString project = fileDir.filePath("imported.vnt");
    ASSERT_TRUE(window->saveVnt(project, true));
    const NoteMap melody = window->lastMelody();
    openProject(project);
    EXPECT_EQ(window->lastMelody(), melody);

    // A longer recording, cancelled as soon as it starts.
    const QString longer = fileDir.filePath("long.wav");
    ASSERT_EQ(QProcess::execute(sox, {kExample, longer, "repeat", "3"}), 0);
    const QByteArray recording = window->recording();
    auto bww = [&] { return scoreBww(window->editing()->score(), window->settings().scoreSettings()); };
    const std::string shown = bww();
    const QString tuneName = window->settings().tuneName;
    ASSERT_TRUE(window->openFile(longer, false));
    auto* progress = find<QProgressDialog>("transcribeDialog");
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->isVisible(); }, 5000));
    screenshot("transcribe_progress");
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 30000));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(window->recording(), recording);
    EXPECT_EQ(window->lastMelody(), melody);
    EXPECT_EQ(window->settings().tuneName, tuneName);
    EXPECT_EQ(bww(), shown);
    EXPECT_TRUE(window->statusBar()->currentMessage().contains("cancelled"));
}

// One project open in the window, saved and exported in each format, through
// Save As, to places that cannot be written, then bad files opened over it.
TEST_F(MainWindowFilesTest, EverySaveFormatWritesWhatTheWindowHoldsAndFailuresChangeNothing)
{
    open(kExample, 1.0);
    saveShot(window->menuBar()->actions().value(0)->menu()->grab().toImage(), "file_menu");
    for (const char* action : {"saveAsAction", "exportMusicXmlAction"})
        find<QAction>(action)->trigger();
    const QString nothing = "Nothing to save: You have not recorded anything yet";
    EXPECT_EQ(closer.seen(), QStringList({nothing, nothing}));
    closer.clear();
    const QString source = example("barren_rocks_of_aden.vnt");
    openProject(source);
    const QString dir = fileDir.path();

    // BWW: the score as text, kept as a golden file.
    ASSERT_TRUE(window->saveBww(dir + "/tune.bww"));
    expectMatchesGolden("barren_rocks_of_aden.bww", QString::fromLatin1(contents(dir + "/tune.bww")).toStdString());

    // PNG: the views at the zoom they are shown at; at full size the same
    // pictures as vantor-transcribe draws from the same project, pixel for
    // pixel, and MusicXML byte for byte. The tool bar holds the time shift to
    // the hundredth of a second; the command line is given the one the window uses.
    auto* scoreView = find<RowsView>("scoreDockView");
    ASSERT_TRUE(window->saveScorePng(dir + "/score.png"));
    ASSERT_TRUE(window->saveTimingPng(dir + "/timing.png"));
    auto image = [&](const QString& name) { return QImage(dir + "/" + name).convertToFormat(QImage::Format_RGB32); };
    const QImage score = image("score.png");
    EXPECT_EQ(score.size(), scoreView->composite().size());
    QProcess cli;
    cli.start(VANTOR_TRANSCRIBE, {source, "--png", dir + "/cli.png", "--timing-png", dir + "/cli.t.png", "--musicxml",
                                  dir + "/cli.musicxml", "--time-shift",
                                  QString::number(static_cast<double>(window->settings().timeShift_s))});
    ASSERT_TRUE(cli.waitForFinished(120000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(score, image("cli.png"));
    EXPECT_EQ(image("timing.png"), image("cli.t.png"));
    saveShot(score, "saved_score");
    window->onZoom50();
    screenshot("score_at_half_size");
    ASSERT_TRUE(window->saveScorePng(dir + "/score50.png"));
    EXPECT_EQ(image("score50.png").width(), scoreView->composite().width());
    EXPECT_EQ(image("score50.png").width(), score.width() / 2);
    window->onZoom100();

    // WAVE: the recording at its rate, sample for sample.
    const QByteArray recording = window->recording();
    ASSERT_TRUE(window->saveWav(dir + "/tune.wav"));
    const AudioData wave = savedWave(dir + "/tune.wav");
    EXPECT_EQ(wave.samplingFrequency_Hz, 44100.0f);
    EXPECT_EQ(pcmBytes(wave.samples), recording);

    // Project: the same recording, details and calibration, and where the
    // recording first came from.
    ASSERT_TRUE(window->saveVnt(dir + "/again.vnt", true));
    const ProjectContents original = readProject(source);
    const ProjectContents saved = readProject(dir + "/again.vnt");
    auto kept = [](const ProjectContents& p) {
        return std::tie(p.samples, p.tuneName, p.timeSigNumerator, p.timeSigDenominator, p.bpm, p.recordedTime,
                        p.recordedInstallId);
    };
    EXPECT_EQ(kept(saved), kept(original));
    ASSERT_TRUE(saved.calibration.has_value());
    EXPECT_NEAR(saved.calibration->lowA_Hz(), original.calibration->lowA_Hz(), 0.01f);
    EXPECT_TRUE(closer.seen().isEmpty()) << closer.seen().join("\n").toStdString();

    // MusicXML through a dialog of its own, which proposes the tune's name;
    // its folder is the one proposed next.
    QString proposed;
    closer.inspectWith([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            proposed = dialog->selectedFiles().value(0);
            screenshot("export_musicxml_dialog");
        }
        return false;
    });
    closer.answerFileDialogWith(dir + "/tune.musicxml");
    find<QAction>("exportMusicXmlAction")->trigger();
    EXPECT_EQ(firstSeen(), "Export MusicXML: " + dir + "/tune.musicxml");
    EXPECT_EQ(QFileInfo(proposed).fileName(), "The Barren Rocks of Aden.musicxml");
    EXPECT_TRUE(contents(dir + "/tune.musicxml").contains("<work-title>The Barren Rocks of Aden</work-title>"));
    EXPECT_EQ(contents(dir + "/tune.musicxml"), contents(dir + "/cli.musicxml"));
    EXPECT_EQ(QFileInfo(window->getSuggestedFileName()).path(), dir);

    // Save As offers the five formats; an extension typed names the format,
    // whichever filter is selected (the project's at first, then the last
    // one used): how each file begins.
    QStringList filters;
    closer.inspectWith([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            filters = dialog->nameFilters();
            screenshot("save_dialog");
        } else if (modal->objectName() == "playbackDialog") {
            screenshot("playback");
        }
        return false;
    });
    const std::pair<QString, QByteArray> typed[] = {
        {"take.bww", "Bagpipe"}, {"take.wav", "RIFF"}, {"take.png", "\x89PNG"}, {"take.vnt", "norla_vnt"}};
    for (const auto& [name, start] : typed) {
        closer.answerFileDialogWith(fileDir.filePath(name));
        find<QAction>("saveAsAction")->trigger();
        EXPECT_TRUE(contents(fileDir.filePath(name)).startsWith(start)) << name.toStdString();
    }
    EXPECT_EQ(filters, MainWindow::fileFilters());
    EXPECT_EQ(filters.size(), 5);
    closer.clear();
    find<QAction>("playAudioAction")->trigger();
    EXPECT_EQ(firstSeen(), "Audio Playback");

    // A missing folder and a full disk (a file-size limit): every save fails
    // with the reason, and the files already there keep their content.
    const QString nowhere = fileDir.filePath("no/such/folder/tune");
    const QString full = fileDir.filePath("full");
    const std::pair<const char*, std::function<bool(const QString&)>> savers[] = {
        {".bww", [&](const QString& name) { return window->saveBww(name); }},
        {".png", [&](const QString& name) { return window->saveScorePng(name); }},
        {".wav", [&](const QString& name) { return window->saveWav(name); }},
        {".vnt", [&](const QString& name) { return window->saveVnt(name, true); }}};
    {
        const FileSizeLimit limit(64);
        for (const auto& [type, save] : savers) {
            write(QString("full") + type, "old");
            for (const QString& target : {nowhere + type, full + type}) {
                closer.clear();
                EXPECT_FALSE(save(target)) << target.toStdString();
                ASSERT_EQ(closer.seen().size(), 1) << target.toStdString();
                EXPECT_TRUE(closer.seen()[0].startsWith("Unable to save file: There was a problem trying to save the "
                                                        "file: "));
            }
            const QString reason = closer.seen()[0];
            EXPECT_TRUE(reason.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << reason.toStdString();
            EXPECT_EQ(contents(full + type), "old") << type;
        }
    }

    // A truncated project, a recording that is no project, a missing file:
    // refused, and the window keeps what it holds.
    const NoteMap melody = window->lastMelody();
    const QString truncated = write("truncated.vnt", contents(source).left(200));
    const QString text = write("notes.wav", "neither a project nor a recording");
    for (const QString& bad : {truncated, text, fileDir.filePath("missing.vnt")}) {
        closer.clear();
        EXPECT_FALSE(window->openVnt(bad, false)) << bad.toStdString();
        ASSERT_EQ(closer.seen().size(), 1);
        EXPECT_TRUE(closer.seen().first().startsWith("Unable to open file: There was a problem trying to open the "
                                                     "file: "))
            << closer.seen().first().toStdString();
        EXPECT_EQ(window->recording(), recording);
        EXPECT_EQ(window->lastMelody(), melody);
    }

    // A project at another rate (every other sample: the same tune at
    // 22050 Hz) is transcribed, and saved as WAVE, at its own.
    ProjectContents half = original;
    half.samples.clear();
    for (std::size_t k = 0; k < original.samples.size(); k += 2)
        half.samples.push_back(original.samples[k]);
    half.samplingFrequency_Hz = 22050.0f;
    std::string error;
    ASSERT_TRUE(half.write((dir + "/half.vnt").toStdString(), 8, "test", error)) << error;
    closer.clear();
    openProject(dir + "/half.vnt");
    EXPECT_EQ(window->recordingRate_Hz(), 22050);
    const TranscriptionResult expected = transcribedByTheCommandLine(half);
    EXPECT_EQ(window->lastMelody(), expected.melody);
    EXPECT_GT(expected.melody.size(), 20u);
    ASSERT_TRUE(window->saveWav(dir + "/half.wav"));
    EXPECT_EQ(savedWave(dir + "/half.wav").samplingFrequency_Hz, 22050.0f);
    EXPECT_TRUE(closer.seen().isEmpty()) << closer.seen().join("\n").toStdString();
}

// A recording is autosaved under its time and tune name, keeping only the
// newest autosaves. Made without a calibration, it is saved with the Low A
// it was transcribed from, marked as estimated. Opening a project, one's
// own or anyone's, or following the played beat never takes over the
// piper's calibration or tune settings: they come back with the next
// recording and are what is stored at exit.
TEST_F(MainWindowFilesTest, AutosavesRotateAndNeitherAProjectNorAFollowedBeatTakesOverThePipersSettings)
{
    const QString folder = fileDir.filePath("autosave"); // the fixture's
    QDir().mkpath(folder);
    store("autoSaveCount", 3);
    store("tuneName", "Piper's Own Tune!");
    store("bpm", 84);
    store("timeSignature", TwoFour);
    // Three older autosaves, a minute apart.
    for (int k = 0; k < 3; ++k) {
        QFile file(folder + QString("/old%1.vnt").arg(k));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush());
        file.setFileTime(QDateTime::currentDateTime().addSecs(-600 + 60 * k), QFileDevice::FileModificationTime);
    }
    open(kExample, 4.0);
    auto* lowA = find<QLabel>("lowALabel");
    QSignalSpy shown(window.get(), &MainWindow::resultShown);
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > 5.0f; }, 20000));
    find<QAction>("stopAction")->trigger();
    ASSERT_TRUE(waitForTheLastResult(shown, recorded_s()));
    window->autosave();
    const QStringList files = QDir(folder).entryList({"*.vnt"}, QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{QFileInfo(window->lastAutoSaveFileName()).fileName(), "old1.vnt", "old2.vnt"}));
    const QRegularExpression timeAndTune(R"(^\d{4}-[A-Z][a-z]{2}-\d{2}_\d{2}-\d{2}-\d{2}_Pipers Own Tune\.vnt$)");
    EXPECT_TRUE(timeAndTune.match(files.value(0)).hasMatch()) << files.value(0).toStdString();
    EXPECT_EQ(window->settings().tuneName, "Pipers Own Tune");
    EXPECT_EQ(window->getSuggestedFileName(),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Pipers Own Tune");

    const QString shownLowA = lowA->text();
    const QString take = fileDir.filePath("take.vnt");
    ASSERT_TRUE(window->saveVnt(take, true));
    const ProjectContents saved = readProject(take);
    EXPECT_FALSE(saved.calibration.has_value());
    ASSERT_TRUE(saved.estimatedTuning.has_value());
    EXPECT_EQ(lowAText(saved.estimatedTuning->getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA)), shownLowA);

    // Opened again, it is transcribed from the same Low A, still estimated.
    const NoteMap melody = window->lastMelody();
    openProject(take);
    ASSERT_TRUE(window->recordingTuning().has_value());
    EXPECT_TRUE(window->isRecordingTuningEstimated());
    EXPECT_EQ(lowA->text(), shownLowA);
    EXPECT_EQ(window->lastMelody(), melody);
    EXPECT_FALSE(window->isCalibrated());

    // An example brings its calibration and details for itself alone.
    openProject(example("amazing_grace.vnt"));
    EXPECT_EQ(window->settings().tuneName, "Amazing Grace");
    ASSERT_TRUE(window->recordingTuning().has_value());
    EXPECT_FALSE(window->isCalibrated());
    find<QAction>("recordAction")->trigger();
    EXPECT_EQ(window->settings().tuneName, "Pipers Own Tune");
    EXPECT_EQ(window->settings().bpm, 84.0f);
    EXPECT_EQ(find<QComboBox>("timeSignatureCombo")->currentIndex(), TwoFour);
    EXPECT_FALSE(window->recordingTuning().has_value());
    find<QAction>("stopAction")->trigger();

    // Following the played beat writes the tune's own metre. Set the tool
    // bar wrong, as for a recording not made to the click.
    openProject(example("atholl_highlanders.vnt"));
    auto* timeSignature = find<QComboBox>("timeSignatureCombo");
    auto* bpm = find<QSpinBox>("bpmSpinBox");
    auto* follow = find<QAction>("followBeatAction");
    auto message = [&] { return window->statusBar()->currentMessage(); };
    timeSignature->setCurrentIndex(FourFour);
    bpm->setValue(60);
    window->onRetranscribe();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 30000));
    EXPECT_EQ(window->views().model().timeSigDenominator(), 4);
    follow->setChecked(true);
    EXPECT_EQ(std::make_pair(window->views().model().timeSigNumerator(), window->views().model().timeSigDenominator()),
              std::make_pair(6, 8));
    EXPECT_TRUE(message().startsWith("Beat followed: tempo 90 bpm")) << message().toStdString();
    // The tool bar shows what was followed, and what was set before again
    // when following ends.
    EXPECT_EQ(timeSignature->currentIndex(), SixEight);
    EXPECT_EQ(bpm->value(), 90);
    follow->setChecked(false);
    EXPECT_EQ(window->views().model().timeSigDenominator(), 4);
    EXPECT_EQ(timeSignature->currentIndex(), FourFour);
    EXPECT_EQ(bpm->value(), 60);
    EXPECT_EQ(window->settings().bpm, 60.0f);
    EXPECT_TRUE(message().isEmpty());
    // The message goes with the recording it was found in.
    follow->setChecked(true);
    EXPECT_FALSE(message().isEmpty());
    find<QAction>("clearAction")->trigger();
    EXPECT_TRUE(message().isEmpty());
    // A project opened while following brings its own metre.
    openProject(example("amazing_grace.vnt"));
    follow->setChecked(false);
    EXPECT_EQ(timeSignature->currentIndex(), ThreeFour);

    // Stored at exit: the piper's own, never a project's, an edited or a
    // followed one.
    window.reset();
    QSettings stored;
    EXPECT_EQ(stored.value("tuneName").toString(), "Pipers Own Tune");
    EXPECT_EQ(stored.value("bpm").toFloat(), 84.0f);
    EXPECT_EQ(stored.value("timeSignature").toInt(), TwoFour);
    PipeTuning calibration;
    EXPECT_FALSE(loadCalibratedTuning(stored, calibration));
}

TEST(SettingsDialogTest, TheRateNearest44100IsPreferred)
{
    const std::pair<QList<int>, int> cases[] = {
        {{8000, 16000, 48000, 96000}, 48000}, {{22050, 44100, 48000}, 44100}, {{8000, 11025}, 11025},
        {{96000, 192000}, 96000}, {{}, 0}};
    for (const auto& [rates, nearest] : cases)
        EXPECT_EQ(nearestRate(rates, 44100), nearest);
}

// With the stored device since unplugged, the input in use is offered with
// its rate; what the dialog does not show is kept.
TEST_F(MainWindowFilesTest, TheSettingsDialogSelectsTheDevicesInUseAndKeepsWhatItIsNotGiven)
{
    // The drones stored off reach the transcription.
    store("findDrones", false);
    open(kExample, 1.0);
    EXPECT_FALSE(window->processor()->sessionSettings().findDrones);
    EXPECT_TRUE(find<QLabel>("tuningDronesMessage")->text().startsWith("Not listened for: switched off"));
    SettingsDialog dialog(window->inputFile(), window.get());
    dialog.settings = window->settings();
    dialog.settings.audioDevice = "A microphone that was unplugged";
    dialog.settings.autoSaveDir = "/kept/folder";
    dialog.initialise();
    auto* inputs = dialog.findChild<QComboBox*>("mInputDevicesComboBox");
    auto* outputs = dialog.findChild<QComboBox*>("audioOutputDevice");
    EXPECT_EQ(inputs->currentText(), window->inputFile().name());
    EXPECT_EQ(dialog.findChild<QComboBox*>("mFrequencyCombo")->currentText(), "44100");
    EXPECT_EQ(outputs->currentText(), audioDevices::outputNames().constFirst());
    // Nameless entries are no device to choose.
    for (QComboBox* box : {inputs, outputs})
        EXPECT_EQ(box->findText(QString()), -1);
    // Nothing updates itself, so nothing offers to.
    EXPECT_EQ(dialog.findChild<QCheckBox*>("enableAutoUpdater"), nullptr);
    dialog.findChild<QLineEdit*>("autoSaveLocation")->setText("   ");
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>("settingsTabs");
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QTest::qWait(20);
        screenshot("settings_" + tabs->tabText(tab).toLower());
    }
    tabs->setCurrentIndex(1);
    screenshot("settings_audio_in_use");
    auto* secondLook = dialog.findChild<QCheckBox*>("secondLook");
    EXPECT_TRUE(secondLook->isChecked());
    secondLook->setChecked(false);
    auto* drones = dialog.findChild<QComboBox*>("findDrones");
    EXPECT_FALSE(drones->currentData().toBool());
    drones->setCurrentIndex(drones->findData(true));
    dialog.accept();
    EXPECT_FALSE(dialog.settings.secondLook);
    EXPECT_TRUE(dialog.settings.findDrones);
    EXPECT_EQ(dialog.settings.autoSaveDir, "/kept/folder");
    EXPECT_EQ(dialog.settings.audioDevice, window->inputFile().name());
    EXPECT_EQ(dialog.settings.recordingFrequency_Hz, 44100);
    EXPECT_EQ(dialog.settings.volumeCutoff_percent, window->settings().volumeCutoff_percent);
}

} // namespace
