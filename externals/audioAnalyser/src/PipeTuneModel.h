#pragma once

// The quantised, engraving-ready form of a transcription: a tune of parts, a
// part of bars, a bar of items, each item one note, gracenote, embellishment
// or strike with a note value (a divisor of the semibreve: 1, 2, 4, 8, 16,
// 32), dots and a beam flag. Gracing items (duration 32) stand immediately
// before the melody note they decorate. Lengths are counted in 32nds.
// Plain value types, copied freely between owners and threads.

#include "PipeNote.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// How a short note is beamed to its neighbours inside one beat.
enum NoteFlag : std::int32_t {
    FlagNone = 0,  // not beamed
    FlagRight = 1, // beamed to the next note: the first of a beamed run
    FlagLeft = 2   // beamed to the previous note
};

// The five time signatures offered to the user, in the order of the lists.
enum TimeSignature : std::int32_t {
    FourFour = 0,
    ThreeFour = 1,
    TwoFour = 2,
    CutCommon = 3,
    SixEight = 4
};

class PipeTuneModel
{
public:
    class Item
    {
    public:
        Item() = default;
        Item(PipeNoteName name_, int duration_, int dots_, NoteFlag flag_);
        virtual ~Item() = default;
        Item(const Item&) = default;
        Item& operator=(const Item&) = default;

        // Length in 32nds; one dot adds half (rounded), a second nothing more.
        int totalDuration32() const;
        bool operator==(const Item& other) const;
        bool operator!=(const Item& other) const { return !(*this == other); }

        PipeNoteName name = Unknown;
        std::int32_t duration = 0;
        std::int32_t dots = 0;
        NoteFlag flag = FlagNone;
        // Tied to the next melody item: one note held across a beat or bar
        // line, or spelled in several values.
        bool tied = false;
    };

    class Bar
    {
    public:
        Bar() = default;
        virtual ~Bar() = default;
        Bar(const Bar&) = default;
        Bar& operator=(const Bar&) = default;

        // All items, gracing included.
        int totalDuration32() const;
        void clear();
        bool operator==(const Bar& other) const;
        bool operator!=(const Bar& other) const { return !(*this == other); }

        std::vector<Item> items;
        // The last bar of a score row (and of every part).
        bool rowBreak = false;
    };

    class Part
    {
    public:
        Part() = default;
        virtual ~Part() = default;
        Part(const Part&) = default;
        Part& operator=(const Part&) = default;

        void clear();

        std::vector<Bar> bars;
        // Played twice: repeat bar lines in BWW.
        bool repeated = false;
    };

    PipeTuneModel() = default;
    virtual ~PipeTuneModel() = default;
    PipeTuneModel(const PipeTuneModel&) = default;
    PipeTuneModel& operator=(const PipeTuneModel&) = default;

    int timeSigNumerator() const { return mTimeSigNumerator; }
    void setTimeSigNumerator(int numerator) { mTimeSigNumerator = numerator; }
    int timeSigDenominator() const { return mTimeSigDenominator; }
    void setTimeSigDenominator(int denominator) { mTimeSigDenominator = denominator; }

    // Removes all parts; the time signature returns to 4/4.
    void clear();
    void toStdOut() const;

    std::vector<Part> parts;

private:
    std::int32_t mTimeSigNumerator = 4;
    std::int32_t mTimeSigDenominator = 4;
};

std::ostream& operator<<(std::ostream& stream, NoteFlag flag);
std::ostream& operator<<(std::ostream& stream, const PipeTuneModel::Item& item);
std::ostream& operator<<(std::ostream& stream, const PipeTuneModel::Bar& bar);
std::ostream& operator<<(std::ostream& stream, const PipeTuneModel::Part& part);
std::ostream& operator<<(std::ostream& stream, const PipeTuneModel& model);
std::string toString(NoteFlag flag);
std::string toString(const PipeTuneModel::Item& item);
std::string toString(const PipeTuneModel::Bar& bar);
std::string toString(const PipeTuneModel::Part& part);
std::string toString(const PipeTuneModel& model);

// The note value (and dot) that spells length32 32nds as one note: true,
// with value and dots set, for a plain or dotted value; false otherwise.
bool singleNoteValue(int length32, int& value, int& dots);
// Beams the melody items of one beat, given by index in playing order, as
// the quantiser does: a quaver or shorter next to another one is beamed to
// it (FlagRight opens a run, FlagLeft continues it); longer notes and lone
// short notes get FlagNone.
void beamBeat(std::vector<PipeTuneModel::Item>& items, const std::vector<std::size_t>& beat);

// 32 / value (value 8 gives 4); value must not be 0.
int getDurationIn32s(int value);
// The longest plain note value that fits in n 32nds (32 for n = 1 ... 1 for
// 32 and more; 0 for n = 0).
int getMaxDurationFrom32s(int n);
// Seconds per crotchet at bpm beats per minute, the beat being a crotchet in
// x/4, a dotted crotchet in 6/8 and a minim in 2/2; 0 for other signatures.
float getCrotchetDuration_s(float bpm, int numerator, int denominator);

QString toQString(TimeSignature signature);
// Leaves the outputs untouched for an unknown signature.
void timeSignatureComponents(TimeSignature signature, int& numerator, int& denominator);
// True, and out set, for exactly the five offered signatures.
bool timeSignatureFromComponents(int numerator, int denominator, TimeSignature& out);

// Rows of current (ascending) that differ from previous and must be drawn
// again. A row ends at every bar with rowBreak.
std::vector<std::int32_t> getChangedRows(const PipeTuneModel& current, const PipeTuneModel& previous);
