// Correcting a transcribed tune in the real window, offscreen: items are
// selected by clicking where they are drawn, changed with the keys and the
// menus, every step undone and redone to the exact BWW before and after,
// the edits saved in the project and brought back with it, and the
// question asked before edits would be lost.

#include "BmwWriter.h"
#include "MainWindowFixture.h"
#include "RowsView.h"
#include "ScoreEditing.h"

#include <QComboBox>
#include <QDockWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUndoStack>

namespace {

class ScoreEditingTest : public MainWindowFixture
{
protected:
    // The window over a bundled example, transcribed and ready to edit.
    void openExample(const QString& name = "atholl_highlanders.vnt")
    {
        open(kExample, 1.0);
        openProject(example(name));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_TRUE(editing()->isEditable());
    }

    ScoreEditing* editing() const { return window->editing(); }
    RowsView* scoreView() const { return find<RowsView>("scoreDockView"); }
    const PipeTuneModel& score() const { return editing()->score(); }

    // The BWW export, as written to a file.
    QString bww()
    {
        const QString path = fileDir.filePath("tune.bww");
        EXPECT_TRUE(window->saveBww(path));
        return QString::fromLatin1(contents(path));
    }

    // Where the piper clicks to pick the item drawn at place.
    QPoint centre(const PipeTuneRenderer::ItemPlace& place) const
    {
        const QPointF middle = place.rect.center() * window->views().zoom();
        return QPoint(static_cast<int>(middle.x()), scoreView()->rowTop(place.row) + static_cast<int>(middle.y()));
    }

    void click(const ScorePosition& position, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        for (const auto& [row, places] : window->views().scoreItemPlaces())
            for (const PipeTuneRenderer::ItemPlace& place : places)
                if (ScorePosition{place.part, place.bar, place.item} == position) {
                    QTest::mouseClick(scoreView(), Qt::LeftButton, modifiers, centre(place));
                    return;
                }
        ADD_FAILURE() << "no item drawn at bar " << position.bar << " item " << position.item;
    }

    // A key where the score is shown, the window active again as it is
    // once a question has been answered.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(scoreView(), static_cast<Qt::Key>(key), modifiers);
    }

    // The first melody note of the given value with a melody note before it
    // in its bar, so that deleting it leaves time to that note.
    ScorePosition melodyNote(int duration) const
    {
        for (std::size_t b = 1; b < score().parts.front().bars.size(); ++b) {
            const auto& items = score().parts.front().bars[b].items;
            bool noteBefore = false;
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (!isMelodyNote(items[i].name))
                    continue;
                if (noteBefore && items[i].duration == duration && items[i].name > LG && items[i].name < HA)
                    return ScorePosition{0, static_cast<int>(b), static_cast<int>(i)};
                noteBefore = true;
            }
        }
        ADD_FAILURE() << "no melody note of value " << duration;
        return ScorePosition();
    }

    int melodyNotes() const
    {
        int count = 0;
        for (const auto& part : score().parts)
            for (const auto& bar : part.bars)
                for (const auto& item : bar.items)
                    count += isMelodyNote(item.name) ? 1 : 0;
        return count;
    }
};

TEST_F(ScoreEditingTest, AClickAtTheCentreOfEveryDrawnItemSelectsThatItemAndShiftExtends)
{
    openExample();
    int items = 0;
    for (const auto& [row, places] : window->views().scoreItemPlaces()) {
        for (const PipeTuneRenderer::ItemPlace& place : places) {
            QTest::mouseClick(scoreView(), Qt::LeftButton, Qt::NoModifier, centre(place));
            ASSERT_TRUE(editing()->cursor().has_value());
            EXPECT_EQ(*editing()->cursor(), (ScorePosition{place.part, place.bar, place.item}))
                << "row " << row << " bar " << place.bar << " item " << place.item;
            ++items;
        }
    }
    int modelItems = 0;
    for (const auto& bar : score().parts.front().bars)
        modelItems += static_cast<int>(bar.items.size());
    EXPECT_EQ(items, modelItems);

    // Shift extends from the first click; the arrows move and extend too.
    click(ScorePosition{0, 1, 0});
    click(ScorePosition{0, 2, 0}, Qt::ShiftModifier);
    const std::size_t firstTwoBars = score().parts.front().bars[1].items.size() + 1;
    EXPECT_EQ(editing()->selection().size(), firstTwoBars);
    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(editing()->selection().size(), firstTwoBars + 1);
    press(Qt::Key_Left);
    EXPECT_EQ(editing()->selection().size(), 1u);
    EXPECT_FALSE(scoreView()->selectionRect().isEmpty());
    click(melodyNote(8));
    screenshot("edit_selection");
}

// Each key on one note: the exported BWW carries the changed note, undo
// gives back the exact BWW before, redo the one after.
TEST_F(ScoreEditingTest, EveryEditChangesTheExportAndUndoRedoRestoreItExactly)
{
    openExample();
    const QString original = bww();
    const int notes = melodyNotes();
    struct Row {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        std::function<bool(const PipeTuneModel::Item& before, const PipeTuneModel::Item& after)> changed;
        int noteCountChange;
    };
    const std::vector<Row> rows = {
        {"up", Qt::Key_Up, Qt::NoModifier, [](auto& b, auto& a) { return a.name == b.name + 1; }, 0},
        {"down", Qt::Key_Down, Qt::NoModifier, [](auto& b, auto& a) { return a.name == b.name - 1; }, 0},
        {"longer", Qt::Key_Up, Qt::ControlModifier, [](auto& b, auto& a) { return a.duration == b.duration / 2; }, 0},
        {"shorter", Qt::Key_Down, Qt::ControlModifier, [](auto& b, auto& a) { return a.duration == b.duration * 2; }, 0},
        {"dot", Qt::Key_Period, Qt::NoModifier, [](auto& b, auto& a) { return a.dots == 1 - b.dots; }, 0},
        {"tie", Qt::Key_T, Qt::NoModifier, [](auto& b, auto& a) { return a.tied != b.tied; }, 0},
        {"insert", Qt::Key_Insert, Qt::NoModifier, [](auto& b, auto& a) { return a.name == b.name; }, 1},
        {"delete", Qt::Key_Delete, Qt::NoModifier, [](auto&, auto&) { return true; }, -1},
    };
    const BmwWriter writer;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ScorePosition note = melodyNote(8);
        const PipeTuneModel::Item before = *scoreEditor::itemAt(score(), note);
        click(note);
        press(row.key, row.modifiers);
        const QString edited = bww();
        ASSERT_NE(edited.toStdString(), original.toStdString());
        EXPECT_EQ(melodyNotes(), notes + row.noteCountChange);
        const PipeTuneModel::Item* after = scoreEditor::itemAt(score(), note);
        ASSERT_NE(after, nullptr);
        EXPECT_TRUE(row.changed(before, *after)) << toString(before) << " -> " << toString(*after);
        if (row.noteCountChange == 0) {
            EXPECT_TRUE(edited.contains(QString::fromStdString(writer.itemToBmw(*after))));
        }
        press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(bww().toStdString(), original.toStdString());
        press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(bww().toStdString(), edited.toStdString());
        press(Qt::Key_Z, Qt::ControlModifier);
    }

    // A gracing from the menu on the note (in place of the one it has, if
    // any), then taken off; undone back to the tune as heard.
    const QRegularExpression doubling("\\bdbe\\b");
    const int doublings = original.count(doubling);
    click(melodyNote(8));
    editing()->action("gracing_dbe")->trigger();
    EXPECT_EQ(bww().count(doubling), doublings + 1);
    auto gracingBefore = [&] {
        const PipeTuneModel::Item* before = scoreEditor::itemAt(score(), scoreEditor::step(score(), *editing()->cursor(), -1));
        return before != nullptr && !isMelodyNote(before->name) ? before->name : Unknown;
    };
    EXPECT_EQ(gracingBefore(), dbe);
    press(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(gracingBefore(), Unknown);
    EXPECT_EQ(editing()->undoStack()->count(), 2);
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(bww().toStdString(), original.toStdString());

    // The context menu offers the same, gracings grouped as pipers name them.
    QStringList groups;
    for (QAction* action : editing()->gracingMenu()->actions())
        groups << action->text();
    EXPECT_EQ(groups, (QStringList{"Single gracenotes", "Doublings", "Thumb doublings", "Half doublings", "Throws",
                                   "Grips", "Taorluaths", "Birls", "Strikes"}));
    // The context menu, its gracing menu and the doublings, side by side.
    QMenu* doublingMenu = editing()->gracingMenu()->actions().at(1)->menu();
    std::vector<QMenu*> menus = {editing()->contextMenu(), editing()->gracingMenu(), doublingMenu};
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    int x = 120;
    for (QMenu* menu : menus) {
        menu->popup(window->mapToGlobal(QPoint(x, 260)));
        QTest::qWait(20);
        painter.drawPixmap(x, 260, menu->grab());
        x += menu->width();
    }
    painter.end();
    saveShot(shot.toImage(), "edit_gracing_menu");
    for (auto menu = menus.rbegin(); menu != menus.rend(); ++menu)
        (*menu)->hide();
}

TEST_F(ScoreEditingTest, EditsAreSavedInTheProjectAndComeBackWithIt)
{
    openExample();
    const QString plain = fileDir.filePath("plain.vnt");
    ASSERT_TRUE(window->saveVnt(plain, true));
    EXPECT_FALSE(contents(plain).contains("scoreEdits"));

    click(melodyNote(8));
    press(Qt::Key_Up);
    press(Qt::Key_Period);
    click(ScorePosition{0, 1, 0});
    editing()->action("gracing_strla")->trigger();
    ASSERT_EQ(editing()->edits().size(), 3u);
    const QString edited = bww();
    const QString path = fileDir.filePath("edited.vnt");
    ASSERT_TRUE(window->saveVnt(path, true));
    screenshot("edit_bar");
    const std::vector<ScoreEdit> edits = editing()->edits();

    // Undone to none, the project is written byte for byte as without them
    // (but for the time it was written).
    for (int step = 0; step < 3; ++step)
        press(Qt::Key_Z, Qt::ControlModifier);
    const QString again = fileDir.filePath("again.vnt");
    ASSERT_TRUE(window->saveVnt(again, true));
    const QRegularExpression written("<fileCreationTime>[^<]*</fileCreationTime>");
    EXPECT_EQ(QString::fromLatin1(contents(again)).replace(written, ""),
              QString::fromLatin1(contents(plain)).replace(written, ""));

    window.reset();
    openExample();
    openProject(path);
    EXPECT_EQ(editing()->edits(), edits);
    EXPECT_EQ(bww().toStdString(), edited.toStdString());
    // Opened, the edits are saved already: nothing to ask before leaving.
    EXPECT_FALSE(editing()->hasUnsavedEdits());
}

TEST_F(ScoreEditingTest, WhatWouldLoseEditsAsksFirstAndNoKeepsThem)
{
    openExample();
    click(melodyNote(8));
    press(Qt::Key_Up);
    ASSERT_EQ(editing()->edits().size(), 1u);
    auto* signature = find<QComboBox>("timeSignatureCombo");
    const int index = signature->currentIndex();

    // No (the default): nothing changes.
    closer.clear();
    window->onRetranscribe();
    EXPECT_EQ(firstSeen(), "Lose edits?: Re-transcribe and lose 1 edit?");
    EXPECT_FALSE(window->isPlayingBack());
    closer.clear();
    signature->setCurrentIndex(index == 0 ? 1 : 0);
    EXPECT_EQ(firstSeen(), "Lose edits?: Change the time signature and lose 1 edit?");
    EXPECT_EQ(signature->currentIndex(), index);
    EXPECT_EQ(editing()->edits().size(), 1u);

    // Yes: the new time signature is a step of the history, which undo
    // takes back with the edit it dropped.
    closer.inspectWith([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr || box->button(QMessageBox::Yes) == nullptr)
            return false;
        box->button(QMessageBox::Yes)->click();
        return true;
    });
    const QString edited = bww();
    signature->setCurrentIndex(index == 0 ? 1 : 0);
    EXPECT_TRUE(editing()->edits().empty());
    EXPECT_NE(bww().toStdString(), edited.toStdString());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(signature->currentIndex(), index);
    EXPECT_EQ(editing()->edits().size(), 1u);
    EXPECT_EQ(bww().toStdString(), edited.toStdString());

    window->onRetranscribe();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 30000));
    EXPECT_TRUE(editing()->edits().empty());
    EXPECT_EQ(editing()->undoStack()->count(), 0);
}

} // namespace
