#include "ScoreEditing.h"

#include <QAction>
#include <QMenu>
#include <QUndoCommand>
#include <QUndoStack>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// A step of the history: the edits in force before and after it, and the
// selection with each.
class EditCommand : public QUndoCommand
{
public:
    struct State {
        std::vector<ScoreEdit> edits;
        std::optional<ScorePosition> anchor;
        std::optional<ScorePosition> cursor;
    };
    EditCommand(const QString& text, std::function<void(const State&)> restore, State before, State after)
        : QUndoCommand(text), mRestore(std::move(restore)), mBefore(std::move(before)), mAfter(std::move(after))
    {
    }
    void redo() override { mRestore(mAfter); }
    void undo() override { mRestore(mBefore); }

private:
    std::function<void(const State&)> mRestore;
    State mBefore;
    State mAfter;
};

// A setting changed: its functions do and undo it. Steps with the same
// merge id that follow each other are one (a tempo typed digit by digit).
class FunctionCommand : public QUndoCommand
{
public:
    FunctionCommand(const QString& text, std::function<void()> redo, std::function<void()> undo, int mergeId)
        : QUndoCommand(text), mRedo(std::move(redo)), mUndo(std::move(undo)), mMergeId(mergeId)
    {
    }
    void redo() override { mRedo(); }
    void undo() override { mUndo(); }
    int id() const override { return mMergeId; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = dynamic_cast<const FunctionCommand*>(other);
        if (next == nullptr || next->mMergeId != mMergeId)
            return false;
        mRedo = next->mRedo;
        setText(next->text());
        return true;
    }

private:
    std::function<void()> mRedo;
    std::function<void()> mUndo;
    int mMergeId;
};

QString noteName(PipeNoteName note)
{
    switch (note) {
    case LG: return "Low G";
    case LA: return "Low A";
    case HG: return "High G";
    case HA: return "High A";
    default: return QString::fromStdString(toString(note));
    }
}

// A gracing's name as a piper says it, with its BWW name.
QString gracingLabel(PipeNoteName gracing, const QString& kind, PipeNoteName on)
{
    const QString name = QString::fromStdString(toString(gracing));
    return on == Unknown ? QString("%1 (%2)").arg(kind, name)
                         : QString("%1 %2 (%3)").arg(kind, noteName(on), name);
}

struct GracingGroup {
    QString title;
    std::vector<std::pair<PipeNoteName, QString>> entries;
};

std::vector<GracingGroup> gracingGroups()
{
    auto run = [](PipeNoteName first, PipeNoteName last, PipeNoteName firstNote, const QString& kind) {
        std::vector<std::pair<PipeNoteName, QString>> entries;
        for (int k = 0; k <= last - first; ++k) {
            const auto gracing = static_cast<PipeNoteName>(first + k);
            const auto note = static_cast<PipeNoteName>(firstNote + k);
            entries.emplace_back(gracing, gracingLabel(gracing, kind, note));
        }
        return entries;
    };
    std::vector<std::pair<PipeNoteName, QString>> singles;
    for (PipeNoteName gracing : {ag, bg, cg, dg, eg, fg, gg}) {
        const auto note = static_cast<PipeNoteName>(LA + (gracing - ag));
        singles.emplace_back(gracing, gracingLabel(gracing, noteName(note) + " gracenote", Unknown));
    }
    singles.emplace_back(tg, gracingLabel(tg, "Thumb gracenote", Unknown));
    return {
        {"Single gracenotes", singles},
        {"Doublings", run(dblg, dbha, LG, "Doubling on")},
        {"Thumb doublings", run(tdblg, tdbf, LG, "Thumb doubling on")},
        {"Half doublings", run(hdblg, hdbf, LG, "Half doubling on")},
        {"Throws", {{thrd, gracingLabel(thrd, "D throw", Unknown)}, {hthrd, gracingLabel(hthrd, "Heavy D throw", Unknown)}}},
        {"Grips", {{grp, gracingLabel(grp, "Grip", Unknown)}}},
        {"Taorluaths", {{tar, gracingLabel(tar, "Taorluath", Unknown)}, {tarb, gracingLabel(tarb, "Taorluath on B", Unknown)}}},
        {"Birls", {{brl, gracingLabel(brl, "Birl", Unknown)}, {abr, gracingLabel(abr, "A birl", Unknown)},
                   {gbr, gracingLabel(gbr, "G gracenote birl", Unknown)}, {tbr, gracingLabel(tbr, "Thumb birl", Unknown)}}},
        {"Strikes", run(strlg, strhg, LG, "Strike on")},
    };
}

// position, or the nearest item of model before it when it is gone.
std::optional<ScorePosition> clamped(const PipeTuneModel& model, std::optional<ScorePosition> position)
{
    if (!position || scoreEditor::itemAt(model, *position) != nullptr)
        return position;
    for (ScorePosition candidate = *position; candidate.item > 0;) {
        --candidate.item;
        if (scoreEditor::itemAt(model, candidate) != nullptr)
            return candidate;
    }
    return scoreEditor::firstItem(model);
}

} // namespace

ScoreEditing::ScoreEditing(QWidget* area, QObject* parent)
    : QObject(parent), mArea(area), mUndoStack(new QUndoStack(this)), mContextMenu(new QMenu(area)),
      mGracingMenu(new QMenu("&Gracing", area))
{
    mGracingMenu->setObjectName("gracingMenu");
    using namespace scoreEditor;
    addAction("Note &up", "noteUp", Qt::Key_Up, [](const auto& m, const auto& p) { return movePitch(m, p, 1); });
    addAction("Note &down", "noteDown", Qt::Key_Down,
              [](const auto& m, const auto& p) { return movePitch(m, p, -1); });
    addAction("&Longer note", "longer", Qt::CTRL + Qt::Key_Up,
              [](const auto& m, const auto& p) { return changeLength(m, p, true); });
    addAction("&Shorter note", "shorter", Qt::CTRL + Qt::Key_Down,
              [](const auto& m, const auto& p) { return changeLength(m, p, false); });
    addAction("D&ot", "dot", Qt::Key_Period, [](const auto& m, const auto& p) { return toggleDot(m, p); });
    addAction("&Tie to the next note", "tie", Qt::Key_T, [](const auto& m, const auto& p) { return toggleTie(m, p); });
    addAction("&Insert note after", "insertNote", Qt::Key_Insert,
              [](const auto& m, const auto& p) { return insertNoteAfter(m, p); });
    addAction("De&lete", "delete", Qt::Key_Delete, [](const auto& m, const auto& p) { return remove(m, p); });
    buildGracingMenu();
    addAction("&Remove gracing", "removeGracing", Qt::SHIFT + Qt::Key_Delete,
              [](const auto& m, const auto& p) { return setGracing(m, p, Unknown); });
    // The bar lines move once, whatever is selected.
    addAction("First bar line &later", "firstBarLater", Qt::CTRL + Qt::Key_BracketRight,
              [](const auto& m, const auto&) { return moveFirstBarLine(m, true); }, false);
    addAction("First bar line &earlier", "firstBarEarlier", Qt::CTRL + Qt::Key_BracketLeft,
              [](const auto& m, const auto&) { return moveFirstBarLine(m, false); }, false);

    // Moving the selection: keys only.
    const std::vector<std::tuple<QKeySequence, int, bool>> moves = {{Qt::Key_Right, 1, false},
                                                                     {Qt::Key_Left, -1, false},
                                                                     {Qt::SHIFT + Qt::Key_Right, 1, true},
                                                                     {Qt::SHIFT + Qt::Key_Left, -1, true}};
    for (const auto& [keys, direction, extend] : moves) {
        auto* move = new QAction(this);
        move->setShortcut(keys);
        move->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        mArea->addAction(move);
        connect(move, &QAction::triggered, this, [this, direction = direction, extend = extend] {
            moveSelection(direction, extend);
        });
    }
    updateActions();
}

ScoreEditing::~ScoreEditing() = default;

QAction* ScoreEditing::addAction(const QString& text, const QString& name, const QKeySequence& keys,
                                 Operation operation, bool perItem)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    mArea->addAction(action);
    mContextMenu->addAction(action);
    mActions.push_back(action);
    // The menu's text without its mnemonic names the step in the history.
    QString step = text;
    step.remove('&');
    connect(action, &QAction::triggered, this,
            [this, step, perItem, operation = std::move(operation)] { edit(step, operation, perItem); });
    if (name == "delete")
        mContextMenu->addSeparator();
    return action;
}

void ScoreEditing::buildGracingMenu()
{
    for (const GracingGroup& group : gracingGroups()) {
        QMenu* submenu = mGracingMenu->addMenu(group.title);
        for (const auto& [gracing, label] : group.entries) {
            QAction* action = submenu->addAction(label);
            action->setObjectName(QString("gracing_%1").arg(QString::fromStdString(toString(gracing))));
            mActions.push_back(action);
            connect(action, &QAction::triggered, this, [this, gracing = gracing, label = label] {
                edit(QString("Gracing: %1").arg(label), [gracing](const auto& m, const auto& p) {
                    return scoreEditor::setGracing(m, p, gracing);
                });
            });
        }
    }
    mContextMenu->addMenu(mGracingMenu);
}

void ScoreEditing::fillMenu(QMenu* menu) const
{
    QAction* undo = mUndoStack->createUndoAction(menu, "&Undo");
    undo->setObjectName("undo");
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = mUndoStack->createRedoAction(menu, "&Redo");
    redo->setObjectName("redo");
    redo->setShortcuts({QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z), QKeySequence::Redo});
    menu->addAction(undo);
    menu->addAction(redo);
    menu->addSeparator();
    menu->addActions(mContextMenu->actions());
}

QAction* ScoreEditing::action(const QString& objectName) const
{
    for (QAction* action : mActions)
        if (action->objectName() == objectName)
            return action;
    return nullptr;
}

int ScoreEditing::setBase(const PipeTuneModel& base)
{
    mBase = base;
    if (!mEditable) {
        mScore = base;
        return 0;
    }
    PipeTuneModel score = base;
    const std::vector<std::size_t> dropped = applyEdits(score, mEdits);
    for (auto index = dropped.rbegin(); index != dropped.rend(); ++index)
        mEdits.erase(mEdits.begin() + static_cast<std::ptrdiff_t>(*index));
    if (!dropped.empty())
        mUndoStack->clear(); // the steps name edits that are gone
    mScore = std::move(score);
    mAnchor = clamped(mScore, mAnchor);
    mCursor = clamped(mScore, mCursor);
    emit selectionChanged();
    return static_cast<int>(dropped.size());
}

int ScoreEditing::editsLostOn(const PipeTuneModel& base) const
{
    PipeTuneModel score = base;
    return static_cast<int>(applyEdits(score, mEdits).size());
}

void ScoreEditing::setEdits(std::vector<ScoreEdit> edits)
{
    mEdits = std::move(edits);
    rebuild();
}

void ScoreEditing::rebuild()
{
    mScore = mBase;
    if (mEditable)
        applyEdits(mScore, mEdits);
    emit scoreChanged();
}

void ScoreEditing::markSaved()
{
    mUndoStack->setClean();
}

bool ScoreEditing::hasUnsavedEdits() const
{
    return !mEdits.empty() && !mUndoStack->isClean();
}

void ScoreEditing::clear()
{
    mUndoStack->clear();
    mEdits.clear();
    mBase = PipeTuneModel();
    mAnchor.reset();
    mCursor.reset();
    rebuild();
    emit selectionChanged();
}

void ScoreEditing::setEditable(bool editable)
{
    if (editable == mEditable)
        return;
    mEditable = editable;
    if (!editable) {
        mAnchor.reset();
        mCursor.reset();
        emit selectionChanged();
    }
    updateActions();
}

void ScoreEditing::updateActions()
{
    for (QAction* action : mActions)
        action->setEnabled(mEditable);
    mGracingMenu->setEnabled(mEditable);
}

std::vector<ScorePosition> ScoreEditing::selection() const
{
    if (!mCursor)
        return {};
    return scoreEditor::range(mScore, mAnchor.value_or(*mCursor), *mCursor);
}

void ScoreEditing::select(const ScorePosition& position, bool extend)
{
    if (!mEditable || scoreEditor::itemAt(mScore, position) == nullptr)
        return;
    if (!extend || !mAnchor)
        mAnchor = position;
    mCursor = position;
    emit selectionChanged();
}

void ScoreEditing::moveSelection(int direction, bool extend)
{
    if (!mEditable)
        return;
    if (!mCursor) {
        if (const std::optional<ScorePosition> first = scoreEditor::firstItem(mScore))
            select(*first, false);
        return;
    }
    select(scoreEditor::step(mScore, *mCursor, direction), extend);
}

void ScoreEditing::edit(const QString& text, const Operation& operation, bool perItem)
{
    if (!mEditable)
        return;
    std::vector<ScorePosition> positions = selection();
    if (!perItem)
        positions = {positions.empty() ? ScorePosition() : positions.front()};
    PipeTuneModel score = mScore;
    std::vector<ScoreEdit> edits = mEdits;
    for (auto position = positions.rbegin(); position != positions.rend(); ++position) {
        if (std::optional<ScoreEdit> edit = operation(score, *position)) {
            edit->apply(score);
            edits.push_back(std::move(*edit));
        }
    }
    if (edits.size() == mEdits.size())
        return;
    // The selection stays where it was; a melody note that was given a
    // gracing is still the note selected.
    EditCommand::State after{edits, clamped(score, mAnchor), clamped(score, mCursor)};
    if (positions.size() == 1 && after.cursor) {
        const PipeTuneModel::Item* before = scoreEditor::itemAt(mScore, positions.front());
        const PipeTuneModel::Item* now = scoreEditor::itemAt(score, *after.cursor);
        if (before != nullptr && now != nullptr && isMelodyNote(before->name) && !isMelodyNote(now->name))
            after.cursor = scoreEditor::step(score, *after.cursor, 1);
        after.anchor = after.cursor;
    }
    auto restore = [this](const EditCommand::State& state) {
        mAnchor = state.anchor;
        mCursor = state.cursor;
        setEdits(state.edits);
        emit selectionChanged();
    };
    mUndoStack->push(new EditCommand(text, restore, EditCommand::State{mEdits, mAnchor, mCursor}, std::move(after)));
}

void ScoreEditing::push(const QString& text, std::function<void()> redo, std::function<void()> undo, int mergeId)
{
    mUndoStack->push(new FunctionCommand(text, std::move(redo), std::move(undo), mergeId));
}
