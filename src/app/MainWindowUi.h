#pragma once

// The main window's widgets: the two docked views and the tuning meter,
// menus, the tool bar with its actions and controls, and the status bar. Built once by setup(); the
// main window wires them. Every widget has an object name, by which tests
// find it.

#include <QPixmap>

class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class RowsView;
class TuningView;
class QMainWindow;
class QProgressBar;
class QScrollArea;
class QSlider;
class QSpinBox;

struct MainWindowUi {
    void setup(QMainWindow* window);

    // Tool bar, in order.
    QAction* record = nullptr;
    QAction* stop = nullptr;
    QAction* playAudio = nullptr;
    QAction* retranscribe = nullptr;
    QAction* clear = nullptr;
    QAction* openAutosave = nullptr;
    QAction* open = nullptr;
    QAction* openExample = nullptr;
    QAction* saveAs = nullptr;
    QSpinBox* bpm = nullptr;
    QSlider* clickVolume = nullptr;
    QComboBox* timeSignature = nullptr;
    QCheckBox* playedRound = nullptr;
    QDoubleSpinBox* timeShift = nullptr;

    // Menus.
    QAction* exportPdf = nullptr;
    QAction* printPreview = nullptr;
    QAction* printScore = nullptr;
    QAction* exportMusicXml = nullptr;
    QAction* exit = nullptr;
    // Filled by the score editing.
    QMenu* editMenu = nullptr;
    QMenu* recentMenu = nullptr;
    QAction* tuneDetails = nullptr;
    QAction* followBeat = nullptr;
    QAction* settings = nullptr;
    QAction* calibrate = nullptr;
    QAction* zoom100 = nullptr;
    QAction* zoom50 = nullptr;
    QAction* showScore = nullptr;
    QAction* showTiming = nullptr;
    QAction* showTuning = nullptr;
    QAction* help = nullptr;
    QAction* about = nullptr;

    // Views.
    QDockWidget* scoreDock = nullptr;
    QDockWidget* timingDock = nullptr;
    QScrollArea* scoreScroll = nullptr;
    QScrollArea* timingScroll = nullptr;
    RowsView* scoreView = nullptr;
    RowsView* timingView = nullptr;
    QDockWidget* tuningDock = nullptr;
    TuningView* tuningView = nullptr;

    // Status bar.
    QProgressBar* volumeBar = nullptr;
    QLabel* lowALabel = nullptr;
    QLabel* notCalibratedLabel = nullptr;
    QLabel* inputLabel = nullptr;
    QLabel* countInLabel = nullptr;
    QLabel* clickLabel = nullptr;
    QPixmap clickOff;
    QPixmap clickOn;
};
