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

std::string describeMetre(const MetreEstimate& metre)
{
    char text[160];
    std::snprintf(text, sizeof text, "tempo %.0f bpm (%.0f-%.0f), %d/%d", static_cast<double>(metre.bpm),
                  static_cast<double>(metre.bpmLow), static_cast<double>(metre.bpmHigh), metre.numerator,
                  metre.denominator);
    std::string description = text;
    if (metre.pickUp_beats > 0.0f) {
        // In the beat's own quavers: two to a crotchet, three to a dotted crotchet.
        const int quavers = static_cast<int>(std::lround(metre.pickUp_beats * (metre.denominator == 8 ? 3.0f : 2.0f)));
        description += ", pick-up " + std::to_string(std::max(quavers, 1)) + (quavers > 1 ? " quavers" : " quaver");
    } else {
        description += ", no pick-up";
    }
    return description;
}
