#include "BmwWriter.h"

#include "BmwCode.h"
#include "utils.h"

#include <QDebug>

#include <algorithm>
#include <cctype>

const std::string BmwWriter::kLineEnd = "\r\n";

namespace {

// A text (UTF-8) as a header field: the field is a quoted string on a line
// of its own, so every character a reader may take for a line break or
// control (C0 and C1 controls, DEL, U+2028, U+2029) becomes a space and a
// double quote a single one; no text can leave its field. Bytes that are not
// UTF-8 become "?", as they do when the text is written as Latin-1.
std::string headerField(const std::string& text)
{
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t point = 0;
        const std::size_t length = utils::decodeUtf8(text, i, point);
        if (length == 0) {
            field += '?';
            ++i;
            continue;
        }
        if (point < 0x20 || (point >= 0x7f && point <= 0x9f) || point == 0x2028 || point == 0x2029)
            field += ' ';
        else if (point == '"')
            field += '\'';
        else
            field.append(text, i, length);
        i += length;
    }
    return field;
}

const char* const kStaffStart = "& sharpf sharpc";

} // namespace

std::string BmwWriter::generateHeaders() const
{
    const std::string& n = kLineEnd;
    std::string text;
    // The format line every reader of the format knows: one it does not
    // know ends the header for some (MuseScore among them), and the title
    // lines after it are lost.
    text += "Bagpipe Reader:1.0" + n;
    text += n;
    text += "MIDINoteMappings,(54,56,58,59,61,63,64,66,68,56,58,60,61,63,65,66,68,70,55,57,59,60,62,64,65,67,69)" + n;
    text += "FrequencyMappings,(370,415,466,494,554,622,659,740,831,415,466,523,554,622,699,740,831,932,392,440,494,"
            "523,587,659,699,784,880)" + n;
    text += "InstrumentMappings,(71,71,45,33,1000,60,70)" + n;
    text += "GracenoteDurations,(20,40,30,50,100,200,800,1200,250,250,250,500,200)" + n;
    text += "FontSizes,(90,100,100,80,250)" + n;
    text += "TuneFormat,(1,0,F,L,500,500,500,500,P,0,0)" + n;
    text += n;
    text += "\"Automatic music transcription from audio by Vantor by Norla (https://vantor.example)\"" + n;
    text += "\"" + headerField(mTuneName) + "\",(T,C,0,0,Times New Roman,16,700,0,0,18,0,0,0)" + n;
    text += "\"" + headerField(mTuneType) + "\",(Y,L,0,0,Times New Roman,12,700,255,0,18,0,0,0)" + n;
    text += "\"" + headerField(mComposer) + "\",(M,R,0,0,Times New Roman,12,700,255,0,18,0,0,0)" + n;
    text += "\"Transcribed with Vantor by Norla\",(F,R,0,0,Times New Roman,8,400,0,0,18,0,0,0)" + n;
    text += n;
    text += n;
    return text;
}

std::string BmwWriter::itemToBmw(const PipeTuneModel::Item& item) const
{
    const BmwCode code = toBmwCode(item.name);
    if (code == BmwUnknown) {
        qDebug().nospace() << "Unknown item " << QString::fromStdString(toString(item.name));
        return std::string();
    }
    const std::string note = toString(code);
    if (!isMelodyNote(item.name))
        return note;
    std::string text = note;
    if (item.flag == FlagRight)
        text += "r";
    else if (item.flag == FlagLeft)
        text += "l";
    text += "_" + std::to_string(item.duration);
    if (item.dots != 0) {
        std::string lower = note;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        text += " " + std::string(static_cast<std::size_t>(std::max(item.dots, 0)), '\'') + lower;
    }
    return text;
}

std::string BmwWriter::write(const PipeTuneModel& model) const
{
    const int numerator = model.timeSigNumerator();
    const int denominator = model.timeSigDenominator();
    const bool compound = denominator == 8;
    const int unitsPerBeat = compound ? 3 : 1;
    const int beat32 = denominator != 0 ? (32 / denominator) * unitsPerBeat : 0;
    // In 64 bits: a numerator from a damaged file must not overflow.
    const long long fullBar32 = static_cast<long long>(compound ? 2 : numerator) * beat32;

    std::string text = generateHeaders();
    text += std::string(kStaffStart) + " " + std::to_string(numerator) + "_" + std::to_string(denominator);

    bool tieOpen = false;
    for (std::size_t p = 0; p < model.parts.size(); ++p) {
        const PipeTuneModel::Part& part = model.parts[p];
        const bool lastPart = p + 1 == model.parts.size();
        // A short pick-up bar stays on the time-signature line.
        text += part.bars.empty() || part.bars.front().totalDuration32() >= fullBar32 / 2 ? kLineEnd : " ";
        text += "I";
        bool staffStart = false;
        for (std::size_t b = 0; b < part.bars.size(); ++b) {
            const PipeTuneModel::Bar& bar = part.bars[b];
            const bool lastBar = b + 1 == part.bars.size();
            if (!staffStart)
                text += "!";
            if (b == 0 && part.repeated)
                text += "''";

            int beatCount32 = 0;
            bool beginsBeat = true;
            for (const PipeTuneModel::Item& item : bar.items) {
                text += beginsBeat ? "\t" : " ";
                beginsBeat = false;
                const bool melody = isMelodyNote(item.name);
                // A tie runs from "^ts" before its first note to "^te" after its last.
                if (melody && item.tied && !tieOpen) {
                    text += "^ts ";
                    tieOpen = true;
                }
                text += itemToBmw(item);
                if (melody && tieOpen && !item.tied) {
                    text += " ^te";
                    tieOpen = false;
                }
                if (melody) {
                    beatCount32 += item.totalDuration32();
                    if (beatCount32 >= beat32) {
                        // A note longer than a beat (a dotted crotchet in
                        // 4/4) may end inside the next one.
                        beatCount32 = item.totalDuration32() > beat32 ? beatCount32 % beat32 : 0;
                        beginsBeat = beatCount32 == 0;
                    }
                }
            }

            if (!bar.rowBreak && !lastBar) {
                text += kLineEnd;
                staffStart = false;
                continue;
            }
            if (lastBar)
                text += std::string(part.repeated ? " ''!I" : " !I") + kLineEnd + kLineEnd + kLineEnd + kLineEnd;
            else
                text += " !t" + kLineEnd + kLineEnd;
            if (!(lastBar && lastPart))
                text += kStaffStart;
            staffStart = true;
            if (!lastBar)
                text += kLineEnd;
        }
    }
    return text;
}
