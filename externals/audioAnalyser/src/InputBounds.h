#pragma once

// The ranges every value from outside (command line, project file, settings)
// is held to before it reaches the engine, the quantizer or a renderer. The
// application's widgets use the same ranges: BPM 20..200, time shift
// -100..100 s. Plain constants; any thread.

#include "PipeTuning.h"

#include <cmath>
#include <string>

namespace bounds {

struct Range {
    double minimum;
    double maximum;
    // False for NaN.
    bool contains(double value) const { return value >= minimum && value <= maximum; }
    double clamp(double value) const { return std::isnan(value) ? minimum : std::fmin(std::fmax(value, minimum), maximum); }
    // "20 to 200", for messages.
    std::string text() const;
};

inline constexpr Range kBpm{20.0, 200.0};
inline constexpr Range kTimeShift_s{-100.0, 100.0};
inline constexpr Range kBarsPerRow{1.0, 16.0};
inline constexpr Range kSecondsPerRow_s{1.0, 60.0};
inline constexpr Range kLowA_Hz{300.0, 700.0};
inline constexpr Range kSamplingFrequency_Hz{8000.0, 192000.0};
inline constexpr Range kVolume_normalized{0.0, 1.0};
inline constexpr Range kSnacLevel{0.0, 1.0};
inline constexpr Range kFilterCorner_Hz{0.0, 20000.0};

// One of the five time signatures the score offers (4/4, 3/4, 2/4, 2/2, 6/8).
bool isOfferedTimeSignature(int numerator, int denominator);

// The frequencies a calibrated note may have for a chanter of this Low A:
// from a tenth below its standard Low G to a tenth above its standard High A.
Range chanterCompass_Hz(float lowA_Hz);

// Whether a tuning's Low A is in kLowA_Hz and every note lies in its
// compass; why not in reason.
bool isPlayableTuning(const PipeTuning& tuning, std::string& reason);

} // namespace bounds
