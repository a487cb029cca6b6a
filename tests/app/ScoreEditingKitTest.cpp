// A piper's whole correction of real transcriptions: renderings of corpus
// tunes, played as a piper plays without a click, are opened in the window
// and every wrong bar is corrected through the keys and menus alone, from
// the tune's own written bars, until the exported score holds exactly the
// tune's first bars. Needs the evaluation kit's renderings: VANTOR_KIT_TUNES
// names a folder of NAME.wav with NAME.json (scripts/kit_truth_bars.py);
// VANTOR_KIT_OUT, when set, receives each corrected NAME.bww. Prints how
// many edits each tune needed.

#include "AudioFileReader.h"
#include "BmwCode.h"
#include "MainWindowFixture.h"
#include "RowsView.h"
#include "ScoreEditing.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUndoStack>

#include <iostream>

namespace {

struct TruthNote {
    PipeNoteName pitch = Unknown;
    int value = 0;
    int dots = 0;
    bool tied = false;
    std::vector<PipeNoteName> gracings;
};
using TruthBar = std::vector<TruthNote>;

PipeNoteName nameOfToken(const QString& token)
{
    for (int code = BmwLG; code < BmwEnd; ++code) {
        if (QString::fromStdString(toString(static_cast<BmwCode>(code))) == token)
            return toPipeNoteName(static_cast<BmwCode>(code));
    }
    return Unknown;
}

class ScoreEditingKitTest : public MainWindowFixture
{
protected:
    RowsView* scoreView() const { return find<RowsView>("scoreDockView"); }
    ScoreEditing* editing() const { return window->editing(); }
    // Bars are counted through the parts, as the tune plays them.
    std::pair<int, int> partAndBar(int index) const
    {
        const PipeTuneModel& score = editing()->score();
        for (int part = 0; part < static_cast<int>(score.parts.size()); ++part) {
            const int bars = static_cast<int>(score.parts[part].bars.size());
            if (index < bars)
                return {part, index};
            index -= bars;
        }
        return {-1, -1};
    }
    const PipeTuneModel::Bar& bar(int index) const
    {
        const auto [part, inPart] = partAndBar(index);
        return editing()->score().parts[part].bars[inPart];
    }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(scoreView(), static_cast<Qt::Key>(key), modifiers);
    }

    // Clicks the item where it is drawn, as the piper does.
    void click(int barIndex, int item)
    {
        const auto [part, inPart] = partAndBar(barIndex);
        for (const auto& [row, places] : window->views().scoreItemPlaces())
            for (const PipeTuneRenderer::ItemPlace& place : places)
                if (place.part == part && place.bar == inPart && place.item == item) {
                    const QPointF middle = place.rect.center() * window->views().zoom();
                    QTest::mouseClick(scoreView(), Qt::LeftButton, Qt::NoModifier,
                                      QPoint(static_cast<int>(middle.x()),
                                             scoreView()->rowTop(place.row) + static_cast<int>(middle.y())));
                    ASSERT_EQ(editing()->cursor(), (ScorePosition{part, inPart, item}));
                    return;
                }
        FAIL() << "bar " << barIndex << " item " << item << " is not drawn";
    }

    std::vector<int> melodyItems(int barIndex) const
    {
        std::vector<int> items;
        for (std::size_t i = 0; i < bar(barIndex).items.size(); ++i)
            if (isMelodyNote(bar(barIndex).items[i].name))
                items.push_back(static_cast<int>(i));
        return items;
    }

    std::vector<PipeNoteName> gracingsBefore(int barIndex, int item) const
    {
        std::vector<PipeNoteName> names;
        for (int i = item - 1; i >= 0 && !isMelodyNote(bar(barIndex).items[i].name); --i)
            names.insert(names.begin(), bar(barIndex).items[i].name);
        return names;
    }

    int barCount() const
    {
        int count = 0;
        for (const PipeTuneModel::Part& part : editing()->score().parts)
            count += static_cast<int>(part.bars.size());
        return count;
    }

    bool barIsRight(int barIndex, const TruthBar& truth) const
    {
        if (barIndex >= barCount())
            return false;
        const std::vector<int> notes = melodyItems(barIndex);
        if (notes.size() != truth.size())
            return false;
        for (std::size_t n = 0; n < notes.size(); ++n) {
            const PipeTuneModel::Item& item = bar(barIndex).items[notes[n]];
            if (item.name != truth[n].pitch || item.duration != truth[n].value || item.dots != truth[n].dots
                || item.tied != truth[n].tied || gracingsBefore(barIndex, notes[n]) != truth[n].gracings)
                return false;
        }
        return true;
    }

    int melody32(int barIndex) const
    {
        int total = 0;
        for (int item : melodyItems(barIndex))
            total += bar(barIndex).items[item].totalDuration32();
        return total;
    }

    // Makes bar barIndex hold the truth's notes with the editing keys.
    void correctBar(int barIndex, const TruthBar& truth)
    {
        while (melodyItems(barIndex).size() > truth.size()) {
            click(barIndex, melodyItems(barIndex).back());
            press(Qt::Key_Delete);
        }
        while (!melodyItems(barIndex).empty() && melodyItems(barIndex).size() < truth.size()) {
            click(barIndex, melodyItems(barIndex).back());
            press(Qt::Key_Insert);
        }
        for (std::size_t n = 0; n < truth.size() && n < melodyItems(barIndex).size(); ++n) {
            const TruthNote& want = truth[n];
            auto note = [&] { return bar(barIndex).items[melodyItems(barIndex)[n]]; };
            click(barIndex, melodyItems(barIndex)[n]);
            for (int guard = 0; note().name != want.pitch && guard < 9; ++guard)
                press(note().name < want.pitch ? Qt::Key_Up : Qt::Key_Down);
            // The dot off before the value changes (no dotted demisemiquaver),
            // on after it.
            if (note().dots > want.dots)
                press(Qt::Key_Period);
            for (int guard = 0; note().duration != want.value && guard < 6; ++guard)
                press(note().duration > want.value ? Qt::Key_Up : Qt::Key_Down, Qt::ControlModifier);
            if (note().dots < want.dots)
                press(Qt::Key_Period);
            if (note().tied != want.tied)
                press(Qt::Key_T);
            if (gracingsBefore(barIndex, melodyItems(barIndex)[n]) != want.gracings) {
                if (want.gracings.empty()) {
                    press(Qt::Key_Delete, Qt::ShiftModifier);
                } else if (QAction* gracing = editing()->action(
                               QString("gracing_%1").arg(QString::fromStdString(toString(want.gracings.front()))))) {
                    gracing->trigger();
                }
            }
        }
    }
};

TEST_F(ScoreEditingKitTest, EveryWrongBarOfRealTranscriptionsIsCorrectedWithTheEditor)
{
    const QString folder = qEnvironmentVariable("VANTOR_KIT_TUNES");
    if (folder.isEmpty())
        GTEST_SKIP() << "VANTOR_KIT_TUNES names no folder of kit renderings";
    const QStringList tunes = QDir(folder).entryList({"*.wav"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(tunes.isEmpty());
    for (const QString& wav : tunes) {
        const QString name = QFileInfo(wav).completeBaseName();
        SCOPED_TRACE(name.toStdString());
        const QJsonObject truth =
            QJsonDocument::fromJson(contents(folder + "/" + name + ".json")).object();
        std::vector<TruthBar> truthBars;
        for (const QJsonValue& barValue : truth["bars"].toArray()) {
            TruthBar notes;
            for (const QJsonValue& noteValue : barValue.toArray()) {
                const QJsonObject note = noteValue.toObject();
                TruthNote truthNote{nameOfToken(note["p"].toString()), note["v"].toInt(), note["d"].toInt(),
                                    note["t"].toBool(), {}};
                for (const QJsonValue& token : note["g"].toArray()) {
                    truthNote.gracings.push_back(nameOfToken(token.toString()));
                    ASSERT_NE(truthNote.gracings.back(), Unknown)
                        << token.toString().toStdString() << " is no gracing the score can write";
                }
                notes.push_back(truthNote);
            }
            truthBars.push_back(notes);
        }

        // The rendering as a project in the tune's nominal metre; the window
        // follows the piper's beat and estimates the Low A.
        AudioData audio;
        std::string error;
        ASSERT_TRUE(readAudioFile((folder + "/" + wav).toStdString(), audio, error)) << error;
        ProjectContents project;
        project.samples = audio.samples;
        project.samplingFrequency_Hz = audio.samplingFrequency_Hz;
        project.tuneName = name.toStdString();
        ASSERT_TRUE(parseTimeSignature(truth["ts"].toString().toStdString(), project.timeSigNumerator,
                                       project.timeSigDenominator));
        project.bpm = static_cast<float>(truth["bpm"].toDouble());
        project.timeShift_s = static_cast<float>(truth["shift_s"].toDouble());
        const QString path = fileDir.filePath(name + ".vnt");
        ASSERT_TRUE(project.write(path.toStdString(), 8, "", error)) << error;

        open(kExample, 1.0);
        find<QAction>("followBeatAction")->setChecked(true);
        ASSERT_TRUE(window->openVnt(path, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 60000));
        QTest::qWait(100);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

        // The tune's time signature, if the one found is another.
        auto* signature = find<QComboBox>("timeSignatureCombo");
        TimeSignature tuneSignature = FourFour;
        ASSERT_TRUE(timeSignatureFromComponents(project.timeSigNumerator, project.timeSigDenominator, tuneSignature));
        const bool otherSignature = signature->currentIndex() != tuneSignature;
        if (otherSignature)
            signature->setCurrentIndex(tuneSignature);
        const int bars = static_cast<int>(truthBars.size());
        // The pick-up first: the first bar line moved until the first bar
        // holds as much as the tune's.
        const int want32 = [&] {
            int total = 0;
            for (const TruthNote& note : truthBars.front())
                total += PipeTuneModel::Item(note.pitch, note.value, note.dots, FlagNone).totalDuration32();
            return total;
        }();
        for (int guard = 0; melody32(0) != want32 && guard < 8; ++guard)
            press(melody32(0) < want32 ? Qt::Key_BracketRight : Qt::Key_BracketLeft, Qt::ControlModifier);
        int wrongBefore = 0;
        for (int b = 0; b < bars; ++b) {
            const bool right = barIsRight(b, truthBars[b]);
            wrongBefore += right ? 0 : 1;
            if (!right && b < barCount())
                std::cout << "  bar " << b << " as heard: " << toString(bar(b)) << std::endl;
        }
        for (int b = 0; b < bars && b < barCount(); ++b) {
            if (!barIsRight(b, truthBars[b]))
                correctBar(b, truthBars[b]);
        }
        int wrongAfter = 0;
        for (int b = 0; b < bars; ++b) {
            const bool right = barIsRight(b, truthBars[b]);
            wrongAfter += right ? 0 : 1;
            EXPECT_TRUE(right) << "bar " << b << ": " << (b < barCount() ? toString(bar(b)) : "missing");
        }
        const QString out = qEnvironmentVariable("VANTOR_KIT_OUT");
        if (!out.isEmpty()) {
            EXPECT_TRUE(window->saveBww(out + "/" + name + ".bww"));
        }
        std::cout << name.toStdString() << ": " << bars << " bars, " << wrongBefore << " wrong, "
                  << editing()->undoStack()->count() << " edits" << (otherSignature ? " (one the time signature)" : "")
                  << ", " << wrongAfter << " wrong after" << std::endl;
        window.reset();
    }
}

} // namespace
