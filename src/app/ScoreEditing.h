#pragma once

// The piper's corrections to the score: the selection on the sheet music,
// the editing actions (Edit menu, keys, context menu, the gracing menu
// grouped as pipers think of gracings), and the undo history over them.
// The score shown is the quantised score (the base) with the edits applied
// in order; an edit the base no longer holds the bars for is dropped.
// Editing is possible only on a finished transcription, never while one
// is under way. Undoable changes of the tune's settings go on the same
// history (push). GUI thread.

#include "PipeTuneModel.h"
#include "ScoreEdit.h"
#include "ScoreEditor.h"

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QUndoCommand;
class QUndoStack;
class QWidget;

class ScoreEditing : public QObject
{
    Q_OBJECT
public:
    // The actions' keys work where the score is shown, inside area.
    ScoreEditing(QWidget* area, QObject* parent = nullptr);
    ~ScoreEditing() override;

    // The Edit menu: undo, redo, the editing actions and the gracing menu.
    void fillMenu(QMenu* menu) const;
    QMenu* contextMenu() const { return mContextMenu; }
    QMenu* gracingMenu() const { return mGracingMenu; }
    QUndoStack* undoStack() const { return mUndoStack; }

    // A new base score, which the caller draws. Editable: the edits go on
    // it, those it no longer holds the bars for are dropped (their number
    // comes back). Not editable (a transcription under way): the base is
    // shown as it is and the edits wait.
    int setBase(const PipeTuneModel& base);
    // How many of the edits would be dropped on base.
    int editsLostOn(const PipeTuneModel& base) const;
    const PipeTuneModel& base() const { return mBase; }
    const PipeTuneModel& score() const { return mScore; }
    const std::vector<ScoreEdit>& edits() const { return mEdits; }
    // The edits in force without a step in the history (an opened project,
    // a step of the history itself); the score is rebuilt.
    void setEdits(std::vector<ScoreEdit> edits);
    // The history as it stands is saved; whether it has moved since.
    void markSaved();
    bool hasUnsavedEdits() const;
    // No score, edits, history or selection: a new recording.
    void clear();

    void setEditable(bool editable);
    bool isEditable() const { return mEditable; }

    // The selection: from the anchor to the cursor, in playing order.
    std::vector<ScorePosition> selection() const;
    const std::optional<ScorePosition>& cursor() const { return mCursor; }
    void select(const ScorePosition& position, bool extend);
    void moveSelection(int direction, bool extend);

    // A step in the history that is not an edit of the notes (a setting):
    // redo and undo run its functions, the first redo at once.
    void push(const QString& text, std::function<void()> redo, std::function<void()> undo, int mergeId = -1);

    // The actions, by what they do; for the window's tests.
    QAction* action(const QString& objectName) const;

signals:
    // The score shown changed by an edit, its undo or redo: draw it again.
    void scoreChanged();
    void selectionChanged();

private:
    using Operation = std::function<std::optional<ScoreEdit>(const PipeTuneModel&, const ScorePosition&)>;
    // perItem: the operation runs on every selected item, else once.
    QAction* addAction(const QString& text, const QString& name, const QKeySequence& keys, Operation operation,
                       bool perItem = true);
    void buildGracingMenu();
    // Runs operation on every selected item, last first (so that the
    // positions before it stay put), as one step in the history.
    void edit(const QString& text, const Operation& operation, bool perItem = true);
    void rebuild();
    void updateActions();

    QWidget* mArea = nullptr;
    QUndoStack* mUndoStack = nullptr;
    QMenu* mContextMenu = nullptr;
    QMenu* mGracingMenu = nullptr;
    std::vector<QAction*> mActions;
    PipeTuneModel mBase;
    PipeTuneModel mScore;
    std::vector<ScoreEdit> mEdits;
    bool mEditable = false;
    std::optional<ScorePosition> mAnchor;
    std::optional<ScorePosition> mCursor;
};
