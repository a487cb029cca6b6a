#include "MainWindowUi.h"

#include "PipeTuneModel.h"
#include "RowsView.h"
#include "TuningView.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>

#include <utility>

namespace {

constexpr int kTuningDockMaximumWidth = 520;

QAction* action(QMainWindow* window, const char* objectName, const QString& text, const QString& icon,
                const QKeySequence& shortcut, const QString& toolTip)
{
    auto* result = new QAction(text, window);
    result->setObjectName(objectName);
    if (!icon.isEmpty())
        result->setIcon(QIcon(icon));
    if (!shortcut.isEmpty())
        result->setShortcut(shortcut);
    result->setToolTip(toolTip);
    return result;
}

QDockWidget* view(QMainWindow* window, const char* name, const QString& title, QScrollArea*& scroll, RowsView*& rows)
{
    auto* dock = new QDockWidget(title, window);
    dock->setObjectName(name);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    scroll = new QScrollArea(dock);
    scroll->setObjectName(QString(name) + "Scroll");
    scroll->setBackgroundRole(QPalette::Base);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    rows = new RowsView(scroll);
    rows->setObjectName(QString(name) + "View");
    scroll->setWidget(rows);
    scroll->setWidgetResizable(false);
    dock->setWidget(scroll);
    return dock;
}

} // namespace

void MainWindowUi::setup(QMainWindow* window)
{
    window->setWindowTitle("Vantor");
    window->setWindowIcon(QIcon(":/icons/vantor.svg"));

    scoreDock = view(window, "scoreDock", "Sheet Music", scoreScroll, scoreView);
    timingDock = view(window, "timingDock", "Timing", timingScroll, timingView);
    window->addDockWidget(Qt::TopDockWidgetArea, scoreDock);
    window->addDockWidget(Qt::TopDockWidgetArea, timingDock);
    window->setDockNestingEnabled(true);
    // The tuning meter beside the views; the piper may close it.
    tuningDock = new QDockWidget("Tuning", window);
    tuningDock->setObjectName("tuningDock");
    tuningDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable
                            | QDockWidget::DockWidgetClosable);
    auto* tuningScroll = new QScrollArea(tuningDock);
    tuningScroll->setObjectName("tuningDockScroll");
    tuningScroll->setWidgetResizable(true);
    tuningScroll->setFrameShape(QFrame::NoFrame);
    // A wider window widens the views; the meter stops at a width that
    // still reads as one line per note.
    tuningDock->setMaximumWidth(kTuningDockMaximumWidth);
    tuningView = new TuningView(tuningScroll);
    tuningView->setObjectName("tuningView");
    tuningScroll->setWidget(tuningView);
    tuningDock->setWidget(tuningScroll);
    window->addDockWidget(Qt::TopDockWidgetArea, tuningDock);

    record = action(window, "recordAction", "Record", ":/icons/record.svg", QKeySequence(Qt::Key_Space),
                    "Start recording to the metronome (Space)");
    stop = action(window, "stopAction", "Stop", ":/icons/stop.svg", QKeySequence(Qt::Key_Space),
                  "Stop recording (Space)");
    playAudio = action(window, "playAudioAction", "Play audio", ":/icons/play.svg", QKeySequence("Ctrl+A"),
                       "Listen to the recording (Ctrl+A)");
    retranscribe = action(window, "retranscribeAction", "Re-transcribe", ":/icons/retranscribe.svg",
                          QKeySequence(Qt::Key_F5), "Transcribe the recording again with the current settings (F5)");
    // Delete alone deletes the note selected in the score.
    clear = action(window, "clearAction", "Clear", ":/icons/clear.svg", QKeySequence(Qt::CTRL + Qt::Key_Delete),
                   "Clear the views (Ctrl+Del)");
    openAutosave = action(window, "openAutosaveAction", "Open autosave", ":/icons/open_autosave.svg",
                          QKeySequence("Ctrl+O"), "Open an autosaved recording (Ctrl+O)");
    open = action(window, "openAction", "Open", ":/icons/open.svg", QKeySequence("Shift+Ctrl+O"),
                  "Open a Vantor file or a recording (Shift+Ctrl+O)");
    openExample = action(window, "openExampleAction", "Open example", ":/icons/open_example.svg", QKeySequence(),
                         "Open one of the example tunes");
    saveAs = action(window, "saveAsAction", "Save as", ":/icons/save.svg", QKeySequence("Ctrl+S"),
                    "Save the recording, its sheet music or timing view (Ctrl+S)");
    stop->setEnabled(false);
    playAudio->setEnabled(false);
    retranscribe->setEnabled(false);

    auto* tools = window->addToolBar("Tools");
    tools->setObjectName("toolBar");
    tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tools->setIconSize(QSize(28, 28));
    for (QAction* item : {record, stop, playAudio, retranscribe, clear, openAutosave, open, openExample, saveAs})
        tools->addAction(item);

    // The metronome's controls on a row of their own, so that none hides
    // behind the tool bar's overflow on a small screen.
    window->addToolBarBreak();
    tools = window->addToolBar("Metronome");
    tools->setObjectName("metronomeToolBar");

    bpm = new QSpinBox(tools);
    bpm->setObjectName("bpmSpinBox");
    bpm->setRange(20, 200);
    bpm->setToolTip("The metronome's tempo in beats per minute");
    tools->addWidget(new QLabel("BPM: ", tools));
    tools->addWidget(bpm);
    tools->addSeparator();

    clickVolume = new QSlider(Qt::Horizontal, tools);
    clickVolume->setObjectName("clickVolumeSlider");
    clickVolume->setRange(0, 100);
    clickVolume->setPageStep(10);
    clickVolume->setFixedWidth(100);
    clickVolume->setToolTip("The metronome click's volume");
    tools->addWidget(new QLabel("Click volume: ", tools));
    tools->addWidget(clickVolume);
    tools->addSeparator();

    timeSignature = new QComboBox(tools);
    timeSignature->setObjectName("timeSignatureCombo");
    for (TimeSignature signature : {FourFour, ThreeFour, TwoFour, CutCommon, SixEight})
        timeSignature->addItem(toQString(signature));
    timeSignature->setToolTip("The tune's time signature");
    timeSignature->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    timeSignature->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    tools->addWidget(new QLabel("Time Signature: ", tools));
    tools->addWidget(timeSignature);
    tools->addSeparator();

    playedRound = new QCheckBox("Played Round", tools);
    playedRound->setObjectName("playedRoundCheckBox");
    playedRound->setToolTip("The tune is played round: quantise to a coarser grid");
    tools->addWidget(playedRound);
    tools->addSeparator();

    timeShift = new QDoubleSpinBox(tools);
    timeShift->setObjectName("timeShiftSpinBox");
    timeShift->setRange(-100.0, 100.0);
    timeShift->setSingleStep(0.01);
    timeShift->setDecimals(2);
    timeShift->setSuffix(" s");
    timeShift->setToolTip("Shifts the recording against the beat");
    tools->addWidget(new QLabel("Time Shift: ", tools));
    tools->addWidget(timeShift);

    exportPdf = action(window, "exportPdfAction", "Export &PDF...", QString(), QKeySequence(),
                       "Save the sheet music as PDF, on pages to print");
    printPreview = action(window, "printPreviewAction", "Print Pre&view...", QString(), QKeySequence(),
                          "See the sheet music's pages as they will print");
    printScore = action(window, "printAction", "&Print...", QString(), QKeySequence::Print, "Print the sheet music");
    exportMusicXml = action(window, "exportMusicXmlAction", "Export &MusicXML...", QString(), QKeySequence(),
                            "Save the sheet music for notation programs");
    exit = action(window, "exitAction", "E&xit", QString(), QKeySequence::Quit, "Quit Vantor");
    tuneDetails = action(window, "tuneDetailsAction", "&Tune details...", QString(), QKeySequence(),
                         "The tune's name, type and composer");
    followBeat = action(window, "followBeatAction", "&Follow the played beat", QString(), QKeySequence(),
                        "For a recording not made to the metronome: find its tempo, time signature and first bar "
                        "line from the notes, and write the bars as played");
    followBeat->setCheckable(true);
    settings = action(window, "settingsAction", "&Settings...", QString(), QKeySequence(), "Vantor's settings");
    calibrate = action(window, "calibrateAction", "&Calibrate chanter notes...", QString(), QKeySequence(),
                       "Learn your chanter's notes by playing its scale");
    zoom100 = action(window, "zoom100Action", "Zoom &100 %", QString(), QKeySequence(), "Full size views");
    zoom50 = action(window, "zoom50Action", "Zoom &50 %", QString(), QKeySequence(), "Half size views");
    help = action(window, "helpAction", "Vantor &help", QString(), QKeySequence::HelpContents, "The user guide");
    about = action(window, "aboutAction", "&About Vantor", QString(), QKeySequence(), "About Vantor");
    zoom100->setCheckable(true);
    zoom50->setCheckable(true);
    auto* zoomGroup = new QActionGroup(window);
    zoomGroup->addAction(zoom100);
    zoomGroup->addAction(zoom50);

    QMenu* file = window->menuBar()->addMenu("&File");
    // Filled by the window from the files opened last.
    recentMenu = new QMenu("Open &Recent", window);
    recentMenu->setObjectName("recentMenu");
    // Opening, then what goes out as files, then paper.
    for (QAction* item : {open, openAutosave, openExample})
        file->addAction(item);
    file->addMenu(recentMenu);
    file->addSeparator();
    for (QAction* item : {saveAs, exportMusicXml, exportPdf})
        file->addAction(item);
    file->addSeparator();
    for (QAction* item : {printPreview, printScore})
        file->addAction(item);
    file->addSeparator();
    file->addAction(exit);
    editMenu = window->menuBar()->addMenu("&Edit");
    editMenu->setObjectName("editMenu");
    QMenu* tune = window->menuBar()->addMenu("&Tune");
    for (QAction* item : {record, stop, playAudio, retranscribe, clear})
        tune->addAction(item);
    tune->addSeparator();
    tune->addAction(followBeat);
    tune->addAction(tuneDetails);
    QMenu* viewMenu = window->menuBar()->addMenu("&View");
    viewMenu->addAction(zoom100);
    viewMenu->addAction(zoom50);
    viewMenu->addSeparator();
    // The docks cannot be closed, so their own toggle actions stay greyed
    // out; these bring a view to the front, out of a tab or from behind.
    showScore = action(window, "showScoreAction", "Sheet &Music", QString(), QKeySequence("Ctrl+1"),
                       "Show the sheet music view");
    showTiming = action(window, "showTimingAction", "&Timing", QString(), QKeySequence("Ctrl+2"),
                        "Show the timing view");
    for (auto [item, dock] : {std::make_pair(showScore, scoreDock), std::make_pair(showTiming, timingDock)}) {
        QObject::connect(item, &QAction::triggered, dock, [dock] {
            dock->show();
            dock->raise();
        });
        viewMenu->addAction(item);
    }
    // Shows or hides the tuning meter; whether it shows is kept with the
    // window's state.
    showTuning = tuningDock->toggleViewAction();
    showTuning->setObjectName("showTuningAction");
    showTuning->setText("T&uning meter");
    showTuning->setShortcut(QKeySequence("Ctrl+3"));
    showTuning->setToolTip("Show or hide the tuning of the chanter's notes and of the drones");
    viewMenu->addAction(showTuning);
    QMenu* toolsMenu = window->menuBar()->addMenu("T&ools");
    toolsMenu->addAction(calibrate);
    toolsMenu->addAction(settings);
    QMenu* helpMenu = window->menuBar()->addMenu("&Help");
    helpMenu->addAction(help);
    helpMenu->addAction(about);

    volumeBar = new QProgressBar(window);
    volumeBar->setObjectName("volumeBar");
    volumeBar->setRange(0, 100);
    volumeBar->setMaximumWidth(100);
    volumeBar->setTextVisible(false);
    lowALabel = new QLabel(window);
    lowALabel->setObjectName("lowALabel");
    notCalibratedLabel = new QLabel("Not calibrated", window);
    notCalibratedLabel->setObjectName("notCalibratedLabel");
    notCalibratedLabel->setToolTip("Each recording's Low A is estimated from its first seconds. "
                                   "Calibrate your chanter for the best results.");
    notCalibratedLabel->setStyleSheet("color: #a04000;");
    inputLabel = new QLabel(window);
    inputLabel->setObjectName("inputLabel");
    inputLabel->setStyleSheet("color: #a04000; margin-right: 12px;");
    inputLabel->hide();
    clickOff = QPixmap(15, 15);
    clickOff.fill(Qt::white);
    clickOn = QPixmap(15, 15);
    clickOn.fill(Qt::red);
    countInLabel = new QLabel(window);
    countInLabel->setObjectName("countInLabel");
    countInLabel->setStyleSheet("font-weight: bold; margin-right: 6px;");
    countInLabel->hide();
    clickLabel = new QLabel(window);
    clickLabel->setObjectName("clickLabel");
    clickLabel->setPixmap(clickOff);
    clickLabel->setFrameShape(QFrame::Box);
    clickLabel->setToolTip("The metronome's click");
    QStatusBar* status = window->statusBar();
    status->addPermanentWidget(inputLabel);
    status->addPermanentWidget(notCalibratedLabel);
    status->addPermanentWidget(lowALabel);
    status->addPermanentWidget(new QLabel("Volume:", window));
    status->addPermanentWidget(volumeBar);
    status->addPermanentWidget(countInLabel);
    status->addPermanentWidget(clickLabel);
}
