#pragma once

// Writes a transcription as a pipe-notes/1 JSON document (melody notes,
// gracing, the tuning as note name to Hz, timings) or as readable text.

#include "MetreEstimator.h"
#include "RecordingTranscriber.h"
#include "ScoreSettings.h"

#include <string>

// With metre (found from the recording), the tempo, metre and pick-up found
// and the score's settings are written too.
std::string toPipeNotesJson(const TranscriptionResult& result, const std::string& source, float samplingFrequency_Hz,
                            const MetreEstimate* metre = nullptr, const ScoreSettings* score = nullptr);
std::string toText(const TranscriptionResult& result);
