#include "Vantor.h"

#include "utils.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

namespace {

constexpr float kMinimumSamplingFrequency_Hz = 8000.0f;
// Windows per second of audio is 2205 whatever the rate: step = fs / 2205.
constexpr double kStepsPerSample = 0.00045351475;
constexpr float kReferenceLowA_Hz = 440.0f;
// The flat note track reads every pitch against a Low A lowered by 1/44
// (about 40 cents), which catches notes played on the flat side.
constexpr float kFlatLowAFraction = 1.0f / 44.0f;
constexpr std::size_t kVolumeRingSize = 10;

// Pattern tolerances shared by the stages: items without a range of their
// own last under 0.2 s, each note starts within 0.15 s of the previous one's
// end, and a match may come within 5 ms of a note already taken.
constexpr float kPatternMaxItem_s = 0.2f;
constexpr float kPatternJoin_s = 0.15f;
constexpr float kPatternOverlap_s = 0.005f;
// How near a pattern note a gracenote entry must start to be the same one.
constexpr float kGraceLookup_s = 0.02f;

// Gracenote candidates: cut with short dominance windows from the note
// tracks, at most 0.15 s long (0.2 s for the low notes C, B, Low A, Low G).
constexpr float kFlatCandidateMin_s = 0.005f;
constexpr float kCandidateMin_s = 0.002f;
constexpr float kGracenoteMax_s = 0.15f;
constexpr float kLowGracenoteMax_s = 0.2f;
// A candidate too short to stand alone counts inside this much of the start
// of a melody note.
constexpr float kShortCandidateWindow_s = 0.2f;
// A High G this close to the end of a High A gracenote is its tail.
constexpr float kHighATail_s = 0.02f;
// Hidden D gracenotes in long Low G notes: 5 ms pitch averages, searched from
// 20 ms into notes longer than 60 ms up to 25 ms before their end, clear of
// other gracenotes by 50 ms.
constexpr float kHiddenDAverage_s = 0.005f;
constexpr float kHiddenDMinNote_s = 0.06f;
constexpr float kHiddenDMargin_s = 0.02f;
constexpr float kHiddenDEndMargin_s = 0.025f;
constexpr float kHiddenDClearance_s = 0.05f;

// Gracenotes of 80 ms or more are never judged by their transitions; the
// neighbouring melody note is looked for within 50 ms.
constexpr float kLongGracenote_s = 0.08f;
constexpr float kTransitionTolerance_s = 0.05f;
constexpr float kTransitionGraceMin_s = 0.002f;
constexpr float kTransitionGraceMax_s = 0.15f;

// Dips inside a held note: tracks smoothed in 3 ms steps, a pitch window of
// at least 10 % of the note's frequency, and a quality dip within 40 ms.
constexpr float kTroughSmoothing_s = 0.003f;
constexpr float kPitchWindowFraction = 0.1f;
constexpr float kTroughAgreement_s = 0.04f;

// The consolidated map spans [0, 3600) s; melody is taken in gaps between
// gracenotes wider than 20 ms, and same-name neighbours closer than 0.15 s
// are joined.
constexpr float kConsolidatedEnd_s = 3600.0f;
constexpr float kConsolidationGap_s = 0.02f;
constexpr float kSameNoteJoin_s = 0.15f;
// A crossing noise is a Low A of 5 ms to 0.1 s between a high note and Low G.
constexpr float kCrossingNoiseMin_s = 0.005f;
constexpr float kCrossingNoiseMax_s = 0.1f;

} // namespace

Vantor::Vantor()
{
    bindPeakPicker(mPitchFinder, mSnacPeakPicker);
    initialiseInputFilter();
}

void Vantor::initialiseInputFilter()
{
    mInputFilter.initialise(mFilterCornerFrequency_Hz, mSamplingFrequency_Hz, 1.0, IIRFilterFirstOrder::LowPass);
}

void Vantor::setSamplingFrequency_Hz(float samplingFrequency_Hz)
{
    mSamplingFrequency_Hz =
        samplingFrequency_Hz >= kMinimumSamplingFrequency_Hz ? samplingFrequency_Hz : kMinimumSamplingFrequency_Hz;
    mStepSize = static_cast<int>(std::round(static_cast<double>(mSamplingFrequency_Hz) * kStepsPerSample));
    initialiseInputFilter();
}

void Vantor::setFilterCornerFrequency_Hz(float cornerFrequency_Hz)
{
    mFilterCornerFrequency_Hz = cornerFrequency_Hz;
    initialiseInputFilter();
}

void Vantor::setLowA_Hz(float lowA_Hz)
{
    mLowA_Hz = lowA_Hz;
    mTuningSet = false;
}

void Vantor::setTuning(const PipeTuning& tuning)
{
    mLowA_Hz = tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    mTuning = tuning;
    mTuningSet = true;
}

float Vantor::secondsPerStep() const
{
    return static_cast<float>(mStepSize) / mSamplingFrequency_Hz;
}

void Vantor::clearResults()
{
    mNotes.clear();
    mGraceNotes.clear();
    mProcessedNotes.clear();
    mConsolidatedNotes.clear();
    mGdeRanges.clear();
}

void Vantor::reset()
{
    mLowA_Hz = kReferenceLowA_Hz;
    clearResults();
    mNoteTrack.clear();
    mFlatNoteTrack.clear();
    mPickedNoteTrack.clear();
    mFrequencies.clear();
    mPickedFrequencies.clear();
    mQualities.clear();
    mVolumes.clear();
    mTuningSet = false;
    initialiseInputFilter();
}

bool Vantor::transcribe(const short* data, unsigned int count)
{
    calculateTuning(data, count);
    calculateFrequencies(data, count);
    calculateNotes();
    transcribe();
    return true;
}

void Vantor::calculateTuning(const short* data, unsigned int count)
{
    if (mTuningSet)
        return;
    mTuning = calculateTuningFromData(data, count, mSamplingFrequency_Hz, static_cast<int>(kWindowSize), mLowA_Hz,
                                      mMinimumVolume_normalized);
}

unsigned int Vantor::calculateFrequencies(const short* data, unsigned int count)
{
    if (data == nullptr || count < kWindowSize)
        return 0;

    mSnacPeakPicker.setParams(mTuning, mSamplingFrequency_Hz);
    mPitchFinder.setDataParams(
        PitchFinder::DataParams(kWindowSize, static_cast<std::uint32_t>(mSamplingFrequency_Hz)));
    PitchFinder::ProcessingParams params = chanterProcessingParams(mTuning);
    params.peakPickerEnabled = true;
    mPitchFinder.setProcessingParams(params);
    mPitchFinder.setCalibration(kReferenceLowA_Hz, mTuning.lowA_Hz());
    mPitchFinder.snacPeakThreshold = mSnacPeakThreshold;
    mPitchFinder.minimumSnacPeak = mMinimumSnacPeak;

    const unsigned int step = static_cast<unsigned int>(mStepSize);
    const unsigned int windows = (count - kWindowSize) / step + 1;
    const std::size_t base = mFrequencies.size();
    const std::size_t total = base + windows;
    mFrequencies.resize(total);
    mPickedFrequencies.resize(total);
    mQualities.resize(total);
    mVolumes.resize(total);

    const float* filtered = mFilterCornerFrequency_Hz != 0.0f ? mInputFilter.filter(data, count) : nullptr;
    for (unsigned int k = 0; k < windows; ++k) {
        const std::size_t offset = static_cast<std::size_t>(k) * step;
        if (filtered != nullptr)
            mPitchFinder.setData(filtered + offset);
        else
            mPitchFinder.setData(data + offset);
        mPitchFinder.calculatePitch();
        const PitchFinder::AnalysisResults results = mPitchFinder.analysisResults();

        const std::size_t i = base + k;
        mVolumes[i] = results.volume_normalized;
        const bool gated = i >= kUngatedWindows && !(results.volume_normalized > mMinimumVolume_normalized);
        mFrequencies[i] = gated ? 0.0f : results.frequency_Hz;
        mPickedFrequencies[i] = gated ? 0.0f : results.pickedFrequency_Hz;
        mQualities[i] = gated ? 0.0f : results.quality;
    }
    return windows * step;
}

void Vantor::calculateNotes()
{
    const std::size_t count = mFrequencies.size();
    mNoteTrack.resize(count, PipeTuning::Unknown);
    mFlatNoteTrack.resize(count, PipeTuning::Unknown);
    mPickedNoteTrack.resize(count, PipeTuning::Unknown);

    PipeTuning flat = mTuning;
    flat.setLowA_Hz(mTuning.lowA_Hz() - mTuning.lowA_Hz() * kFlatLowAFraction);
    float volumeRing[kVolumeRingSize] = {};
    float centre_Hz = 0.0f;
    float cents = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        volumeRing[i % kVolumeRingSize] = mVolumes.at(i);
        const double average = std::accumulate(volumeRing, volumeRing + kVolumeRingSize, 0.0) / kVolumeRingSize;
        if (i >= kUngatedWindows && !(average > mMinimumVolume_normalized)) {
            mNoteTrack[i] = PipeTuning::Unknown;
            mFlatNoteTrack[i] = PipeTuning::Unknown;
            mPickedNoteTrack[i] = PipeTuning::Unknown;
            continue;
        }
        mNoteTrack[i] = mTuning.calculate(mFrequencies.at(i), centre_Hz, cents);
        mFlatNoteTrack[i] = flat.calculate(mFrequencies.at(i), centre_Hz, cents);
        mPickedNoteTrack[i] = mTuning.calculate(mPickedFrequencies.at(i), centre_Hz, cents);
    }
}

void Vantor::getMelodyNotes()
{
    mNotes = extractNotes(mNoteTrack, kMinimumMelodyNote_s, kMaximumMelodyNote_s, secondsPerStep());
}

void Vantor::transcribe()
{
    clearResults();

    getMelodyNotes();
    myOutputNotes("original melody notes", mNotes);
    getGraceNotes();
    myOutputNotes("init grace notes", mGraceNotes);
    initialGraceNoteStrip();
    myOutputNotes("init grace notes after strip", mGraceNotes);
    advancedGraceNoteSearch();
    myOutputNotes("init grace notes after advanced search", mGraceNotes);
    mConsolidatedNotes = consolidate();
    myOutputNotes("Consolidated notes", mConsolidatedNotes);
    stripCrossingNoises();
    myOutputNotes("Consolidated notes after crossing noise removal", mConsolidatedNotes);
    getGdes();
    myOutputNotes("Consolidated after GDE", mConsolidatedNotes);
    getDoublings();
    myOutputNotes("Consolidated after doublings", mConsolidatedNotes);
    extractThrd();
    myOutputNotes("Processed notes", mProcessedNotes);
    getSingleGracenotes();
    myOutputNotes("Processed notes after getSingleGracenotes", mProcessedNotes);
    myOutputNotes("Consolidated notes after getSingleGracenotes", mConsolidatedNotes);
    reformMelodyAndGracing();
    myOutputNotes("Melody after reform", mNotes);
    myOutputNotes("Gracing after reform", mGraceNotes);
    stripUnlikelyGracenotes();
    extractShortMelodyNotes();
    applyBusinessLogic();
    myOutputNotes("Melody after short melody note extract", mNotes);
    myOutputNotes("Gracing after short melody note extract", mGraceNotes);
    extractHighADoubling();
    extractBirls();
    extractStrikes();
    dealWithMelodyGaps();
    dealWithContigousGracing();
    finalGraceNoteCheck();
    stripUnlikelyGracenotes();
}

void Vantor::myOutputNotes(std::string /*label*/, const NoteMap& /*notes*/)
{
}

// Pattern matching over the engine's maps.

std::vector<PipeNotePattern::Match> Vantor::detectPattern(const PipeNotePattern& pattern, bool limitFirstItemOnly) const
{
    return pattern.detect(mConsolidatedNotes, mNotes, mProcessedNotes, mGdeRanges, limitFirstItemOnly);
}

void Vantor::myApplyPatternMatches(PipeNoteName name, const std::vector<PipeNotePattern::Match>& matches,
                                   int melodyNoteIndex, bool keepLastNote)
{
    applyPatternMatches(name, matches, mProcessedNotes, mConsolidatedNotes, melodyNoteIndex, keepLastNote);
}

// Refinement helpers.

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

int Vantor::windowIndex(float time_s) const
{
    return utils::truncateToInt(time_s * mSamplingFrequency_Hz / static_cast<float>(mStepSize));
}

float Vantor::windowTime(int index) const
{
    return static_cast<float>(index * mStepSize) / mSamplingFrequency_Hz;
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
        stretched.emplace_hint(stretched.upper_bound(note.start_s()), note.start_s(), note);
    }
    return stretched;
}

std::vector<float> Vantor::findConfirmedTroughs(TimeRange range, float centre_Hz, float minPitchDepth_Hz,
                                                float pitchTolerance_Hz, float pitchHalfWidth_s,
                                                float minQualityDepth, float qualityTolerance,
                                                float qualityHalfWidth_s) const
{
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
            mGraceNotes.emplace_hint(mGraceNotes.upper_bound(startX_s), startX_s, merged);
        }
    }
}

// Gracenote extraction.

void Vantor::getGraceNotes()
{
    const float step_s = secondsPerStep();
    const NoteMap flat = extractNotes(mFlatNoteTrack, kFlatCandidateMin_s, kGracenoteMax_s, step_s);
    const NoteMap picked = extractNotes(mPickedNoteTrack, kCandidateMin_s, kGracenoteMax_s, step_s);
    const NoteMap plain = extractNotes(mNoteTrack, kCandidateMin_s, kGracenoteMax_s, step_s);

    NoteMap shortCandidates;
    auto insertAll = [](const NoteMap& from, NoteMap& into) {
        for (const auto& entry : from)
            into.emplace_hint(into.upper_bound(entry.first), entry.first, entry.second);
    };
    // Every name is trimmed against the gracenotes accepted before it.
    auto accept = [&](NoteMap& candidates, float combineGap_s, float min_s, float max_s) {
        simpleCombineNotes(candidates, combineGap_s);
        trimUsingExisting(mGraceNotes, candidates);
        insertAll(filterByDuration(candidates, min_s, max_s), mGraceNotes);
    };

    for (PipeNoteName name : {D, E}) {
        NoteMap candidates = filterByNote(name, flat);
        accept(candidates, 0.01f, 0.015f, kGracenoteMax_s);
        insertAll(filterByDuration(candidates, 0.005f, 0.015f), shortCandidates);
    }

    NoteMap highA = filterByNote(HA, plain);
    accept(highA, 0.02f, 0.02f, kGracenoteMax_s);

    // High G from the peak picker, with its octave and neighbour fragments
    // absorbed and its edges moved out across poor-quality windows.
    NoteMap highG = picked;
    trimUsingExisting(mGraceNotes, highG);
    recursiveCombineNotes(highG, HG, {LG, HG}, {F}, 0.005f, 0.02f);
    highG = stretchNotesByQuality(filterByNote(HG, highG), 0.7f, 0.08f);
    simpleCombineNotes(highG, 0.02f);
    trimUsingExisting(mGraceNotes, highG);
    simpleCombineNotes(highG, 0.02f);
    insertAll(filterByDuration(highG, 0.015f, kGracenoteMax_s), mGraceNotes);

    NoteMap f = filterByNote(F, flat);
    accept(f, 0.005f, 0.02f, kGracenoteMax_s);
    insertAll(filterByDuration(f, 0.005f, 0.02f), shortCandidates);

    for (PipeNoteName name : {C, B, LA, LG}) {
        NoteMap candidates = filterByNote(name, flat);
        accept(candidates, 0.005f, 0.02f, kLowGracenoteMax_s);
    }

    // Candidates too short on their own count inside the first 0.2 s of a
    // melody note.
    trimUsingExisting(mGraceNotes, shortCandidates);
    for (const auto& melodyEntry : mNotes) {
        const PipeNote& melody = melodyEntry.second;
        const float until_s = std::min(melody.getEnd_s(), melody.start_s() + kShortCandidateWindow_s);
        for (const auto& candidate : shortCandidates) {
            const float start_s = candidate.second.start_s();
            if (melody.start_s() < start_s && start_s < until_s)
                mGraceNotes.emplace_hint(mGraceNotes.upper_bound(start_s), start_s, candidate.second);
        }
    }
}

void Vantor::initialGraceNoteStrip()
{
    // A High G right at the end of a High A gracenote is the High A's tail.
    for (auto it = mGraceNotes.begin(); it != mGraceNotes.end(); ++it) {
        const auto next = std::next(it);
        if (next == mGraceNotes.end())
            break;
        const PipeNote& g = it->second;
        const PipeNote& x = next->second;
        if (g.noteName() == HA && x.noteName() == HG && g.getEnd_s() - kHighATail_s <= x.start_s()
            && x.start_s() < g.getEnd_s() + kHighATail_s)
            mGraceNotes.erase(next);
    }
    stripImpossibleGracenoteTransitions();
}

void Vantor::advancedGraceNoteSearch()
{
    const NoteMap consolidated = consolidate();

    // A short C between two Low Gs is a D gracenote read flat.
    PipeNotePattern lowGC(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    lowGC.items = {PipeNotePattern::Item(LG), PipeNotePattern::Item(C, {0.002f, 0.08f}), PipeNotePattern::Item(LG)};
    for (const PipeNotePattern::Match& match : lowGC.detect(consolidated, mNotes, mProcessedNotes, mGdeRanges, false)) {
        const PipeNote& c = std::next(match.notes.begin())->second;
        const PipeNote* found = findGraceEntry(c);
        if (found == nullptr)
            continue;
        const auto renamed = mGraceNotes.find(found->start_s());
        if (renamed != mGraceNotes.end())
            renamed->second.setNoteName(D);
    }

    const TimeRange shortSecond(0.002f, 0.04f);
    removeTransitionGraceNotes(consolidated, LG, D, C, LG, shortSecond);
    removeTransitionGraceNotes(consolidated, Unknown, E, D, Unknown, shortSecond);
    removeTransitionGraceNotes(consolidated, Unknown, HG, D, C, shortSecond);
    removeTransitionGraceNotes(consolidated, LG, D, E, LG, shortSecond);

    // D gracenotes hidden in long Low G notes show as a stretch of pitch above B.
    const float threshold_Hz = mTuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::B);
    const int averageWindows =
        utils::truncateToInt(mSamplingFrequency_Hz * kHiddenDAverage_s / static_cast<float>(mStepSize));
    const float windowsPerSecond = mSamplingFrequency_Hz / static_cast<float>(mStepSize);
    for (const auto& entry : consolidated) {
        const PipeNote& lowG = entry.second;
        if (lowG.noteName() != LG || !(lowG.duration_s() > kHiddenDMinNote_s))
            continue;
        int i = windowIndex(lowG.start_s() + kHiddenDMargin_s);
        const int last = utils::truncateToInt(mSamplingFrequency_Hz * (lowG.getEnd_s() - kHiddenDMargin_s - kHiddenDAverage_s)
                                              / static_cast<float>(mStepSize));
        const float limit_s = lowG.getEnd_s() - kHiddenDEndMargin_s;
        while (i < last) {
            float average_Hz = calcWindowAverage(mFrequencies, i, averageWindows, 0.75f);
            if (average_Hz > threshold_Hz) {
                const float start_s = windowTime(i);
                do {
                    ++i;
                    average_Hz = calcWindowAverage(mFrequencies, i, averageWindows, 0.75f);
                } while (average_Hz > threshold_Hz && i < last);
                const float end_s = std::min(windowTime(i), limit_s);
                const NoteMap near = notesOverlappingRange(mGraceNotes, TimeRange(start_s, end_s), kHiddenDClearance_s);
                const bool onlyLowG = std::all_of(near.begin(), near.end(),
                                                  [](const auto& n) { return n.second.noteName() == LG; });
                if (end_s > start_s && onlyLowG) {
                    mGraceNotes.emplace_hint(mGraceNotes.upper_bound(start_s), start_s,
                                             PipeNote(D, start_s, end_s - start_s));
                    i = utils::truncateToInt(windowsPerSecond * (end_s + kHiddenDClearance_s));
                }
            }
            ++i;
        }
    }
}

// Consolidation and crossing-noise removal.

NoteMap Vantor::consolidate()
{
    NoteMap working;
    working.emplace(-1.0f, PipeNote(Unknown, -1.0f, 1.0f));
    for (const auto& entry : mGraceNotes)
        working.emplace_hint(working.end(), entry.first, entry.second);
    working.emplace_hint(working.end(), kConsolidatedEnd_s, PipeNote(Unknown, kConsolidatedEnd_s, 0.0f));

    NoteMap consolidated;
    auto insert = [&consolidated](const PipeNote& note) {
        consolidated.emplace_hint(consolidated.upper_bound(note.start_s()), note.start_s(), note);
    };
    for (auto it = working.begin(); it != working.end(); ++it) {
        const PipeNote& g = it->second;
        if (g.start_s() >= 0.0f && g.getEnd_s() < kConsolidatedEnd_s)
            insert(g);
        const auto next = std::next(it);
        if (next == working.end() || !(next->second.start_s() - g.getEnd_s() > kConsolidationGap_s))
            continue;
        // The melody between two gracenotes.
        const TimeRange gap(g.getEnd_s(), next->second.start_s());
        const NoteMap pieces = filterByDuration(constrainNotes(notesOverlappingRange(mNotes, gap, 0.0f), gap),
                                                kConsolidationGap_s, kMaximumMelodyNote_s);
        for (const auto& piece : pieces)
            insert(piece.second);
    }

    if (consolidated.empty())
        return consolidated;
    std::size_t before = 0;
    do {
        before = consolidated.size();
        auto it = consolidated.begin();
        while (it != consolidated.end()) {
            const auto next = std::next(it);
            if (next == consolidated.end())
                break;
            const PipeNote c = it->second;
            const PipeNote x = next->second;
            const float gap_s = x.start_s() - c.getEnd_s();
            if (gap_s < kSameNoteJoin_s && x.noteName() == c.noteName()) {
                const float start_s = std::min(c.start_s(), x.start_s());
                const float end_s = std::max(c.getEnd_s(), x.getEnd_s());
                consolidated.erase(next);
                consolidated.erase(it);
                it = consolidated.emplace(start_s, PipeNote(c.noteName(), start_s, end_s - start_s));
            } else if (gap_s < 0.0f) {
                // Overlapping notes of different names: the later one starts
                // where the earlier ends; one lying wholly inside is dropped.
                consolidated.erase(next);
                if (x.getEnd_s() > c.getEnd_s())
                    consolidated.emplace(c.getEnd_s(), PipeNote(x.noteName(), c.getEnd_s(), x.getEnd_s() - c.getEnd_s()));
                it = std::next(it);
            } else {
                it = next;
            }
        }
    } while (consolidated.size() != before);
    return consolidated;
}

void Vantor::stripCrossingNoises()
{
    const std::set<PipeNoteName> high = {E, F, HG, HA};
    const std::pair<float, float> noise(kCrossingNoiseMin_s, kCrossingNoiseMax_s);
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);

    // High note, short Low A, Low G: the Low G starts where the Low A did.
    pattern.items = {PipeNotePattern::Item(high), PipeNotePattern::Item(LA, noise), PipeNotePattern::Item(LG)};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        auto it = match.notes.begin();
        const PipeNote la = (++it)->second;
        const PipeNote lg = (++it)->second;
        mConsolidatedNotes.erase(la.start_s());
        const auto found = mConsolidatedNotes.find(lg.start_s());
        if (found == mConsolidatedNotes.end())
            continue;
        mConsolidatedNotes.erase(found);
        mConsolidatedNotes.emplace(la.start_s(), PipeNote(LG, la.start_s(), lg.getEnd_s() - la.start_s()));
    }

    // Low G, short Low A, high note: the Low G runs on to the Low A's end.
    pattern.clear();
    pattern.items = {PipeNotePattern::Item(LG), PipeNotePattern::Item(LA, noise), PipeNotePattern::Item(high)};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        auto it = match.notes.begin();
        const PipeNote lg = it->second;
        const PipeNote la = (++it)->second;
        mConsolidatedNotes.erase(la.start_s());
        const auto found = mConsolidatedNotes.find(lg.start_s());
        if (found != mConsolidatedNotes.end())
            found->second.setDuration_s(la.getEnd_s() - found->second.start_s());
    }
}

// Embellishments recognised as a whole.
void Vantor::getGdes() {}
void Vantor::getDoublings() {}
void Vantor::extractThrd() {}
void Vantor::getSingleGracenotes() {}
void Vantor::reformMelodyAndGracing() {}
void Vantor::stripUnlikelyGracenotes() {}
void Vantor::extractShortMelodyNotes() {}

// Rule-based corrections and final clean-up.
void Vantor::applyBusinessLogic() {}
void Vantor::extractHighADoubling() {}
void Vantor::extractBirls() {}
void Vantor::extractStrikes() {}
void Vantor::dealWithMelodyGaps() {}
void Vantor::dealWithContigousGracing() {}
void Vantor::finalGraceNoteCheck() {}
