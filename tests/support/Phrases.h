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
                               float rate_Hz = testsignals::kRate_Hz, float minimumVolume_normalized = 0.3f);
// Low A, a pause, B at volume_normalized, a pause, C.
std::vector<short> quietNoteInPauses(double volume_normalized);
// The melody notes and gracings in time order, by name: "LA grp B".
std::string names(const TranscriptionResult& result);

} // namespace phrases
