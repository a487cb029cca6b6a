#include "PipeTuneModel.h"

#include <cmath>
#include <iostream>
#include <sstream>

namespace {

struct SignatureInfo {
    TimeSignature signature;
    const char* text;
    int numerator;
    int denominator;
};

constexpr SignatureInfo kSignatures[] = {
    {FourFour, "4/4", 4, 4},
    {ThreeFour, "3/4", 3, 4},
    {TwoFour, "2/4", 2, 4},
    {CutCommon, "Cut common time (Reel)", 2, 2},
    {SixEight, "6/8", 6, 8},
};

const SignatureInfo* findSignature(TimeSignature signature)
{
    for (const SignatureInfo& info : kSignatures) {
        if (info.signature == signature)
            return &info;
    }
    return nullptr;
}

template <typename T>
std::string textOf(const T& value)
{
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

} // namespace

PipeTuneModel::Item::Item(PipeNoteName name_, int duration_, int dots_, NoteFlag flag_)
    : name(name_), duration(duration_), dots(dots_), flag(flag_)
{
}

int PipeTuneModel::Item::totalDuration32() const
{
    if (duration == 0)
        return 0;
    const int base = 32 / duration;
    if (dots == 1 || dots == 2)
        return base + static_cast<int>(std::round(base * 0.5));
    return base;
}

bool PipeTuneModel::Item::operator==(const Item& other) const
{
    return name == other.name && duration == other.duration && dots == other.dots && flag == other.flag
           && tied == other.tied;
}

int PipeTuneModel::Bar::totalDuration32() const
{
    int total = 0;
    for (const Item& item : items)
        total += item.totalDuration32();
    return total;
}

void PipeTuneModel::Bar::clear()
{
    items.clear();
    rowBreak = false;
}

bool PipeTuneModel::Bar::operator==(const Bar& other) const
{
    return rowBreak == other.rowBreak && items == other.items;
}

void PipeTuneModel::Part::clear()
{
    bars.clear();
    repeated = false;
}

void PipeTuneModel::clear()
{
    parts.clear();
    mTimeSigNumerator = 4;
    mTimeSigDenominator = 4;
}

void PipeTuneModel::toStdOut() const
{
    std::cout << toString(*this);
}

std::ostream& operator<<(std::ostream& stream, NoteFlag flag)
{
    switch (flag) {
    case FlagNone: return stream << "n";
    case FlagRight: return stream << "r";
    case FlagLeft: return stream << "l";
    }
    return stream;
}

std::ostream& operator<<(std::ostream& stream, const PipeTuneModel::Item& item)
{
    return stream << "{" << item.name << item.duration << ",d:" << item.dots << ",f:" << item.flag
                  << (item.tied ? ",tied" : "") << "}";
}

std::ostream& operator<<(std::ostream& stream, const PipeTuneModel::Bar& bar)
{
    stream << "Bar{Items:[";
    for (const PipeTuneModel::Item& item : bar.items)
        stream << item;
    return stream << "],br:" << (bar.rowBreak ? 1 : 0) << "}";
}

std::ostream& operator<<(std::ostream& stream, const PipeTuneModel::Part& part)
{
    stream << "{Bars:[";
    for (const PipeTuneModel::Bar& bar : part.bars)
        stream << bar << "\n";
    return stream << "]}";
}

std::ostream& operator<<(std::ostream& stream, const PipeTuneModel& model)
{
    stream << "{Parts:[";
    for (const PipeTuneModel::Part& part : model.parts)
        stream << part << "\n\n";
    return stream << "]}";
}

std::string toString(NoteFlag flag) { return textOf(flag); }
std::string toString(const PipeTuneModel::Item& item) { return textOf(item); }
std::string toString(const PipeTuneModel::Bar& bar) { return textOf(bar); }
std::string toString(const PipeTuneModel::Part& part) { return textOf(part); }
std::string toString(const PipeTuneModel& model) { return textOf(model); }

bool singleNoteValue(int length32, int& value, int& dots)
{
    for (int candidate = 1; candidate <= 32; candidate *= 2) {
        const int base32 = 32 / candidate;
        if (base32 == length32 || (base32 > 1 && base32 + base32 / 2 == length32)) {
            value = candidate;
            dots = base32 == length32 ? 0 : 1;
            return true;
        }
    }
    return false;
}

void beamBeat(std::vector<PipeTuneModel::Item>& items, const std::vector<std::size_t>& beat)
{
    bool previousShort = false;
    for (std::size_t k = 0; k < beat.size(); ++k) {
        PipeTuneModel::Item& item = items[beat[k]];
        item.flag = FlagNone;
        if (item.duration < 5) {
            previousShort = false;
            continue;
        }
        const bool shortBefore = k > 0 && items[beat[k - 1]].duration > 4;
        const bool shortAfter = k + 1 < beat.size() && items[beat[k + 1]].duration > 4;
        if (shortBefore || shortAfter)
            item.flag = previousShort ? FlagLeft : FlagRight;
        previousShort = true;
    }
}

int getDurationIn32s(int value)
{
    return value == 0 ? 0 : 32 / value;
}

int getMaxDurationFrom32s(int n)
{
    if (n == 0)
        return 0;
    if (n < 2)
        return 32;
    if (n < 4)
        return 16;
    if (n < 8)
        return 8;
    if (n < 16)
        return 4;
    if (n < 32)
        return 2;
    return 1;
}

float getCrotchetDuration_s(float bpm, int numerator, int denominator)
{
    const float beat_s = 1.0f / (bpm / 60.0f);
    if (denominator == 4 && (numerator == 2 || numerator == 3 || numerator == 4))
        return beat_s;
    if (numerator == 6 && denominator == 8)
        return 2.0f * beat_s / 3.0f;
    if (numerator == 2 && denominator == 2)
        return beat_s * 0.5f;
    return 0.0f;
}

QString toQString(TimeSignature signature)
{
    const SignatureInfo* info = findSignature(signature);
    return QString(info != nullptr ? info->text : "Unknown");
}

void timeSignatureComponents(TimeSignature signature, int& numerator, int& denominator)
{
    if (const SignatureInfo* info = findSignature(signature)) {
        numerator = info->numerator;
        denominator = info->denominator;
    }
}

bool timeSignatureFromComponents(int numerator, int denominator, TimeSignature& out)
{
    for (const SignatureInfo& info : kSignatures) {
        if (info.numerator == numerator && info.denominator == denominator) {
            out = info.signature;
            return true;
        }
    }
    return false;
}

std::vector<std::int32_t> getChangedRows(const PipeTuneModel& current, const PipeTuneModel& previous)
{
    std::vector<std::int32_t> changed;
    std::int32_t row = 0;
    bool differs = false;
    const PipeTuneModel::Part empty;
    for (std::size_t p = 0; p < current.parts.size(); ++p) {
        const PipeTuneModel::Part& before = p < previous.parts.size() ? previous.parts[p] : empty;
        const std::vector<PipeTuneModel::Bar>& bars = current.parts[p].bars;
        for (std::size_t b = 0; b < bars.size(); ++b) {
            if (b >= before.bars.size() || bars[b] != before.bars[b])
                differs = true;
            if (bars[b].rowBreak) {
                if (differs)
                    changed.push_back(row);
                ++row;
                differs = false;
            }
        }
    }
    return changed;
}
