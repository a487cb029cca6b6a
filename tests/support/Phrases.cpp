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
    const float lowA_Hz = chanter().lowA_Hz();
    const float tenor_Hz = lowA_Hz / 2.0f * std::pow(2.0f, drones.tenorCents / 1200.0f);
    return {lowA_Hz / 4.0f * std::pow(2.0f, drones.bassCents / 1200.0f), tenor_Hz + drones.tenorBeat_Hz / 2.0f,
            tenor_Hz - drones.tenorBeat_Hz / 2.0f};
}

std::vector<short> withDrones(const std::vector<short>& chanterPcm, const Drones& drones, float rate_Hz)
{
    // Harmonic levels in dB from the fundamental on; 3 dB less for each
    // further harmonic up to 40 dB down.
    std::vector<float> levels_dB = {-12.0f, -3.0f, 0.0f, -1.0f, -4.0f, -7.0f, -10.0f};
    while (levels_dB.back() > -40.0f)
        levels_dB.push_back(levels_dB.back() - 3.0f);
    const std::vector<float> frequencies_Hz = droneFrequencies_Hz(drones);
    const float shares[] = {0.4f, 0.3f, 0.3f};
    const std::size_t lead = static_cast<std::size_t>(drones.lead_s * rate_Hz);
    const std::size_t count = lead + chanterPcm.size();
    double chanterPower = 0.0;
    std::size_t sounding = 0;
    for (short sample : chanterPcm)
        if (sample != 0) {
            chanterPower += static_cast<double>(sample) * sample;
            ++sounding;
        }
    const double chanterRms = sounding > 0 ? std::sqrt(chanterPower / static_cast<double>(sounding)) : 8000.0;
    std::vector<double> out(count, 0.0);
    for (std::size_t n = 0; n < chanterPcm.size(); ++n)
        out[lead + n] = chanterPcm[n];
    for (std::size_t d = 0; d < 3; ++d) {
        double harmonicPower = 0.0;
        for (std::size_t h = 0; h < levels_dB.size(); ++h)
            if (static_cast<float>(h + 1) * frequencies_Hz[d] < 0.45f * rate_Hz)
                harmonicPower += 0.5 * std::pow(10.0, levels_dB[h] / 10.0);
        const double scale = chanterRms * std::pow(10.0, drones.level_dB / 20.0) * std::sqrt(shares[d] / harmonicPower);
        for (std::size_t h = 0; h < levels_dB.size(); ++h) {
            const double frequency_Hz = static_cast<double>(h + 1) * frequencies_Hz[d];
            if (frequency_Hz >= 0.45 * rate_Hz)
                break;
            const double amplitude = scale * std::pow(10.0, levels_dB[h] / 20.0);
            const double phase = 0.7 * static_cast<double>(h * h + d);
            const double step = 2.0 * 3.14159265358979323846 * frequency_Hz / rate_Hz;
            for (std::size_t n = 0; n < count; ++n)
                out[n] += amplitude * std::sin(step * static_cast<double>(n) + phase);
        }
    }
    std::vector<short> pcm(count);
    std::transform(out.begin(), out.end(), pcm.begin(),
                   [](double value) { return static_cast<short>(std::lround(std::clamp(value, -32768.0, 32767.0))); });
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
