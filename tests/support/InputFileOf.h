#pragma once

// The file-backed input playing a recording: the samples written as a WAVE
// file at 44.1 kHz to path, played in speed times faster than real time,
// periodSamples a delivery. No sound card is needed.

#include "AudioDevices.h"
#include "ProjectContents.h"

#include <QFile>
#include <gtest/gtest.h>

#include <vector>

inline audioDevices::InputFile inputFileOf(const QString& path, const std::vector<short>& samples, double speed,
                                           int periodSamples)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(waveFileBytes(samples, 44100.0f));
    return {path, speed, periodSamples};
}
