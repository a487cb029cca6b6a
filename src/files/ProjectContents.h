#pragma once

// What a project file holds, as plain values: the recording (16-bit mono
// PCM at its rate), the tune details, tempo, time signature, time shift, the
// chanter calibration and where the recording came from. read and write are
// the one mapping between these values and NorlaFileVnt, shared by the
// command-line tool and the application's file actions. Failures come back
// as false with a message naming the file. Any thread, one call at a time.

#include "PipeTuning.h"
#include "ScoreEdit.h"
#include "ScoreSettings.h"

#include <QByteArray>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct ProjectContents {
    std::vector<short> samples;
    float samplingFrequency_Hz = 44100.0f;
    std::string tuneName = "Your Tune";
    std::string tuneType = "March";
    std::string composer = "Your Name";
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    float bpm = 72.0f;
    float timeShift_s = 0.0f;
    // The tuning the recording was transcribed with: the piper's calibration
    // (or a tuning given by hand, a Low A at least), or else the one
    // estimated from the recording itself. A file records which it holds;
    // one written before that, whose table is the uncalibrated default, holds
    // neither, and its Low A is estimated again.
    std::optional<PipeTuning> calibration;
    std::optional<PipeTuning> estimatedTuning;
    // Provenance of the recording; a writer stamps its own when these are
    // empty.
    int recordedAppVersion = 0;
    std::string recordedTime;
    std::string recordedInstallId;
    // The metronome's clicks the recording holds: the sample where each
    // sounded, and which sound (the beat's or the bar's). A recording made
    // to a click from speakers is transcribed with them taken out, when it
    // is made and whenever it is opened.
    struct Click {
        std::size_t position = 0;
        int sound = 0;
        bool operator==(const Click& other) const { return position == other.position && sound == other.sound; }
    };
    std::vector<Click> clicks;
    // The piper's corrections to the score quantised from the recording with
    // these settings, in the order made.
    std::vector<ScoreEdit> scoreEdits;
    // What read changed to make the file usable: score settings outside
    // their ranges are clamped (the time signature falls back to 4/4), a
    // calibration that no chanter could have is dropped.
    std::vector<std::string> warnings;

    // The tune's score settings: its details, tempo, time signature and time
    // shift, the rest (rounding, layout, no followed beats) at their
    // defaults. The setter stores the same parts and leaves the others.
    ScoreSettings scoreSettings() const;
    void setScoreSettings(const ScoreSettings& settings);

    // Refuses a file that is not a project, or whose sample rate is outside
    // 8000 to 192000 Hz.
    static bool read(const std::string& path, ProjectContents& contents, std::string& error);
    static bool fromBytes(const QByteArray& bytes, const std::string& name, ProjectContents& contents,
                          std::string& error);
    // Writes atomically: a failed write leaves an existing file untouched.
    // appVersion and installId name the program writing the file.
    bool write(const std::string& path, int appVersion, const std::string& installId, std::string& error) const;
};

// Samples as 16-bit little-endian PCM, the audio of project and WAVE files.
QByteArray pcmBytes(const std::vector<short>& samples);
// The recording as the bytes of a RIFF/WAVE file (PCM, mono, 16-bit): from
// its samples, or from its 16-bit little-endian PCM as recorded.
QByteArray waveFileBytes(const std::vector<short>& samples, float samplingFrequency_Hz);
QByteArray waveFileBytes(const QByteArray& pcm, float samplingFrequency_Hz);
