#pragma once

// Runs the transcription engine over a whole recording the way the
// application does, or in one shot, for the command-line tools.

#include "AudioFileReader.h"
#include "PipeNote.h"
#include "PipeTuning.h"

#include <functional>
#include <string>

enum class TranscriptionMode {
    // A ProgressiveVantor fed in blocks as the processing thread feeds it,
    // with one forced re-run after the last block.
    Progressive,
    // Vantor::transcribe over the whole recording at once.
    OneShot
};

enum class TuningSource {
    EstimatedLowA, // the standard tuning at a Low A estimated from the audio
    GivenLowA,     // the standard tuning at a given Low A
    Calibrated     // measured note frequencies
};

struct TranscriptionOptions {
    TranscriptionMode mode = TranscriptionMode::Progressive;
    // The application's defaults.
    float filterCorner_Hz = 2500.0f;
    float minimumVolume_normalized = 0.3f;
    float snacPeakThreshold = 0.97f;
    float minimumSnacPeak = 0.3f;
    float transcriptionInterval_s = 0.5f;
    unsigned int blockSize_B = 4096;

    TuningSource tuningSource = TuningSource::EstimatedLowA;
    float lowA_Hz = 0.0f;       // for GivenLowA
    PipeTuning calibratedTuning; // for Calibrated
};

struct TranscriptionResult {
    NoteMap melody;
    NoteMap gracing;
    PipeTuning tuning;        // the engine's tuning at the end
    PipeTuning reference;     // the tuning the transcription started from
    float lowA_Hz = 0.0f;     // its Low A
    float audio_s = 0.0f;
    float wall_s = 0.0f;
};

// Fraction of the recording analysed, 0..1.
using ProgressCallback = std::function<void(float)>;

TranscriptionResult transcribeRecording(const AudioData& audio, const TranscriptionOptions& options,
                                        const ProgressCallback& progress = nullptr);

// Reads "LG=420,LA=480,..." (any of LG LA B C D E F HG HA, Low A required)
// as a calibrated tuning.
bool parseTuning(const std::string& text, PipeTuning& tuning, std::string& error);
