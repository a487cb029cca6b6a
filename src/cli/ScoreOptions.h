#pragma once

// What turns a transcription into a score and a project: tempo, time
// signature, time shift, rounding, layout and the tune details, with the
// application's defaults.

#include "AudioFileReader.h"
#include "PipeTuneModel.h"
#include "PipeTuning.h"
#include "TranscriptionRunner.h"

#include <QByteArray>

#include <string>

struct ScoreOptions {
    float bpm = 72.0f;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    float timeShift_s = 0.0f;
    bool rounding = false;
    int barsPerRow = 4;
    std::string tuneName = "Your Tune";
    std::string tuneType = "March";
    std::string composer = "Your Name";
};

// "4/4", "3/4", "2/4", "2/2" or "6/8".
bool parseTimeSignature(const std::string& text, int& numerator, int& denominator);

// The transcription quantised into a score with the options.
PipeTuneModel quantizeScore(const TranscriptionResult& result, const ScoreOptions& options);

// The transcription quantised and written as BWW text.
std::string toBww(const TranscriptionResult& result, const ScoreOptions& options);

// Audio as raw 16-bit little-endian PCM, and back.
QByteArray toPcmBytes(const std::vector<short>& samples);
std::vector<short> fromPcmBytes(const QByteArray& bytes);

// The recording as a project file; its calibration is tuning's note centres.
bool saveProject(const std::string& path, const AudioData& audio, const ScoreOptions& options,
                 const PipeTuning& tuning, std::string& error);
// Reads a project file: its audio, tune details, tempo, time signature, time
// shift, and its calibration (a tuning with calibrated set when it has one).
bool openProject(const std::string& path, AudioData& audio, ScoreOptions& options, PipeTuning& tuning,
                 bool& calibrated, std::string& error);

// RIFF/WAVE bytes of the recording.
QByteArray toWave(const AudioData& audio);
