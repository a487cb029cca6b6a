#include "PipeTuneQuantizer.h"

#include "GroupQuantizer.h"
#include "ScoreSettings.h"
#include "VantorUtils.h"
#include "utils.h"

#include <algorithm>
#include <cmath>

namespace {

// Notes starting this close together are the same note.
constexpr float kSameNote_s = 0.001f;
// A note may begin up to two 32nds before its beat.
constexpr double kEarlyStart32 = 2.0;
// Of its beat, the least silence before a tune's first note that makes it a
// pick-up.
constexpr float kPickUpGap = 0.25f;

// Whether pipe music writes a note of length32 from start32 (in the bar) as
// one value: it starts on a beat, stays in the bar, crosses the middle of a
// bar of an even number of beats only from the bar's start (a minim on the
// second beat of 4/4 is two tied crotchets), and in compound time lasts
// whole beats.
bool writtenAsOneValue(int start32, int length32, int beat32, int beatsPerBar, bool compound)
{
    const int bar32 = beat32 * beatsPerBar;
    if (beat32 <= 0 || start32 % beat32 != 0 || start32 + length32 > bar32)
        return false;
    if (compound && length32 % beat32 != 0)
        return false;
    const int middle32 = bar32 / 2;
    return beatsPerBar % 2 != 0 || start32 == 0 || start32 >= middle32 || start32 + length32 <= middle32;
}

// Writes a note held over beat lines in one value where pipe music would
// (a minim, a dotted minim, a semibreve, a dotted crotchet starting on a
// beat), instead of values tied at every beat; ties stay where the value
// would hide the middle of the bar, and at bar lines. start32 holds each
// item's position in the bar in 32nds (-1 for gracing). The notes left in
// the beat where a joined note ends are beamed again without it.
void joinTiedValues(PipeTuneModel::Bar& bar, const std::vector<int>& start32, int beat32, int beatsPerBar,
                    bool compound)
{
    std::vector<PipeTuneModel::Item>& items = bar.items;
    std::vector<PipeTuneModel::Item> joined;
    std::vector<int> joinedStart32;
    std::vector<int> rebeamFrom32;
    std::size_t i = 0;
    while (i < items.size()) {
        // The longest run of tied values of this note from item i that pipe
        // music writes as one.
        std::size_t last = i;
        int value = 0;
        int dots = 0;
        if (isMelodyNote(items[i].name) && start32[i] >= 0) {
            int length32 = items[i].totalDuration32();
            for (std::size_t j = i + 1; j < items.size() && items[j - 1].tied && items[j].name == items[i].name
                                        && start32[j] == start32[j - 1] + items[j - 1].totalDuration32();
                 ++j) {
                length32 += items[j].totalDuration32();
                int candidateValue = 0;
                int candidateDots = 0;
                if (singleNoteValue(length32, candidateValue, candidateDots)
                    && writtenAsOneValue(start32[i], length32, beat32, beatsPerBar, compound)) {
                    last = j;
                    value = candidateValue;
                    dots = candidateDots;
                }
            }
        }
        if (last == i) {
            joined.push_back(items[i]);
            joinedStart32.push_back(start32[i]);
            ++i;
            continue;
        }
        PipeTuneModel::Item item(items[i].name, value, dots, FlagNone);
        item.tied = items[last].tied;
        joined.push_back(item);
        joinedStart32.push_back(start32[i]);
        const int end32 = start32[i] + item.totalDuration32();
        if (end32 % beat32 != 0)
            rebeamFrom32.push_back(end32);
        i = last + 1;
    }
    for (int from32 : rebeamFrom32) {
        const int beatEnd32 = (from32 / beat32 + 1) * beat32;
        std::vector<std::size_t> beat;
        for (std::size_t k = 0; k < joined.size(); ++k)
            if (joinedStart32[k] >= from32 && joinedStart32[k] < beatEnd32)
                beat.push_back(k);
        beamBeat(joined, beat);
    }
    items = std::move(joined);
}

} // namespace

void PipeTuneQuantizer::BarWrapper::clear()
{
    groupCount = 0;
    bar.clear();
}

PipeTuneQuantizer::PipeTuneQuantizer() = default;

PipeTuneQuantizer::~PipeTuneQuantizer() = default;

void PipeTuneQuantizer::setTimeSignature(int numerator, int denominator)
{
    mTimeSigNumerator = numerator;
    mTimeSigDenominator = denominator;
}

void PipeTuneQuantizer::setBarsPerRow(int barsPerRow)
{
    mBarsPerRow = barsPerRow < 1 ? 1 : barsPerRow;
}

void PipeTuneQuantizer::quantize(float timeShift_s, const NoteMap& melody, const NoteMap& gracenotes)
{
    mModel.clear();
    mModel.setTimeSigNumerator(mTimeSigNumerator);
    mModel.setTimeSigDenominator(mTimeSigDenominator);
    mBeatsPerBar = 0;
    mNoteSeen = false;
    mShiftedMelody.clear();
    mShiftedGracenotes.clear();

    timeShiftNotes(timeShift_s, melody, gracenotes, mShiftedMelody, mShiftedGracenotes);
    if (mShiftedMelody.empty())
        return;
    const std::vector<PipeNote> sequence = combineMelodyAndGraceNotes(mShiftedMelody, mShiftedGracenotes);
    const PipeNote finalNote = mShiftedMelody.rbegin()->second;

    // 6/8 has two dotted-crotchet beats a bar and fixed patterns; otherwise a
    // beat is one unit of the denominator, quantised to a grid.
    int beatUnit = mTimeSigDenominator;
    int unitsPerBeat = 1;
    QuantizationType type = Absolute;
    int baseQuantum = mTimeSigNumerator == 2 && mTimeSigDenominator == 2 ? 2 : 1;
    mBeatsPerBar = ::beatsPerBar(mTimeSigNumerator, mTimeSigDenominator);
    if (mTimeSigDenominator == 8) {
        beatUnit = 8;
        unitsPerBeat = 3;
        type = SetPattern;
        baseQuantum = 2;
    }
    if (beatUnit == 0 || mBeatsPerBar < 1)
        return;
    mBeatDuration_s = static_cast<float>((32 / beatUnit) * unitsPerBeat * thirtySecond_s());
    if (!(mBeatDuration_s > 0.0f))
        return;

    mGroupQuantizer = std::make_unique<GroupQuantizer>(thirtySecond_s());
    mGroupQuantizer->setQuantizationType(type);
    mGroupQuantizer->setMinQuantizationLevel(mRounding ? 2 * baseQuantum : baseQuantum);

    const int beat32 = (32 / beatUnit) * unitsPerBeat;
    Group group;
    group.start_s = 0.0f;
    group.duration_s = mBeatDuration_s;
    PipeTuneModel::Part part;
    BarWrapper bar;
    // Where each item of the bar starts, in 32nds (-1 for gracing).
    std::vector<int> start32;
    NoteWrapper wrapper;
    for (const PipeNote& note : sequence) {
        const bool isFinal = finalNote.start_s() - kSameNote_s <= note.start_s()
                             && note.start_s() < finalNote.start_s() + kSameNote_s
                             && note.noteName() == finalNote.noteName();
        if (!isMelodyNote(note.noteName())) {
            wrapper.gracenotes.push_back(note);
            continue;
        }
        if (note.getEnd_s() > 0.0f) {
            wrapper.note = note;
            const std::vector<Group> completed = addNoteWapperToGroup(group, wrapper, isFinal);
            for (std::size_t k = 0; k < completed.size(); ++k) {
                const Group& done = completed[k];
                // A pick-up's notes end with their beat.
                int position32 = bar.groupCount * beat32;
                if (done.pickUp_s > 0.0f) {
                    int filled32 = 0;
                    for (const PipeTuneModel::Item& item : done.items)
                        filled32 += isMelodyNote(item.name) ? item.totalDuration32() : 0;
                    position32 += std::max(0, beat32 - filled32);
                }
                for (const PipeTuneModel::Item& item : done.items) {
                    const bool melody = isMelodyNote(item.name);
                    start32.push_back(melody ? position32 : -1);
                    position32 += melody ? item.totalDuration32() : 0;
                }
                bar.bar.items.insert(bar.bar.items.end(), done.items.begin(), done.items.end());
                ++bar.groupCount;
                if (bar.groupCount == mBeatsPerBar || (isFinal && k + 1 == completed.size())) {
                    joinTiedValues(bar.bar, start32, beat32, mBeatsPerBar, type == SetPattern);
                    start32.clear();
                    if ((static_cast<int>(part.bars.size()) + 1) % mBarsPerRow == 0)
                        bar.bar.rowBreak = true;
                    part.bars.push_back(bar.bar);
                    bar.clear();
                }
            }
        }
        wrapper.clear();
        if (isFinal)
            break;
    }

    if (!part.bars.empty())
        mModel.parts.push_back(part);
    if (!mModel.parts.empty() && !mModel.parts.back().bars.empty())
        mModel.parts.back().bars.back().rowBreak = true;
}

std::vector<PipeTuneQuantizer::Group> PipeTuneQuantizer::addNoteWapperToGroup(Group& group, NoteWrapper wrapper,
                                                                              bool isFinal)
{
    std::vector<Group> completed;
    const double quantum_s = thirtySecond_s();
    const float half_s = static_cast<float>(quantum_s) * 0.5f;

    // Closes the open beat and starts the next one.
    auto finalise = [&]() {
        finaliseGroup(group);
        completed.push_back(group);
        group.start_s += group.duration_s;
        group.pickUp_s = 0.0f;
        group.following = Unknown;
        group.noteWrappers.clear();
        group.items.clear();
    };

    // A note spanning several beats closes one beat per pass and carries on
    // into the next with what is left of it.
    for (;;) {
        PipeNote& note = wrapper.note;
        const float end_s = note.getEnd_s();
        const float start_s = std::max(note.start_s(), static_cast<float>(group.start_s - kEarlyStart32 * quantum_s));
        note.setStart_s(start_s);
        note.setDuration_s(end_s - start_s);

        if (utils::roundToInt(note.duration_s() / quantum_s) < 1)
            return completed;
        if (end_s < group.start_s + half_s)
            return completed;

        if (end_s < group.start_s + group.duration_s + half_s) {
            markPickUp(group, note);
            group.noteWrappers.push_back(wrapper);
            if (isFinal)
                finalise();
            return completed;
        }

        const float groupEnd_s = group.start_s + group.duration_s;
        if (note.start_s() > groupEnd_s - half_s) {
            // Wholly in the next beat.
            group.following = note.noteName();
            finalise();
            continue;
        }
        const float inside_s = std::min(note.duration_s(), groupEnd_s - note.start_s());
        const float outside_s = std::min(note.duration_s(), end_s - groupEnd_s);
        if (utils::roundToInt(note.duration_s() / quantum_s) >= 7 && utils::roundToInt(inside_s / quantum_s) >= 4
            && utils::roundToInt(outside_s / quantum_s) >= 4) {
            // Long enough on both sides: split at the beat.
            NoteWrapper first = wrapper;
            first.note.setDuration_s(inside_s);
            first.continues = true;
            markPickUp(group, first.note);
            group.noteWrappers.push_back(first);
            wrapper.gracenotes.clear();
            wrapper.note.setStart_s(groupEnd_s);
            wrapper.note.setDuration_s(outside_s);
            finalise();
        } else if (inside_s <= outside_s) {
            group.following = note.noteName();
            finalise();
        } else {
            // The overhang is absorbed by this beat.
            markPickUp(group, note);
            group.noteWrappers.push_back(wrapper);
            finalise();
            return completed;
        }
    }
}

void PipeTuneQuantizer::markPickUp(Group& group, const PipeNote& note)
{
    // The tune's first note starting a quarter of a beat or more into its
    // beat is a pick-up: the silence before it is no part of the notes.
    // (Less is a late start, not a shorter beat.)
    if (mNoteSeen)
        return;
    mNoteSeen = true;
    const float gap_s = note.start_s() - group.start_s;
    if (gap_s >= kPickUpGap * group.duration_s)
        group.pickUp_s = gap_s;
}

void PipeTuneQuantizer::finaliseGroup(Group& group)
{
    if (group.noteWrappers.empty() || !mGroupQuantizer)
        return;
    const std::map<int, std::vector<PipeTuneModel::Item>> items = mGroupQuantizer->quantize(group);
    for (int i = 0; i < static_cast<int>(group.noteWrappers.size()); ++i) {
        const auto found = items.find(i);
        if (found != items.end())
            group.items.insert(group.items.end(), found->second.begin(), found->second.end());
    }
    if (group.noteWrappers.size() < 2)
        return;

    // Beam runs of quavers and shorter inside the beat.
    bool previousShort = false;
    for (int i = 0; i < static_cast<int>(group.items.size()); ++i) {
        PipeTuneModel::Item& item = group.items[static_cast<std::size_t>(i)];
        if (!isMelodyNote(item.name))
            continue;
        if (item.duration < 5) {
            previousShort = false;
            continue;
        }
        const int before = group.getPrevMelodyNote(i);
        const int after = group.getNextMelodyNote(i);
        const bool shortBefore = before >= 0 && group.items[static_cast<std::size_t>(before)].duration > 4;
        const bool shortAfter = after >= 0 && group.items[static_cast<std::size_t>(after)].duration > 4;
        if (shortBefore || shortAfter)
            item.flag = previousShort ? FlagLeft : FlagRight;
        previousShort = true;
    }
}
