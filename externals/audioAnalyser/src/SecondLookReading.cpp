// The second look's reading of the recording: the spans around the notes
// through the short-window track, side by side on more threads, and the
// runs read cleaned of dropouts and of runs too short to be an element.

#include "SecondLook.h"

#include "VantorUtils.h"
#include "utils.h"

#include <algorithm>

namespace {

using Run = FinePitchTrack::Run;

// Same-note runs closer than this are one run: a dropout of a frame or two,
// not an element (an element hidden in the gap would leave 20 ms or more).
constexpr float kDropout_s = 0.02f;

// Known runs of at least the minimum length, same-note neighbours across
// dropouts joined.
std::vector<Run> cleanRuns(const std::vector<Run>& runs)
{
    std::vector<Run> clean;
    for (const Run& run : runs) {
        if (run.note == Unknown || run.frames < SecondLook::kMinimumElementFrames)
            continue;
        if (!clean.empty() && clean.back().note == run.note && run.start_s - clean.back().end_s < kDropout_s) {
            clean.back().end_s = run.end_s;
            clean.back().frames += run.frames;
        } else {
            clean.push_back(run);
        }
    }
    return clean;
}

} // namespace

std::vector<FinePitchTrack::Run> SecondLook::readAround(const short* samples, std::size_t count,
                                                        const NoteMap& melody, const NoteMap& gracing)
{
    std::vector<TimeRange> spans;
    for (const NoteMap* notes : {&melody, &gracing})
        for (const auto& entry : *notes)
            spans.emplace_back(entry.second.start_s() - kMargin_s, entry.second.getEnd_s() + kMargin_s);
    std::sort(spans.begin(), spans.end());
    std::vector<TimeRange> reads;
    float readTo_s = -1.0f;
    for (TimeRange span : spans) {
        span.first = std::max({span.first, readTo_s, 0.0f});
        if (span.second <= span.first)
            continue;
        reads.push_back(span);
        readTo_s = span.second;
    }
    // A frame reads the same whoever computes it, so with more threads the
    // spans are read side by side, each thread with a track of its own (and
    // what they computed is not kept).
    std::vector<std::vector<Run>> parts(reads.size());
    if (mJobs <= 1) {
        for (std::size_t i = 0; i < reads.size(); ++i)
            parts[i] = mTrack.runs(samples, count, reads[i].first, reads[i].second);
    } else {
        utils::runInStretches(reads.size(), 0, 1, mJobs, [&](std::size_t first, std::size_t last) {
            FinePitchTrack track;
            track.setSamplingFrequency_Hz(mSamplingFrequency_Hz);
            track.setTuning(mTuning);
            track.setMinimumVolume_normalized(mMinimumVolume_normalized);
            for (std::size_t i = first; i < last; ++i)
                parts[i] = track.runs(samples, count, reads[i].first, reads[i].second);
        });
    }
    std::vector<Run> raw;
    for (const std::vector<Run>& part : parts)
        raw.insert(raw.end(), part.begin(), part.end());
    return cleanRuns(raw);
}
