#include "RoomReverberation.h"

#include "ChanterFilter.h"
#include "PowerSpectra.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kRate_Hz = 22050.0f;

std::vector<float> legato(float seconds, unsigned int seed)
{
    const PipeTuning tuning = testsignals::tuningAt(480.0f);
    return synth::renderSegments(synth::randomWalk(tuning, seconds, 0.12f, 0.4f, seed), kRate_Hz,
                                 synth::chanterHarmonics(), 0.5f);
}

// Bass and two tenor drones a few cents apart, as loud as the chanter.
std::vector<float> drones(float seconds)
{
    std::vector<float> sum(static_cast<std::size_t>(seconds * kRate_Hz), 0.0f);
    for (const float frequency_Hz : {120.0f, 240.0f, 240.4f}) {
        const std::vector<float> tone =
            synth::harmonicTone(frequency_Hz, seconds, kRate_Hz, synth::chanterHarmonics(), 0.2f);
        for (std::size_t i = 0; i < std::min(sum.size(), tone.size()); ++i)
            sum[i] += tone[i];
    }
    return sum;
}

float estimate(const std::vector<float>& signal)
{
    const std::size_t length = powerspectra::frameLength(kRate_Hz);
    RoomReverberation room(kRate_Hz, length, length / 4);
    powerspectra::forEachFrame(signal, kRate_Hz, [&](const std::vector<float>& power) { room.addFrame(power.data()); });
    return room.reverberationTime_s();
}

struct EstimateCase {
    const char* name;
    std::vector<float> (*signal)();
    float rt60_s;              // 0: a dry signal, no room must be found
    float tolerance = 0.3f;    // relative
};

constexpr float kSeconds = 12.0f;

const EstimateCase kEstimateCases[] = {
    {"RoomOfHalfASecond", [] { return testsignals::inRoom(legato(kSeconds, 1), 0.5f, 6.0f, kRate_Hz); }, 0.5f},
    {"RoomOfHalfASecondOtherTune", [] { return testsignals::inRoom(legato(kSeconds, 2), 0.5f, 6.0f, kRate_Hz); }, 0.5f},
    {"SmallRoom", [] { return testsignals::inRoom(legato(kSeconds, 3), 0.3f, 6.0f, kRate_Hz); }, 0.3f},
    // The tenors' beating partials lengthen the tails: found, but long.
    {"RoomWithDrones",
     [] { return testsignals::inRoom(testsignals::mix(legato(kSeconds, 4), drones(kSeconds)), 0.5f, 6.0f, kRate_Hz); },
     0.5f, 0.7f},
    {"DryLegato", [] { return legato(kSeconds, 1); }, 0.0f},
    {"DryLegatoOtherTune", [] { return legato(kSeconds, 5); }, 0.0f},
    {"DronesAlone", [] { return drones(kSeconds); }, 0.0f},
    {"DryLegatoWithDrones", [] { return testsignals::mix(legato(kSeconds, 6), drones(kSeconds)); }, 0.0f},
    {"Noise", [] { return testsignals::noise(static_cast<std::size_t>(kSeconds * kRate_Hz), 0.3f, 3); }, 0.0f},
    {"Silence", [] { return std::vector<float>(static_cast<std::size_t>(kSeconds * kRate_Hz), 0.0f); }, 0.0f},
};

using RoomReverberationEstimate = ::testing::TestWithParam<EstimateCase>;

TEST_P(RoomReverberationEstimate, FindsTheRoomAndNothingInDrySound)
{
    const EstimateCase& row = GetParam();
    const float found_s = estimate(row.signal());
    if (row.rt60_s == 0.0f)
        EXPECT_EQ(found_s, 0.0f);
    else
        EXPECT_NEAR(found_s, row.rt60_s, row.tolerance * row.rt60_s);
}

INSTANTIATE_TEST_SUITE_P(Signals, RoomReverberationEstimate, ::testing::ValuesIn(kEstimateCases),
                         [](const ::testing::TestParamInfo<EstimateCase>& info) {
                             return std::string(info.param.name);
                         });

// The bins of note_Hz's partials up to 4 kHz, away from other_Hz's partials.
std::vector<std::size_t> partialBins(float note_Hz, float other_Hz)
{
    const float binWidth_Hz = kRate_Hz / static_cast<float>(powerspectra::frameLength(kRate_Hz));
    std::vector<std::size_t> bins;
    for (float partial_Hz = note_Hz; partial_Hz < 4000.0f; partial_Hz += note_Hz) {
        if (std::fabs(partial_Hz - std::round(partial_Hz / other_Hz) * other_Hz) >= 3.0f * binWidth_Hz)
            bins.push_back(static_cast<std::size_t>(std::lround(partial_Hz / binWidth_Hz)));
    }
    return bins;
}

// The filter's gain G^2 = max(0, 1 - late / |X|^2), averaged over the bins of
// a note's partials.
float meanGain(const std::vector<float>& power, const std::vector<float>& late, float note_Hz, float other_Hz)
{
    const std::vector<std::size_t> bins = partialBins(note_Hz, other_Hz);
    float sum = 0.0f;
    for (std::size_t k : bins)
        sum += std::max(0.0f, 1.0f - late[k] / std::max(power[k], 1e-20f));
    return sum / static_cast<float>(bins.size());
}

TEST(RoomReverberation, LatePowerTakesATailButNotTheNextNote)
{
    // A tune teaches the room; then Low A stops for D, D is cut by a 30 ms
    // High G gracenote and comes back.
    constexpr float lowA_Hz = 480.0f, d_Hz = 640.0f, highG_Hz = 864.0f;
    std::vector<synth::Segment> segments = synth::randomWalk(testsignals::tuningAt(480.0f), kSeconds, 0.12f, 0.4f, 1);
    const float changeAt_s = kSeconds + 0.5f;
    const float returnAt_s = changeAt_s + 0.3f + 0.03f;
    segments.insert(segments.end(), {{lowA_Hz, 0.5f}, {d_Hz, 0.3f}, {highG_Hz, 0.03f}, {d_Hz, 0.4f}});
    const std::vector<float> dry = synth::renderSegments(segments, kRate_Hz, synth::chanterHarmonics(), 0.5f);
    const std::vector<float> signal = testsignals::inRoom(dry, 0.5f, 6.0f, kRate_Hz);

    const std::size_t length = powerspectra::frameLength(kRate_Hz);
    const float hop_s = static_cast<float>(length / 4) / kRate_Hz;
    RoomReverberation room(kRate_Hz, length, length / 4);
    std::vector<float> late(room.binCount());
    // Without a prediction every gain would be 1; predicting from the whole
    // power 50 ms earlier (reverberation and direct sound alike) leaves 0.28.
    // Each window's mean gain must lie strictly between above and below.
    struct Window {
        const char* what;
        float from_s, to_s, note_Hz, other_Hz, above, below;
        float gain = 0.0f;
        int frames = 0;
    } windows[] = {{"Low A's tail under D", changeAt_s + 0.06f, changeAt_s + 0.2f, lowA_Hz, d_Hz, -1.0f, 0.2f},
                   {"D's start", changeAt_s + 0.02f, changeAt_s + 0.06f, d_Hz, lowA_Hz, 0.6f, 2.0f},
                   {"D back after the gracenote", returnAt_s + 0.02f, returnAt_s + 0.06f, d_Hz, highG_Hz, 0.6f, 2.0f}};
    std::size_t frame = 0;
    powerspectra::forEachFrame(signal, kRate_Hz, [&](const std::vector<float>& power) {
        room.addFrame(power.data());
        room.latePower(late.data());
        // Time of the frame's end: the first frame that holds a change whole.
        const float end_s = static_cast<float>(frame++) * hop_s + static_cast<float>(length) / kRate_Hz;
        for (Window& window : windows) {
            if (end_s >= window.from_s && end_s < window.to_s) {
                window.gain += meanGain(power, late, window.note_Hz, window.other_Hz);
                ++window.frames;
            }
        }
    });
    ASSERT_NEAR(room.reverberationTime_s(), 0.5f, 0.15f);
    for (const Window& window : windows) {
        ASSERT_GT(window.frames, 0) << window.what;
        EXPECT_GT(window.gain / static_cast<float>(window.frames), window.above) << window.what;
        EXPECT_LT(window.gain / static_cast<float>(window.frames), window.below) << window.what;
    }

    room.reset();
    EXPECT_EQ(room.reverberationTime_s(), 0.0f);
    room.latePower(late.data());
    EXPECT_EQ(*std::max_element(late.begin(), late.end()), 0.0f);
}

// Power summed over the bins of note_Hz's partials away from other_Hz's,
// over the frames whose end lies from from_s to to_s.
double partialEnergy(const std::vector<short>& pcm, float note_Hz, float other_Hz, float from_s, float to_s)
{
    const std::size_t length = powerspectra::frameLength(kRate_Hz);
    const std::vector<std::size_t> bins = partialBins(note_Hz, other_Hz);
    double energy = 0.0;
    std::size_t frame = 0;
    powerspectra::forEachFrame(std::vector<float>(pcm.begin(), pcm.end()), kRate_Hz, [&](const std::vector<float>& power) {
        const float end_s = static_cast<float>(frame++ * (length / 4) + length) / kRate_Hz;
        for (std::size_t k : bins)
            energy += end_s >= from_s && end_s < to_s ? power[k] : 0.0f;
    });
    return energy;
}

TEST(RoomReverberation, ChanterFilterTakesTheRoomOutOfAShortRecordingFromItsStart)
{
    // Shorter than the filter listens before deciding: it decides at the
    // end and must still give back every sample, cleaned.
    constexpr float lowA_Hz = 480.0f, d_Hz = 640.0f, changeAt_s = 0.6f;
    const std::vector<synth::Segment> segments{{lowA_Hz, changeAt_s}, {d_Hz, 0.4f}};
    std::vector<synth::Segment> played = synth::randomWalk(testsignals::tuningAt(480.0f), 1.6f, 0.12f, 0.4f, 1);
    played.insert(played.begin(), segments.begin(), segments.end());
    const std::vector<short> recorded = testsignals::pcm(testsignals::inRoom(
        synth::renderSegments(played, kRate_Hz, synth::chanterHarmonics(), 0.5f), 0.5f, 6.0f, kRate_Hz));
    ASSERT_LT(static_cast<float>(recorded.size()) / kRate_Hz, ChanterFilter::kDecision_s);

    ChanterFilter filter(kRate_Hz);
    filter.push(recorded.data(), recorded.size());
    filter.finish();
    ASSERT_TRUE(filter.cleaning()) << "no drones, but a room";
    std::vector<short> cleaned;
    filter.take(cleaned);
    ASSERT_EQ(cleaned.size(), recorded.size());

    const auto dB = [](double after, double before) { return 10.0 * std::log10(after / before); };
    EXPECT_LT(dB(partialEnergy(cleaned, lowA_Hz, d_Hz, changeAt_s + 0.06f, changeAt_s + 0.2f),
                 partialEnergy(recorded, lowA_Hz, d_Hz, changeAt_s + 0.06f, changeAt_s + 0.2f)),
              -10.0)
        << "Low A's tail under D";
    EXPECT_GT(dB(partialEnergy(cleaned, d_Hz, lowA_Hz, changeAt_s + 0.02f, changeAt_s + 0.06f),
                 partialEnergy(recorded, d_Hz, lowA_Hz, changeAt_s + 0.02f, changeAt_s + 0.06f)),
              -1.5)
        << "D's start";
}

} // namespace
