#include "ScoreOptions.h"

#include <cmath>
#include <cstdio>

#include "BmwWriter.h"
#include "PipeTuneQuantizer.h"

ScoreOptions scoreOptionsOf(const ProjectContents& project)
{
    ScoreOptions options;
    options.tuneName = project.tuneName;
    options.tuneType = project.tuneType;
    options.composer = project.composer;
    options.timeSigNumerator = project.timeSigNumerator;
    options.timeSigDenominator = project.timeSigDenominator;
    options.bpm = project.bpm;
    options.timeShift_s = project.timeShift_s;
    return options;
}

void applyScoreOptions(const ScoreOptions& options, ProjectContents& project)
{
    project.tuneName = options.tuneName;
    project.tuneType = options.tuneType;
    project.composer = options.composer;
    project.timeSigNumerator = options.timeSigNumerator;
    project.timeSigDenominator = options.timeSigDenominator;
    project.bpm = options.bpm;
    project.timeShift_s = options.timeShift_s;
}

bool parseTimeSignature(const std::string& text, int& numerator, int& denominator)
{
    for (TimeSignature signature : {FourFour, ThreeFour, TwoFour, CutCommon, SixEight}) {
        int n = 4;
        int d = 4;
        timeSignatureComponents(signature, n, d);
        if (text == std::to_string(n) + "/" + std::to_string(d)) {
            numerator = n;
            denominator = d;
            return true;
        }
    }
    return false;
}

PipeTuneModel quantizeScore(const TranscriptionResult& result, const ScoreOptions& options)
{
    PipeTuneQuantizer quantizer;
    quantizer.setTimeSignature(options.timeSigNumerator, options.timeSigDenominator);
    quantizer.setCrotchetDuration_s(
        getCrotchetDuration_s(options.bpm, options.timeSigNumerator, options.timeSigDenominator));
    quantizer.setRounding(options.rounding);
    quantizer.setBarsPerRow(options.barsPerRow);
    if (options.followedBeats) {
        NoteMap melody;
        NoteMap gracing;
        warpToBeats(*options.followedBeats, result.melody, result.gracing, melody, gracing);
        quantizer.quantize(options.timeShift_s, melody, gracing);
    } else {
        quantizer.quantize(options.timeShift_s, result.melody, result.gracing);
    }
    return quantizer.getModel();
}

std::string toBww(const TranscriptionResult& result, const ScoreOptions& options)
{
    BmwWriter writer;
    writer.setTuneName(options.tuneName);
    writer.setTuneType(options.tuneType);
    writer.setComposer(options.composer);
    return writer.write(quantizeScore(result, options));
}
