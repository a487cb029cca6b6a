#pragma once

// Writes a transcription as a pipe-notes/1 JSON document (melody notes,
// gracing, the tuning as note name to Hz and in cents, the drones, timings)
// or as readable text, and says the drones in a piper's words.

#include "MetreEstimator.h"
#include "RecordingTranscriber.h"
#include "ScoreSettings.h"
#include "TuningReading.h"

#include <string>

// With metre (found from the recording), the tempo, metre and pick-up found
// and the score's settings are written too.
std::string toPipeNotesJson(const TranscriptionResult& result, const std::string& source, float samplingFrequency_Hz,
                            const MetreEstimate* metre = nullptr, const ScoreSettings* score = nullptr);
std::string toText(const TranscriptionResult& result);
// One line on the drones against the chanter's Low A, e.g. "drones against
// Low A 480.0 Hz: bass 119.93 Hz (1.0 cents flat), tenors 240.12 Hz (0.9
// cents sharp) and 239.70 Hz (2.2 cents flat); the tenors beat 0.42 times a
// second", or "no drones heard".
std::string describeDrones(const TuningReading& reading);
