#include "GroupQuantizer.h"

#include "utils.h"

#include <cmath>

namespace {

// A 6/8 beat is a dotted crotchet: 12 32nds.
constexpr int kCompoundBeat32 = 12;

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

void GroupQuantizer::normalizeGroup()
{
    const float total_s = mGroup.getNoteWrapperDuration_s();
    if (!(total_s > 0.0f) || !(mGroup.duration_s > 0.0f))
        return;
    const float scale = total_s / mGroup.duration_s;
    for (NoteWrapper& wrapper : mGroup.noteWrappers)
        wrapper.note.setDuration_s(wrapper.note.duration_s() / scale);
}

std::vector<PipeTuneModel::Item> GroupQuantizer::noteItems(const NoteWrapper& wrapper,
                                                           int length32) const
{
    std::vector<PipeTuneModel::Item> items;
    for (const PipeNote& grace : wrapper.gracenotes)
        items.emplace_back(grace.noteName(), 32, 0, FlagNone);
    for (PipeTuneModel::Item item : getItemsFrom32s(length32)) {
        item.name = wrapper.note.noteName();
        items.push_back(item);
    }
    return items;
}

std::map<int, std::vector<PipeTuneModel::Item>> GroupQuantizer::quantizeAbsolute()
{
    std::map<int, std::vector<PipeTuneModel::Item>> result;
    const int count = static_cast<int>(mGroup.noteWrappers.size());
    // One or two notes in a beat are never finer than semiquavers.
    const int step = count < 3 ? std::max(mMinQuantizationLevel, 2) : mMinQuantizationLevel;
    std::vector<int> lengths(static_cast<std::size_t>(count));
    std::vector<double> residuals(static_cast<std::size_t>(count));
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        const NoteWrapper& wrapper = mGroup.noteWrappers[static_cast<std::size_t>(i)];
        const double duration_s = wrapper.note.duration_s();
        int length = utils::roundToInt(duration_s / (step * mThirtySecond_s)) * step;
        length = std::max(length, mMinQuantizationLevel);
        lengths[static_cast<std::size_t>(i)] = length;
        residuals[static_cast<std::size_t>(i)] = duration_s - length * mThirtySecond_s;
        result[i] = noteItems(wrapper, length);
        sum += length;
    }

    // Notes that fall a quantum or more short of the beat: the one rounded
    // down most gets one quantum more.
    const int target = utils::roundToInt(mGroup.duration_s / mThirtySecond_s);
    if (count > 0 && target - sum >= mMinQuantizationLevel) {
        int chosen = 0;
        double largest = 0.0;
        for (int i = 0; i < count; ++i) {
            if (residuals[static_cast<std::size_t>(i)] > largest) {
                largest = residuals[static_cast<std::size_t>(i)];
                chosen = i;
            }
        }
        result[chosen] = noteItems(mGroup.noteWrappers[static_cast<std::size_t>(chosen)],
                                   lengths[static_cast<std::size_t>(chosen)] + mMinQuantizationLevel);
    }
    return result;
}

std::map<int, std::vector<PipeTuneModel::Item>> GroupQuantizer::quantizeSetPattern()
{
    std::map<int, std::vector<PipeTuneModel::Item>> result;
    const auto& wrappers = mGroup.noteWrappers;
    const int count = static_cast<int>(wrappers.size());
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

    for (int i = 0; i < count; ++i) {
        const NoteWrapper& wrapper = wrappers[static_cast<std::size_t>(i)];
        int length = 4;
        if (count == 1)
            length = kCompoundBeat32;
        else if (count == 2)
            length = utils::roundToInt(wrapper.note.duration_s() / mThirtySecond_s) > 6 ? 8 : 4;
        else if (patternNote >= 0)
            length = wrapper.note.duration_s() <= short_s ? 2 : (i == patternNote ? 6 : 4);
        result[i] = noteItems(wrapper, length);
    }
    return result;
}
