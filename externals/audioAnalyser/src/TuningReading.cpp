#include "TuningReading.h"

#include "utils.h"

#include <algorithm>

namespace {

// The drones sound two octaves (bass) and one octave (tenor) below Low A.
constexpr float kBassBelowLowA = 0.25f;
constexpr float kTenorBelowLowA = 0.5f;

} // namespace

float centsAgainstStandardScale(const PipeTuning& tuning, PipeTuning::ReferenceNote note)
{
    const int index = PipeTuning::referenceNoteToNoteIndex(note);
    if (index < 0)
        return 0.0f;
    const float lowA_Hz = tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    const float standard_Hz = static_cast<float>(PipeTuning::standardRatios()[static_cast<std::size_t>(index)] * lowA_Hz);
    return utils::freqRatioToCents(standard_Hz, tuning.getReferenceNoteCentreFrequency_Hz(note));
}

float TuningReading::droneTarget_Hz(DroneSet::Drone::Kind kind, float lowA_Hz)
{
    return lowA_Hz * (kind == DroneSet::Drone::Kind::Bass ? kBassBelowLowA : kTenorBelowLowA);
}

float droneCents(DroneSet::Drone::Kind kind, float frequency_Hz, float lowA_Hz)
{
    const float target_Hz = TuningReading::droneTarget_Hz(kind, lowA_Hz);
    if (!(target_Hz > 0.0f) || !(frequency_Hz > 0.0f))
        return 0.0f;
    return utils::freqRatioToCents(target_Hz, frequency_Hz);
}

TuningReading TuningReading::of(const PipeTuning& tuning, const NoteMap& melody, const DroneSet& drones)
{
    TuningReading reading;
    reading.lowA_Hz = tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        Note& note = reading.notes[static_cast<std::size_t>(index)];
        note.note = PipeTuning::noteIndexToReferenceNote(index);
        note.name = referenceNoteToNoteName(note.note);
        note.frequency_Hz = tuning.getReferenceNoteCentreFrequency_Hz(note.note);
        note.cents = centsAgainstStandardScale(tuning, note.note);
        note.heard = std::any_of(melody.begin(), melody.end(),
                                 [&](const auto& entry) { return entry.second.noteName() == note.name; });
    }
    for (const DroneSet::Drone& drone : drones.drones)
        reading.drones.push_back(
            {drone.kind, drone.frequency_Hz, droneCents(drone.kind, drone.frequency_Hz, reading.lowA_Hz), drone.level_dBFS});
    reading.tenorBeat_Hz = drones.tenorBeat_Hz;
    return reading;
}
