#include "MusicXmlWriter.h"

#include "utils.h"

#include <vector>

namespace {

// One division is a 32nd: every length the model holds is a whole number of
// them.
constexpr int kDivisionsPerQuarter = 8;
// Gracenotes are written as demisemiquavers: three beams when joined.
constexpr int kGraceBeams = 3;
// General MIDI's bagpipe (program 110, counted from 1).
constexpr int kBagpipeMidiProgram = 110;
// The page in tenths of a staff space, a staff 6 mm high (40 tenths), as
// pipe music is printed, so that four bars of gracenotes fit a line: A4
// (210 x 297 mm, 0.15 mm a tenth). The title block stands 10 mm from the top
// and the sides, the tune type and composer 30 mm from the top.
constexpr int kStaffHeight_mm = 6;
constexpr int kPageWidth = 1400;
constexpr int kPageHeight = 1980;
constexpr int kMargin = 67;
constexpr int kTitleY = kPageHeight - kMargin;
constexpr int kDetailsY = kPageHeight - 200;

// Written pitch of each melody note, Low G to High A: the chanter reads in
// the key of two sharps, so C and F are sharp.
struct Pitch {
    char step;
    int alter;
    int octave;
};
constexpr Pitch kPitches[] = {{'G', 0, 4}, {'A', 0, 4}, {'B', 0, 4}, {'C', 1, 5}, {'D', 0, 5},
                              {'E', 0, 5}, {'F', 1, 5}, {'G', 0, 5}, {'A', 0, 5}};

// Note value (1 semibreve ... 32 demisemiquaver) as a MusicXML type.
const char* typeName(int value)
{
    switch (value) {
    case 1: return "whole";
    case 2: return "half";
    case 4: return "quarter";
    case 8: return "eighth";
    case 16: return "16th";
    default: return "32nd";
    }
}

// Beams a note of this value carries: one for a quaver, two for a
// semiquaver, three for a demisemiquaver.
int beamLevels(int value)
{
    return value >= 32 ? 3 : value >= 16 ? 2 : value >= 8 ? 1 : 0;
}

// User text as XML character data or attribute value: markup characters
// escaped, every control and line separator a space (a title is one line;
// XML forbids most controls), the two non-characters XML also forbids and
// bytes that are not UTF-8 "?".
std::string xmlText(const std::string& text)
{
    std::string escaped;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t point = 0;
        const std::size_t length = utils::decodeUtf8(text, i, point);
        if (length == 0 || point == 0xfffe || point == 0xffff) {
            escaped += '?';
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (point) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default:
            if (point < 0x20 || (point >= 0x7f && point <= 0x9f) || point == 0x2028 || point == 0x2029)
                escaped += ' ';
            else
                escaped.append(text, i, length);
        }
        i += length;
    }
    return escaped;
}

// An indented XML text, one element a line.
class XmlText
{
public:
    void open(const std::string& tag, const std::string& attributes = std::string())
    {
        line("<" + tag + attributes + ">");
        ++mDepth;
    }
    void close(const std::string& tag)
    {
        --mDepth;
        line("</" + tag + ">");
    }
    void leaf(const std::string& tag, const std::string& value, const std::string& attributes = std::string())
    {
        line("<" + tag + attributes + ">" + value + "</" + tag + ">");
    }
    void empty(const std::string& tag, const std::string& attributes = std::string())
    {
        line("<" + tag + attributes + "/>");
    }
    void line(const std::string& text)
    {
        mText += std::string(static_cast<std::size_t>(2 * mDepth), ' ') + text + "\n";
    }
    const std::string& text() const { return mText; }

private:
    std::string mText;
    int mDepth = 0;
};

std::string attribute(const std::string& name, const std::string& value)
{
    return " " + name + "=\"" + value + "\"";
}

void writePitch(XmlText& xml, PipeNoteName name)
{
    const Pitch& pitch = kPitches[static_cast<std::size_t>(melodyNoteOrdinalValue(name))];
    xml.open("pitch");
    xml.leaf("step", std::string(1, pitch.step));
    if (pitch.alter != 0)
        xml.leaf("alter", std::to_string(pitch.alter));
    xml.leaf("octave", std::to_string(pitch.octave));
    xml.close("pitch");
}

// The gracenotes of one gracing item, in the order played.
void writeGracing(XmlText& xml, const PipeTuneModel::Item& item)
{
    const std::vector<PipeNoteName> notes = getNoteNames(item.name);
    for (std::size_t k = 0; k < notes.size(); ++k) {
        xml.open("note");
        xml.empty("grace");
        writePitch(xml, notes[k]);
        xml.leaf("voice", "1");
        xml.leaf("type", typeName(32));
        xml.leaf("stem", "up");
        if (notes.size() > 1) {
            const char* state = k == 0 ? "begin" : k + 1 == notes.size() ? "end" : "continue";
            for (int level = 1; level <= kGraceBeams; ++level)
                xml.leaf("beam", state, attribute("number", std::to_string(level)));
        }
        xml.close("note");
    }
}

// How one melody note is written: its value and dot, the ties it ends and
// starts, and the state of each of its beams ("begin", "continue", "end",
// "forward hook", "backward hook").
struct WrittenNote {
    int value = 4;
    int dots = 0;
    bool tieStop = false;
    bool tieStart = false;
    std::vector<std::string> beams;
};

// The beamed runs of a bar, from the beam flags as the renderer reads them:
// a quaver or shorter with FlagLeft joins the run before it, with FlagRight
// (or FlagLeft and no run open) starts one; anything else ends it. Inside a
// run the first beam joins every note; a further beam joins neighbours that
// both have it and is a hook on a note that has it alone, towards the rest
// of its run.
void beamRuns(const std::vector<const PipeTuneModel::Item*>& melody, std::vector<WrittenNote>& written)
{
    std::vector<std::size_t> run;
    auto closeRun = [&]() {
        if (run.size() > 1) {
            for (std::size_t k = 0; k < run.size(); ++k) {
                WrittenNote& note = written[run[k]];
                const int levels = beamLevels(note.value);
                for (int level = 1; level <= levels; ++level) {
                    const bool left = k > 0 && beamLevels(written[run[k - 1]].value) >= level;
                    const bool right = k + 1 < run.size() && beamLevels(written[run[k + 1]].value) >= level;
                    if (left && right)
                        note.beams.push_back("continue");
                    else if (left)
                        note.beams.push_back("end");
                    else if (right)
                        note.beams.push_back("begin");
                    else
                        note.beams.push_back(k == 0 ? "forward hook" : "backward hook");
                }
            }
        }
        run.clear();
    };
    for (std::size_t i = 0; i < melody.size(); ++i) {
        const NoteFlag flag = melody[i]->flag;
        if (flag == FlagNone || beamLevels(written[i].value) == 0) {
            closeRun();
            continue;
        }
        if (flag != FlagLeft || run.empty())
            closeRun();
        run.push_back(i);
    }
    closeRun();
}

void writeMelodyNote(XmlText& xml, const PipeTuneModel::Item& item, const WrittenNote& note)
{
    xml.open("note");
    writePitch(xml, item.name);
    xml.leaf("duration", std::to_string(item.totalDuration32()));
    if (note.tieStop)
        xml.empty("tie", attribute("type", "stop"));
    if (note.tieStart)
        xml.empty("tie", attribute("type", "start"));
    xml.leaf("voice", "1");
    xml.leaf("type", typeName(note.value));
    for (int dot = 0; dot < note.dots; ++dot)
        xml.empty("dot");
    // Pipe music hangs every melody stem down.
    if (note.value > 1)
        xml.leaf("stem", "down");
    for (std::size_t level = 0; level < note.beams.size(); ++level)
        xml.leaf("beam", note.beams[level], attribute("number", std::to_string(level + 1)));
    if (note.tieStop || note.tieStart) {
        xml.open("notations");
        if (note.tieStop)
            xml.empty("tied", attribute("type", "stop"));
        if (note.tieStart)
            xml.empty("tied", attribute("type", "start"));
        xml.close("notations");
    }
    xml.close("note");
}

int melodyLength32(const PipeTuneModel::Bar& bar)
{
    int length32 = 0;
    for (const PipeTuneModel::Item& item : bar.items)
        length32 += isMelodyNote(item.name) ? item.totalDuration32() : 0;
    return length32;
}

// The melody notes of the whole tune in playing order, and for each whether
// a tie from it reaches the next: only a note of the same pitch can take it.
std::vector<bool> tiesMade(const PipeTuneModel& model)
{
    std::vector<const PipeTuneModel::Item*> melody;
    for (const PipeTuneModel::Part& part : model.parts)
        for (const PipeTuneModel::Bar& bar : part.bars)
            for (const PipeTuneModel::Item& item : bar.items)
                if (isMelodyNote(item.name))
                    melody.push_back(&item);
    std::vector<bool> ties(melody.size(), false);
    for (std::size_t i = 0; i + 1 < melody.size(); ++i)
        ties[i] = melody[i]->tied && melody[i + 1]->name == melody[i]->name;
    return ties;
}

struct Credit {
    const char* type;
    const std::string* text;
    int x;
    int y;
    const char* justify;
    const char* valign;
    const char* fontSize;
};

void writeHeader(XmlText& xml, const std::string& tuneName, const std::string& tuneType,
                 const std::string& tuneComposer)
{
    xml.line("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>");
    xml.line("<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
             "\"http://www.musicxml.org/dtds/partwise.dtd\">");
    xml.open("score-partwise", attribute("version", "3.1"));
    xml.open("work");
    xml.leaf("work-title", xmlText(tuneName));
    xml.close("work");
    xml.open("identification");
    if (!tuneComposer.empty())
        xml.leaf("creator", xmlText(tuneComposer), attribute("type", "composer"));
    xml.open("encoding");
    xml.leaf("software", "Vantor by Norla");
    xml.close("encoding");
    xml.close("identification");
    xml.open("defaults");
    xml.open("scaling");
    xml.leaf("millimeters", std::to_string(kStaffHeight_mm));
    xml.leaf("tenths", "40");
    xml.close("scaling");
    xml.open("page-layout");
    xml.leaf("page-height", std::to_string(kPageHeight));
    xml.leaf("page-width", std::to_string(kPageWidth));
    xml.close("page-layout");
    xml.close("defaults");
    // The title block as pipe music lays it out: the name centred at the
    // top, the tune type at the left and the composer at the right under it.
    // Readers place credits by their position on the first page.
    const std::string name = xmlText(tuneName);
    const std::string type = xmlText(tuneType);
    const std::string composer = xmlText(tuneComposer);
    const Credit credits[] = {{"title", &name, kPageWidth / 2, kTitleY, "center", "top", "20"},
                              {"subtitle", &type, kMargin, kDetailsY, "left", "bottom", "12"},
                              {"composer", &composer, kPageWidth - kMargin, kDetailsY, "right", "bottom", "12"}};
    for (const Credit& credit : credits) {
        if (credit.text->empty())
            continue;
        xml.open("credit", attribute("page", "1"));
        xml.leaf("credit-type", credit.type);
        xml.leaf("credit-words", *credit.text,
                 attribute("default-x", std::to_string(credit.x)) + attribute("default-y", std::to_string(credit.y))
                     + attribute("justify", credit.justify) + attribute("valign", credit.valign)
                     + attribute("font-size", credit.fontSize));
        xml.close("credit");
    }
    xml.open("part-list");
    xml.open("score-part", attribute("id", "P1"));
    xml.leaf("part-name", "Bagpipe", attribute("print-object", "no"));
    xml.open("score-instrument", attribute("id", "P1-I1"));
    xml.leaf("instrument-name", "Bagpipe");
    xml.leaf("instrument-sound", "wind.pipes.bagpipes");
    xml.close("score-instrument");
    xml.open("midi-instrument", attribute("id", "P1-I1"));
    xml.leaf("midi-channel", "1");
    xml.leaf("midi-program", std::to_string(kBagpipeMidiProgram));
    xml.close("midi-instrument");
    xml.close("score-part");
    xml.close("part-list");
}

void writeAttributes(XmlText& xml, int numerator, int denominator)
{
    xml.open("attributes");
    xml.leaf("divisions", std::to_string(kDivisionsPerQuarter));
    xml.open("key");
    xml.leaf("fifths", "2");
    xml.close("key");
    xml.open("time", numerator == 2 && denominator == 2 ? attribute("symbol", "cut") : std::string());
    xml.leaf("beats", std::to_string(numerator));
    xml.leaf("beat-type", std::to_string(denominator));
    xml.close("time");
    xml.open("clef");
    xml.leaf("sign", "G");
    xml.leaf("line", "2");
    xml.close("clef");
    xml.close("attributes");
}

void writeBarline(XmlText& xml, const char* location, const char* style, const char* repeat)
{
    xml.open("barline", attribute("location", location));
    xml.leaf("bar-style", style);
    if (repeat != nullptr)
        xml.empty("repeat", attribute("direction", repeat));
    xml.close("barline");
}

void writeBarRest(XmlText& xml, int fullBar32)
{
    xml.open("note");
    xml.empty("rest", attribute("measure", "yes"));
    xml.leaf("duration", std::to_string(fullBar32));
    xml.leaf("voice", "1");
    xml.close("note");
}

} // namespace

std::string MusicXmlWriter::write(const PipeTuneModel& model) const
{
    // A signature no one can write (a damaged project) reads as 4/4.
    int numerator = model.timeSigNumerator();
    int denominator = model.timeSigDenominator();
    if (numerator <= 0 || numerator > 64 || (denominator != 2 && denominator != 4 && denominator != 8)) {
        numerator = 4;
        denominator = 4;
    }
    const int fullBar32 = numerator * 32 / denominator;

    XmlText xml;
    writeHeader(xml, mTuneName, mTuneType, mComposer);
    xml.open("part", attribute("id", "P1"));

    const std::vector<bool> ties = tiesMade(model);
    std::size_t melodyIndex = 0;
    bool tieOpen = false;
    // A pick-up opening the tune is measure 0.
    const bool opensWithPickUp = !model.parts.empty() && !model.parts.front().bars.empty()
                                 && melodyLength32(model.parts.front().bars.front()) < fullBar32;
    int number = opensWithPickUp ? 0 : 1;
    bool firstMeasure = true;
    bool newSystem = false;
    auto openMeasure = [&](bool pickUp) {
        xml.open("measure", attribute("number", std::to_string(number++))
                                + (pickUp ? attribute("implicit", "yes") : std::string()));
        if (newSystem)
            xml.empty("print", attribute("new-system", "yes"));
        newSystem = false;
        if (firstMeasure)
            writeAttributes(xml, numerator, denominator);
        firstMeasure = false;
    };

    for (const PipeTuneModel::Part& part : model.parts) {
        for (std::size_t b = 0; b < part.bars.size(); ++b) {
            const PipeTuneModel::Bar& bar = part.bars[b];
            const bool lastBar = b + 1 == part.bars.size();
            openMeasure(b == 0 && melodyLength32(bar) < fullBar32);
            if (b == 0 && part.repeated)
                writeBarline(xml, "left", "heavy-light", "forward");

            std::vector<const PipeTuneModel::Item*> melody;
            std::vector<WrittenNote> written;
            for (const PipeTuneModel::Item& item : bar.items) {
                if (!isMelodyNote(item.name))
                    continue;
                WrittenNote note;
                // Written as its length: a second dot adds nothing to it.
                if (!singleNoteValue(item.totalDuration32(), note.value, note.dots)) {
                    note.value = getMaxDurationFrom32s(item.totalDuration32());
                    note.dots = 0;
                }
                note.tieStop = tieOpen;
                note.tieStart = ties[melodyIndex++];
                tieOpen = note.tieStart;
                melody.push_back(&item);
                written.push_back(note);
            }
            beamRuns(melody, written);

            std::size_t k = 0;
            for (const PipeTuneModel::Item& item : bar.items) {
                if (isMelodyNote(item.name))
                    writeMelodyNote(xml, item, written[k++]);
                else
                    writeGracing(xml, item);
            }
            if (melody.empty())
                writeBarRest(xml, fullBar32);
            if (lastBar)
                writeBarline(xml, "right", "light-heavy", part.repeated ? "backward" : nullptr);
            xml.close("measure");
            newSystem = bar.rowBreak;
        }
    }
    if (firstMeasure) {
        // MusicXML wants a measure in every part: an empty score is a bar's
        // rest.
        openMeasure(false);
        writeBarRest(xml, fullBar32);
        xml.close("measure");
    }
    xml.close("part");
    xml.close("score-partwise");
    return xml.text();
}
