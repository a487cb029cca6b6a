#pragma once

// Writes a PipeTuneModel as Bagpipe Music Writer (BWW) text: the fixed file
// header, the title lines and the music, with CR LF line ends. The caller
// saves the text and reports file errors. Unknown names give empty tokens
// and a debug line.

#include "PipeTuneModel.h"

#include <string>

class BmwWriter
{
public:
    static const std::string kLineEnd; // "\r\n"

    BmwWriter() = default;
    virtual ~BmwWriter() = default;

    // Written unescaped between double quotes.
    void setTuneName(std::string name) { mTuneName = std::move(name); }
    void setTuneType(std::string type) { mTuneType = std::move(type); }
    void setComposer(std::string composer) { mComposer = std::move(composer); }

    std::string generateHeaders() const;
    // A melody note with its beam, value and dots (Dr_16, HG_4 'hg); any
    // other item by name only.
    std::string itemToBmw(const PipeTuneModel::Item& item) const;
    std::string write(const PipeTuneModel& model) const;

private:
    std::string mTuneName;
    std::string mTuneType;
    std::string mComposer;
};
