#pragma once

// Short chanter phrases written as text, rendered as audio and transcribed:
// "LA:400 LG D LG B:400" is Low A for 400 ms, a grip of three 25 ms
// gracenotes and B for 400 ms, on a chanter with Low A at 480 Hz; at 44.1
// kHz unless another rate is given (the harmonics above half of it left out).

#include "RecordingTranscriber.h"
#include "TestSignals.h"

#include <string>
#include <vector>

namespace phrases {

PipeTuning chanter();
std::vector<short> render(const std::string& text, float rate_Hz = testsignals::kRate_Hz);
// Transcribed on the chanter it was rendered for, with the volume gate at
// minimumVolume_normalized (0.3: the application's default).
TranscriptionResult transcribe(const std::vector<short>& pcm, TranscriptionMode mode, bool secondLook = true,
                               float rate_Hz = testsignals::kRate_Hz, float minimumVolume_normalized = 0.3f,
                               bool findDrones = true);
// Low A, a pause, B at volume_normalized, a pause, C.
std::vector<short> quietNoteInPauses(double volume_normalized);
// A set of pipes' drones as a microphone hears them: a weak fundamental and
// most of the power in harmonics 2 to 6; the bass two octaves and two
// tenors one octave under the chanter's Low A, each off it by the cents
// given, the tenors apart by their beat; all three together level_dB re the
// chanter's power while it sounds, from lead_s before it to its end.
struct Drones {
    float bassCents = -7.0f;
    float tenorCents = 5.0f;
    float tenorBeat_Hz = 0.4f;
    float level_dB = 0.0f;
    float lead_s = 1.0f;
};
std::vector<short> withDrones(const std::vector<short>& chanterPcm, const Drones& drones,
                              float rate_Hz = testsignals::kRate_Hz);
// The frequencies of those drones: bass, then the tenors high and low.
std::vector<float> droneFrequencies_Hz(const Drones& drones);
// The melody notes and gracings in time order, by name: "LA grp B".
std::string names(const TranscriptionResult& result);

} // namespace phrases
