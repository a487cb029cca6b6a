#include "BmwCode.h"

#include <QDebug>

#include <array>

namespace {

constexpr std::array<const char*, 86> kTexts = {
    "Unknown", "&", "I!''", "I!", "''!I", "!I", "!", "!t", "sharpf", "sharpc",
    "LG", "LA", "B", "C", "D", "E", "F", "HG", "HA",
    "ag", "bg", "cg", "dg", "eg", "fg", "gg", "tg",
    "dblg", "dbla", "dbb", "dbc", "dbd", "dbe", "dbf", "dbhg", "dbha",
    "tdblg", "tdbla", "tdbb", "tdbc", "tdbd", "tdbe", "tdbf",
    "hdblg", "hdbla", "hdbb", "hdbc", "hdbd", "hdbe", "hdbf",
    "grp", "thrd", "hthrd", "tar", "tarb", "brl", "abr", "gbr", "tbr",
    "'lg", "'la", "'b", "'c", "'d", "'e", "'f", "'hg", "'ha",
    "''lg", "''la", "''b", "''c", "''d", "''e", "''f", "''hg", "''ha",
    "strlg", "strla", "strb", "strc", "strd", "stre", "strf", "strhg",
    ""};

constexpr int kNameOffset = BmwLG - LG;          // 9
constexpr int kStrikeOffset = BmwStrikeLG - strlg; // 27

} // namespace

std::string toString(BmwCode code)
{
    const int value = static_cast<int>(code);
    if (value < 0 || value >= static_cast<int>(kTexts.size())) {
        qDebug() << "Unknown BWW code" << value;
        return kTexts[0];
    }
    return kTexts[static_cast<std::size_t>(value)];
}

std::ostream& operator<<(std::ostream& stream, BmwCode code)
{
    return stream << toString(code);
}

PipeNoteName toPipeNoteName(BmwCode code)
{
    const int value = static_cast<int>(code);
    if (value >= BmwLG && value <= BmwLG + (tbr - LG))
        return static_cast<PipeNoteName>(value - kNameOffset);
    if (value >= BmwStrikeLG && value <= BmwStrikeLG + (strhg - strlg))
        return static_cast<PipeNoteName>(value - kStrikeOffset);
    if (value >= BmwEnd)
        qDebug() << "No note for BWW code" << QString::fromStdString(toString(code));
    return Unknown;
}

BmwCode toBmwCode(PipeNoteName name)
{
    const int value = static_cast<int>(name);
    if (value >= LG && value <= tbr)
        return static_cast<BmwCode>(value + kNameOffset);
    if (value >= strlg && value <= strhg)
        return static_cast<BmwCode>(value + kStrikeOffset);
    if (value > strhg)
        qDebug() << "No BWW code for" << QString::fromStdString(toString(name));
    return BmwUnknown;
}

int numDots(BmwCode code)
{
    if (code >= BmwDotLG && code < BmwDoubleDotLG)
        return 1;
    if (code >= BmwDoubleDotLG && code < BmwStrikeLG)
        return 2;
    return 0;
}

bool isMelodyNote(BmwCode code)
{
    return code >= BmwLG && code <= BmwHA;
}
