#include "TranscriptionOutput.h"

#include "VantorUtils.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
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

const char* droneName(DroneSet::Drone::Kind kind)
{
    return kind == DroneSet::Drone::Kind::Bass ? "bass" : "tenor";
}

// "1.2 cents flat", "0.9 cents sharp", or "in tune" when it rounds to 0.
std::string centsText(float cents)
{
    char text[48];
    const double rounded = std::round(static_cast<double>(cents) * 10.0) / 10.0;
    if (rounded == 0.0)
        return "in tune";
    std::snprintf(text, sizeof text, "%.1f cents %s", std::abs(rounded), rounded > 0.0 ? "sharp" : "flat");
    return text;
}

// "bass 119.93 Hz (1.0 cents flat)", "tenors 240.12 Hz (in tune) and 239.70
// Hz (2.2 cents flat)"; empty when there is no drone of kind.
std::string dronesOfKind(const TuningReading& reading, DroneSet::Drone::Kind kind)
{
    std::vector<std::string> parts;
    for (const TuningReading::Drone& drone : reading.drones) {
        if (drone.kind != kind)
            continue;
        char text[48];
        std::snprintf(text, sizeof text, "%.2f Hz", static_cast<double>(drone.frequency_Hz));
        parts.push_back(text + std::string(" (") + centsText(drone.cents) + ")");
    }
    if (parts.empty())
        return std::string();
    std::string text = std::string(droneName(kind)) + (parts.size() > 1 ? "s " : " ");
    for (std::size_t k = 0; k < parts.size(); ++k)
        text += (k == 0 ? "" : k + 1 == parts.size() ? " and " : ", ") + parts[k];
    return text;
}

} // namespace

std::string describeDrones(const TuningReading& reading)
{
    if (reading.drones.empty())
        return "no drones heard";
    char lowA[48];
    std::snprintf(lowA, sizeof lowA, "%.1f Hz", static_cast<double>(reading.lowA_Hz));
    std::string text = "drones against Low A " + std::string(lowA) + ": ";
    const std::string bass = dronesOfKind(reading, DroneSet::Drone::Kind::Bass);
    const std::string tenors = dronesOfKind(reading, DroneSet::Drone::Kind::Tenor);
    text += bass + (!bass.empty() && !tenors.empty() ? ", " : "") + tenors;
    const auto tenorCount = std::count_if(reading.drones.begin(), reading.drones.end(), [](const auto& drone) {
        return drone.kind == DroneSet::Drone::Kind::Tenor;
    });
    if (tenorCount > 1 && reading.tenorBeat_Hz > 0.0f) {
        char beat[64];
        std::snprintf(beat, sizeof beat, "; the tenors beat %.2f times a second", static_cast<double>(reading.tenorBeat_Hz));
        text += beat;
    }
    return text;
}

std::string toPipeNotesJson(const TranscriptionResult& result, const std::string& source, float samplingFrequency_Hz,
                            const MetreEstimate* metre, const ScoreSettings* score)
{
    // The running tuning at the end: each note in Hz (the evaluation kit's
    // map, which a rendering reads back), and in cents against the standard
    // scale of its Low A, null for a note not heard.
    const TuningReading reading = TuningReading::of(result.tuning, result.melody, result.drones);
    QJsonObject tuning;
    QJsonObject tuningCents;
    for (const TuningReading::Note& note : reading.notes) {
        const QString name = QString::fromStdString(toString(note.name));
        tuning[name] = rounded(note.frequency_Hz, 1e3);
        tuningCents[name] = note.heard ? QJsonValue(rounded(note.cents, 1e2)) : QJsonValue();
    }
    QJsonArray drones;
    for (const TuningReading::Drone& drone : reading.drones) {
        QJsonObject object;
        object["drone"] = droneName(drone.kind);
        object["frequency_Hz"] = rounded(drone.frequency_Hz, 1e3);
        object["cents"] = rounded(drone.cents, 1e2);
        object["level_dBFS"] = rounded(drone.level_dBFS, 1e1);
        drones.append(object);
    }

    QJsonObject document;
    document["format"] = "pipe-notes/1";
    document["source"] = QString::fromStdString(source);
    document["sample_rate"] = static_cast<double>(samplingFrequency_Hz);
    document["lowA_Hz"] = rounded(result.lowA_Hz, 1e3);
    document["notes"] = noteArray(result.melody, false);
    document["gracing"] = noteArray(result.gracing, true);
    document["tuning"] = tuning;
    document["tuning_cents"] = tuningCents;
    document["drones"] = drones;
    document["tenor_beat_Hz"] = rounded(reading.tenorBeat_Hz, 1e3);
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
