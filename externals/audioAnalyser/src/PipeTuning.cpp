#include "PipeTuning.h"

#include "utils.h"

#include <array>
#include <cmath>

namespace {

constexpr float kDefaultLowA_Hz = 440.0f;

// 69 + 12 log2(f / 440) = log10(f) x kNotesPerDecade - kNoteOffset.
constexpr double kNotesPerDecade = 39.86313713864835;
constexpr double kNoteOffset = 36.37631656229591;

// Note-number windows (exclusive) of the drones and of the chanter's
// compass, Low A being 69.
constexpr double kBassLow = 39.0, kBassHigh = 51.0;
constexpr double kTenorLow = 51.0, kTenorHigh = 63.0;
constexpr double kChanterLow = 66.0, kChanterHigh = 83.0;

constexpr std::array<const char*, 12> kReferenceNoteTexts = {
    "Unknown", "Bass", "Tenor", "Low G", "Low A", "B", "C", "D", "E", "F", "High G", "High A"};

bool isMelodyReferenceNote(PipeTuning::ReferenceNote note)
{
    return note >= PipeTuning::LowG && note <= PipeTuning::HighA;
}

} // namespace

const std::vector<double>& PipeTuning::standardRatios()
{
    static const std::vector<double> ratios = {7.0 / 8.0, 1.0, 9.0 / 8.0, 5.0 / 4.0, 4.0 / 3.0,
                                               3.0 / 2.0, 5.0 / 3.0, 7.0 / 4.0, 2.0};
    return ratios;
}

PipeTuning::PipeTuning()
    : mNoteRatios(standardRatios())
{
}

float PipeTuning::effectiveLowA_Hz() const
{
    return mLowA_Hz == 0.0f ? kDefaultLowA_Hz : mLowA_Hz;
}

void PipeTuning::setTuningScheme(TuningScheme scheme, std::map<ReferenceNote, float> referenceFrequencies_Hz)
{
    mTuningScheme = scheme;
    if (scheme == Standard) {
        mNoteRatios = standardRatios();
        return;
    }
    if (scheme != Calibrated)
        return;

    std::vector<double> working = standardRatios();
    const auto lowA = referenceFrequencies_Hz.find(LowA);
    if (lowA != referenceFrequencies_Hz.end() && lowA->second != 0.0f)
        mLowA_Hz = lowA->second;
    // An unset Low A stands for 440 Hz here as everywhere else, rather than
    // turning every ratio into infinity.
    const float divisor_Hz = effectiveLowA_Hz();
    for (const auto& [note, frequency_Hz] : referenceFrequencies_Hz) {
        if (frequency_Hz == 0.0f || note == LowA || !isMelodyReferenceNote(note))
            continue;
        working[static_cast<std::size_t>(note - LowG)] = static_cast<double>(frequency_Hz / divisor_Hz);
    }
    mNoteRatios = working;
}

PipeTuning::ReferenceNote PipeTuning::note(float frequency_Hz) const
{
    // No pitch (0), or none a note can have: its logarithm is no number.
    if (!(frequency_Hz > 0.0f))
        return Unknown;
    const float lowA_Hz = effectiveLowA_Hz();
    const float toA440 = kDefaultLowA_Hz / lowA_Hz;
    const double m = std::log10(static_cast<double>(frequency_Hz) * toA440) * kNotesPerDecade - kNoteOffset;
    if (m > kBassLow && m < kBassHigh)
        return Bass;
    if (m > kTenorLow && m < kTenorHigh)
        return Tenor;
    if (m > kChanterLow && m < kChanterHigh) {
        const double ratio = static_cast<double>(frequency_Hz / lowA_Hz);
        // The nearer neighbour by the arithmetic midpoint of the ratios; a
        // ratio exactly at the midpoint goes to the upper note.
        std::size_t index = 0;
        while (index < 8 && !(mNoteRatios[index] + (mNoteRatios[index + 1] - mNoteRatios[index]) * 0.5 > ratio))
            ++index;
        return static_cast<ReferenceNote>(LowG + static_cast<int>(index));
    }
    return Unknown;
}

PipeTuning::ReferenceNote PipeTuning::calculate(float frequency_Hz, float& centre_Hz, float& cents)
{
    centre_Hz = 0.0f;
    cents = 0.0f;
    const ReferenceNote found = note(frequency_Hz);
    const float lowA_Hz = effectiveLowA_Hz();
    if (found == Bass)
        centre_Hz = lowA_Hz * 0.25f;
    else if (found == Tenor)
        centre_Hz = lowA_Hz * 0.5f;
    else if (isMelodyReferenceNote(found))
        centre_Hz = static_cast<float>(lowA_Hz * mNoteRatios[static_cast<std::size_t>(found - LowG)]);
    else
        return Unknown;
    cents = utils::freqRatioToCents(centre_Hz, frequency_Hz);
    return found;
}

float PipeTuning::getReferenceNoteCentreFrequency_Hz(ReferenceNote note) const
{
    if (!isMelodyReferenceNote(note))
        return 0.0f;
    const double divisor = mLowA_Hz == 0.0f ? 1.0 : static_cast<double>(kDefaultLowA_Hz / mLowA_Hz);
    return static_cast<float>(mNoteRatios[static_cast<std::size_t>(note - LowG)] * 440.0 / divisor);
}

std::map<PipeTuning::ReferenceNote, float> PipeTuning::getNoteCentreFrequencies() const
{
    std::map<ReferenceNote, float> centres;
    for (int index = 0; index < kMelodyNoteCount; ++index) {
        const ReferenceNote note = noteIndexToReferenceNote(index);
        centres[note] = getReferenceNoteCentreFrequency_Hz(note);
    }
    return centres;
}

int PipeTuning::referenceNoteToNoteIndex(ReferenceNote note)
{
    return isMelodyReferenceNote(note) ? note - LowG : -1;
}

PipeTuning::ReferenceNote PipeTuning::noteIndexToReferenceNote(int index)
{
    return index >= 0 && index < kMelodyNoteCount ? static_cast<ReferenceNote>(index + LowG) : Unknown;
}

bool PipeTuning::operator==(const PipeTuning& other) const
{
    return mTuningScheme == other.mTuningScheme && mNoteRatios == other.mNoteRatios && mLowA_Hz == other.mLowA_Hz;
}

int meoldyNoteToOrdinal(PipeTuning::ReferenceNote note)
{
    return PipeTuning::referenceNoteToNoteIndex(note);
}

PipeTuning::ReferenceNote ordinalToReferenceMelodyNote(int ordinal)
{
    return PipeTuning::noteIndexToReferenceNote(ordinal);
}

PipeNoteName referenceNoteToNoteName(PipeTuning::ReferenceNote note)
{
    return isMelodyReferenceNote(note) ? static_cast<PipeNoteName>(note - PipeTuning::LowG + LG) : Unknown;
}

PipeTuning::ReferenceNote noteNameToReferenceNote(PipeNoteName name)
{
    return isMelodyNote(name) ? static_cast<PipeTuning::ReferenceNote>(name - LG + PipeTuning::LowG)
                              : PipeTuning::Unknown;
}

std::string toString(PipeTuning::ReferenceNote note)
{
    const int value = static_cast<int>(note);
    return value >= 0 && value < static_cast<int>(kReferenceNoteTexts.size())
               ? kReferenceNoteTexts[static_cast<std::size_t>(value)]
               : kReferenceNoteTexts[0];
}

std::ostream& operator<<(std::ostream& stream, PipeTuning::ReferenceNote note)
{
    return stream << toString(note);
}

std::string toString(const std::map<PipeTuning::ReferenceNote, float>& frequencies_Hz)
{
    std::string text;
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
        const auto entry = frequencies_Hz.find(note);
        text += toString(note) + ": ";
        text += entry == frequencies_Hz.end() ? std::string("Not present") : std::to_string(entry->second);
        text += " ";
    }
    return text;
}

std::ostream& operator<<(std::ostream& stream, const PipeTuning& tuning)
{
    return stream << "PipeTuning{scheme " << static_cast<int>(tuning.tuningScheme()) << ", " << toString(tuning.getNoteCentreFrequencies()) << "}";
}
