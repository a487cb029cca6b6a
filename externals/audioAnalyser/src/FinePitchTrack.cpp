#include "FinePitchTrack.h"

#include "VantorUtils.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int8_t kNotComputed = -1;
// Below this rate a chanter note's period is so few samples (under 45) that
// the peak picker, which confirms a period at its multiples to within a
// sample or two, passes over notes whose period falls between whole
// samples; where it passes, the plain pitch is read.
constexpr float kFinestPickingRate_Hz = 22050.0f;

PipeNoteName melodyNoteOf(PipeTuning::ReferenceNote note)
{
    const int index = PipeTuning::referenceNoteToNoteIndex(note);
    return index < 0 ? Unknown : static_cast<PipeNoteName>(LG + index);
}

} // namespace

FinePitchTrack::FinePitchTrack()
{
    bindPeakPicker(mFinder, mPicker);
}

void FinePitchTrack::setSamplingFrequency_Hz(float samplingFrequency_Hz)
{
    if (samplingFrequency_Hz == mSamplingFrequency_Hz)
        return;
    mSamplingFrequency_Hz = samplingFrequency_Hz;
    mHop = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(samplingFrequency_Hz * kHop_s)));
    // At a fixed count of samples the window would hold too few periods of
    // a note at a low rate and blur a gracenote at a high one.
    mWindowSize = std::max(2u, static_cast<unsigned int>(std::lround(
                                   kReferenceWindowSize * static_cast<double>(samplingFrequency_Hz) / kReferenceRate_Hz)));
    mConfigured = false;
    clear();
}

void FinePitchTrack::setTuning(const PipeTuning& tuning)
{
    if (tuning == mTuning)
        return;
    mTuning = tuning;
    mConfigured = false;
    clear();
}

void FinePitchTrack::setMinimumVolume_normalized(float volume_normalized)
{
    if (volume_normalized == mMinimumVolume_normalized)
        return;
    mMinimumVolume_normalized = volume_normalized;
    clear();
}

void FinePitchTrack::clear()
{
    mFrames.clear();
    mComputed = 0;
}

float FinePitchTrack::hop_s() const
{
    return static_cast<float>(mHop) / mSamplingFrequency_Hz;
}

void FinePitchTrack::configure()
{
    configureChanterPitchFinder(mFinder, mPicker, mTuning, mSamplingFrequency_Hz, mWindowSize);
    mFinder.snacPeakThreshold = kPeakThreshold;
    mConfigured = true;
}

PipeNoteName FinePitchTrack::computeFrame(const short* samples, std::size_t frame)
{
    mFinder.setData(samples + frame * mHop);
    mFinder.calculatePitch();
    const PitchFinder::AnalysisResults results = mFinder.analysisResults();
    if (!(results.volume_normalized > mMinimumVolume_normalized))
        return Unknown;
    const bool picked = results.pickedFrequency_Hz > 0.0f || mSamplingFrequency_Hz >= kFinestPickingRate_Hz;
    return melodyNoteOf(mTuning.note(picked ? results.pickedFrequency_Hz : results.frequency_Hz));
}

std::vector<FinePitchTrack::Run> FinePitchTrack::runs(const short* samples, std::size_t count, float from_s,
                                                      float to_s)
{
    std::vector<Run> result;
    if (samples == nullptr || !std::isfinite(from_s) || !std::isfinite(to_s) || !(to_s > from_s))
        return result;
    if (!mConfigured)
        configure();

    // Frame k's window is samples [k hop, k hop + W), its centre k hop + W/2.
    const double half = mWindowSize / 2.0;
    const double hop = static_cast<double>(mHop);
    // Frames past the samples read nothing and are left out.
    const std::size_t fitting = count >= mWindowSize ? (count - mWindowSize) / mHop + 1 : 0;
    auto firstFrameAt = [&](double time_s) {
        const double k = std::ceil((time_s * mSamplingFrequency_Hz - half) / hop);
        return static_cast<std::size_t>(std::clamp(k, 0.0, static_cast<double>(fitting)));
    };
    const std::size_t first = firstFrameAt(from_s);
    const std::size_t end = firstFrameAt(to_s);
    if (first >= end)
        return result;
    if (mFrames.size() < end)
        mFrames.resize(end, kNotComputed);

    auto label = [&](std::size_t k) {
        std::int8_t& cached = mFrames[k];
        if (cached == kNotComputed) {
            cached = static_cast<std::int8_t>(computeFrame(samples, k));
            ++mComputed;
        }
        return static_cast<PipeNoteName>(cached);
    };
    // Probes every kProbeStride frames (and at both ends); where two probes
    // read the same note the frames between are taken to read it too, where
    // they differ every frame between is read. An element of 20 ms holds
    // clear for at least 8 ms, so a probe lands in it. What is assumed never
    // depends on what was read before: the runs are the same however the
    // frames were reached.
    std::vector<PipeNoteName> labels(end - first, Unknown);
    std::size_t previous = first;
    labels[0] = label(first);
    while (previous + 1 < end) {
        const std::size_t next = std::min(end - 1, (previous / kProbeStride + 1) * kProbeStride);
        labels[next - first] = label(next);
        const bool same = labels[next - first] == labels[previous - first];
        for (std::size_t k = previous + 1; k < next; ++k)
            labels[k - first] = same ? labels[previous - first] : label(k);
        previous = next;
    }

    for (std::size_t k = first; k < end; ++k) {
        const PipeNoteName note = labels[k - first];
        const float time_s = static_cast<float>((k * hop + half) / mSamplingFrequency_Hz);
        if (result.empty() || result.back().note != note)
            result.push_back(Run{note, time_s, time_s, 0});
        Run& run = result.back();
        run.end_s = time_s + static_cast<float>(hop / mSamplingFrequency_Hz);
        ++run.frames;
    }
    return result;
}
