#pragma once

// The drones heard under the chanter: the bass, two octaves below Low A,
// and the tenors, one octave below it, each with its frequency and level.
// Two tenors tuned a fraction of a hertz apart beat at the difference of
// their frequencies; tenorBeat_Hz is that rate, 0 for one tenor or none.
// Empty when no drones sound (or their finding is switched off).

#include <vector>

struct DroneSet
{
    struct Drone {
        enum class Kind { Bass, Tenor };
        Kind kind = Kind::Tenor;
        float frequency_Hz = 0.0f;
        // The drone's level over all its harmonics, dB re full scale.
        float level_dBFS = -120.0f;
    };

    std::vector<Drone> drones; // bass first, then the tenors from high to low
    float tenorBeat_Hz = 0.0f;

    bool empty() const { return drones.empty(); }
    bool operator==(const DroneSet& other) const;
    bool operator!=(const DroneSet& other) const { return !(*this == other); }
};
