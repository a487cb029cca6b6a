#include "ScoreEditor.h"

#include "GroupQuantizer.h"
#include "ScoreSettings.h"

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

using Item = PipeTuneModel::Item;
using Bar = PipeTuneModel::Bar;

namespace {

// Note values from the demisemiquaver to the semibreve.
constexpr int kShortestValue = 32;
constexpr int kLongestValue = 1;
// Without a row end inside the part, rows are this many bars long (the
// application's default), or as long as the part was.
constexpr int kDefaultBarsPerRow = 4;

struct Metre {
    int beat32 = 0;
    int bar32 = 0;
};

// As the quantiser cuts beats: a dotted crotchet in 6/8, else one unit of
// the denominator (a minim in 2/2).
Metre metreOf(int numerator, int denominator)
{
    Metre metre;
    if (denominator <= 0 || denominator > 32)
        return metre;
    metre.beat32 = denominator == 8 ? 12 : 32 / denominator;
    metre.bar32 = std::max(0, metre.beat32 * beatsPerBar(numerator, denominator));
    return metre;
}

int melodyLength32(const Bar& bar)
{
    int length32 = 0;
    for (const Item& item : bar.items)
        length32 += isMelodyNote(item.name) ? item.totalDuration32() : 0;
    return length32;
}

bool isGracing(PipeNoteName name)
{
    return name >= ag && name <= strhg;
}

const Bar* barAt(const PipeTuneModel& model, int part, int bar)
{
    if (part < 0 || bar < 0 || static_cast<std::size_t>(part) >= model.parts.size())
        return nullptr;
    const std::vector<Bar>& bars = model.parts[static_cast<std::size_t>(part)].bars;
    return static_cast<std::size_t>(bar) < bars.size() ? &bars[static_cast<std::size_t>(bar)] : nullptr;
}

// The first of the gracing items standing right before item index.
std::size_t gracingStart(const Bar& bar, std::size_t index)
{
    std::size_t start = index;
    while (start > 0 && !isMelodyNote(bar.items[start - 1].name))
        --start;
    return start;
}

// The melody note that item index is or leads into, in its bar.
std::optional<std::size_t> noteOf(const Bar& bar, std::size_t index)
{
    for (std::size_t k = index; k < bar.items.size(); ++k) {
        if (isMelodyNote(bar.items[k].name))
            return k;
    }
    return std::nullopt;
}

bool pickUpBar(const Bar& bar, int barIndex, const Metre& metre)
{
    return barIndex == 0 && melodyLength32(bar) < metre.bar32;
}

// The edit that puts `after` in place of beforeCount bars of part from
// firstBar, beamed again; nothing when it changes nothing.
std::optional<ScoreEdit> makeEdit(const PipeTuneModel& model, int part, int firstBar, std::size_t beforeCount,
                                  std::vector<Bar> after, const char* description)
{
    const std::vector<Bar>& bars = model.parts[static_cast<std::size_t>(part)].bars;
    const Metre metre = metreOf(model.timeSigNumerator(), model.timeSigDenominator());
    for (std::size_t k = 0; k < after.size(); ++k) {
        const int index = firstBar + static_cast<int>(k);
        scoreEditor::rebeam(after[k], model.timeSigNumerator(), model.timeSigDenominator(),
                            pickUpBar(after[k], index, metre));
    }
    ScoreEdit edit;
    edit.description = description;
    edit.part = part;
    edit.firstBar = firstBar;
    const auto first = bars.begin() + firstBar;
    edit.before.assign(first, first + static_cast<std::ptrdiff_t>(beforeCount));
    edit.after = std::move(after);
    if (edit.before == edit.after)
        return std::nullopt;
    return edit;
}

// An edit of the one bar holding position, made by change (false: not
// possible).
std::optional<ScoreEdit> editBar(const PipeTuneModel& model, const ScorePosition& position, const char* description,
                                 const std::function<bool(Bar&, std::size_t)>& change)
{
    if (scoreEditor::itemAt(model, position) == nullptr)
        return std::nullopt;
    Bar bar = *barAt(model, position.part, position.bar);
    if (!change(bar, static_cast<std::size_t>(position.item)))
        return std::nullopt;
    return makeEdit(model, position.part, position.bar, 1, {bar}, description);
}

// An edit of the melody note at position.
std::optional<ScoreEdit> editNote(const PipeTuneModel& model, const ScorePosition& position, const char* description,
                                  const std::function<bool(Item&)>& change)
{
    return editBar(model, position, description, [&](Bar& bar, std::size_t index) {
        return isMelodyNote(bar.items[index].name) && change(bar.items[index]);
    });
}

// The last melody note of the part before position, as (bar, item).
std::optional<std::pair<int, std::size_t>> previousNote(const PipeTuneModel& model, int part, int bar,
                                                        std::size_t before)
{
    for (int b = bar; b >= 0; --b) {
        const Bar& candidate = *barAt(model, part, b);
        std::size_t k = b == bar ? before : candidate.items.size();
        while (k > 0) {
            --k;
            if (isMelodyNote(candidate.items[k].name))
                return std::make_pair(b, k);
        }
    }
    return std::nullopt;
}

std::optional<ScoreEdit> removeNote(const PipeTuneModel& model, const ScorePosition& position)
{
    const std::vector<Bar>& bars = model.parts[static_cast<std::size_t>(position.part)].bars;
    const Bar& bar = bars[static_cast<std::size_t>(position.bar)];
    const std::size_t index = static_cast<std::size_t>(position.item);
    const std::size_t from = gracingStart(bar, index);
    const std::optional<std::pair<int, std::size_t>> previous = previousNote(model, position.part, position.bar, from);

    // The time goes to the note before where the two make one value;
    // otherwise it is simply dropped.
    int firstBar = position.bar;
    std::optional<Item> lengthened;
    if (previous) {
        Item note = bars[static_cast<std::size_t>(previous->first)].items[previous->second];
        int value = 0;
        int dots = 0;
        if (singleNoteValue(note.totalDuration32() + bar.items[index].totalDuration32(), value, dots)) {
            note.duration = value;
            note.dots = dots;
            lengthened = note;
            firstBar = previous->first;
        }
    }
    std::vector<Bar> after(bars.begin() + firstBar, bars.begin() + position.bar + 1);
    if (lengthened)
        after.front().items[previous->second] = *lengthened;
    Bar& changed = after.back();
    changed.items.erase(changed.items.begin() + static_cast<std::ptrdiff_t>(from),
                        changed.items.begin() + static_cast<std::ptrdiff_t>(index) + 1);
    int lastBar = position.bar;
    if (changed.items.empty()) {
        // An emptied bar goes, unless it was all the part had. The edit
        // keeps a neighbour bar, which takes over the row end.
        if (bars.size() == 1)
            return std::nullopt;
        after.pop_back();
        if (after.empty() && position.bar > 0) {
            firstBar = position.bar - 1;
            after.push_back(bars[static_cast<std::size_t>(firstBar)]);
        } else if (after.empty()) {
            lastBar = position.bar + 1;
            after.push_back(bars[static_cast<std::size_t>(lastBar)]);
        }
    }
    return makeEdit(model, position.part, firstBar, static_cast<std::size_t>(lastBar - firstBar + 1),
                    std::move(after), "Delete note");
}

// A melody note with the gracing before it, laid end to end with the rest
// of a part; a note held over old bar lines (a tied run) is one piece.
struct Piece {
    std::vector<Item> gracing;
    std::vector<Item> values;
    int length32 = 0;
    // Re-spelled wherever it lands: a run that was tied over a bar line.
    bool respell = false;
};

std::vector<Piece> layOut(const std::vector<Bar>& bars, std::vector<Item>& trailing)
{
    std::vector<Piece> pieces;
    std::vector<Item> gracing;
    // Set while the last piece's note is tied on to the same pitch.
    bool continuing = false;
    int pieceBar = 0;
    for (std::size_t b = 0; b < bars.size(); ++b) {
        for (const Item& item : bars[b].items) {
            if (!isMelodyNote(item.name)) {
                gracing.push_back(item);
                continuing = false;
                continue;
            }
            if (continuing && gracing.empty() && pieces.back().values.back().name == item.name) {
                pieces.back().values.push_back(item);
                pieces.back().length32 += item.totalDuration32();
                pieces.back().respell = pieces.back().respell || static_cast<int>(b) != pieceBar;
            } else {
                Piece piece;
                piece.gracing = std::move(gracing);
                piece.values = {item};
                piece.length32 = item.totalDuration32();
                pieces.push_back(piece);
                pieceBar = static_cast<int>(b);
            }
            gracing.clear();
            continuing = item.tied;
        }
    }
    // A tied run inside one bar keeps its spelling: split it again.
    std::vector<Piece> split;
    for (const Piece& piece : pieces) {
        if (piece.respell || piece.values.size() == 1) {
            split.push_back(piece);
            continue;
        }
        for (std::size_t k = 0; k < piece.values.size(); ++k) {
            Piece one;
            if (k == 0)
                one.gracing = piece.gracing;
            one.values = {piece.values[k]};
            one.length32 = piece.values[k].totalDuration32();
            split.push_back(one);
        }
    }
    trailing = gracing;
    return split;
}

// The bars-per-row pattern of a part: the length of its first row.
int barsPerRow(const std::vector<Bar>& bars)
{
    for (std::size_t b = 0; b + 1 < bars.size(); ++b) {
        if (bars[b].rowBreak)
            return static_cast<int>(b) + 1;
    }
    return std::max(kDefaultBarsPerRow, static_cast<int>(bars.size()));
}

// The part's music cut into bars from a first bar of pickUp32 (none for 0).
std::vector<Bar> cutIntoBars(const std::vector<Bar>& bars, int pickUp32, int bar32)
{
    std::vector<Item> trailing;
    const std::vector<Piece> pieces = layOut(bars, trailing);
    auto barIndexAt = [&](int position32) {
        if (pickUp32 == 0)
            return position32 / bar32;
        return position32 < pickUp32 ? 0 : 1 + (position32 - pickUp32) / bar32;
    };
    auto barEnd32 = [&](int index) { return pickUp32 == 0 ? (index + 1) * bar32 : pickUp32 + index * bar32; };

    std::vector<Bar> cut;
    int position32 = 0;
    for (const Piece& piece : pieces) {
        int index = barIndexAt(position32);
        if (cut.size() <= static_cast<std::size_t>(index))
            cut.resize(static_cast<std::size_t>(index) + 1);
        std::vector<Item>& items = cut[static_cast<std::size_t>(index)].items;
        items.insert(items.end(), piece.gracing.begin(), piece.gracing.end());
        const int end32 = position32 + piece.length32;
        if (!piece.respell && end32 <= barEnd32(index)) {
            items.insert(items.end(), piece.values.begin(), piece.values.end());
            position32 = end32;
            continue;
        }
        // Each bar's share of the note in the longest values that fit, all
        // tied on but the last, which keeps the tie the note had.
        const Item& last = piece.values.back();
        while (position32 < end32) {
            index = barIndexAt(position32);
            if (cut.size() <= static_cast<std::size_t>(index))
                cut.resize(static_cast<std::size_t>(index) + 1);
            const int share32 = std::min(end32, barEnd32(index)) - position32;
            for (Item value : getItemsFrom32s(share32)) {
                value.name = last.name;
                value.tied = true;
                cut[static_cast<std::size_t>(index)].items.push_back(value);
            }
            position32 += share32;
        }
        cut[static_cast<std::size_t>(index)].items.back().tied = last.tied;
    }
    if (cut.empty())
        return cut;
    cut.back().items.insert(cut.back().items.end(), trailing.begin(), trailing.end());
    const int perRow = barsPerRow(bars);
    for (std::size_t b = 0; b < cut.size(); ++b)
        cut[b].rowBreak = (static_cast<int>(b) + 1) % perRow == 0 || b + 1 == cut.size();
    return cut;
}

std::optional<int> firstNoteLength32(const Bar& bar)
{
    for (const Item& item : bar.items) {
        if (isMelodyNote(item.name))
            return item.totalDuration32();
    }
    return std::nullopt;
}

std::optional<int> lastNoteLength32(const Bar& bar)
{
    for (auto item = bar.items.rbegin(); item != bar.items.rend(); ++item) {
        if (isMelodyNote(item->name))
            return item->totalDuration32();
    }
    return std::nullopt;
}

// Every item of the score in playing order.
std::vector<ScorePosition> allPositions(const PipeTuneModel& model)
{
    std::vector<ScorePosition> positions;
    for (std::size_t p = 0; p < model.parts.size(); ++p) {
        for (std::size_t b = 0; b < model.parts[p].bars.size(); ++b) {
            for (std::size_t k = 0; k < model.parts[p].bars[b].items.size(); ++k)
                positions.push_back({static_cast<int>(p), static_cast<int>(b), static_cast<int>(k)});
        }
    }
    return positions;
}

} // namespace

bool ScorePosition::operator<(const ScorePosition& other) const
{
    return std::tie(part, bar, item) < std::tie(other.part, other.bar, other.item);
}

namespace scoreEditor {

const PipeTuneModel::Item* itemAt(const PipeTuneModel& model, const ScorePosition& position)
{
    const Bar* bar = barAt(model, position.part, position.bar);
    if (bar == nullptr || position.item < 0 || static_cast<std::size_t>(position.item) >= bar->items.size())
        return nullptr;
    return &bar->items[static_cast<std::size_t>(position.item)];
}

std::optional<ScorePosition> firstItem(const PipeTuneModel& model)
{
    const std::vector<ScorePosition> positions = allPositions(model);
    if (positions.empty())
        return std::nullopt;
    return positions.front();
}

ScorePosition step(const PipeTuneModel& model, const ScorePosition& position, int direction)
{
    const std::vector<ScorePosition> positions = allPositions(model);
    const auto found = std::find(positions.begin(), positions.end(), position);
    if (found == positions.end())
        return position;
    const long long index = std::clamp(static_cast<long long>(found - positions.begin()) + direction, 0LL,
                                       static_cast<long long>(positions.size()) - 1);
    return positions[static_cast<std::size_t>(index)];
}

std::vector<ScorePosition> range(const PipeTuneModel& model, const ScorePosition& first, const ScorePosition& last)
{
    if (itemAt(model, first) == nullptr || itemAt(model, last) == nullptr)
        return {};
    const ScorePosition from = std::min(first, last);
    const ScorePosition to = std::max(first, last);
    std::vector<ScorePosition> positions = allPositions(model);
    positions.erase(std::remove_if(positions.begin(), positions.end(),
                                   [&](const ScorePosition& at) { return at < from || to < at; }),
                    positions.end());
    return positions;
}

std::optional<ScoreEdit> movePitch(const PipeTuneModel& model, const ScorePosition& note, int steps)
{
    return editNote(model, note, steps > 0 ? "Note up" : "Note down", [&](Item& item) {
        const int ordinal = melodyNoteOrdinalValue(item.name) + steps;
        if (steps == 0 || ordinal < 0 || ordinal > melodyNoteOrdinalValue(HA))
            return false;
        item.name = static_cast<PipeNoteName>(LG + ordinal);
        return true;
    });
}

std::optional<ScoreEdit> changeLength(const PipeTuneModel& model, const ScorePosition& note, bool longer)
{
    return editNote(model, note, longer ? "Longer note" : "Shorter note", [&](Item& item) {
        const int value = longer ? item.duration / 2 : item.duration * 2;
        // No dotted demisemiquaver: half a 32nd is not written.
        if (value < kLongestValue || value > kShortestValue || (value == kShortestValue && item.dots != 0))
            return false;
        item.duration = value;
        return true;
    });
}

std::optional<ScoreEdit> toggleDot(const PipeTuneModel& model, const ScorePosition& note)
{
    return editNote(model, note, "Dot", [&](Item& item) {
        if (item.dots == 0 && item.duration >= kShortestValue)
            return false;
        item.dots = item.dots == 0 ? 1 : 0;
        return true;
    });
}

std::optional<ScoreEdit> toggleTie(const PipeTuneModel& model, const ScorePosition& note)
{
    if (itemAt(model, note) == nullptr)
        return std::nullopt;
    // A note is tied on only to a note that follows in its part.
    bool followed = false;
    const std::vector<Bar>& bars = model.parts[static_cast<std::size_t>(note.part)].bars;
    for (std::size_t b = static_cast<std::size_t>(note.bar); b < bars.size() && !followed; ++b) {
        const std::size_t from = b == static_cast<std::size_t>(note.bar) ? static_cast<std::size_t>(note.item) + 1 : 0;
        for (std::size_t k = from; k < bars[b].items.size() && !followed; ++k)
            followed = isMelodyNote(bars[b].items[k].name);
    }
    return editNote(model, note, "Tie", [&](Item& item) {
        if (!item.tied && !followed)
            return false;
        item.tied = !item.tied;
        return true;
    });
}

std::optional<ScoreEdit> remove(const PipeTuneModel& model, const ScorePosition& item)
{
    const Item* found = itemAt(model, item);
    if (found == nullptr)
        return std::nullopt;
    if (isMelodyNote(found->name))
        return removeNote(model, item);
    return editBar(model, item, "Delete gracing", [](Bar& bar, std::size_t index) {
        bar.items.erase(bar.items.begin() + static_cast<std::ptrdiff_t>(index));
        return !bar.items.empty();
    });
}

std::optional<ScoreEdit> insertNoteAfter(const PipeTuneModel& model, const ScorePosition& item)
{
    return editBar(model, item, "Insert note", [](Bar& bar, std::size_t index) {
        const std::optional<std::size_t> note = noteOf(bar, index);
        if (!note)
            return false;
        Item copy = bar.items[*note];
        copy.tied = false;
        bar.items.insert(bar.items.begin() + static_cast<std::ptrdiff_t>(*note) + 1, copy);
        return true;
    });
}

std::optional<ScoreEdit> setGracing(const PipeTuneModel& model, const ScorePosition& item, PipeNoteName gracing)
{
    if (gracing != Unknown && !isGracing(gracing))
        return std::nullopt;
    const std::string description = gracing == Unknown ? "Remove gracing" : "Gracing: " + toString(gracing);
    return editBar(model, item, description.c_str(), [&](Bar& bar, std::size_t index) {
        const Item replacement(gracing, 32, 0, FlagNone);
        std::size_t from = index;
        std::size_t to = index + 1;
        if (isMelodyNote(bar.items[index].name)) {
            from = gracingStart(bar, index);
            to = index;
        }
        bar.items.erase(bar.items.begin() + static_cast<std::ptrdiff_t>(from),
                        bar.items.begin() + static_cast<std::ptrdiff_t>(to));
        if (gracing != Unknown)
            bar.items.insert(bar.items.begin() + static_cast<std::ptrdiff_t>(from), replacement);
        return !bar.items.empty();
    });
}

std::optional<ScoreEdit> moveFirstBarLine(const PipeTuneModel& model, bool later)
{
    const Metre metre = metreOf(model.timeSigNumerator(), model.timeSigDenominator());
    if (model.parts.empty() || model.parts.front().bars.empty() || metre.bar32 <= 0)
        return std::nullopt;
    const std::vector<Bar>& bars = model.parts.front().bars;
    const int firstLength32 = melodyLength32(bars.front());
    const int pickUp32 = firstLength32 < metre.bar32 ? firstLength32 : 0;
    // The bar line after the pick-up (or at the start of a tune without
    // one) moves by the note after it; the one closing the first bar by the
    // note before it.
    std::optional<int> note32;
    if (later) {
        const std::size_t firstFull = pickUp32 > 0 ? 1 : 0;
        if (firstFull < bars.size())
            note32 = firstNoteLength32(bars[firstFull]);
    } else {
        note32 = lastNoteLength32(bars.front());
    }
    if (!note32)
        return std::nullopt;
    const int shifted32 = pickUp32 + (later ? *note32 : -*note32);
    const int newPickUp32 = (shifted32 % metre.bar32 + metre.bar32) % metre.bar32;
    std::vector<Bar> after = cutIntoBars(bars, newPickUp32, metre.bar32);
    return makeEdit(model, 0, 0, bars.size(), std::move(after),
                    later ? "First bar line later" : "First bar line earlier");
}

void rebeam(PipeTuneModel::Bar& bar, int timeSigNumerator, int timeSigDenominator, bool pickUp)
{
    const Metre metre = metreOf(timeSigNumerator, timeSigDenominator);
    if (metre.beat32 <= 0)
        return;
    // A pick-up ends on the bar line, so its beats count from there.
    int position32 = pickUp ? std::max(0, metre.bar32 - melodyLength32(bar)) : 0;
    std::map<int, std::vector<std::size_t>> beats;
    for (std::size_t k = 0; k < bar.items.size(); ++k) {
        Item& item = bar.items[k];
        if (!isMelodyNote(item.name)) {
            item.flag = FlagNone;
            continue;
        }
        beats[position32 / metre.beat32].push_back(k);
        position32 += item.totalDuration32();
    }
    for (const auto& beat : beats)
        beamBeat(bar.items, beat.second);
}

} // namespace scoreEditor
