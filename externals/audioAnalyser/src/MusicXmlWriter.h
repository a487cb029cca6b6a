#pragma once

// Writes a PipeTuneModel as MusicXML 3.1 (score-partwise, UTF-8), the
// exchange format that notation programs read: the tune name as the title,
// the tune type at the left and the composer at the right under it (on an
// A4 page with a 6 mm staff); one part, "Bagpipe", in
// the pipe key (two sharps, F and C) and treble clef at the chanter's written
// pitches (Low G = G4 ... High A = A5); the time signature; every melody note
// with its value, dot, tie and beam; every gracing expanded, by
// getNoteNames, into the gracenotes it is played as (32nds, stems up, no
// slash, beamed together when more than one), before the note it leads
// into. A part's short first bar is a pick-up (an implicit measure, numbered
// 0 at the start of the tune), a repeated part gets repeat bar lines, a
// part's end a heavy one, and a row break a new system. One division is a
// 32nd. The caller saves the text and reports file errors. An empty model
// gives one bar's rest; items of unknown name write nothing.

#include "PipeTuneModel.h"

#include <string>

class MusicXmlWriter
{
public:
    MusicXmlWriter() = default;
    virtual ~MusicXmlWriter() = default;

    // UTF-8; written on one line each, escaped (bytes that are not UTF-8
    // become "?", controls and line breaks spaces).
    void setTuneName(std::string name) { mTuneName = std::move(name); }
    void setTuneType(std::string type) { mTuneType = std::move(type); }
    void setComposer(std::string composer) { mComposer = std::move(composer); }

    std::string write(const PipeTuneModel& model) const;

private:
    std::string mTuneName;
    std::string mTuneType;
    std::string mComposer;
};
