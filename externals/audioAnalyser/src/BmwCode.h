#pragma once

// The tokens of the Bagpipe Music Writer (BWW) text format and their mapping
// from PipeNoteName. Values 10..58 follow PipeNoteName 1..49 and 77..84 the
// strikes 50..57. Enumerators carry a Bmw prefix: the token texts would
// clash with PipeNoteName's names.

#include "PipeNote.h"

#include <cstdint>
#include <ostream>
#include <string>

enum BmwCode : std::int32_t {
    BmwUnknown = 0,
    BmwClef = 1,              // &
    BmwPartStartRepeat = 2,   // I!''
    BmwPartStart = 3,         // I!
    BmwPartEndRepeat = 4,     // ''!I
    BmwPartEnd = 5,           // !I
    BmwBarLine = 6,           // !
    BmwStaffEnd = 7,          // !t
    BmwSharpF = 8,
    BmwSharpC = 9,
    BmwLG = 10, BmwLA, BmwB, BmwC, BmwD, BmwE, BmwF, BmwHG, BmwHA,
    BmwGraceA = 19,           // ag .. tg: 19..26
    BmwDoublingLG = 27,       // dblg .. dbha: 27..35
    BmwThumbDoublingLG = 36,  // tdblg .. tdbf: 36..42
    BmwHalfDoublingLG = 43,   // hdblg .. hdbf: 43..49
    BmwGrip = 50,             // grp thrd hthrd tar tarb brl abr gbr tbr: 50..58
    BmwDotLG = 59,            // 'lg .. 'ha: 59..67
    BmwDoubleDotLG = 68,      // ''lg .. ''ha: 68..76
    BmwStrikeLG = 77,         // strlg .. strhg: 77..84
    BmwEnd = 85               // end marker, empty text
};

std::string toString(BmwCode code);
std::ostream& operator<<(std::ostream& stream, BmwCode code);
PipeNoteName toPipeNoteName(BmwCode code);
BmwCode toBmwCode(PipeNoteName name);
// 1 for the one-dot tokens, 2 for the two-dot tokens, else 0.
int numDots(BmwCode code);
// True for the melody-note tokens LG .. HA.
bool isMelodyNote(BmwCode code);
