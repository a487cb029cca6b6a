#include "ScoreOptions.h"

#include <algorithm>
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

int beatsPerBar(const ScoreOptions& options)
{
    return options.timeSigDenominator == 8 ? 2 : options.timeSigNumerator;
}

std::string describeScore(const MetreEstimate& heard, const ScoreOptions& options, const NoteMap& melody)
{
    MetreEstimate used = heard;
    used.bpm = options.bpm;
    used.numerator = options.timeSigNumerator;
    used.denominator = options.timeSigDenominator;
    used.pickUp_beats = 0.0f;
    const float beat_s = 60.0f / options.bpm;
    if (!melody.empty() && beat_s > 0.0f) {
        const float first_s = melody.begin()->first;
        const float start_s = (options.followedBeats ? warpedTime_s(*options.followedBeats, first_s) : first_s)
                              + options.timeShift_s;
        const float bar_s = static_cast<float>(beatsPerBar(options)) * beat_s;
        // Less than a semiquaver off a bar line is on it.
        constexpr float kOnTheLine_beats = 0.125f;
        const float rest_beats = (bar_s - std::fmod(std::max(start_s, 0.0f), bar_s)) / beat_s;
        if (rest_beats > kOnTheLine_beats && rest_beats < static_cast<float>(beatsPerBar(options)) - kOnTheLine_beats)
            used.pickUp_beats = rest_beats;
    }
    std::string text = describeMetre(used);
    if (!options.followedBeats) {
        // Not followed, the tempo is the score's own; the range is what was
        // heard.
        char tempo[80];
        std::snprintf(tempo, sizeof tempo, "tempo %.0f bpm (heard %.0f-%.0f)", static_cast<double>(options.bpm),
                      static_cast<double>(heard.bpmLow), static_cast<double>(heard.bpmHigh));
        text = tempo + text.substr(text.find(','));
    }
    return text;
}

std::size_t melodyNotesBeforeTheScore(const NoteMap& melody, const ScoreOptions& options)
{
    return static_cast<std::size_t>(std::count_if(melody.begin(), melody.end(), [&options](const auto& entry) {
        const float end_s = entry.second.getEnd_s();
        const float scoreEnd_s =
            (options.followedBeats ? warpedTime_s(*options.followedBeats, end_s) : end_s) + options.timeShift_s;
        // As the quantizer's shift keeps a note: one that ends after 0.
        return !(scoreEnd_s > 0.0f);
    }));
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
