#include "ScoreSettings.h"

#include "BmwWriter.h"
#include "InputBounds.h"
#include "MusicXmlWriter.h"
#include "PipeTuneQuantizer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int beatsPerBar(int numerator, int denominator)
{
    return denominator == 8 ? 2 : numerator;
}

int beatsPerBar(const ScoreSettings& settings)
{
    return beatsPerBar(settings.timeSigNumerator, settings.timeSigDenominator);
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

PipeTuneModel scoreModel(const NoteMap& melody, const NoteMap& gracing, const ScoreSettings& settings)
{
    PipeTuneQuantizer quantizer;
    quantizer.setTimeSignature(settings.timeSigNumerator, settings.timeSigDenominator);
    quantizer.setCrotchetDuration_s(
        getCrotchetDuration_s(settings.bpm, settings.timeSigNumerator, settings.timeSigDenominator));
    quantizer.setRounding(settings.rounding);
    quantizer.setBarsPerRow(settings.barsPerRow);
    if (settings.followedBeats) {
        NoteMap warpedMelody;
        NoteMap warpedGracing;
        warpToBeats(*settings.followedBeats, melody, gracing, warpedMelody, warpedGracing);
        quantizer.quantize(settings.timeShift_s, warpedMelody, warpedGracing);
    } else {
        quantizer.quantize(settings.timeShift_s, melody, gracing);
    }
    return quantizer.getModel();
}

std::string scoreBww(const NoteMap& melody, const NoteMap& gracing, const ScoreSettings& settings)
{
    return scoreBww(scoreModel(melody, gracing, settings), settings);
}

namespace {

// The score written by a writer that takes the tune's details.
template <typename Writer>
std::string writeScore(const PipeTuneModel& score, const ScoreSettings& settings)
{
    Writer writer;
    writer.setTuneName(settings.tuneName);
    writer.setTuneType(settings.tuneType);
    writer.setComposer(settings.composer);
    return writer.write(score);
}

} // namespace

std::string scoreBww(const PipeTuneModel& score, const ScoreSettings& settings)
{
    return writeScore<BmwWriter>(score, settings);
}

std::string scoreMusicXml(const PipeTuneModel& score, const ScoreSettings& settings)
{
    return writeScore<MusicXmlWriter>(score, settings);
}

MetreEstimate followPlayedMetre(const NoteMap& melody, const NoteMap& gracing, const AutomaticMetre& automatic,
                                ScoreSettings& settings)
{
    if (!automatic.bpm && !automatic.signature && !automatic.shift)
        return MetreEstimate();
    const MetreEstimate metre = estimateMetre(melody, gracing);
    if (!metre.valid)
        return metre;
    if (automatic.signature) {
        settings.timeSigNumerator = metre.numerator;
        settings.timeSigDenominator = metre.denominator;
    }
    if (automatic.bpm) {
        settings.bpm = static_cast<float>(bounds::kBpm.clamp(static_cast<double>(metre.bpm)));
        settings.followedBeats = metre;
    }
    // The first bar line on one of the score's own bar lines: its tempo and
    // time signature may be given rather than found.
    if (automatic.shift)
        settings.timeShift_s =
            barTimeShift_s(metre, settings.followedBeats.has_value(), settings.bpm, beatsPerBar(settings));
    return metre;
}

std::string describeScore(const MetreEstimate& heard, const ScoreSettings& settings, const NoteMap& melody)
{
    MetreEstimate used = heard;
    used.bpm = settings.bpm;
    used.numerator = settings.timeSigNumerator;
    used.denominator = settings.timeSigDenominator;
    used.pickUp_beats = 0.0f;
    const float beat_s = 60.0f / settings.bpm;
    if (!melody.empty() && beat_s > 0.0f) {
        const float first_s = melody.begin()->first;
        const float start_s = (settings.followedBeats ? warpedTime_s(*settings.followedBeats, first_s) : first_s)
                              + settings.timeShift_s;
        const float bar_s = static_cast<float>(beatsPerBar(settings)) * beat_s;
        // Less than a semiquaver off a bar line is on it.
        constexpr float kOnTheLine_beats = 0.125f;
        const float rest_beats = (bar_s - std::fmod(std::max(start_s, 0.0f), bar_s)) / beat_s;
        if (rest_beats > kOnTheLine_beats
            && rest_beats < static_cast<float>(beatsPerBar(settings)) - kOnTheLine_beats)
            used.pickUp_beats = rest_beats;
    }
    std::string text = describeMetre(used);
    if (!settings.followedBeats) {
        // Not followed, the tempo is the score's own; the range is what was
        // heard.
        char tempo[80];
        std::snprintf(tempo, sizeof tempo, "tempo %.0f bpm (heard %.0f-%.0f)", static_cast<double>(settings.bpm),
                      static_cast<double>(heard.bpmLow), static_cast<double>(heard.bpmHigh));
        text = tempo + text.substr(text.find(','));
    }
    return text;
}

std::size_t melodyNotesBeforeTheScore(const NoteMap& melody, const ScoreSettings& settings)
{
    return static_cast<std::size_t>(std::count_if(melody.begin(), melody.end(), [&settings](const auto& entry) {
        const float end_s = entry.second.getEnd_s();
        const float scoreEnd_s =
            (settings.followedBeats ? warpedTime_s(*settings.followedBeats, end_s) : end_s) + settings.timeShift_s;
        // As the quantizer's shift keeps a note: one that ends after 0.
        return !(scoreEnd_s > 0.0f);
    }));
}
