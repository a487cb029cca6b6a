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

class RoomReverberationEstimate : public ::testing::TestWithParam<EstimateCase>
{
};

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

// The filter's gain G^2 = max(0, 1 - late / |X|^2), averaged over the bins of
// a note's partials (up to 4 kHz, away from the other note's partials).
float meanGain(const std::vector<float>& power, const std::vector<float>& late, float note_Hz, float other_Hz)
{
    const float binWidth_Hz = kRate_Hz / static_cast<float>(powerspectra::frameLength(kRate_Hz));
    float sum = 0.0f;
    int count = 0;
    for (float partial_Hz = note_Hz; partial_Hz < 4000.0f; partial_Hz += note_Hz) {
        const float otherHarmonic = std::round(partial_Hz / other_Hz) * other_Hz;
        if (std::fabs(partial_Hz - otherHarmonic) < 3.0f * binWidth_Hz)
            continue;
        const std::size_t k = static_cast<std::size_t>(std::lround(partial_Hz / binWidth_Hz));
        sum += std::max(0.0f, 1.0f - late[k] / std::max(power[k], 1e-20f));
        ++count;
    }
    return count > 0 ? sum / static_cast<float>(count) : 1.0f;
}

TEST(RoomReverberation, LatePowerTakesATailButNotTheNextNote)
{
    // A tune teaches the room; then Low A stops for D, D is cut by a 30 ms
    // High G gracenote and comes back.
    constexpr float lowA_Hz = 480.0f, d_Hz = 640.0f, highG_Hz = 864.0f;
    std::vector<synth::Segment> segments = synth::randomWalk(testsignals::tuningAt(480.0f), kSeconds, 0.12f, 0.4f, 1);
    const float changeAt_s = kSeconds + 0.5f;
    const float returnAt_s = changeAt_s + 0.3f + 0.03f;
    segments.push_back({lowA_Hz, 0.5f});
    segments.push_back({d_Hz, 0.3f});
    segments.push_back({highG_Hz, 0.03f});
    segments.push_back({d_Hz, 0.4f});
    const std::vector<float> dry = synth::renderSegments(segments, kRate_Hz, synth::chanterHarmonics(), 0.5f);
    const std::vector<float> signal = testsignals::inRoom(dry, 0.5f, 6.0f, kRate_Hz);

    const std::size_t length = powerspectra::frameLength(kRate_Hz);
    const float hop_s = static_cast<float>(length / 4) / kRate_Hz;
    RoomReverberation room(kRate_Hz, length, length / 4);
    std::vector<float> late(room.binCount());
    float tailGain = 0.0f, onsetGain = 0.0f, returnGain = 0.0f;
    int tailFrames = 0, onsetFrames = 0, returnFrames = 0;
    std::size_t frame = 0;
    powerspectra::forEachFrame(signal, kRate_Hz, [&](const std::vector<float>& power) {
        room.addFrame(power.data());
        room.latePower(late.data());
        // Time of the frame's end: the first frame that holds a change whole.
        const float end_s = static_cast<float>(frame++) * hop_s + static_cast<float>(length) / kRate_Hz;
        if (end_s >= changeAt_s + 0.06f && end_s < changeAt_s + 0.2f) {
            tailGain += meanGain(power, late, lowA_Hz, d_Hz);
            ++tailFrames;
        }
        if (end_s >= changeAt_s + 0.02f && end_s < changeAt_s + 0.06f) {
            onsetGain += meanGain(power, late, d_Hz, lowA_Hz);
            ++onsetFrames;
        }
        if (end_s >= returnAt_s + 0.02f && end_s < returnAt_s + 0.06f) {
            returnGain += meanGain(power, late, d_Hz, highG_Hz);
            ++returnFrames;
        }
    });
    ASSERT_NEAR(room.reverberationTime_s(), 0.5f, 0.15f);
    ASSERT_GT(tailFrames * onsetFrames * returnFrames, 0);
    // Without a prediction every gain would be 1; predicting from the whole
    // power 50 ms earlier (reverberation and direct sound alike) leaves 0.28.
    EXPECT_LT(tailGain / static_cast<float>(tailFrames), 0.2f) << "Low A's tail under D";
    EXPECT_GT(onsetGain / static_cast<float>(onsetFrames), 0.6f) << "D's start";
    EXPECT_GT(returnGain / static_cast<float>(returnFrames), 0.6f) << "D back after the gracenote";

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
    const float binWidth_Hz = kRate_Hz / static_cast<float>(length);
    std::vector<float> signal(pcm.begin(), pcm.end());
    double energy = 0.0;
    std::size_t frame = 0;
    powerspectra::forEachFrame(signal, kRate_Hz, [&](const std::vector<float>& power) {
        const float end_s = static_cast<float>(frame++ * (length / 4) + length) / kRate_Hz;
        if (end_s < from_s || end_s >= to_s)
            return;
        for (float partial_Hz = note_Hz; partial_Hz < 4000.0f; partial_Hz += note_Hz)
            if (std::fabs(partial_Hz - std::round(partial_Hz / other_Hz) * other_Hz) >= 3.0f * binWidth_Hz)
                energy += power[static_cast<std::size_t>(std::lround(partial_Hz / binWidth_Hz))];
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
