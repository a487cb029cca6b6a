#include "InputBounds.h"

#include "PipeTuneModel.h"

#include <sstream>

namespace bounds {

namespace {

// The compass reaches a tenth beyond Low G and High A, as the pitch search does.
constexpr double kBelowLowG = 0.9;
constexpr double kAboveHighA = 1.1;

} // namespace

std::string Range::text() const
{
    std::ostringstream out;
    out << minimum << " to " << maximum;
    return out.str();
}

bool isOfferedTimeSignature(int numerator, int denominator)
{
    for (TimeSignature signature : {FourFour, ThreeFour, TwoFour, CutCommon, SixEight}) {
        int n = 0;
        int d = 0;
        timeSignatureComponents(signature, n, d);
        if (n == numerator && d == denominator)
            return true;
    }
    return false;
}

Range chanterCompass_Hz(float lowA_Hz)
{
    PipeTuning standard;
    standard.setLowA_Hz(lowA_Hz);
    return {kBelowLowG * standard.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowG),
            kAboveHighA * standard.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA)};
}

bool isPlayableTuning(const PipeTuning& tuning, std::string& reason)
{
    const float lowA_Hz = tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    if (!kLowA_Hz.contains(lowA_Hz)) {
        std::ostringstream out;
        out << "a Low A of " << lowA_Hz << " Hz is outside " << kLowA_Hz.text() << " Hz";
        reason = out.str();
        return false;
    }
    const Range compass = chanterCompass_Hz(lowA_Hz);
    for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies()) {
        if (!compass.contains(centre_Hz)) {
            std::ostringstream out;
            out << toString(note) << " at " << centre_Hz << " Hz is outside the compass of a chanter with that Low A ("
                << compass.text() << " Hz)";
            reason = out.str();
            return false;
        }
    }
    return true;
}

} // namespace bounds
