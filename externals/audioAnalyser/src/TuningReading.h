#pragma once

// A piper's tuning meter in numbers: each of the nine chanter notes of a
// tuning (the engine's running estimate) in cents against the standard scale
// of that tuning's own Low A, and each drone in cents against the note it
// is tuned to, the bass two octaves and a tenor one octave below Low A.
// Cents are positive when sharp. A note is heard when the melody has it;
// one not heard keeps its place with heard false (its number then says
// nothing of the chanter). No drones give an empty list. A Low A of 0 is
// read as 440 Hz, as PipeTuning reads it. Pure functions of their arguments;
// safe on any thread.

#include "DroneSet.h"
#include "PipeNote.h"
#include "PipeTuning.h"

#include <array>
#include <vector>

struct TuningReading {
    struct Note {
        PipeTuning::ReferenceNote note = PipeTuning::Unknown;
        PipeNoteName name = PipeNoteName::Unknown; // LG .. HA
        float frequency_Hz = 0.0f;
        float cents = 0.0f;
        bool heard = false;
    };
    struct Drone {
        DroneSet::Drone::Kind kind = DroneSet::Drone::Kind::Tenor;
        float frequency_Hz = 0.0f;
        float cents = 0.0f;
        float level_dBFS = -120.0f;
    };

    float lowA_Hz = 0.0f;
    std::array<Note, PipeTuning::kMelodyNoteCount> notes; // Low G .. High A
    std::vector<Drone> drones;                            // as in the DroneSet: bass, then tenors
    float tenorBeat_Hz = 0.0f;

    static TuningReading of(const PipeTuning& tuning, const NoteMap& melody, const DroneSet& drones);
    // Where a drone of kind sits in tune with lowA_Hz.
    static float droneTarget_Hz(DroneSet::Drone::Kind kind, float lowA_Hz);
};

// Cents of the note's frequency in tuning against its standard ratio times
// the tuning's Low A; 0 for anything but the nine chanter notes.
float centsAgainstStandardScale(const PipeTuning& tuning, PipeTuning::ReferenceNote note);
// Cents of a drone at frequency_Hz against where it sits in tune with lowA_Hz.
float droneCents(DroneSet::Drone::Kind kind, float frequency_Hz, float lowA_Hz);
