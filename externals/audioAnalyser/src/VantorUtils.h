#pragma once

// Free helpers of the transcription: a time range, the one-pass estimate of
// a whole recording's tuning and the average of the non-zero values of a
// stretch of a per-window series. Pure functions; safe on any thread.

#include "PipeTuning.h"
#include "PitchFinder.h"

class PipeSnacPeakPicker;

#include <utility>
#include <vector>

// Start and end in seconds.
using TimeRange = std::pair<float, float>;

// The pitch finder's processing for chanter audio under tuning: the period
// search limited to 0.9 x Low G .. 1.1 x High A.
PitchFinder::ProcessingParams chanterProcessingParams(const PipeTuning& tuning);

// Hands finder's peak picking to picker and enables it. picker must outlive
// every analysis finder runs.
void bindPeakPicker(PitchFinder& finder, PipeSnacPeakPicker& picker);

// Analyses consecutive, non-overlapping windows of the recording (the last
// whole window is left out) and estimates the tuning from them, starting
// from the standard tuning at lowA_Hz. A recording shorter than two windows
// gives that standard tuning.
PipeTuning calculateTuningFromData(const short* samples, unsigned int sampleCount, float samplingFrequency_Hz,
                                   int windowSize, float lowA_Hz, float minimumVolume);

// Estimates the tuning from per-window frequencies, SNAC qualities and
// volumes: each note's frequency is the mean of its accepted windows.
// Series of different sizes give the standard tuning at lowA_Hz.
PipeTuning calculateTuningFromFrequencies(float lowA_Hz, float minimumVolume, const std::vector<float>& frequencies,
                                          const std::vector<float>& qualities, const std::vector<float>& volumes);

// Mean of the non-zero values among values[start .. start + count - 1] when
// more than count x minimumFraction of them are non-zero; else 0.
float calcWindowAverage(const std::vector<float>& values, int start, int count, float minimumFraction);
