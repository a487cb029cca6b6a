#include "TranscriptionOutput.h"

#include "VantorUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cmath>
#include <cstdio>

namespace {

// Times are written to the microsecond; more digits only show float noise.
double rounded(float value, double scale = 1e6)
{
    return std::round(static_cast<double>(value) * scale) / scale;
}

QJsonArray noteArray(const NoteMap& notes, bool gracing)
{
    QJsonArray array;
    for (const auto& entry : notes) {
        const PipeNote& note = entry.second;
        const PipeNoteName name = note.noteName();
        QJsonObject object;
        object["name"] = QString::fromStdString(toString(name));
        object["start_s"] = rounded(note.start_s());
        object["duration_s"] = rounded(note.duration_s());
        if (gracing) {
            QJsonArray pitches;
            for (PipeNoteName pitch : getNoteNames(name))
                pitches.append(QString::fromStdString(toString(pitch)));
            object["pitches"] = pitches;
            if (note.melodyNoteStartOffset_s() != 0.0f)
                object["melodyNoteStartOffset_s"] = rounded(note.melodyNoteStartOffset_s());
        }
        array.append(object);
    }
    return array;
}

} // namespace

std::string toPipeNotesJson(const TranscriptionResult& result, const std::string& source, float samplingFrequency_Hz,
                            const MetreEstimate* metre, const ScoreSettings* score)
{
    QJsonObject tuning;
    for (const auto& [note, centre_Hz] : result.tuning.getNoteCentreFrequencies())
        tuning[QString::fromStdString(toString(referenceNoteToNoteName(note)))] = rounded(centre_Hz, 1e3);

    QJsonObject document;
    document["format"] = "pipe-notes/1";
    document["source"] = QString::fromStdString(source);
    document["sample_rate"] = static_cast<double>(samplingFrequency_Hz);
    document["lowA_Hz"] = rounded(result.lowA_Hz, 1e3);
    document["notes"] = noteArray(result.melody, false);
    document["gracing"] = noteArray(result.gracing, true);
    document["tuning"] = tuning;
    document["wall_s"] = rounded(result.wall_s, 1e3);
    document["audio_s"] = rounded(result.audio_s);
    if (metre != nullptr && score != nullptr) {
        QJsonObject found;
        found["bpm"] = rounded(metre->bpm, 10.0);
        found["bpm_range"] = QJsonArray{rounded(metre->bpmLow, 10.0), rounded(metre->bpmHigh, 10.0)};
        found["time_signature"] = QString("%1/%2").arg(metre->numerator).arg(metre->denominator);
        found["pick_up_beats"] = rounded(metre->pickUp_beats, 100.0);
        found["description"] = QString::fromStdString(describeMetre(*metre));
        // The tracked beats: the tempo curve the score was quantised against.
        QJsonArray beats;
        for (float beat_s : metre->beats_s)
            beats.append(rounded(beat_s, 1e3));
        found["beats_s"] = beats;
        found["first_bar_beat"] = metre->firstBarBeat;
        document["metre"] = found;
        QJsonObject written;
        written["bpm"] = rounded(score->bpm, 10.0);
        written["time_signature"] = QString("%1/%2").arg(score->timeSigNumerator).arg(score->timeSigDenominator);
        written["time_shift_s"] = rounded(score->timeShift_s, 1e3);
        written["follows_beats"] = score->followedBeats.has_value();
        document["score"] = written;
    }
    return QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString();
}

std::string toText(const TranscriptionResult& result)
{
    char line[160];
    std::snprintf(line, sizeof line, "Low A %.2f Hz; tuning: ", static_cast<double>(result.lowA_Hz));
    std::string text = line + toString(result.tuning.getNoteCentreFrequencies()) + "\n";
    const std::vector<PipeNote> notes = combineMelodyAndGraceNotes(result.melody, result.gracing);
    for (const PipeNote& note : notes) {
        std::snprintf(line, sizeof line, "%9.3f s  %7.3f s  %-8s %s\n", static_cast<double>(note.start_s()),
                      static_cast<double>(note.duration_s()), isMelodyNote(note.noteName()) ? "melody" : "gracing",
                      toString(note.noteName()).c_str());
        text += line;
    }
    std::snprintf(line, sizeof line, "%zu melody notes, %zu gracings in %.2f s of audio (%.2f s)\n",
                  result.melody.size(), result.gracing.size(), static_cast<double>(result.audio_s),
                  static_cast<double>(result.wall_s));
    text += line;
    return text;
}
