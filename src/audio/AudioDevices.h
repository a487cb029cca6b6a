#pragma once

// The audio input devices Vantor offers: the system's, and a recording
// played in as an input ("File input: NAME") when one is given with
// --input-file or VANTOR_INPUT_FILE, or when the system has no input at all.
// The file is a value handed to whoever lists or opens inputs.

#include "AudioInputBackend.h"
#include "AudioOutputBackend.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace audioDevices {

constexpr const char* kInputFileVariable = "VANTOR_INPUT_FILE";

// A recording played in as an input. Chosen (--input-file, the environment,
// tests), it is the input whatever device is stored; one given only because
// the system has no input stands in when nothing else is there. speed > 1
// plays it faster than real time and periodSamples sets how much each
// delivery holds (tests). An empty path: no file input.
struct InputFile {
    QString path;
    double speed = 1.0;
    int periodSamples = 2048;
    bool chosen = true;

    bool isSet() const { return !path.isEmpty(); }
    // "File input: NAME", empty without a file.
    QString name() const;
};

// Why path cannot be played by the file input ("does not exist", "is a
// folder, not a recording", "cannot be read"), or empty when it can be
// opened.
QString inputFileProblem(const QString& path);

// Every input device name, the system's first, then the file's.
QStringList inputNames(const InputFile& file);
// The device to use for name: a chosen file input, else the named device if
// it exists, else the system default input, else the file input. Empty when
// there is none at all.
QString chooseInput(const QString& name, const InputFile& file);

// The sample rates the named input offers, ascending: a file input's is its
// recording's rate. Empty for an unknown name.
QList<int> inputSampleRates(const QString& name, const InputFile& file);

// Opens the named input for format; null with the reason in error.
std::unique_ptr<AudioInputBackend> openInput(const QString& name, const QAudioFormat& format, const InputFile& file,
                                             QString& error);

// The output that plays nowhere, at real-time pace.
constexpr const char* kSilentOutputName = "Silent output";
// Every output device name, the system's first, "Silent output" last.
QStringList outputNames();
// The output to use for name: the named one if it exists, else the first.
QString chooseOutput(const QString& name);
// Plays at speed times real time when silent (tests); 1 by default.
void setSilentOutputSpeed(double speed);
// Opens the named output for format: a system device that supports it, or
// the silent output when it is named or the system has no output at all;
// null with the reason in error otherwise.
std::unique_ptr<AudioOutputBackend> openOutput(const QString& name, const QAudioFormat& format, QString& error);

} // namespace audioDevices
