// libFuzzer target: the second look and the metre estimator over arbitrary
// note maps and audio, without the transcription in front of them. The
// maps may hold notes in any order, starting together, overlapping, of any
// length, with times that are no numbers; the audio is raw samples or a
// chanter phrase. Every input must come out as two note maps and a metre,
// without crashing and without unbounded work or memory.
//
// Input: a header of four bytes (rate, volume gate, the count of notes, how
// the audio is given), then five bytes a note (name, and which map, in one;
// start in ms less one second; length in tenths of a ms), then with the
// fourth bit of the audio byte a float by which every time is multiplied,
// then the audio: 16-bit samples, or two bytes a phrase segment (a chanter
// note or silence; its length in 5 ms).

#include "ChanterSynth.h"
#include "MetreEstimator.h"
#include "SecondLook.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr float kRates_Hz[] = {8000.0f, 11025.0f, 16000.0f, 22050.0f, 32000.0f, 44100.0f,
                               48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f};
constexpr float kMostAudio_s = 4.0f;
constexpr std::size_t kNoteBytes = 5;

class Reader
{
public:
    Reader(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}
    bool has(std::size_t count) const { return mSize - mAt >= count; }
    std::uint8_t byte() { return has(1) ? mData[mAt++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    float raw() {
        std::uint32_t bits = static_cast<std::uint32_t>(word()) | static_cast<std::uint32_t>(word()) << 16;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    std::size_t left() const { return mSize - mAt; }
    const std::uint8_t* here() const { return mData + mAt; }

private:
    const std::uint8_t* mData;
    std::size_t mSize;
    std::size_t mAt = 0;
};

PipeTuning chanter()
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    return tuning;
}

std::vector<short> audioOf(Reader& input, bool phrase, float rate_Hz)
{
    const auto most = static_cast<std::size_t>(kMostAudio_s * rate_Hz);
    std::vector<short> samples;
    if (!phrase) {
        for (std::size_t k = 0; k + 1 < input.left() && samples.size() < most; k += 2)
            samples.push_back(static_cast<short>(input.here()[k] | input.here()[k + 1] << 8));
        return samples;
    }
    std::vector<synth::Segment> segments;
    float total_s = 0.0f;
    while (input.has(2) && total_s < kMostAudio_s) {
        const int note = input.byte() % 10;
        const float duration_s = 0.005f * static_cast<float>(input.byte() + 1);
        const float frequency_Hz =
            note == 9 ? 0.0f
                      : chanter().getReferenceNoteCentreFrequency_Hz(PipeTuning::noteIndexToReferenceNote(note));
        segments.push_back({frequency_Hz, duration_s});
        total_s += duration_s;
    }
    for (const float value : synth::renderSegments(segments, rate_Hz, synth::chanterHarmonics(), 0.5f))
        samples.push_back(static_cast<short>(value * 32767.0f));
    if (samples.size() > most)
        samples.resize(most);
    return samples;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader input(data, size);
    const float rate_Hz = kRates_Hz[input.byte() % std::size(kRates_Hz)];
    const float volume_normalized = static_cast<float>(input.byte()) / 255.0f;
    const std::size_t count = input.byte();
    const std::uint8_t audio = input.byte();

    NoteMap melody;
    NoteMap gracing;
    std::vector<PipeNote> notes;
    for (std::size_t n = 0; n < count && input.has(kNoteBytes); ++n) {
        const std::uint8_t kind = input.byte();
        const auto name = static_cast<PipeNoteName>(kind % 58);
        const float start_s = static_cast<float>(input.word()) / 1000.0f - 1.0f;
        const float duration_s = static_cast<float>(input.word()) / 10000.0f;
        notes.emplace_back(name, start_s, (kind & 0x80) != 0 ? -duration_s : duration_s);
    }
    const float scale = (audio & 0x08) != 0 ? input.raw() : 1.0f;
    for (PipeNote note : notes) {
        note.setStart_s(note.start_s() * scale);
        note.setDuration_s(note.duration_s() * scale);
        (isMelodyNote(note.noteName()) ? melody : gracing).emplace(note.start_s(), note);
    }
    const std::vector<short> samples = audioOf(input, (audio & 0x01) != 0, rate_Hz);

    SecondLook look;
    look.setSamplingFrequency_Hz(rate_Hz);
    look.setTuning(chanter());
    look.setMinimumVolume_normalized(volume_normalized);
    // A growing recording looked at twice, as the application does.
    if ((audio & 0x02) != 0) {
        NoteMap earlyMelody = melody;
        NoteMap earlyGracing = gracing;
        look.revise(samples.data(), samples.size() / 2, earlyMelody, earlyGracing);
    }
    // The metre of the maps as given, and with their roles swapped.
    for (const auto& [first, second] : {std::pair(&melody, &gracing), std::pair(&gracing, &melody)}) {
        const MetreEstimate metre = estimateMetre(*first, *second);
        NoteMap warpedMelody;
        NoteMap warpedGracing;
        warpToBeats(metre, melody, gracing, warpedMelody, warpedGracing);
        describeMetre(metre);
        barTimeShift_s(metre, (audio & 0x04) != 0);
    }
    look.revise(samples.data(), samples.size(), melody, gracing);
    const MetreEstimate metre = estimateMetre(melody, gracing);
    if (metre.valid && (metre.beats_s.empty() || metre.firstBarBeat < 0
                        || static_cast<std::size_t>(metre.firstBarBeat) >= metre.beats_s.size()))
        __builtin_trap();
    return 0;
}
