// The main window's part in correcting the score: the Edit menu and the
// score view wired to the editing, the corrected score drawn, the tune's
// settings as steps of the edit history, and the questions asked before
// edits would be thrown away.

#include "MainWindow.h"

#include "RowsView.h"
#include "ScoreEditing.h"

#include <QComboBox>
#include <QDockWidget>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QUndoStack>

void MainWindow::setupEditing()
{
    mEditing = new ScoreEditing(mUi.scoreDock, this);
    mEditing->fillMenu(mUi.editMenu);
    mUi.editMenu->addSeparator();
    mUi.editMenu->addMenu(mEditing->gracingMenu());
    connect(mUi.scoreView, &RowsView::itemClicked, mEditing, &ScoreEditing::select);
    connect(mUi.scoreView, &RowsView::contextMenuWanted, this, [this](QPoint where) {
        if (mEditing->isEditable())
            mEditing->contextMenu()->popup(where);
    });
    connect(mEditing, &ScoreEditing::scoreChanged, this, &MainWindow::onScoreEdited);
    connect(mEditing, &ScoreEditing::selectionChanged, this, &MainWindow::onSelectionChanged);
    // An edit makes the recording one the autosave has not kept yet.
    connect(mEditing->undoStack(), &QUndoStack::indexChanged, this, [this] { mRecordingAutosaved = false; });
}

void MainWindow::onScoreEdited()
{
    mViews.redrawScore(mEditing->score());
    displayPixmaps();
}

void MainWindow::onSelectionChanged()
{
    mUi.scoreView->setSelection(mEditing->selection());
    const QRect selected = mUi.scoreView->selectionRect();
    if (!selected.isEmpty())
        mUi.scoreScroll->ensureVisible(selected.center().x(), selected.center().y(), selected.width() / 2 + 20,
                                       selected.height() / 2 + 20);
}

bool MainWindow::confirmLosingEdits(const QString& doing, int lost)
{
    if (lost <= 0)
        return true;
    return QMessageBox::question(this, "Lose edits?",
                                 QString("%1 and lose %2 edit%3?").arg(doing).arg(lost).arg(lost == 1 ? "" : "s"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

bool MainWindow::confirmLeavingEdits(const QString& doing)
{
    if (!mLoadedFromFile || !mEditing->hasUnsavedEdits())
        return true;
    return confirmLosingEdits(doing, static_cast<int>(mEditing->edits().size()));
}

ScoreSettings MainWindow::tuneState() const
{
    ScoreSettings state = mSettings.scoreSettings();
    state.rounding = mSettings.isRounded;
    return state;
}

void MainWindow::restoreTuneState(const ScoreSettings& state)
{
    mApplyingHistory = true;
    mSettings.setTune(state);
    mSettings.isRounded = state.rounding;
    applyGeneralSettings();
    mViews.dropHeaders();
    mApplyingHistory = false;
    mFullRerender = true;
    redeliverLastResult();
}

bool MainWindow::tuneSettingsChanged(const ScoreSettings& before, const QString& step, const QString& doing,
                                     int mergeId)
{
    if (mApplyingHistory || !mEditing->isEditable() || mEditing->base().parts.empty())
        return true;
    const ScoreSettings after = tuneState();
    const bool unchanged = after.timeSigNumerator == before.timeSigNumerator
                           && after.timeSigDenominator == before.timeSigDenominator && after.bpm == before.bpm
                           && after.timeShift_s == before.timeShift_s && after.rounding == before.rounding
                           && after.tuneName == before.tuneName && after.tuneType == before.tuneType
                           && after.composer == before.composer;
    if (unchanged)
        return true;
    ScoreSettings rebuilt = scoreSettings();
    if (!confirmLosingEdits(doing, mEditing->editsLostOn(scoreModel(mLastMelody, mLastGracenotes, rebuilt)))) {
        restoreTuneState(before);
        return false;
    }
    const std::vector<ScoreEdit> edits = mEditing->edits();
    mEditing->push(
        step, [this, after] { restoreTuneState(after); },
        [this, before, edits] {
            mEditing->setEdits(edits);
            restoreTuneState(before);
        },
        mergeId);
    return true;
}
