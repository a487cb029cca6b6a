#pragma once

// Writes a transcription as a pipe-notes/1 JSON document (melody notes,
// gracing, the tuning as note name to Hz, timings) or as readable text.

#include "RecordingTranscriber.h"

#include <string>

std::string toPipeNotesJson(const TranscriptionResult& result, const std::string& source, float samplingFrequency_Hz);
std::string toText(const TranscriptionResult& result);
