#pragma once

// Runs the transcription engine over a whole recording: fed in blocks to a
// TranscriptionSession exactly as the application's processing thread feeds
// it while recording (with one forced re-run after the last block), or in
// one shot. Input is 16-bit mono PCM at its own rate; silence gives empty
// maps. Runs on the caller's thread; another thread may cancel it.

#include "ClickSuppressor.h"
#include "DroneSet.h"
#include "PipeNote.h"
#include "PipeTuning.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

enum class TranscriptionMode {
    // A TranscriptionSession fed in blocks as the processing thread feeds
    // it, with one forced re-run after the last block.
    Progressive,
    // Vantor::transcribe over the whole recording at once.
    OneShot
};

enum class TuningSource {
    EstimatedLowA, // the standard tuning at a Low A estimated from the whole recording
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
    // The closer look at gracings and short notes after the transcription
    // (SecondLook); off gives the transcription engine's output as it is.
    bool secondLook = true;
    // Whether drones and a room are found and taken out of what is transcribed.
    bool findDrones = true;
    // Threads the transcription may use: 0 all cores, 1 the calling thread
    // only. The result is the same whatever the count.
    unsigned int jobs = 0;

    TuningSource tuningSource = TuningSource::EstimatedLowA;
    float lowA_Hz = 0.0f;       // for GivenLowA
    PipeTuning calibratedTuning; // for Calibrated

    // A recording made to the metronome from speakers (progressive mode):
    // the click's sounds and, for each click played, where the recording
    // stood; they are taken out before anything else hears the samples.
    // None: the recording is heard as it is.
    struct Click {
        std::size_t position = 0;
        int sound = 0;
    };
    std::vector<ClickSuppressor::Sound> clickSounds;
    std::vector<Click> clicks;
};

struct TranscriptionResult {
    NoteMap melody;
    NoteMap gracing;
    PipeTuning tuning;        // the engine's tuning at the end
    PipeTuning reference;     // the tuning the transcription started from
    DroneSet drones;          // the drones heard (none when not looked for)
    float lowA_Hz = 0.0f;     // its Low A
    float audio_s = 0.0f;
    float wall_s = 0.0f;
    // Stopped before the end: the maps are empty.
    bool cancelled = false;
};

// Fraction of the recording analysed, 0..1.
using ProgressCallback = std::function<void(float)>;

// Raising cancel (from any thread) stops a progressive transcription at its
// next block, with a cancelled, empty result.
TranscriptionResult transcribeRecording(const std::vector<short>& samples, float samplingFrequency_Hz,
                                        const TranscriptionOptions& options,
                                        const ProgressCallback& progress = nullptr,
                                        const std::atomic<bool>* cancel = nullptr);
