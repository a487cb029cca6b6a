#include "Phrases.h"

#include "TestSignals.h"
#include "VantorUtils.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>
#include <stdexcept>

namespace phrases {

namespace {

constexpr float kGracenote_s = 0.025f;

PipeNoteName melodyNoteNamed(const std::string& name)
{
    for (int value = LG; value <= HA; ++value)
        if (toString(static_cast<PipeNoteName>(value)) == name)
            return static_cast<PipeNoteName>(value);
    throw std::invalid_argument("not a chanter note: " + name);
}

// The phrase scaled to the pitch finder's volume volume_normalized (0..1:
// 1 + the dB of its power over full scale's / 120).
std::vector<short> atVolume(std::vector<short> pcm, double volume_normalized)
{
    const double power = std::inner_product(pcm.begin(), pcm.end(), pcm.begin(), 0.0) / static_cast<double>(pcm.size());
    const double wanted = std::pow(10.0, 6.0 * (volume_normalized - 1.0)) * 32768.0 * 32768.0;
    const double gain = std::sqrt(wanted / power);
    std::transform(pcm.begin(), pcm.end(), pcm.begin(), [&](short s) { return static_cast<short>(s * gain); });
    return pcm;
}

} // namespace

PipeTuning chanter()
{
    return testsignals::tuningAt(480.0f);
}

std::vector<short> render(const std::string& text, float rate_Hz)
{
    std::vector<synth::Segment> segments;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t colon = word.find(':');
        const PipeNoteName note = melodyNoteNamed(word.substr(0, colon));
        const float duration_s = colon == std::string::npos ? kGracenote_s : std::stof(word.substr(colon + 1)) / 1000.0f;
        const auto reference = PipeTuning::noteIndexToReferenceNote(melodyNoteOrdinalValue(note));
        segments.push_back({chanter().getReferenceNoteCentreFrequency_Hz(reference), duration_s});
    }
    // Harmonics of High A above half the rate would fold back as tones of their own.
    std::vector<float> harmonics = synth::chanterHarmonics();
    const float highA_Hz = chanter().getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA);
    harmonics.resize(std::min(harmonics.size(), static_cast<std::size_t>(0.5f * rate_Hz / highA_Hz)));
    return testsignals::pcm(synth::renderSegments(segments, rate_Hz, harmonics, 0.5f));
}

std::vector<float> droneFrequencies_Hz(const Drones& drones)
{
    return synth::droneFrequencies_Hz(chanter().lowA_Hz(), {drones.bassCents, drones.tenorCents, drones.tenorBeat_Hz});
}

std::vector<short> withDrones(const std::vector<short>& chanterPcm, const Drones& drones, float rate_Hz)
{
    double power = 0.0;
    std::size_t sounding = 0;
    for (short sample : chanterPcm)
        if (sample != 0) {
            power += static_cast<double>(sample) * sample;
            ++sounding;
        }
    const double rms = sounding > 0 ? std::sqrt(power / static_cast<double>(sounding)) : 8000.0;
    const std::size_t lead = static_cast<std::size_t>(drones.lead_s * rate_Hz);
    std::vector<float> out = synth::drones(chanter().lowA_Hz(), {drones.bassCents, drones.tenorCents, drones.tenorBeat_Hz},
                                           lead + chanterPcm.size(), rate_Hz,
                                           static_cast<float>(rms * std::pow(10.0, drones.level_dB / 20.0)));
    std::vector<short> pcm(out.size());
    for (std::size_t n = 0; n < out.size(); ++n) {
        const float sum = out[n] + (n >= lead ? chanterPcm[n - lead] : 0.0f);
        pcm[n] = static_cast<short>(std::lround(std::clamp(sum, -32768.0f, 32767.0f)));
    }
    return pcm;
}

std::vector<short> quietNoteInPauses(double volume_normalized)
{
    const std::vector<short> pause(static_cast<std::size_t>(0.2f * testsignals::kRate_Hz), 0);
    std::vector<short> pcm = render("LA:400");
    for (const std::vector<short>& part : {pause, atVolume(render("B:400"), volume_normalized), pause, render("C:400")})
        pcm.insert(pcm.end(), part.begin(), part.end());
    return pcm;
}

TranscriptionResult transcribe(const std::vector<short>& pcm, TranscriptionMode mode, bool secondLook, float rate_Hz,
                               float minimumVolume_normalized, bool findDrones)
{
    TranscriptionOptions options;
    options.mode = mode;
    options.tuningSource = TuningSource::Calibrated;
    options.calibratedTuning = chanter();
    options.secondLook = secondLook;
    options.minimumVolume_normalized = minimumVolume_normalized;
    options.findDrones = findDrones;
    return transcribeRecording(pcm, rate_Hz, options);
}

std::string names(const TranscriptionResult& result)
{
    std::string text;
    for (const PipeNote& note : combineMelodyAndGraceNotes(result.melody, result.gracing))
        text += (text.empty() ? "" : " ") + toString(note.noteName());
    return text;
}

} // namespace phrases
