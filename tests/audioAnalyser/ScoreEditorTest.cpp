#include "ScoreEditor.h"

#include "BmwWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>

void PrintTo(const ScoreEdit& edit, std::ostream* stream)
{
    *stream << edit.toText();
}

namespace {

using Item = PipeTuneModel::Item;
using Bar = PipeTuneModel::Bar;

// Items written "C4", "E8.", "D16~" (dot, tie); "gg" is a gracing item.
Bar bar(const std::string& text, bool rowBreak = false)
{
    Bar made;
    made.rowBreak = rowBreak;
    const std::regex word("([A-Za-z]+)([0-9]*)(\\.?)(~?)");
    for (auto match = std::sregex_iterator(text.begin(), text.end(), word); match != std::sregex_iterator(); ++match) {
        Item item;
        for (int n = LG; n <= strhg; ++n) {
            if (toString(static_cast<PipeNoteName>(n)) == (*match)[1])
                item.name = static_cast<PipeNoteName>(n);
        }
        item.duration = (*match)[2].length() == 0 ? 32 : std::stoi((*match)[2]);
        item.dots = (*match)[3].length() > 0 ? 1 : 0;
        item.tied = (*match)[4].length() > 0;
        made.items.push_back(item);
    }
    return made;
}

PipeTuneModel tune(int numerator, int denominator, const std::vector<std::string>& bars)
{
    PipeTuneModel model;
    model.setTimeSigNumerator(numerator);
    model.setTimeSigDenominator(denominator);
    model.parts.emplace_back();
    for (std::size_t b = 0; b < bars.size(); ++b) {
        Bar made = bar(bars[b], b + 1 == bars.size());
        scoreEditor::rebeam(made, numerator, denominator, b == 0 && b + 1 < bars.size());
        model.parts.back().bars.push_back(made);
    }
    return model;
}

// The bars as BWW, bars separated by " / ", a tied note followed by "^".
std::string bww(const std::vector<Bar>& bars)
{
    const BmwWriter writer;
    std::string text;
    for (const Bar& one : bars) {
        if (!text.empty())
            text += " / ";
        for (std::size_t k = 0; k < one.items.size(); ++k)
            text += (k > 0 ? " " : "") + writer.itemToBmw(one.items[k]) + (one.items[k].tied ? "^" : "");
    }
    return text;
}

// A pick-up of three quavers and three bars of 4/4.
PipeTuneModel smallTune()
{
    return tune(4, 4, {"LA8 B8 C8", "gg C4 E8 F8 HG4 D8. E16", "dbe E2 LA4 B4", "C1"});
}

using Action = std::function<std::optional<ScoreEdit>(const PipeTuneModel&, const ScorePosition&)>;

struct EditRow {
    ScorePosition at;
    Action action;
    // "" when the edit is not possible.
    std::string description;
    int firstBar;
    std::string after;
};

using namespace std::placeholders;
Action pitch(int steps) { return std::bind(scoreEditor::movePitch, _1, _2, steps); }
Action length(bool longer) { return std::bind(scoreEditor::changeLength, _1, _2, longer); }
Action gracing(PipeNoteName name) { return std::bind(scoreEditor::setGracing, _1, _2, name); }
const Action kDot = scoreEditor::toggleDot;
const Action kTie = scoreEditor::toggleTie;
const Action kRemove = scoreEditor::remove;
const Action kInsert = scoreEditor::insertNoteAfter;

const std::vector<EditRow> kEditRows = {
    {{0, 1, 1}, pitch(1), "Note up", 1, "gg D_4 Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 2, 2}, pitch(-1), "Note down", 2, "dbe E_2 LG_4 B_4"},
    {{0, 2, 2}, pitch(-2), "", 0, ""},
    {{0, 1, 0}, pitch(1), "", 0, ""},
    {{0, 1, 2}, length(true), "Longer note", 1, "gg C_4 E_4 F_8 HG_4 D_8 'd E_16"},
    {{0, 1, 2}, length(false), "Shorter note", 1, "gg C_4 Er_16 Fl_8 HG_4 D_8 'd E_16"},
    {{0, 3, 0}, length(true), "", 0, ""},
    {{0, 1, 6}, length(false), "Shorter note", 1, "gg C_4 Er_8 Fl_8 HG_4 Dr_8 'd El_32"},
    {{0, 1, 2}, kDot, "Dot", 1, "gg C_4 Er_8 'e Fl_8 HG_4 D_8 'd E_16"},
    {{0, 1, 5}, kDot, "Dot", 1, "gg C_4 Er_8 Fl_8 HG_4 Dr_8 El_16"},
    {{0, 2, 3}, kTie, "Tie", 2, "dbe E_2 LA_4 B_4^"},
    {{0, 3, 0}, kTie, "", 0, ""},
    // The time of a removed note goes to the note before when they make one
    // value, across the bar line too; otherwise it is dropped.
    {{0, 1, 3}, kRemove, "Delete note", 1, "gg C_4 E_4 HG_4 Dr_8 'd El_16"},
    {{0, 1, 1}, kRemove, "Delete note", 0, "LA_8 B_8 C_4 'c / Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 1, 5}, kRemove, "Delete note", 1, "gg C_4 Er_8 Fl_8 HG_4 E_16"},
    // An emptied bar goes; the bar before it ends the part.
    {{0, 3, 0}, kRemove, "Delete note", 2, "dbe E_2 LA_4 B_4"},
    {{0, 1, 0}, kRemove, "Delete gracing", 1, "C_4 Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 1, 2}, kInsert, "Insert note", 1, "gg C_4 Er_8 El_8 F_8 HG_4 D_8 'd E_16"},
    {{0, 1, 0}, kInsert, "Insert note", 1, "gg C_4 C_4 Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 1, 1}, gracing(dbc), "Gracing: dbc", 1, "dbc C_4 Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 1, 2}, gracing(gg), "Gracing: gg", 1, "gg C_4 gg Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 2, 0}, gracing(thrd), "Gracing: thrd", 2, "thrd E_2 LA_4 B_4"},
    {{0, 1, 1}, gracing(Unknown), "Remove gracing", 1, "C_4 Er_8 Fl_8 HG_4 Dr_8 'd El_16"},
    {{0, 1, 1}, gracing(D), "", 0, ""},
    {{0, 1, 1}, gracing(gg), "", 0, ""},
    {{0, 4, 0}, kRemove, "", 0, ""},
};

void PrintTo(const EditRow& row, std::ostream* stream)
{
    *stream << row.description << " at " << row.at.part << "/" << row.at.bar << "/" << row.at.item;
}

using ScoreEditorEdit = testing::TestWithParam<EditRow>;

TEST_P(ScoreEditorEdit, ChangesTheBarsAndRevertsExactly)
{
    const EditRow& row = GetParam();
    const PipeTuneModel original = smallTune();
    const std::optional<ScoreEdit> edit = row.action(original, row.at);
    if (row.description.empty()) {
        EXPECT_FALSE(edit.has_value());
        return;
    }
    ASSERT_TRUE(edit.has_value());
    EXPECT_EQ(edit->description, row.description);
    EXPECT_EQ(edit->firstBar, row.firstBar);
    EXPECT_EQ(bww(edit->after), row.after);

    PipeTuneModel model = original;
    ASSERT_TRUE(edit->apply(model));
    const auto& bars = model.parts[0].bars;
    EXPECT_TRUE(bars.back().rowBreak);
    EXPECT_EQ(bww({bars.begin() + row.firstBar, bars.begin() + row.firstBar + static_cast<int>(edit->after.size())}),
              row.after);
    EXPECT_FALSE(edit->apply(model));
    ASSERT_TRUE(edit->revert(model));
    EXPECT_EQ(model.parts[0].bars, original.parts[0].bars);
    const BmwWriter writer;
    EXPECT_EQ(writer.write(model), writer.write(original));

    EXPECT_EQ(ScoreEdit::fromText(edit->toText()), edit);
}

INSTANTIATE_TEST_SUITE_P(Table, ScoreEditorEdit, testing::ValuesIn(kEditRows));

struct BarLineRow {
    int numerator;
    int denominator;
    std::vector<std::string> bars;
    bool later;
    std::string after;
};

TEST(ScoreEditor, MovesTheFirstBarLineTyingNotesOverTheNewBarLines)
{
    const std::vector<BarLineRow> rows = {
        {4, 4, {"LA4", "B2 C4 D4", "E1"}, true, "LA_4 B_2 / C_4 D_4 E_2^ / E_2"},
        {4, 4, {"LA4", "B2 C4 D4", "E1"}, false, "LA_4 B_2 C_4 / D_4 E_2 'e^ / E_4"},
        {4, 4, {"LA4 B2 C4", "D4 E2 F4"}, true, "LA_4 / B_2 C_4 D_4 / E_2 F_4"},
        {6, 8, {"E8", "LA4. B8 C8 D8", "E4. HG4."}, false, "E_8 LA_4 'la Br_8 Cl_8 / D_8 E_4 'e HG_4^ / HG_8"},
        {6, 8, {"E8", "LA4. B8 C8 D8", "E4. HG4."}, true, "E_8 LA_4 'la / Br_8 Cl_8 Dl_8 E_4 'e / HG_4 'hg"},
    };
    for (const BarLineRow& row : rows) {
        const PipeTuneModel original = tune(row.numerator, row.denominator, row.bars);
        const std::optional<ScoreEdit> edit = scoreEditor::moveFirstBarLine(original, row.later);
        ASSERT_TRUE(edit.has_value()) << row.after;
        EXPECT_EQ(bww(edit->after), row.after);
        EXPECT_TRUE(edit->after.back().rowBreak);

        // Moving it back joins the notes tied over the bar line again.
        PipeTuneModel model = original;
        ASSERT_TRUE(edit->apply(model));
        const std::optional<ScoreEdit> back = scoreEditor::moveFirstBarLine(model, !row.later);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(bww(back->after), bww(original.parts[0].bars)) << row.after;
        ASSERT_TRUE(edit->revert(model));
        EXPECT_EQ(model.parts[0].bars, original.parts[0].bars);
    }
}

TEST(ScoreEditor, AppliesEditsInOrderSkippingThoseWhoseBarsChanged)
{
    const PipeTuneModel original = smallTune();
    const std::vector<ScoreEdit> edits = {*scoreEditor::movePitch(original, {0, 1, 1}, 1),
                                          *scoreEditor::toggleDot(original, {0, 1, 2}),
                                          *scoreEditor::movePitch(original, {0, 2, 1}, 1)};
    // Where rows end is the score's, not the edit's.
    PipeTuneModel model = original;
    model.parts[0].bars[1].rowBreak = true;
    EXPECT_EQ(applyEdits(model, edits), std::vector<std::size_t>{1});
    EXPECT_TRUE(model.parts[0].bars[1].rowBreak);
    EXPECT_FALSE(model.parts[0].bars[2].rowBreak);
    EXPECT_EQ(bww({model.parts[0].bars[1], model.parts[0].bars[2]}),
              "gg D_4 Er_8 Fl_8 HG_4 Dr_8 'd El_16 / dbe F_2 LA_4 B_4");
}

TEST(ScoreEdit, TextKeepsEveryCharacterOfTheDescriptionOnOneLine)
{
    ScoreEdit edit = *scoreEditor::remove(smallTune(), {0, 1, 1});
    edit.description = "Gracing; 100% \"dbe\"\t\n\r\\ é";
    const std::string text = edit.toText();
    EXPECT_EQ(text.find_first_of("\t\n\r"), std::string::npos);
    EXPECT_EQ(ScoreEdit::fromText(text), edit);
}

TEST(ScoreEdit, RejectsBrokenTexts)
{
    const std::string good = scoreEditor::movePitch(smallTune(), {0, 1, 1}, 1)->toText();
    ASSERT_TRUE(ScoreEdit::fromText(good).has_value());
    std::vector<std::string> broken = {
        "", "v1", ";;;;;", "v1;0;1;Note up;;[C:4:0:n:-]", "v2;0;1;x;[C:4:0:n:-];[D:4:0:n:-]",
        "v1;-1;1;x;[C:4:0:n:-];[D:4:0:n:-]", "v1;0;-1;x;[C:4:0:n:-];[D:4:0:n:-]",
        "v1;0;9999999999;x;[C:4:0:n:-];[D:4:0:n:-]", "v1;0;1;100%;[C:4:0:n:-];[D:4:0:n:-]",
        "v1;0;1;%G0;[C:4:0:n:-];[D:4:0:n:-]", "v1;0;1;x;[C:4:0:n:-];[D:4:0:n:-];",
        good.substr(0, good.size() - 1), good + "]"};
    for (const char* bars : {"[X:4:0:n:-]", "[Unknown:4:0:n:-]", "[C:3:0:n:-]", "[C:64:0:n:-]", "[C:4:3:n:-]",
                             "[C:4:0:q:-]", "[C:4:0:n:y]", "[C:4:0:n]", "[C:4:0:n:-:-]", "[C:4:0:n:-",
                             "C:4:0:n:-]", "[C:4:0:n:-]?", "[C:4:0:n:-  D:4:0:n:-]", "[C:+4:0:n:-]"})
        broken.push_back(std::string("v1;0;1;x;") + bars + ";[D:4:0:n:-]");
    for (const std::string& text : broken)
        EXPECT_FALSE(ScoreEdit::fromText(text).has_value()) << text;
}

TEST(ScoreEditor, StepsThroughTheItemsOfEveryPartInPlayingOrder)
{
    PipeTuneModel model = tune(2, 4, {"LA8", "B4 C4"});
    model.parts.push_back(tune(2, 4, {"gg D2"}).parts[0]);
    model.parts[0].bars.emplace_back();
    using P = ScorePosition;
    EXPECT_EQ(scoreEditor::firstItem(model), (P{0, 0, 0}));
    EXPECT_FALSE(scoreEditor::firstItem(PipeTuneModel()).has_value());
    EXPECT_EQ(scoreEditor::step(model, {0, 0, 0}, 1), (P{0, 1, 0}));
    EXPECT_EQ(scoreEditor::step(model, {0, 1, 1}, 1), (P{1, 0, 0}));
    EXPECT_EQ(scoreEditor::step(model, {1, 0, 0}, -1), (P{0, 1, 1}));
    EXPECT_EQ(scoreEditor::step(model, {1, 0, 1}, 1), (P{1, 0, 1}));
    EXPECT_EQ(scoreEditor::step(model, {0, 0, 0}, -1), (P{0, 0, 0}));
    EXPECT_EQ(scoreEditor::step(model, {5, 0, 0}, 1), (P{5, 0, 0}));
    const std::vector<P> middle = {{0, 1, 1}, {1, 0, 0}, {1, 0, 1}};
    EXPECT_EQ(scoreEditor::range(model, {1, 0, 1}, {0, 1, 1}), middle);
    EXPECT_EQ(scoreEditor::range(model, {0, 1, 1}, {1, 0, 1}), middle);
    EXPECT_TRUE(scoreEditor::range(model, {0, 1, 1}, {0, 2, 0}).empty());
}

} // namespace
