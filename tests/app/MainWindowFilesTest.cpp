// The main window's files, offscreen with a scratch settings store: every
// bundled example opens and transcribes as vantor-transcribe transcribes
// it, every save format is checked by content, autosaves rotate, bad files
// and unwritable places are refused with nothing lost, and the dialogs
// (settings, tune details, about, playback, save) are looked at.

#include "AudioProcessor.h"
#include "AudioRecorderWrapper.h"
#include "FileSizeLimit.h"
#include "Golden.h"
#include "MainWindowFixture.h"
#include "RecordingTranscriber.h"
#include "RowsView.h"
#include "SettingsDialog.h"
#include "WaveFile.h"
#include "utils.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QStatusBar>
#include <QMessageBox>
#include <QTabWidget>
#include <QTextBrowser>

#include <cerrno>
#include <cstring>

namespace {

class MainWindowFilesTest : public MainWindowFixture
{
protected:
    // Opens a project and waits until its transcription has been shown.
    void openAndTranscribe(const QString& path)
    {
        ASSERT_TRUE(window->openVnt(path, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 30000));
        QTest::qWait(100);
    }

    static QStringList examples()
    {
        return QDir(QString(VANTOR_EXAMPLES_DIR)).entryList({"*.vnt"}, QDir::Files, QDir::Name);
    }
    static QString example(const QString& name) { return QString(VANTOR_EXAMPLES_DIR) + "/" + name; }
};

TEST_F(MainWindowFilesTest, EveryExampleOpensAndTranscribesAsTheCommandLineDoes)
{
    ASSERT_GE(examples().size(), 3);
    QStringList signatures;
    for (const QString& name : examples()) {
        open(kExample, 1.0);
        openAndTranscribe(example(name));
        ProjectContents project;
        std::string error;
        ASSERT_TRUE(ProjectContents::read(example(name).toStdString(), project, error)) << error;
        ASSERT_TRUE(project.calibration.has_value());
        TranscriptionOptions options;
        options.tuningSource = TuningSource::Calibrated;
        options.calibratedTuning = *project.calibration;
        const TranscriptionResult expected = transcribeRecording(project.samples, project.samplingFrequency_Hz, options);
        EXPECT_EQ(window->lastMelody(), expected.melody) << name.toStdString();
        EXPECT_EQ(window->lastGracenotes(), expected.gracing) << name.toStdString();
        EXPECT_GT(expected.melody.size(), 20u) << name.toStdString();
        // The tune's details and metre are the window's now, and the file is
        // never autosaved as a new recording.
        EXPECT_EQ(window->settings().tuneName.toStdString(), project.tuneName);
        EXPECT_EQ(window->settings().bpm, project.bpm);
        EXPECT_EQ(window->recording().size(), static_cast<int>(2 * project.samples.size()));
        // Barred as the tune is written: each example opens with a pick-up,
        // a short first bar before a whole one.
        const PipeTuneModel& model = window->views().model();
        ASSERT_FALSE(model.parts.empty());
        ASSERT_GE(model.parts.front().bars.size(), 2u);
        const int bar32 = 32 * project.timeSigNumerator / project.timeSigDenominator;
        auto melody32 = [](const PipeTuneModel::Bar& bar) {
            int total = 0;
            for (const PipeTuneModel::Item& item : bar.items)
                total += isMelodyNote(item.name) ? item.totalDuration32() : 0;
            return total;
        };
        EXPECT_LT(melody32(model.parts.front().bars[0]), bar32) << name.toStdString();
        EXPECT_EQ(melody32(model.parts.front().bars[1]), bar32) << name.toStdString();
        signatures << window->findChild<QComboBox*>("timeSignatureCombo")->currentText();
        screenshot("example_" + QFileInfo(name).baseName());
        window.reset();
    }
    signatures.removeDuplicates();
    EXPECT_GE(signatures.size(), 3) << signatures.join(", ").toStdString();
}

TEST_F(MainWindowFilesTest, EverySaveFormatWritesWhatTheWindowHolds)
{
    open(kExample, 1.0);
    const QString source = example("barren_rocks_of_aden.vnt");
    openAndTranscribe(source);
    const QString dir = fileDir.path();

    // BWW: the score as text, kept as a golden file.
    ASSERT_TRUE(window->saveBww(dir + "/tune.bww"));
    QFile bww(dir + "/tune.bww");
    ASSERT_TRUE(bww.open(QIODevice::ReadOnly));
    expectMatchesGolden("barren_rocks_of_aden.bww", QString::fromLatin1(bww.readAll()).toStdString());

    // PNG: the views at the zoom they are shown at; at full size the same
    // pictures as vantor-transcribe draws from the same project, pixel for
    // pixel.
    auto* scoreView = window->findChild<RowsView*>("scoreDockView");
    ASSERT_TRUE(window->saveScorePng(dir + "/score.png"));
    ASSERT_TRUE(window->saveTimingPng(dir + "/timing.png"));
    const QImage score = QImage(dir + "/score.png").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(score.size(), scoreView->composite().size());
    EXPECT_EQ(QImage(dir + "/timing.png").width(), 1280);
    // The tool bar holds the time shift to the hundredth of a second; the
    // command line is given the one the window uses.
    QProcess cli;
    cli.start(VANTOR_TRANSCRIBE, {source, "--png", dir + "/cli.png", "--timing-png", dir + "/cli.t.png", "--time-shift",
                                  QString::number(static_cast<double>(window->settings().timeShift_s))});
    ASSERT_TRUE(cli.waitForFinished(120000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(score, QImage(dir + "/cli.png").convertToFormat(QImage::Format_RGB32));
    QDir().mkpath(QString(VANTOR_SCREENSHOT_DIR) + "/screenshots");
    score.save(QString(VANTOR_SCREENSHOT_DIR) + "/screenshots/saved_score.png");
    EXPECT_EQ(QImage(dir + "/timing.png").convertToFormat(QImage::Format_RGB32),
              QImage(dir + "/cli.t.png").convertToFormat(QImage::Format_RGB32));
    window->onZoom50();
    screenshot("score_at_half_size");
    ASSERT_TRUE(window->saveScorePng(dir + "/score50.png"));
    EXPECT_EQ(QImage(dir + "/score50.png").width(), scoreView->composite().width());
    EXPECT_EQ(QImage(dir + "/score50.png").width(), score.width() / 2);
    window->onZoom100();

    // WAVE: a 44-byte header for the recording's rate and length, then it.
    ASSERT_TRUE(window->saveWav(dir + "/tune.wav"));
    QFile wave(dir + "/tune.wav");
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    const QByteArray bytes = wave.readAll();
    const QByteArray& recording = window->recording();
    ASSERT_EQ(bytes.size(), 44 + recording.size());
    EXPECT_TRUE(bytes.startsWith("RIFF"));
    EXPECT_EQ(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    std::uint32_t rate = 0;
    std::memcpy(&rate, bytes.constData() + 24, 4);
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(bytes.mid(44), recording);

    // Project: the same recording, details and calibration, and where the
    // recording first came from.
    ASSERT_TRUE(window->saveVnt(dir + "/again.vnt", true));
    ProjectContents original;
    ProjectContents saved;
    std::string error;
    ASSERT_TRUE(ProjectContents::read(source.toStdString(), original, error));
    ASSERT_TRUE(ProjectContents::read((dir + "/again.vnt").toStdString(), saved, error)) << error;
    EXPECT_EQ(saved.samples, original.samples);
    EXPECT_EQ(saved.tuneName, original.tuneName);
    EXPECT_EQ(saved.timeSigNumerator, 2);
    EXPECT_EQ(saved.timeSigDenominator, 4);
    EXPECT_EQ(saved.bpm, original.bpm);
    ASSERT_TRUE(saved.calibration.has_value());
    EXPECT_NEAR(saved.calibration->lowA_Hz(), original.calibration->lowA_Hz(), 0.01f);
    EXPECT_EQ(saved.recordedTime, original.recordedTime);
    EXPECT_EQ(saved.recordedInstallId, original.recordedInstallId);
    EXPECT_TRUE(closer.seen().isEmpty()) << closer.seen().join("\n").toStdString();
}

TEST_F(MainWindowFilesTest, SaveAsOffersFiveFormatsAndRefusesAnEmptyRecording)
{
    open(kExample, 1.0);
    find<QAction>("saveAsAction")->trigger();
    ASSERT_EQ(closer.seen().size(), 1);
    EXPECT_EQ(closer.seen().first(), "Nothing to save: You have not recorded anything yet");
    closer.clear();

    openAndTranscribe(example("amazing_grace.vnt"));
    QStringList filters;
    closer.inspectWith([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            filters = dialog->nameFilters();
            screenshot("save_dialog");
        }
        return false;
    });
    closer.answerFileDialogWith(fileDir.filePath("Amazing Grace.vnt"));
    find<QAction>("saveAsAction")->trigger();
    EXPECT_EQ(filters, MainWindow::fileFilters());
    EXPECT_EQ(filters.size(), 5);
    // The tune name, stripped, is the name proposed; the project was saved.
    EXPECT_TRUE(QFileInfo::exists(fileDir.filePath("Amazing Grace.vnt")));

    // An extension typed names the format, whichever filter is selected
    // (the project's at first, then the last one used): how each file
    // begins.
    const std::pair<QString, QByteArray> typed[] = {
        {"take.bww", "Bagpipe"}, {"take.wav", "RIFF"}, {"take.png", "\x89PNG"}, {"take.vnt", "norla_vnt"}};
    for (const auto& [name, start] : typed) {
        closer.answerFileDialogWith(fileDir.filePath(name));
        find<QAction>("saveAsAction")->trigger();
        QFile file(fileDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_TRUE(file.readAll().startsWith(start)) << name.toStdString();
    }
}

TEST_F(MainWindowFilesTest, AutosavesKeepTheNewestAndNameThemByTimeAndTune)
{
    const QString folder = fileDir.filePath("autosave");
    QDir().mkpath(folder);
    store("autoSaveDir", folder);
    store("autoSaveCount", 3);
    store("tuneName", "Piper's Tune!");
    // Three older autosaves, a minute apart.
    for (int k = 0; k < 3; ++k) {
        QFile file(folder + QString("/old%1.vnt").arg(k));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addSecs(-600 + 60 * k), QFileDevice::FileModificationTime);
    }
    open(kExample, 4.0);
    find<QAction>("recordAction")->trigger();
    QTest::qWait(600);
    find<QAction>("stopAction")->trigger();
    ASSERT_FALSE(window->recording().isEmpty());
    window->autosave();
    const QStringList files = QDir(folder).entryList({"*.vnt"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3) << files.join(", ").toStdString();
    EXPECT_FALSE(files.contains("old0.vnt"));
    EXPECT_TRUE(files.contains("old2.vnt"));
    const QString newest = QFileInfo(window->lastAutoSaveFileName()).fileName();
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-[A-Z][a-z]{2}-\d{2}_\d{2}-\d{2}-\d{2}_Pipers Tune\.vnt$)").match(newest).hasMatch())
        << newest.toStdString();
    EXPECT_EQ(window->settings().tuneName, "Pipers Tune");
    EXPECT_EQ(window->getSuggestedFileName(),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Pipers Tune");
}

// A recording made without a calibration is saved with the Low A it was
// transcribed from, marked as estimated. Opening a project, one's own or
// anyone's, never takes over the piper's calibration or tune settings: they
// come back with the next recording and are what is stored at exit.
TEST_F(MainWindowFilesTest, AProjectsTuningAndSettingsHoldOnlyWhileItIsOpen)
{
    store("tuneName", "My Own Tune");
    store("bpm", 84);
    store("timeSignature", TwoFour);
    open(kExample, 4.0);
    auto* lowA = find<QLabel>("lowALabel");
    QSignalSpy shown(window.get(), &MainWindow::resultShown);
    find<QAction>("recordAction")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->recorderWrapper()->getElapsed_s() > 5.0f; }, 20000));
    find<QAction>("stopAction")->trigger();
    const float recorded_s = static_cast<float>(window->recording().size()) / (2.0f * kRate_Hz);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty() && shown.last()[0].toFloat() > recorded_s - 0.05f; },
                                60000));
    const QString shownLowA = lowA->text();
    const QString take = fileDir.filePath("take.vnt");
    ASSERT_TRUE(window->saveVnt(take, true));
    ProjectContents saved;
    std::string error;
    ASSERT_TRUE(ProjectContents::read(take.toStdString(), saved, error)) << error;
    EXPECT_FALSE(saved.calibration.has_value());
    ASSERT_TRUE(saved.estimatedTuning.has_value());
    EXPECT_EQ(QString("Low A = %1 Hz  ")
                  .arg(static_cast<double>(saved.estimatedTuning->getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA)),
                       0, 'f', 1),
              shownLowA);

    // Opened again, it is transcribed from the same Low A, still estimated.
    const NoteMap melody = window->lastMelody();
    openAndTranscribe(take);
    ASSERT_TRUE(window->recordingTuning().has_value());
    EXPECT_TRUE(window->isRecordingTuningEstimated());
    EXPECT_EQ(lowA->text(), shownLowA);
    EXPECT_EQ(window->lastMelody(), melody);
    EXPECT_FALSE(window->isCalibrated());

    // An example brings its calibration and details for itself alone.
    openAndTranscribe(example("amazing_grace.vnt"));
    EXPECT_EQ(window->settings().tuneName, "Amazing Grace");
    ASSERT_TRUE(window->recordingTuning().has_value());
    EXPECT_FALSE(window->isCalibrated());
    find<QAction>("recordAction")->trigger();
    EXPECT_EQ(window->settings().tuneName, "My Own Tune");
    EXPECT_EQ(window->settings().bpm, 84.0f);
    EXPECT_EQ(find<QComboBox>("timeSignatureCombo")->currentIndex(), TwoFour);
    EXPECT_FALSE(window->recordingTuning().has_value());
    find<QAction>("stopAction")->trigger();

    openAndTranscribe(example("atholl_highlanders.vnt"));
    window.reset();
    QSettings stored;
    EXPECT_EQ(stored.value("tuneName").toString(), "My Own Tune");
    EXPECT_EQ(stored.value("bpm").toFloat(), 84.0f);
    EXPECT_EQ(stored.value("timeSignature").toInt(), TwoFour);
    PipeTuning calibration;
    EXPECT_FALSE(loadCalibratedTuning(stored, calibration));
}

TEST_F(MainWindowFilesTest, BadFilesAndUnwritablePlacesChangeNothing)
{
    open(kExample, 1.0);
    openAndTranscribe(example("atholl_highlanders.vnt"));
    const QByteArray recording = window->recording();
    const NoteMap melody = window->lastMelody();

    QFile truncated(fileDir.filePath("truncated.vnt"));
    QFile source(example("atholl_highlanders.vnt"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly) && truncated.open(QIODevice::WriteOnly));
    truncated.write(source.read(200));
    truncated.close();
    for (const QString& bad : {truncated.fileName(), kExample, fileDir.filePath("missing.vnt")}) {
        closer.clear();
        EXPECT_FALSE(window->openVnt(bad, false)) << bad.toStdString();
        ASSERT_EQ(closer.seen().size(), 1);
        EXPECT_TRUE(closer.seen().first().startsWith("Unable to open file: There was a problem trying to open the file: "))
            << closer.seen().first().toStdString();
        EXPECT_EQ(window->recording(), recording);
        EXPECT_EQ(window->lastMelody(), melody);
    }
    closer.clear();
    const QString nowhere = fileDir.filePath("no/such/folder/tune");
    EXPECT_FALSE(window->saveBww(nowhere + ".bww"));
    EXPECT_FALSE(window->saveWav(nowhere + ".wav"));
    EXPECT_FALSE(window->saveVnt(nowhere + ".vnt", true));
    ASSERT_EQ(closer.seen().size(), 3);
    for (const QString& seen : closer.seen())
        EXPECT_TRUE(seen.startsWith("Unable to save file: There was a problem trying to save the file: "));
    EXPECT_EQ(window->recording(), recording);

    // A full disk (a file-size limit): every save fails with the reason and
    // the files already there keep their content.
    const QString full = fileDir.filePath("full");
    for (const char* type : {".bww", ".png", ".wav", ".vnt"}) {
        QFile old(full + type);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    }
    closer.clear();
    {
        const FileSizeLimit limit(64);
        EXPECT_FALSE(window->saveBww(full + ".bww"));
        EXPECT_FALSE(window->saveScorePng(full + ".png"));
        EXPECT_FALSE(window->saveWav(full + ".wav"));
        EXPECT_FALSE(window->saveVnt(full + ".vnt", true));
    }
    ASSERT_EQ(closer.seen().size(), 4);
    for (const QString& seen : closer.seen())
        EXPECT_TRUE(seen.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << seen.toStdString();
    for (const char* type : {".bww", ".png", ".wav", ".vnt"}) {
        QFile kept(full + type);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "old") << type;
    }
}

TEST_F(MainWindowFilesTest, AProjectAtAnotherRateIsTranscribedAtItsOwn)
{
    ProjectContents project;
    std::string error;
    ASSERT_TRUE(ProjectContents::read(example("barren_rocks_of_aden.vnt").toStdString(), project, error));
    // Every other sample: the same tune at 22050 Hz.
    std::vector<short> half;
    for (std::size_t k = 0; k < project.samples.size(); k += 2)
        half.push_back(project.samples[k]);
    project.samples = half;
    project.samplingFrequency_Hz = 22050.0f;
    const QString path = fileDir.filePath("half.vnt");
    ASSERT_TRUE(project.write(path.toStdString(), 8, "test", error)) << error;

    open(kExample, 1.0);
    openAndTranscribe(path);
    EXPECT_TRUE(closer.seen().isEmpty());
    EXPECT_EQ(window->recordingRate_Hz(), 22050);
    TranscriptionOptions options;
    options.tuningSource = TuningSource::Calibrated;
    options.calibratedTuning = *project.calibration;
    const TranscriptionResult expected = transcribeRecording(project.samples, 22050.0f, options);
    EXPECT_EQ(window->lastMelody(), expected.melody);
    EXPECT_GT(expected.melody.size(), 20u);
    ASSERT_TRUE(window->saveWav(fileDir.filePath("half.wav")));
    QFile wave(fileDir.filePath("half.wav"));
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    std::uint32_t rate = 0;
    std::memcpy(&rate, wave.readAll().constData() + 24, 4);
    EXPECT_EQ(rate, 22050u);
}

TEST_F(MainWindowFilesTest, FollowingThePlayedBeatWritesTheTunesOwnMetre)
{
    open(kExample, 1.0);
    openAndTranscribe(example("atholl_highlanders.vnt"));
    // Set the tool bar wrong, as for a recording not made to the click.
    window->findChild<QComboBox*>("timeSignatureCombo")->setCurrentIndex(TwoFour);
    find<QSpinBox>("bpmSpinBox")->setValue(60);
    window->onRetranscribe();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 30000));
    EXPECT_EQ(window->views().model().timeSigDenominator(), 4);
    find<QAction>("followBeatAction")->setChecked(true);
    EXPECT_EQ(window->views().model().timeSigNumerator(), 6);
    EXPECT_EQ(window->views().model().timeSigDenominator(), 8);
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Beat followed: tempo 90 bpm"))
        << window->statusBar()->currentMessage().toStdString();
    // The tool bar shows what was followed, and what was set before again
    // when following ends.
    auto* timeSignature = window->findChild<QComboBox*>("timeSignatureCombo");
    EXPECT_EQ(timeSignature->currentIndex(), SixEight);
    EXPECT_EQ(find<QSpinBox>("bpmSpinBox")->value(), 90);
    find<QAction>("followBeatAction")->setChecked(false);
    EXPECT_EQ(window->views().model().timeSigDenominator(), 4);
    EXPECT_EQ(timeSignature->currentIndex(), TwoFour);
    EXPECT_EQ(find<QSpinBox>("bpmSpinBox")->value(), 60);
    EXPECT_EQ(window->settings().bpm, 60.0f);
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
    // The message goes with the recording it was found in.
    find<QAction>("followBeatAction")->setChecked(true);
    EXPECT_FALSE(window->statusBar()->currentMessage().isEmpty());
    find<QAction>("clearAction")->trigger();
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
    // A project opened while following brings its own metre; what is
    // stored is the piper's own (the defaults here), never a followed one.
    openAndTranscribe(example("amazing_grace.vnt"));
    find<QAction>("followBeatAction")->setChecked(false);
    EXPECT_EQ(timeSignature->currentIndex(), ThreeFour);
    window.reset();
    EXPECT_EQ(QSettings().value("timeSignature").toInt(), FourFour);
    EXPECT_EQ(QSettings().value("bpm").toInt(), 72);
}

TEST(SettingsDialogTest, TheRateNearest44100IsPreferred)
{
    const std::pair<QList<int>, int> cases[] = {
        {{8000, 16000, 48000, 96000}, 48000}, {{22050, 44100, 48000}, 44100}, {{8000, 11025}, 11025},
        {{96000, 192000}, 96000}, {{}, 0}};
    for (const auto& [rates, nearest] : cases)
        EXPECT_EQ(nearestRate(rates, 44100), nearest);
}

TEST_F(MainWindowFilesTest, TheSettingsDialogKeepsWhatItIsNotGiven)
{
    open(kExample, 1.0);
    SettingsDialog dialog(window->inputFile(), window.get());
    dialog.settings = window->settings();
    dialog.settings.audioDevice = "A microphone that was unplugged";
    dialog.settings.autoSaveDir = "/kept/folder";
    dialog.initialise();
    // The stored device is gone: the input in use is offered instead, with
    // its rate.
    auto* devices = dialog.findChild<QComboBox*>("mInputDevicesComboBox");
    EXPECT_EQ(devices->currentText(), window->inputFile().name());
    EXPECT_EQ(dialog.findChild<QComboBox*>("mFrequencyCombo")->currentText(), "44100");
    dialog.findChild<QLineEdit*>("autoSaveLocation")->setText("   ");
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>("settingsTabs");
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QTest::qWait(20);
        screenshot("settings_" + tabs->tabText(tab).toLower());
    }
    auto* secondLook = dialog.findChild<QCheckBox*>("secondLook");
    EXPECT_TRUE(secondLook->isChecked());
    secondLook->setChecked(false);
    dialog.accept();
    EXPECT_FALSE(dialog.settings.secondLook);
    EXPECT_EQ(dialog.settings.autoSaveDir, "/kept/folder");
    EXPECT_EQ(dialog.settings.audioDevice, window->inputFile().name());
    EXPECT_EQ(dialog.settings.recordingFrequency_Hz, 44100);
    EXPECT_EQ(dialog.settings.volumeCutoff_percent, window->settings().volumeCutoff_percent);
}

TEST_F(MainWindowFilesTest, TheSettingsDialogSelectsTheDevicesInUse)
{
    open(kExample, 1.0);
    SettingsDialog dialog(window->inputFile(), window.get());
    dialog.settings = window->settings(); // no device stored
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
    dialog.show();
    dialog.findChild<QTabWidget*>("settingsTabs")->setCurrentIndex(1);
    QTest::qWait(20);
    screenshot("settings_audio_in_use");
}

TEST_F(MainWindowFilesTest, TuneDetailsAboutPlaybackAndHelpAreThere)
{
    open(kExample, 1.0);
    QStringList titles;
    closer.inspectWith([&](QWidget* modal) {
        titles << modal->windowTitle();
        if (auto* details = modal->findChild<QLineEdit*>("tuneName")) {
            details->setText("The Piper's Farewell");
            screenshot("tune_details");
            static_cast<QDialog*>(modal)->accept();
            return true;
        }
        if (modal->objectName() == "aboutBox") {
            auto* box = qobject_cast<QMessageBox*>(modal);
            EXPECT_TRUE(box->informativeText().startsWith("<p><b>Vantor</b></p><p>Version: 1.8</p>"));
            EXPECT_TRUE(box->detailedText().startsWith("Vantor End-User Licence Agreement"));
            screenshot("about");
        } else if (modal->objectName() == "playbackDialog") {
            screenshot("playback");
        }
        return false;
    });
    find<QAction>("tuneDetailsAction")->trigger();
    EXPECT_EQ(window->settings().tuneName, "The Piper's Farewell");
    find<QAction>("aboutAction")->trigger();
    find<QAction>("playAudioAction")->trigger(); // nothing recorded yet
    openAndTranscribe(example("amazing_grace.vnt"));
    find<QAction>("playAudioAction")->trigger();
    EXPECT_EQ(titles, (QStringList{"Tune Details", "About Vantor", "Nothing to play", "Audio Playback"}))
        << titles.join(", ").toStdString();

    // The user guide and every picture it shows are in the resource folder.
    const QString guide = appResources::path("help/index.html");
    QFile file(guide);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QRegularExpression image("<img src=\"([^\"]+)\"");
    for (auto match = image.globalMatch(html); match.hasNext();) {
        const QString picture = match.next().captured(1);
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(guide).dir().filePath(picture))) << picture.toStdString();
    }
    QTextBrowser browser;
    browser.setSearchPaths({QFileInfo(guide).path()});
    browser.setSource(QUrl::fromLocalFile(guide));
    browser.resize(900, 1200);
    QDir().mkpath(QString(VANTOR_SCREENSHOT_DIR) + "/screenshots");
    browser.grab().save(QString(VANTOR_SCREENSHOT_DIR) + "/screenshots/help.png");
}

} // namespace
