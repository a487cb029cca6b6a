#include "PipeNote.h"

#include <array>
#include <sstream>

namespace {

constexpr int kNameCount = 58;
constexpr int kGraceOffset = ag - LA;     // 8: gracenote = melody + 8
constexpr int kStrikeOffset = strlg - LG; // 49: strike = melody + 49

constexpr std::array<const char*, kNameCount> kNameTexts = {
    "Unknown", "LG", "LA", "B", "C", "D", "E", "F", "HG", "HA",
    "ag", "bg", "cg", "dg", "eg", "fg", "gg", "tg",
    "dblg", "dbla", "dbb", "dbc", "dbd", "dbe", "dbf", "dbhg", "dbha",
    "tdblg", "tdbla", "tdbb", "tdbc", "tdbd", "tdbe", "tdbf",
    "hdblg", "hdbla", "hdbb", "hdbc", "hdbd", "hdbe", "hdbf",
    "grp", "thrd", "hthrd", "tar", "tarb", "brl", "abr", "gbr", "tbr",
    "strlg", "strla", "strb", "strc", "strd", "stre", "strf", "strhg"};

bool inRange(PipeNoteName name, int low, int high)
{
    const int value = static_cast<int>(name);
    return value >= low && value <= high;
}

// The gracenotes each embellishment (dblg .. tbr) is played as. The renderers
// draw them in this order.
std::vector<PipeNoteName> embellishmentNotes(PipeNoteName name)
{
    switch (name) {
    case dblg: return {HG, LG, D};
    case dbla: return {HG, LA, D};
    case dbb: return {HG, B, D};
    case dbc: return {HG, C, D};
    case dbd: return {HG, D, E};
    case dbe: return {HG, E, F};
    case dbf: return {HG, F, HG};
    case dbhg: return {HG, F};
    case dbha: return {HA, HG};
    case tdblg: return {HA, LG, D};
    case tdbla: return {HA, LA, D};
    case tdbb: return {HA, B, D};
    case tdbc: return {HA, C, D};
    case tdbd: return {HA, D, E};
    case tdbe: return {HA, E, F};
    case tdbf: return {HA, F, HG};
    case hdblg: return {LG, D};
    case hdbla: return {LA, D};
    case hdbb: return {B, D};
    case hdbc: return {C, D};
    case hdbd: return {D, E};
    case hdbe: return {E, F};
    case hdbf: return {F, HG};
    case grp: return {LG, D, LG};
    case thrd: return {LG, D, C};
    case hthrd: return {D, C};
    case tar: return {LG, D, LG, E};
    case tarb: return {LG, B, LG, E};
    case brl: return {LG, LA, LG};
    case abr: return {LA, LG, LA, LG};
    case gbr: return {HG, LA, LG, LA, LG};
    case tbr: return {HA, LA, LG, LA, LG};
    default: return {};
    }
}

} // namespace

bool isMelodyNote(PipeNoteName name) { return inRange(name, LG, HA); }

bool isComplexMovement(PipeNoteName name) { return static_cast<int>(name) > tg; }

bool isHalfDoubling(PipeNoteName name) { return inRange(name, hdblg, hdbf); }

bool isSingleGraceNote(PipeNoteName name)
{
    return inRange(name, ag, tg) || inRange(name, strlg, strhg);
}

bool isPrimaryGracenote(PipeNoteName name) { return name == dg || name == eg || name == gg; }

PipeNoteType noteTypeFromName(PipeNoteName name)
{
    if (inRange(name, LG, HA))
        return MelodyNote;
    if (inRange(name, ag, tg))
        return GraceNote;
    if (inRange(name, strlg, strhg))
        return Strike;
    return ComplexMovement;
}

PipeNoteName melodyToSingleGraceNote(PipeNoteName name)
{
    return inRange(name, LA, HA) ? static_cast<PipeNoteName>(name + kGraceOffset) : Unknown;
}

PipeNoteName graceNoteToMelodyNote(PipeNoteName name)
{
    return inRange(name, ag, tg) ? static_cast<PipeNoteName>(name - kGraceOffset) : Unknown;
}

PipeNoteName melodyToStrike(PipeNoteName name)
{
    return inRange(name, LG, HG) ? static_cast<PipeNoteName>(name + kStrikeOffset) : Unknown;
}

PipeNoteName strikeToMelodyNote(PipeNoteName name)
{
    return inRange(name, strlg, strhg) ? static_cast<PipeNoteName>(name - kStrikeOffset) : Unknown;
}

int melodyNoteOrdinalValue(PipeNoteName name)
{
    return isMelodyNote(name) ? static_cast<int>(name) - LG : -1;
}

std::vector<PipeNoteName> getNoteNames(PipeNoteName name)
{
    if (isMelodyNote(name))
        return {name};
    if (inRange(name, ag, tg))
        return {graceNoteToMelodyNote(name)};
    if (inRange(name, strlg, strhg))
        return {strikeToMelodyNote(name)};
    return embellishmentNotes(name);
}

std::string toString(PipeNoteName name)
{
    return inRange(name, 0, kNameCount - 1) ? kNameTexts[static_cast<std::size_t>(name)] : kNameTexts[0];
}

std::ostream& operator<<(std::ostream& stream, PipeNoteName name)
{
    return stream << toString(name);
}

PipeNote::PipeNote(PipeNoteName name, float start_s, float duration_s)
    : mName(name), mStart_s(start_s), mDuration_s(duration_s)
{
}

bool PipeNote::operator==(const PipeNote& other) const
{
    return mName == other.mName && mStart_s == other.mStart_s && mDuration_s == other.mDuration_s
           && mId == other.mId && mMelodyNoteStartOffset_s == other.mMelodyNoteStartOffset_s;
}

std::ostream& operator<<(std::ostream& stream, const PipeNote& note)
{
    return stream << "{" << note.noteName() << ", s: " << note.start_s() << " + ("
                  << note.melodyNoteStartOffset_s() << "), d: " << note.duration_s() << "}";
}

std::string toString(const PipeNote& note)
{
    std::ostringstream stream;
    stream << note;
    return stream.str();
}
