// Refinement helpers the stages share.
//
// Maps and tracks, read (r) and written (w):
//   findGraceEntry                      r mGraceNotes
//   stretchNoteByQuality(s)             r mQualities
//   findConfirmedTroughs                r mFrequencies, mQualities
//   stripImpossibleGracenoteTransitions r mNotes        w mGraceNotes
//   removeTransitionGraceNotes          r mNotes, mProcessedNotes, mGdeRanges   w mGraceNotes

#include "Vantor.h"

#include "utils.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// The neighbouring melody note of a gracenote is looked for within 50 ms.
constexpr float kTransitionTolerance_s = 0.05f;
// The gracenote of a transition pair lasts 2 ms to 0.15 s.
constexpr float kTransitionGraceMin_s = 0.002f;
constexpr float kTransitionGraceMax_s = 0.15f;
// A pitch dip is looked for in a window of at least 10 % of the note's
// frequency, and confirmed by a quality dip within 40 ms.
constexpr float kPitchWindowFraction = 0.1f;
constexpr float kTroughAgreement_s = 0.04f;

} // namespace

const PipeNote* Vantor::findGraceEntry(const PipeNote& note) const
{
    const NoteMap near = notesStartingAt(mGraceNotes, note.start_s(), kGraceLookup_s);
    if (near.empty())
        return nullptr;
    // Two detections closer than the lookup tolerance both fall inside it;
    // the one with the note's own name is the one meant.
    for (const auto& entry : near) {
        if (entry.second.noteName() == note.noteName()) {
            const auto [from, to] = mGraceNotes.equal_range(entry.first);
            for (auto it = from; it != to; ++it) {
                if (it->second.noteName() == note.noteName())
                    return &it->second;
            }
        }
    }
    return &mGraceNotes.find(near.begin()->first)->second;
}


TimeRange Vantor::stretchNoteByQuality(TimeRange range, float threshold) const
{
    const int startIndex = windowIndex(range.first);
    const int endIndex = windowIndex(range.second);
    const int size = static_cast<int>(mQualities.size());
    if (startIndex < 0 || endIndex >= size) {
        qDebug() << "ERROR stretchNoteByQuality Error. StartPos samples:" << startIndex << " end pos samples"
                 << endIndex << " Qualities size:" << size;
        return range;
    }
    auto good = [&](int i) {
        const float quality = mQualities[static_cast<std::size_t>(i)];
        return quality >= threshold || std::isnan(quality);
    };
    // Window 0 itself is never consulted.
    int newStart = 0;
    for (int i = startIndex; i > 0; --i) {
        if (good(i)) {
            newStart = i;
            break;
        }
    }
    int newEnd = endIndex;
    while (newEnd < size && !good(newEnd))
        ++newEnd;
    return TimeRange(windowTime(newStart), windowTime(newEnd));
}

NoteMap Vantor::stretchNotesByQuality(const NoteMap& notes, float threshold, float maxDuration_s) const
{
    NoteMap stretched;
    for (const auto& entry : notes) {
        PipeNote note = entry.second;
        const TimeRange range = stretchNoteByQuality(TimeRange(note.start_s(), note.getEnd_s()), threshold);
        const float duration_s = range.second - range.first;
        if (duration_s < maxDuration_s) {
            note.setStart_s(range.first);
            note.setDuration_s(duration_s);
        }
        insertByStart(stretched, note);
    }
    return stretched;
}

std::vector<float> Vantor::findConfirmedTroughs(TimeRange range, float centre_Hz, const TroughSearch& search) const
{
    const auto [minPitchDepth_Hz, pitchTolerance_Hz, pitchHalfWidth_s, minQualityDepth, qualityTolerance,
                qualityHalfWidth_s] = search;
    std::vector<float> confirmed;
    const float duration_s = range.second - range.first;
    if (2.0f * pitchHalfWidth_s > duration_s || 2.0f * qualityHalfWidth_s > duration_s)
        return confirmed;

    const int smoothing = utils::truncateToInt(kTroughSmoothing_s * mSamplingFrequency_Hz / static_cast<float>(mStepSize));
    const float halfWindow_Hz = std::max(pitchTolerance_Hz, kPitchWindowFraction * centre_Hz);
    const int startIndex = windowIndex(range.first);
    const int endIndex = windowIndex(range.second);
    const float windowsPerSmoothingStep = static_cast<float>(mStepSize * smoothing);

    const std::vector<float> pitch = smoothSamples(mFrequencies, smoothing, startIndex, endIndex,
                                                   centre_Hz - halfWindow_Hz, centre_Hz + halfWindow_Hz,
                                                   pitchTolerance_Hz);
    const std::vector<int> pitchDips =
        detectTroughs(pitch, utils::truncateToInt(pitchHalfWidth_s * mSamplingFrequency_Hz / windowsPerSmoothingStep),
                      minPitchDepth_Hz, pitchTolerance_Hz);
    const std::vector<float> quality =
        smoothSamples(mQualities, smoothing, startIndex, endIndex, 0.0f, 1.0f, qualityTolerance);
    const std::vector<int> qualityDips = detectTroughs(
        quality, utils::truncateToInt(mSamplingFrequency_Hz * qualityHalfWidth_s / windowsPerSmoothingStep),
        minQualityDepth, qualityTolerance);

    auto offset = [&](int dip) { return static_cast<float>(dip * smoothing * mStepSize) / mSamplingFrequency_Hz; };
    for (int pitchDip : pitchDips) {
        const float pitchTime_s = offset(pitchDip);
        for (int qualityDip : qualityDips) {
            const float qualityTime_s = offset(qualityDip);
            if (pitchTime_s - kTroughAgreement_s <= qualityTime_s && qualityTime_s < pitchTime_s + kTroughAgreement_s) {
                confirmed.push_back(pitchTime_s);
                break;
            }
        }
    }
    return confirmed;
}

void Vantor::stripImpossibleGracenoteTransitions()
{
    for (auto it = mGraceNotes.begin(); it != mGraceNotes.end();) {
        const auto next = std::next(it);
        const PipeNote& grace = it->second;
        if (grace.duration_s() >= kLongGracenote_s) {
            it = next;
            continue;
        }
        // Names of melody notes a gracenote of this pitch cannot come from or
        // go to: a High G gracenote from or to High A, a Low G one to High G...
        std::set<PipeNoteName> forbiddenBefore;
        std::set<PipeNoteName> forbiddenAfter;
        switch (grace.noteName()) {
        case LG: forbiddenAfter = {HG}; break;
        case HG: forbiddenBefore = {HA, HG}; forbiddenAfter = {HA}; break;
        case HA: forbiddenBefore = {HA}; break;
        default: break;
        }
        auto anyNamed = [](const NoteMap& notes, const std::set<PipeNoteName>& names) {
            for (const auto& entry : notes) {
                if (names.count(entry.second.noteName()) > 0)
                    return true;
            }
            return false;
        };
        const NoteMap following = notesStartingAt(mNotes, grace.getEnd_s(), kTransitionTolerance_s);
        const NoteMap preceding = notesEndingAt(mNotes, grace.start_s(), kTransitionTolerance_s);
        if (anyNamed(preceding, forbiddenBefore) || anyNamed(following, forbiddenAfter))
            mGraceNotes.erase(it);
        it = next;
    }
}

void Vantor::removeTransitionGraceNotes(const NoteMap& notes, PipeNoteName before, PipeNoteName grace,
                                        PipeNoteName second, PipeNoteName after, TimeRange secondRange)
{
    const std::pair<float, float> graceRange(kTransitionGraceMin_s, kTransitionGraceMax_s);
    const std::pair<float, float> shortRange(secondRange.first, secondRange.second);
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);

    for (int pass = 0; pass < 2; ++pass) {
        pattern.clear();
        if (before != Unknown)
            pattern.items.emplace_back(before);
        if (pass == 0) {
            pattern.items.emplace_back(grace, graceRange);
            pattern.items.emplace_back(second, shortRange);
        } else {
            pattern.items.emplace_back(second, shortRange);
            pattern.items.emplace_back(grace, graceRange);
        }
        if (after != Unknown)
            pattern.items.emplace_back(after);

        for (const PipeNotePattern::Match& match : pattern.detect(notes, mNotes, mProcessedNotes, mGdeRanges, false)) {
            auto it = match.notes.begin();
            if (before != Unknown)
                ++it;
            const PipeNote& x = it->second;
            const PipeNote& y = std::next(it)->second;
            const PipeNote* atX = findGraceEntry(x);
            const PipeNote* atY = findGraceEntry(y);
            if (atX == nullptr || atY == nullptr)
                continue;
            const float startX_s = atX->start_s();
            const float startY_s = atY->start_s();
            const float endY_s = atY->getEnd_s();
            // One gracenote from the earlier detection to the end of the later,
            // named grace whichever came first.
            mGraceNotes.erase(startX_s);
            mGraceNotes.erase(startY_s);
            const PipeNote merged(grace, startX_s, endY_s - startX_s);
            mGraceNotes.emplace(startX_s, merged);
        }
    }
}