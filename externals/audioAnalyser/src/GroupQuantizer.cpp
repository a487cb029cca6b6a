#include "GroupQuantizer.h"

#include "utils.h"

#include <cmath>
#include <cstdlib>

namespace {

// A 6/8 beat is a dotted crotchet: 12 32nds.
constexpr int kCompoundBeat32 = 12;
// A note shorter than this many 32nds that alone overfills its beat is an
// embellishment's lead-in, not a note to write.
constexpr double kLeadIn32 = 2.5;

} // namespace

std::vector<PipeTuneModel::Item> getItemsFrom32s(int n)
{
    std::vector<PipeTuneModel::Item> items;
    while (n > 0) {
        const int value = getMaxDurationFrom32s(n);
        const int base = 32 / value;
        if (base + utils::roundToInt(base * 0.5) == n) {
            items.emplace_back(Unknown, value, 1, FlagNone);
            break;
        }
        items.emplace_back(Unknown, value, 0, FlagNone);
        n -= base;
    }
    return items;
}

GroupQuantizer::GroupQuantizer(double thirtySecond_s)
    : mThirtySecond_s(thirtySecond_s)
{
}

void GroupQuantizer::setMinQuantizationLevel(int level)
{
    mMinQuantizationLevel = level < 1 ? 1 : level;
}

std::map<int, std::vector<PipeTuneModel::Item>> GroupQuantizer::quantize(const QuantizerGroup& group)
{
    mGroup = group;
    normalizeGroup();
    switch (mType) {
    case Absolute: return quantizeAbsolute();
    case SetPattern: return quantizeSetPattern();
    }
    return {};
}

float GroupQuantizer::filledDuration_s() const
{
    // A pick-up fills the beat from its first note, in whole quanta.
    if (!(mGroup.pickUp_s > 0.0f))
        return mGroup.duration_s;
    const double quantum_s = mMinQuantizationLevel * mThirtySecond_s;
    const int quanta = utils::roundToInt((mGroup.duration_s - mGroup.pickUp_s) / quantum_s);
    return static_cast<float>(std::max(quanta, 1) * quantum_s);
}

void GroupQuantizer::normalizeGroup()
{
    const float total_s = mGroup.getNoteWrapperDuration_s();
    const float filled_s = filledDuration_s();
    if (!(total_s > 0.0f) || !(filled_s > 0.0f))
        return;
    const float scale = total_s / filled_s;
    for (NoteWrapper& wrapper : mGroup.noteWrappers)
        wrapper.note.setDuration_s(wrapper.note.duration_s() / scale);
}

std::vector<PipeTuneModel::Item> GroupQuantizer::noteItems(const NoteWrapper& wrapper,
                                                           int length32) const
{
    std::vector<PipeTuneModel::Item> items;
    for (const PipeNote& grace : wrapper.gracenotes)
        items.emplace_back(grace.noteName(), 32, 0, FlagNone);
    const std::vector<PipeTuneModel::Item> values = getItemsFrom32s(length32);
    for (std::size_t k = 0; k < values.size(); ++k) {
        PipeTuneModel::Item item = values[k];
        item.name = wrapper.note.noteName();
        // One note in several values, or held into the next beat: tied on.
        item.tied = k + 1 < values.size() || wrapper.continues;
        items.push_back(item);
    }
    return items;
}

std::map<int, std::vector<PipeTuneModel::Item>> GroupQuantizer::quantizeAbsolute()
{
    const int count = static_cast<int>(mGroup.noteWrappers.size());
    // One or two notes in a beat are never finer than semiquavers.
    const int step = count < 3 ? std::max(mMinQuantizationLevel, 2) : mMinQuantizationLevel;
    std::vector<int> lengths(static_cast<std::size_t>(count));
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        const double duration_s = mGroup.noteWrappers[static_cast<std::size_t>(i)].note.duration_s();
        int length = utils::roundToInt(duration_s / (step * mThirtySecond_s)) * step;
        length = std::max(length, mMinQuantizationLevel);
        lengths[static_cast<std::size_t>(i)] = length;
        sum += length;
    }

    // Notes that fall a quantum or more short of the beat: the one rounded
    // down most gets one quantum more.
    const int target = utils::roundToInt(filledDuration_s() / mThirtySecond_s);
    if (count > 0 && target - sum >= mMinQuantizationLevel) {
        int chosen = 0;
        double largest = 0.0;
        for (int i = 0; i < count; ++i) {
            if (residual(i, lengths[static_cast<std::size_t>(i)]) > largest) {
                largest = residual(i, lengths[static_cast<std::size_t>(i)]);
                chosen = i;
            }
        }
        lengths[static_cast<std::size_t>(chosen)] += mMinQuantizationLevel;
    }
    fitToBeat(lengths, target, step);
    return items(lengths);
}

bool GroupQuantizer::leadsIntoItsOwnPitch(int note) const
{
    const auto& wrappers = mGroup.noteWrappers;
    const std::size_t k = static_cast<std::size_t>(note);
    if (k + 1 < wrappers.size())
        return wrappers[k].note.noteName() == wrappers[k + 1].note.noteName();
    return wrappers[k].continues || wrappers[k].note.noteName() == mGroup.following;
}

double GroupQuantizer::residual(int note, int length32) const
{
    return mGroup.noteWrappers[static_cast<std::size_t>(note)].note.duration_s() - length32 * mThirtySecond_s;
}

void GroupQuantizer::fitToBeat(std::vector<int>& lengths, int target, int step) const
{
    // Rounding each note on its own can leave the beat short or long; a bar
    // must hold exactly its time signature, so the notes rounded furthest
    // are moved until the beat adds up. A note that is all the excess, no
    // longer than a semiquaver and of the pitch of the note after it is the
    // lead-in of an embellishment on that note that the transcription kept
    // as a note, or the early start of a note held into the next beat: it
    // goes (its gracing passes to the next note). A short note of another
    // pitch is a cut note, and stays.
    const int count = static_cast<int>(lengths.size());
    if (count == 0 || target <= 0)
        return;
    auto total = [&] {
        int sum = 0;
        for (int length : lengths)
            sum += length;
        return sum;
    };
    for (int guard = 0; guard < 4 * target && total() != target; ++guard) {
        const int excess = total() - target;
        const int unit = std::min(step, std::abs(excess));
        int chosen = -1;
        double best = 0.0;
        if (excess > 0) {
            for (int i = 0; i < count; ++i) {
                const int length = lengths[static_cast<std::size_t>(i)];
                if (length > 0 && length == excess && residual(i, 0) < kLeadIn32 * mThirtySecond_s
                    && leadsIntoItsOwnPitch(i)) {
                    chosen = i;
                    break;
                }
            }
            if (chosen >= 0) {
                lengths[static_cast<std::size_t>(chosen)] = 0;
                continue;
            }
            // The note rounded up most gives a quantum back.
            for (int i = 0; i < count; ++i) {
                const int length = lengths[static_cast<std::size_t>(i)];
                if (length - unit < 1)
                    continue;
                const double r = residual(i, length);
                if (chosen < 0 || r < best) {
                    chosen = i;
                    best = r;
                }
            }
            if (chosen < 0) {
                // Every note at its least: the shortest goes.
                for (int i = 0; i < count; ++i)
                    if (lengths[static_cast<std::size_t>(i)] > 0
                        && (chosen < 0 || residual(i, 0) < residual(chosen, 0)))
                        chosen = i;
                lengths[static_cast<std::size_t>(chosen)] = 0;
                continue;
            }
            lengths[static_cast<std::size_t>(chosen)] -= unit;
        } else {
            // The note rounded down most takes a quantum more.
            for (int i = 0; i < count; ++i) {
                const int length = lengths[static_cast<std::size_t>(i)];
                if (length == 0)
                    continue;
                const double r = residual(i, length);
                if (chosen < 0 || r > best) {
                    chosen = i;
                    best = r;
                }
            }
            if (chosen < 0)
                return;
            lengths[static_cast<std::size_t>(chosen)] += unit;
        }
    }
}

std::map<int, std::vector<PipeTuneModel::Item>> GroupQuantizer::items(const std::vector<int>& lengths) const
{
    std::map<int, std::vector<PipeTuneModel::Item>> result;
    std::vector<PipeNote> carried;
    const int count = static_cast<int>(lengths.size());
    for (int i = 0; i < count; ++i) {
        NoteWrapper wrapper = mGroup.noteWrappers[static_cast<std::size_t>(i)];
        wrapper.gracenotes.insert(wrapper.gracenotes.begin(), carried.begin(), carried.end());
        carried.clear();
        if (lengths[static_cast<std::size_t>(i)] == 0) {
            // A dropped note's gracing goes with the next note; the last
            // note of a beat never goes (it holds the beat's end).
            carried = wrapper.gracenotes;
            result[i] = {};
            continue;
        }
        result[i] = noteItems(wrapper, lengths[static_cast<std::size_t>(i)]);
    }
    if (!carried.empty()) {
        // The last note went: its gracing stays with the note before it.
        for (int i = count - 1; i >= 0; --i) {
            if (lengths[static_cast<std::size_t>(i)] > 0) {
                std::vector<PipeTuneModel::Item>& before = result[i];
                for (const PipeNote& grace : carried)
                    before.emplace_back(grace.noteName(), 32, 0, FlagNone);
                break;
            }
        }
    }
    return result;
}

std::map<int, std::vector<PipeTuneModel::Item>> GroupQuantizer::quantizeSetPattern()
{
    const auto& wrappers = mGroup.noteWrappers;
    const int count = static_cast<int>(wrappers.size());
    // A pick-up is shorter than the patterns: its notes keep their values.
    if (mGroup.pickUp_s > 0.0f) {
        std::vector<int> lengths;
        for (const NoteWrapper& wrapper : wrappers)
            lengths.push_back(std::max(2, utils::roundToInt(wrapper.note.duration_s() / (2.0 * mThirtySecond_s)) * 2));
        fitToBeat(lengths, utils::roundToInt(filledDuration_s() / mThirtySecond_s), 2);
        return items(lengths);
    }
    const float short_s = static_cast<float>(3.0 * mThirtySecond_s);

    // With one very short note among three, the longest of the other two is
    // dotted: dotted quaver, semiquaver and quaver in playing order.
    int patternNote = -1;
    if (mMinQuantizationLevel < 4 && count == 3) {
        for (int i = 0; i < count; ++i) {
            if (!(wrappers[static_cast<std::size_t>(i)].note.duration_s() <= short_s))
                continue;
            float longest_s = 0.0f;
            for (int j = 0; j < count; ++j) {
                const float duration_s = wrappers[static_cast<std::size_t>(j)].note.duration_s();
                if (j != i && duration_s > longest_s) {
                    longest_s = duration_s;
                    patternNote = j;
                }
            }
        }
    }

    std::vector<int> lengths(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const NoteWrapper& wrapper = wrappers[static_cast<std::size_t>(i)];
        int length = 4;
        if (count == 1)
            length = kCompoundBeat32;
        else if (count == 2)
            length = utils::roundToInt(wrapper.note.duration_s() / mThirtySecond_s) > 6 ? 8 : 4;
        else if (patternNote >= 0)
            length = wrapper.note.duration_s() <= short_s ? 2 : (i == patternNote ? 6 : 4);
        lengths[static_cast<std::size_t>(i)] = length;
    }
    // The patterns fill a beat for one note, two of unlike lengths and three
    // with at most one short; anything else is fitted to the beat.
    fitToBeat(lengths, kCompoundBeat32, 2);
    return items(lengths);
}
