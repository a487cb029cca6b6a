#include "MusicXmlWriter.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>

#include <map>
#include <string>
#include <vector>

namespace {

using Items = std::vector<PipeTuneModel::Item>;
using Strings = std::vector<std::string>;

// Read back by Qt's parser, which refuses XML that is not well-formed: each
// measure's head ("3 new-system forward"), a token a note ("G5 12 quarter.
// tie:start tied:start"), other texts by name (credits joined by "|").
struct Read {
    Strings measures;
    std::vector<Strings> notes;
    std::map<std::string, std::string> text;
};

Read written(const PipeTuneModel& tune, const MusicXmlWriter& writer = MusicXmlWriter())
{
    Read read;
    QXmlStreamReader xml(QByteArray::fromStdString(writer.write(tune)));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const std::string name = xml.name().toString().toStdString();
        const QXmlStreamAttributes attributes = xml.attributes();
        auto attribute = [&](const char* key) { return attributes.value(key).toString().toStdString(); };
        std::string* note = read.notes.empty() || read.notes.back().empty() ? nullptr : &read.notes.back().back();
        if (name == "measure") {
            read.measures.push_back(attribute("number") + (attribute("implicit") == "yes" ? " implicit" : ""));
            read.notes.emplace_back();
        } else if (name == "print" || name == "repeat") {
            read.measures.back() += " " + (name == "print" ? std::string("new-system") : attribute("direction"));
        } else if (name == "note") {
            read.notes.back().emplace_back();
        } else if (name == "grace" || name == "rest" || name == "dot") {
            *note += name == "grace" ? "grace " : name == "rest" ? "rest" : ".";
        } else if (name == "tie" || name == "tied") {
            *note += " " + name + ":" + attribute("type");
        } else if (name == "step" || name == "octave") {
            *note += xml.readElementText().toStdString();
        } else if (name == "alter") {
            *note += xml.readElementText() == "1" ? "#" : "?";
        } else if (note != nullptr && (name == "duration" || name == "type" || name == "beam")) {
            *note += " " + xml.readElementText().toStdString();
        } else if (name == "time") {
            read.text[name] = attribute("symbol");
        } else if (name == "work-title" || name == "creator" || name == "credit-words" || name == "fifths"
                   || name == "beats" || name == "beat-type" || name == "divisions") {
            std::string& text = read.text[name];
            text += (text.empty() ? "" : "|") + xml.readElementText().toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return read;
}

PipeTuneModel::Item note(PipeNoteName name, int value, int dots = 0, NoteFlag flag = FlagNone, bool tied = false)
{
    PipeTuneModel::Item item(name, value, dots, flag);
    item.tied = tied;
    return item;
}

PipeTuneModel::Item gracing(PipeNoteName name) { return PipeTuneModel::Item(name, 32, 0, FlagNone); }

PipeTuneModel model(const std::vector<std::vector<Items>>& parts, int numerator = 4, int denominator = 4)
{
    PipeTuneModel result;
    result.setTimeSigNumerator(numerator);
    result.setTimeSigDenominator(denominator);
    for (const std::vector<Items>& bars : parts) {
        result.parts.emplace_back();
        for (const Items& items : bars)
            result.parts.back().bars.emplace_back().items = items;
        result.parts.back().bars.back().rowBreak = true;
    }
    return result;
}

// Each gracing is its gracenotes in playing order before its note,
// demisemiquavers with three beams when there are several.
TEST(MusicXmlWriter, WritesEveryGracingAsItsGracenotesInPlayingOrder)
{
    const std::pair<PipeNoteName, std::string> rows[] = {
        {gg, "G5"},         {strla, "A4"},         {tg, "A5"},
        {dbhg, "G5 F#5"},   {tdbe, "A5 E5 F#5"},   {hdbf, "F#5 G5"},
        {grp, "G4 D5 G4"},  {thrd, "G4 D5 C#5"},   {tarb, "G4 B4 G4 E5"},
        {gbr, "G5 A4 G4 A4 G4"},
    };
    for (const auto& [name, pitches] : rows) {
        const Read read = written(model({{{gracing(name), note(LA, 2), note(HA, 2)}}}));
        std::string heard; // each gracenote's pitch, then the notes whole
        for (const std::string& token : read.notes.at(0))
            heard += token.rfind("grace ", 0) == 0 ? token.substr(6, token.find(' ', 6) - 6) + " " : token + "|";
        EXPECT_EQ(heard, pitches + " A4 16 half|A5 16 half|") << toString(name);
    }
    EXPECT_EQ(written(model({{{gracing(dbc), note(C, 1)}}})).notes.at(0),
              (Strings{"grace G5 32nd begin begin begin", "grace C#5 32nd continue continue continue",
                       "grace D5 32nd end end end", "C#5 32 whole"}));
}

// The pipe key, one division a 32nd, each time signature with a bar of quavers in one measure.
TEST(MusicXmlWriter, WritesThePipeKeyAndEachTimeSignature)
{
    const std::tuple<int, int, std::string> rows[] = {
        {4, 4, "4/4"}, {3, 4, "3/4"}, {2, 4, "2/4"}, {2, 2, "2/2cut"}, {6, 8, "6/8"}};
    for (const auto& [numerator, denominator, shown] : rows) {
        Read read = written(model({{Items(static_cast<std::size_t>(numerator * 8 / denominator), note(D, 8))}},
                                  numerator, denominator));
        EXPECT_EQ(read.text["fifths"] + " " + read.text["divisions"] + " " + read.text["beats"] + "/"
                      + read.text["beat-type"] + read.text["time"] + " " + read.measures.at(0),
                  "2 8 " + shown + " 1");
    }
}

// A short first bar is the pick-up, measure 0, a later part's too, a short
// last bar not; repeats, new systems; an empty score is a bar's rest.
TEST(MusicXmlWriter, NumbersMeasuresFromThePickUpAndMarksRepeatsAndSystems)
{
    PipeTuneModel tune = model({{{gracing(gg), note(E, 8)}, {note(LA, 2), note(B, 2)}, {note(C, 1)}},
                                {{note(D, 4)}, {note(E, 2)}}});
    tune.parts[0].bars[1].rowBreak = true;
    tune.parts[1].repeated = true;
    const Read read = written(tune);
    EXPECT_EQ(read.measures,
              (Strings{"0 implicit", "1", "2 new-system", "3 implicit new-system forward", "4 backward"}));
    EXPECT_EQ(read.notes.at(0), (Strings{"grace G5 32nd", "E5 4 eighth"}));
    EXPECT_EQ(written(model({{{note(LA, 1)}}})).measures, Strings{"1"});
    EXPECT_EQ(written(PipeTuneModel()).notes, std::vector<Strings>{{"rest 32"}});
}

// Ties in pairs over bar lines and gracing, only between notes of one pitch
// (not G to F, not past the last note); a hook where a semiquaver stands alone.
TEST(MusicXmlWriter, WritesDotsTiesAndBeams)
{
    const Read read = written(model({{{note(LA, 8, 1, FlagRight), note(B, 16, 0, FlagLeft), note(C, 16, 0, FlagRight),
                                       note(D, 16, 0, FlagLeft), note(E, 8, 0, FlagLeft),
                                       note(HG, 4, 1, FlagNone, true), note(HG, 8, 0, FlagNone, true)},
                                      {gracing(dbhg), note(HG, 2, 0, FlagNone, true),
                                       note(F, 2, 0, FlagNone, true)}}}));
    EXPECT_EQ(read.notes.at(0), (Strings{"A4 6 eighth. begin", "B4 2 16th end backward hook",
                                         "C#5 2 16th begin begin", "D5 2 16th continue end", "E5 4 eighth end",
                                         "G5 12 tie:start quarter. tied:start",
                                         "G5 4 tie:stop tie:start eighth tied:stop tied:start"}));
    EXPECT_EQ(read.notes.at(1), (Strings{"grace G5 32nd begin begin begin", "grace F#5 32nd end end end",
                                         "G5 16 tie:stop half tied:stop", "F#5 16 half"}));
}

// Markup is escaped, controls are spaces and bytes that are not UTF-8
// question marks: the file stays well-formed and reads back as typed.
TEST(MusicXmlWriter, EscapesTheTuneDetails)
{
    const std::pair<std::string, std::string> rows[] = {
        {"Jock & <Jean> \"o'\" the Glen ]]>", "Jock & <Jean> \"o'\" the Glen ]]>"},
        {"Line\nbreak\x01\x7f", "Line break  "},
        {"Cr\xc3\xa8me \xf0\x9f\x8e\xb5 &amp;", "Cr\xc3\xa8me \xf0\x9f\x8e\xb5 &amp;"},
        {"Bad\xff\xc0\x8a", "Bad???"},
    };
    for (const auto& [typed, expected] : rows) {
        MusicXmlWriter writer;
        writer.setTuneName(typed);
        writer.setTuneType(typed);
        writer.setComposer(typed);
        Read read = written(model({{{note(LA, 1)}}}), writer);
        EXPECT_EQ(read.text["work-title"], expected);
        EXPECT_EQ(read.text["creator"], expected);
        EXPECT_EQ(read.text["credit-words"], expected + "|" + expected + "|" + expected);
    }
}

} // namespace
