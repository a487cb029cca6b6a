#include "ScoreOptions.h"

#include "BmwWriter.h"
#include "PipeTuneQuantizer.h"

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
    quantizer.quantize(options.timeShift_s, result.melody, result.gracing);
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
