#pragma once

// The vocabulary of pipe music: the nine melody notes of the chanter, the
// single gracenotes, the embellishments and the strikes (PipeNoteName), their
// coarse drawing class (PipeNoteType), one detected note with its timing
// (PipeNote) and the time-ordered container of detected notes (NoteMap).
//
// The numeric values of PipeNoteName are fixed: they index tables and take
// part in arithmetic (gracenote = melody + 8, strike = melody + 49). Every
// function here is total: values outside 0..57 are treated as Unknown.
// Plain values; safe to copy between threads.

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

enum PipeNoteName : std::int32_t {
    Unknown = 0,
    // Melody notes.
    LG = 1, LA = 2, B = 3, C = 4, D = 5, E = 6, F = 7, HG = 8, HA = 9,
    // Single gracenotes (tg is the thumb gracenote on High A).
    ag = 10, bg = 11, cg = 12, dg = 13, eg = 14, fg = 15, gg = 16, tg = 17,
    // Doublings.
    dblg = 18, dbla = 19, dbb = 20, dbc = 21, dbd = 22, dbe = 23, dbf = 24, dbhg = 25, dbha = 26,
    // Thumb doublings.
    tdblg = 27, tdbla = 28, tdbb = 29, tdbc = 30, tdbd = 31, tdbe = 32, tdbf = 33,
    // Half doublings.
    hdblg = 34, hdbla = 35, hdbb = 36, hdbc = 37, hdbd = 38, hdbe = 39, hdbf = 40,
    // Grip, throws, taorluaths and birls.
    grp = 41, thrd = 42, hthrd = 43, tar = 44, tarb = 45, brl = 46, abr = 47, gbr = 48, tbr = 49,
    // Strikes.
    strlg = 50, strla = 51, strb = 52, strc = 53, strd = 54, stre = 55, strf = 56, strhg = 57
};

// How a note is drawn.
enum PipeNoteType : std::int32_t {
    ComplexMovement = 0,
    MelodyNote = 1,
    GraceNote = 2,
    Strike = 3
};

bool isMelodyNote(PipeNoteName name);
// True for every embellishment and also for every strike.
bool isComplexMovement(PipeNoteName name);
bool isHalfDoubling(PipeNoteName name);
// True for the single gracenotes and for the strikes.
bool isSingleGraceNote(PipeNoteName name);
// True for the D, E and High G gracenotes only.
bool isPrimaryGracenote(PipeNoteName name);
PipeNoteType noteTypeFromName(PipeNoteName name);
PipeNoteName melodyToSingleGraceNote(PipeNoteName name);
PipeNoteName graceNoteToMelodyNote(PipeNoteName name);
PipeNoteName melodyToStrike(PipeNoteName name);
PipeNoteName strikeToMelodyNote(PipeNoteName name);
// 0 (Low G) .. 8 (High A) for melody notes, -1 for everything else.
int melodyNoteOrdinalValue(PipeNoteName name);
// The plain notes a name is played as, in playing order.
std::vector<PipeNoteName> getNoteNames(PipeNoteName name);
std::string toString(PipeNoteName name);
std::ostream& operator<<(std::ostream& stream, PipeNoteName name);

// One detected note, gracenote or embellishment. Times are seconds from the
// start of the recording. An embellishment that carries its melody note
// records where that note begins as an offset from its own start.
class PipeNote
{
public:
    PipeNote() = default;
    PipeNote(PipeNoteName name, float start_s, float duration_s);
    virtual ~PipeNote() = default;
    PipeNote(const PipeNote&) = default;
    PipeNote& operator=(const PipeNote&) = default;

    PipeNoteName noteName() const { return mName; }
    void setNoteName(PipeNoteName name) { mName = name; }
    float start_s() const { return mStart_s; }
    void setStart_s(float start_s) { mStart_s = start_s; }
    float duration_s() const { return mDuration_s; }
    void setDuration_s(float duration_s) { mDuration_s = duration_s; }
    std::int32_t id() const { return mId; }
    void setId(std::int32_t id) { mId = id; }
    float melodyNoteStartOffset_s() const { return mMelodyNoteStartOffset_s; }
    void setMelodyNoteStartOffset_s(float offset_s) { mMelodyNoteStartOffset_s = offset_s; }

    float getEnd_s() const { return mStart_s + mDuration_s; }
    float melodyNoteStart_s() const { return mStart_s + mMelodyNoteStartOffset_s; }

    bool operator==(const PipeNote& other) const;
    bool operator!=(const PipeNote& other) const { return !(*this == other); }

private:
    PipeNoteName mName = Unknown;
    float mStart_s = 0.0f;
    float mDuration_s = 0.0f;
    std::int32_t mId = 0;
    float mMelodyNoteStartOffset_s = 0.0f;
};

// Writes {D, s: 1.5 + (0), d: 0.25}.
std::ostream& operator<<(std::ostream& stream, const PipeNote& note);
std::string toString(const PipeNote& note);

// Detected notes keyed by start time in seconds; notes with equal keys keep
// their insertion order.
using NoteMap = std::multimap<float, PipeNote>;
