#include "Vantor.h"

#include "utils.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <functional>
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

// A note lies in a GDE when its start plus 20 ms does.
constexpr float kGdeProbe_s = 0.02f;
// The High G of a High A doubling starts less than 0.2 s after the High A.
constexpr float kHighADoublingLead_s = 0.2f;
// Throws: a Low G held longer than 0.3 s makes a half throw; a C hidden in
// the D is looked for from 30 ms into a D longer than 0.1 s, over 1 s at most.
constexpr float kHalfThrowLowG_s = 0.3f;
constexpr float kThrowDipMinD_s = 0.1f;
constexpr float kThrowDipSkip_s = 0.03f;
constexpr float kThrowDipSpan_s = 1.0f;
// Single gracenotes last 15 ms to 0.15 s.
constexpr float kSingleGraceMin_s = 0.015f;
// A melody note may reach back to its embellishment from up to 0.5 s away.
constexpr float kMelodyReachBack_s = 0.5f;
// A long gracenote between melody notes further apart than this is a short
// melody note; the next note keeps its start unless it outlasts it by 15 ms.
constexpr float kShortMelodyGap_s = 0.05f;
constexpr float kShortMelodyOverlap_s = 0.015f;
// The doubling on High A is looked for in the first 0.2 s of a High A.
constexpr float kHighADoublingSpan_s = 0.2f;
// Birls: two quality dips 40 to 200 ms apart, the first over 50 ms into a Low
// A, with 20 ms half-widths; a High G or thumb gracenote ending at least
// 5 ms before, within 0.2 s, leads it in.
constexpr float kBirlDipHalfWidth_s = 0.02f;
constexpr float kBirlEarliest_s = 0.05f;
constexpr float kBirlMinSpacing_s = 0.04f;
constexpr float kBirlMaxSpacing_s = 0.2f;
constexpr float kBirlLeadIn_s = 0.2f;
constexpr float kBirlLeadInGap_s = 0.005f;
// Strikes: dips from 50 ms after a note's start to 0.1 s before its end, not
// within 60 ms of other gracing; a strike is written as 20 ms long.
constexpr float kStrikeSkipStart_s = 0.05f;
constexpr float kStrikeSkipEnd_s = 0.1f;
constexpr float kStrikeClearance_s = 0.01f;
constexpr float kStrikeNeighbourhood_s = 0.05f;
constexpr float kStrikeDuration_s = 0.02f;

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
        insertByStart(stretched, note);
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
            mGraceNotes.emplace(startX_s, merged);
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
            into.emplace(entry.first, entry.second);
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
                mGraceNotes.emplace(start_s, candidate.second);
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
                    mGraceNotes.emplace(start_s, PipeNote(D, start_s, end_s - start_s));
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
        insertByStart(consolidated, note);
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

void Vantor::getGdes()
{
    const std::set<PipeNoteName> low = {LG, LA, B, C};
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    pattern.items = {PipeNotePattern::Item(HG), PipeNotePattern::Item(low), PipeNotePattern::Item(D),
                     PipeNotePattern::Item(low), PipeNotePattern::Item(E), PipeNotePattern::Item(low)};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, true)) {
        std::vector<PipeNote> notes;
        for (const auto& entry : match.notes)
            notes.push_back(entry.second);
        // The three gracenotes must fall on one and the same low note.
        if (notes[3].noteName() != notes[1].noteName() || notes[5].noteName() != notes[1].noteName())
            continue;
        PipeNotePattern::Match gracenotes;
        const PipeNoteName names[] = {gg, dg, eg};
        for (int k = 0; k < 3; ++k) {
            const PipeNote& grace = notes[static_cast<std::size_t>(2 * k)];
            PipeNote named = grace;
            named.setNoteName(names[k]);
            insertByStart(mProcessedNotes, named);
            gracenotes.notes.emplace_hint(gracenotes.notes.end(), grace.start_s(), grace);
        }
        mGdeRanges.emplace_back(notes[0].start_s(), notes[4].start_s());
        removePatternMatch(gracenotes, mConsolidatedNotes);
    }
}

bool Vantor::overlapsGde(const PipeNote& note) const
{
    const float probe_s = note.start_s() + kGdeProbe_s;
    return std::any_of(mGdeRanges.begin(), mGdeRanges.end(),
                       [probe_s](const TimeRange& range) { return range.first <= probe_s && probe_s < range.second; });
}

void Vantor::getDoublings()
{
    using Item = PipeNotePattern::Item;
    const std::pair<float, float> taorluathNote(0.02f, 0.2f);
    const std::pair<float, float> gripNote(0.02f, 0.15f);

    struct Row {
        std::vector<Item> items;
        PipeNoteName name;
        int melodyNoteIndex = 0;
        bool keepLastNote = true;
        bool mustFollowMelodyNote = false;
        bool shortLastNote = false;
    };
    // Earlier rows take precedence: what a row matches leaves the
    // consolidated map before the next row is searched.
    const std::vector<Row> rows = {
        {{Item(LG, taorluathNote), Item(D, {0.005f, 0.2f}), Item(LG, taorluathNote), Item(E, taorluathNote),
          Item({LG, LA, B, C})},
         tar, 3},
        {{Item(LG, taorluathNote), Item(B, taorluathNote), Item(LG, taorluathNote), Item(E, taorluathNote),
          Item({LG, LA, B, C})},
         tarb},
        {{Item(HG), Item(LG), Item(D), Item(LG)}, dblg},
        {{Item(HA), Item(LG), Item(D), Item(LG)}, tdblg},
        {{Item(LG), Item(D), Item(LG)}, grp, 3, false, false, true},
        {{Item(LG), Item(D), Item(LG)}, hdblg, 0, true, true},
        {{Item(HG), Item(LA), Item(D), Item(LA)}, dbla},
        {{Item(HA), Item(LA), Item(D), Item(LA)}, tdbla},
        {{Item(LA), Item(D), Item(LA)}, hdbla, 0, true, true},
        {{Item(HG), Item(B), Item(D), Item(B)}, dbb},
        {{Item(HA), Item(B), Item(D), Item(B)}, tdbb},
        {{Item(B), Item(D), Item(B)}, hdbb, 0, true, true},
        {{Item(HG), Item(C), Item(D), Item(C)}, dbc},
        {{Item(HA), Item(C), Item(D), Item(C)}, tdbc},
        {{Item(C), Item(D), Item(C)}, hdbc, 0, true, true},
        {{Item(HG), Item(D), Item(E), Item(D)}, dbd},
        {{Item(HA), Item(D), Item(E), Item(D)}, tdbd},
        {{Item(D), Item(E), Item(D)}, hdbd, 0, true, true},
        {{Item(HG), Item(E), Item(F), Item(E)}, dbe},
        {{Item(HA), Item(E), Item(F), Item(E)}, tdbe},
        {{Item(E), Item(F), Item(E)}, hdbe, 0, true, true},
        {{Item(HG), Item(F), Item(HG), Item(F)}, dbf},
        {{Item(HA), Item(F), Item(HG), Item(F)}, tdbf},
        {{Item(F), Item(HG), Item(F)}, hdbf, 0, true, true},
        {{Item(HA), Item(F), Item(HG), Item(F)}, tdbf},
        {{Item(HG), Item(F), Item(HG)}, dbhg},
        {{Item(HA), Item(HG, gripNote), Item(HA)}, dbha},
        {{Item(LG, gripNote), Item(D, gripNote), Item({LA, B, C}, {kMinimumMelodyNote_s, kMaximumMelodyNote_s})}, grp},
    };

    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    for (const Row& row : rows) {
        pattern.clear();
        pattern.items = row.items;
        pattern.mustFollowMelodyNote = row.mustFollowMelodyNote;
        pattern.shortLastNote = row.shortLastNote;
        std::vector<PipeNotePattern::Match> matches = detectPattern(pattern, false);
        if (row.name == dbha) {
            // The High G of a High A doubling follows the High A closely.
            matches.erase(std::remove_if(matches.begin(), matches.end(),
                                         [](const PipeNotePattern::Match& match) {
                                             const auto first = match.notes.begin();
                                             return !(std::next(first)->second.start_s() - first->second.start_s()
                                                      < kHighADoublingLead_s);
                                         }),
                          matches.end());
        }
        myApplyPatternMatches(row.name, matches, row.melodyNoteIndex, row.keepLastNote);
    }
}

void Vantor::extractThrd()
{
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    // A Low G held this long stays a note of its own: the throw is a half throw.
    auto throwKind = [](const PipeNote& lowG, const PipeNote& d) {
        return lowG.duration_s() > kHalfThrowLowG_s ? std::make_pair(hthrd, d.start_s())
                                                      : std::make_pair(thrd, lowG.start_s());
    };

    // Throws whose C was detected as a note of its own.
    pattern.items = {PipeNotePattern::Item(LG, {0.02f, 30.0f}), PipeNotePattern::Item(D, {0.03f, 1.0f}),
                     PipeNotePattern::Item(C, {0.02f, 0.15f}), PipeNotePattern::Item(D, {0.02f, 30.0f})};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        auto it = match.notes.begin();
        const PipeNote a = (it++)->second;
        const PipeNote b = (it++)->second;
        const PipeNote c = it->second;
        const auto [name, start_s] = throwKind(a, b);
        PipeNote made(name, start_s, c.getEnd_s() - start_s);
        made.setMelodyNoteStartOffset_s(b.start_s() - start_s);
        mProcessedNotes.emplace(start_s, made);
        PipeNotePattern::Match removed;
        if (name == thrd)
            removed.notes.emplace(a.start_s(), a);
        removed.notes.emplace(b.start_s(), b);
        removed.notes.emplace(c.start_s(), c);
        removePatternMatch(removed, mConsolidatedNotes);
    }

    // Throws whose C shows only as a dip in the held D.
    pattern.clear();
    pattern.items = {PipeNotePattern::Item(LG, {0.02f, 30.0f}), PipeNotePattern::Item(D, {0.02f, 30.0f})};
    const float centre_Hz = mTuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::D);
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        const PipeNote a = match.notes.begin()->second;
        const PipeNote b = std::next(match.notes.begin())->second;
        const auto [name, start_s] = throwKind(a, b);
        if (!(b.duration_s() > kThrowDipMinD_s))
            continue;
        const TimeRange range(b.start_s() + kThrowDipSkip_s, std::min(b.getEnd_s(), b.start_s() + kThrowDipSpan_s));
        const std::vector<float> dips = findConfirmedTroughs(range, centre_Hz, 1.0f, 50.0f, 0.03f, 0.02f, 0.7f, 0.015f);
        if (dips.empty())
            continue;
        PipeNote made(name, start_s, range.first + dips.front() - start_s);
        made.setMelodyNoteStartOffset_s(b.start_s() - start_s);
        mProcessedNotes.emplace(start_s, made);
        if (name == thrd) {
            PipeNotePattern::Match removed;
            removed.notes.emplace(a.start_s(), a);
            removePatternMatch(removed, mConsolidatedNotes);
        }
    }
}

void Vantor::getSingleGracenotes()
{
    PipeNotePattern::Match taken;
    for (auto it = mConsolidatedNotes.begin(); it != mConsolidatedNotes.end(); ++it) {
        const PipeNote& note = it->second;
        if (!(kSingleGraceMin_s <= note.duration_s() && note.duration_s() < kGracenoteMax_s))
            continue;
        PipeNoteName name = Unknown;
        if (note.noteName() == LG) {
            if (overlapsGde(note))
                continue;
            // A short Low G between two different long notes is a High G
            // gracenote read an octave low; anywhere else it is a strike.
            name = strlg;
            if (it != mConsolidatedNotes.begin() && std::next(it) != mConsolidatedNotes.end()) {
                const PipeNote& before = std::prev(it)->second;
                const PipeNote& after = std::next(it)->second;
                if (before.duration_s() > kMinimumMelodyNote_s && after.duration_s() > kMinimumMelodyNote_s
                    && before.noteName() != after.noteName())
                    name = gg;
            }
        } else {
            name = melodyToSingleGraceNote(note.noteName());
            if (name == Unknown)
                continue;
        }
        PipeNote grace = note;
        grace.setNoteName(name);
        insertByStart(mProcessedNotes, grace);
        taken.notes.emplace_hint(taken.notes.end(), it->first, note);
    }
    // Neighbours were judged on the map as it stood; remove only now.
    removePatternMatch(taken, mConsolidatedNotes);
}

void Vantor::reformMelodyAndGracing()
{
    mGraceNotes.clear();
    mNotes.clear();
    if (mConsolidatedNotes.empty())
        return;

    NoteMap timeline;
    PipeNote head(Unknown, -1.0f, 1.0f);
    head.setMelodyNoteStartOffset_s(mConsolidatedNotes.begin()->second.start_s() + 1.0f);
    timeline.emplace(head.start_s(), head);
    for (const auto& entry : mProcessedNotes)
        timeline.emplace(entry.first, entry.second);
    timeline.emplace_hint(timeline.end(), kConsolidatedEnd_s, PipeNote(Unknown, kConsolidatedEnd_s, 0.0f));

    for (auto it = timeline.begin(); it != timeline.end(); ++it) {
        const PipeNote& p = it->second;
        if (p.start_s() >= 0.0f && p.getEnd_s() < kConsolidatedEnd_s)
            insertByStart(mGraceNotes, p);
        const auto next = std::next(it);
        if (next == timeline.end())
            continue;
        const PipeNote& q = next->second;
        const float gapStart_s = p.getEnd_s();
        if (!(q.start_s() - gapStart_s > kConsolidationGap_s))
            continue;
        const NoteMap overlapping = notesOverlappingRange(mConsolidatedNotes, TimeRange(gapStart_s, q.start_s()),
                                                          kConsolidationGap_s);
        const NoteMap clipped = constrainNotes(overlapping, TimeRange(std::max(p.start_s(), 0.0f), q.start_s()));
        std::vector<PipeNote> melody;
        for (const auto& entry : filterByDuration(clipped, kConsolidationGap_s, kMaximumMelodyNote_s))
            melody.push_back(entry.second);
        if (melody.empty())
            continue;
        // The melody note an embellishment leads into starts where the
        // embellishment says, and the last one lasts until the next
        // embellishment's melody note begins.
        PipeNote& first = melody.front();
        if (first.start_s() - gapStart_s < kMelodyReachBack_s) {
            const float end_s = first.getEnd_s();
            const float start_s = std::max(p.melodyNoteStart_s(), 0.0f);
            first.setStart_s(start_s);
            first.setDuration_s(end_s - start_s);
        }
        PipeNote& last = melody.back();
        last.setDuration_s(last.duration_s() + q.melodyNoteStartOffset_s());
        for (const PipeNote& note : melody)
            insertByStart(mNotes, note);
    }
}

void Vantor::stripUnlikelyGracenotes()
{
    for (auto it = mGraceNotes.begin(); it != mGraceNotes.end();) {
        const auto next = std::next(it);
        const PipeNote& grace = it->second;
        auto sameName = [&grace](const NoteMap& notes) {
            return std::any_of(notes.begin(), notes.end(),
                               [&grace](const auto& entry) { return entry.second.noteName() == grace.noteName(); });
        };
        bool erase = sameName(notesStartingAt(mNotes, grace.start_s(), kGraceLookup_s))
                     || sameName(notesEndingAt(mNotes, grace.start_s(), kGraceLookup_s));
        if (!erase && grace.duration_s() < kLongGracenote_s) {
            // A short gracenote crowding the embellishment right after it.
            for (const auto& entry : notesStartingAt(mGraceNotes, grace.getEnd_s(), kPatternJoin_s)) {
                const PipeNoteName name = entry.second.noteName();
                if (name != grace.noteName() && isComplexMovement(name))
                    erase = true;
            }
        }
        if (!erase && isMelodyNote(grace.noteName()) && grace.duration_s() > kGracenoteMax_s)
            erase = true;
        if (erase)
            mGraceNotes.erase(it);
        it = next;
    }
}

void Vantor::rebuildWalk(const std::function<void(std::vector<PipeNote>&, std::size_t, PipeNote&)>& rule)
{
    std::vector<PipeNote> sequence = combineMelodyAndGraceNotes(mNotes, mGraceNotes);
    if (sequence.size() < 3)
        return;
    mNotes.clear();
    mGraceNotes.clear();
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        PipeNote current = sequence[i];
        rule(sequence, i, current);
        NoteMap& into = noteTypeFromName(current.noteName()) == MelodyNote ? mNotes : mGraceNotes;
        insertByStart(into, current);
    }
}

namespace {

// The melody note a single gracenote or strike sounds.
PipeNoteName singleGraceToMelodyNote(PipeNoteName name)
{
    const PipeNoteName melody = graceNoteToMelodyNote(name);
    return melody != Unknown ? melody : strikeToMelodyNote(name);
}

void setSpan(PipeNote& note, float start_s, float end_s)
{
    note.setStart_s(start_s);
    note.setDuration_s(end_s - start_s);
}

} // namespace

void Vantor::extractShortMelodyNotes()
{
    rebuildWalk([](std::vector<PipeNote>& v, std::size_t i, PipeNote& current) {
        if (!(i > 0 && i + 1 < v.size() && isSingleGraceNote(current.noteName())
              && current.duration_s() > kLongGracenote_s))
            return;
        PipeNote previous = v[i - 1];
        if (i >= 2 && !isMelodyNote(previous.noteName()))
            previous = v[i - 2];
        PipeNote next = v[i + 1];
        if (!isMelodyNote(next.noteName()) && i + 2 < v.size())
            next = v[i + 2];
        if (!isMelodyNote(previous.noteName()) || !isMelodyNote(next.noteName()))
            return;
        // A long strike is as much a short melody note as a long gracenote.
        const PipeNoteName melody = singleGraceToMelodyNote(current.noteName());
        const float gap_s = next.start_s() - previous.getEnd_s();
        if (gap_s > kShortMelodyGap_s) {
            current.setNoteName(melody);
            PipeNote& following = v[i + 1];
            if (current.getEnd_s() >= following.start_s() && following.getEnd_s() - current.getEnd_s() > kShortMelodyOverlap_s)
                setSpan(following, current.getEnd_s(), following.getEnd_s());
            return;
        }
        const int step = melodyNoteOrdinalValue(melody) - melodyNoteOrdinalValue(previous.noteName());
        if (graceNoteToMelodyNote(current.noteName()) != Unknown
            && step == melodyNoteOrdinalValue(next.noteName()) - melodyNoteOrdinalValue(melody)
            && (step == 1 || step == -1)) {
            current.setNoteName(melody);
            setSpan(v[i + 1], current.getEnd_s(), next.getEnd_s());
        }
    });
}

// Rule-based corrections and final clean-up.

void Vantor::applyBusinessLogic()
{
    rebuildWalk([this](std::vector<PipeNote>& v, std::size_t i, PipeNote& current) {
        if (!(i > 0 && i + 1 < v.size()))
            return;
        const PipeNote previous = v[i - 1];
        const PipeNote next = v[i + 1];
        if (current.noteName() == fg) {
            if (previous.noteName() == HA && next.noteName() == HG)
                current.setNoteName(strf);
            else if (current.duration_s() < kLongGracenote_s)
                current.setNoteName(gg);
        }
        if (previous.noteName() != gg)
            return;
        // A High G gracenote, a short note and a lower melody note make a
        // doubling whose middle note was read as a gracenote or a short note.
        auto shortOrGrace = [&current](PipeNoteName grace, PipeNoteName melody) {
            return current.noteName() == grace
                   || (current.noteName() == melody && current.duration_s() < kGracenoteMax_s);
        };
        PipeNoteName doubling = Unknown;
        const PipeNoteName after = next.noteName();
        if (shortOrGrace(dg, D) && (after == LG || after == LA || after == B || after == C))
            doubling = static_cast<PipeNoteName>(after + (dblg - LG));
        else if (shortOrGrace(fg, F) && after == E)
            doubling = dbe;
        else if (shortOrGrace(eg, E) && after == D)
            doubling = dbd;
        if (doubling == Unknown)
            return;
        if (!mGraceNotes.empty())
            mGraceNotes.erase(std::prev(mGraceNotes.end()));
        setSpan(current, previous.start_s(), current.getEnd_s());
        current.setNoteName(doubling);
        setSpan(v[i + 1], previous.start_s(), v[i + 1].getEnd_s());
    });
}

void Vantor::extractHighADoubling()
{
    for (const auto& entry : mNotes) {
        const PipeNote& note = entry.second;
        if (note.noteName() != HA)
            continue;
        const TimeRange range(note.start_s(), note.start_s() + std::min(note.duration_s(), kHighADoublingSpan_s));
        const std::vector<float> dips =
            findConfirmedTroughs(range, 2.0f * mLowA_Hz, 3.0f, 80.0f, 0.03f, 0.02f, 0.7f, 0.015f);
        if (!dips.empty())
            mGraceNotes.emplace(note.start_s(), PipeNote(dbha, note.start_s(), dips.front()));
    }
}

void Vantor::extractBirls()
{
    const int smoothing =
        utils::truncateToInt(kTroughSmoothing_s * mSamplingFrequency_Hz / static_cast<float>(mStepSize));
    if (smoothing < 1)
        return;
    const int halfWidth = utils::truncateToInt(mSamplingFrequency_Hz * kBirlDipHalfWidth_s
                                               / static_cast<float>(mStepSize * smoothing));
    auto offset = [&](int dip) { return static_cast<float>(dip * smoothing * mStepSize) / mSamplingFrequency_Hz; };

    for (auto it = mNotes.begin(); it != mNotes.end(); ++it) {
        if (it->second.noteName() != LA)
            continue;
        const PipeNote note = it->second;
        const std::vector<float> quality = smoothSamples(mQualities, smoothing, windowIndex(note.start_s()),
                                                         windowIndex(note.getEnd_s()), 0.0f, 1.0f, 1.0f);
        const std::vector<int> dips = detectTroughs(quality, halfWidth, 0.05f, 50.0f);

        std::size_t a = 0;
        while (a < dips.size()) {
            const float ta = offset(dips[a]);
            if (!(ta > kBirlEarliest_s)) {
                ++a;
                continue;
            }
            // The second dip of a birl follows the first by 40 to 200 ms.
            std::size_t b = a + 1;
            for (; b < dips.size(); ++b) {
                const float gap_s = offset(dips[b]) - ta;
                if (gap_s > kBirlMaxSpacing_s) {
                    b = dips.size();
                    break;
                }
                if (gap_s > kBirlMinSpacing_s)
                    break;
            }
            if (b >= dips.size()) {
                ++a;
                continue;
            }
            const float birlStart_s = note.start_s() + ta;
            const float birlEnd_s = note.start_s() + offset(dips[b]);

            // A High G or thumb gracenote just before makes it a gbr or tbr;
            // any other gracing there rules the pair out.
            PipeNoteName kind = Unknown;
            float start_s = birlStart_s;
            bool abandoned = false;
            for (const auto& entry :
                 notesOverlappingRange(mGraceNotes, TimeRange(birlStart_s - kBirlLeadIn_s, birlEnd_s), 0.0f)) {
                const PipeNote& grace = entry.second;
                if (grace.noteName() != gg && grace.noteName() != tg) {
                    abandoned = true;
                    break;
                }
                if (grace.getEnd_s() < birlStart_s - kBirlLeadInGap_s) {
                    kind = grace.noteName() == gg ? gbr : tbr;
                    start_s = grace.start_s();
                    mGraceNotes.erase(grace.start_s());
                    break;
                }
            }
            if (abandoned) {
                ++a;
                continue;
            }
            if (kind == Unknown) {
                kind = ta > kMinimumMelodyNote_s ? brl : abr;
                start_s = kind == brl ? birlStart_s : note.start_s();
            }
            mGraceNotes.emplace(start_s, PipeNote(kind, start_s, birlEnd_s - start_s));
            if (kind == brl) {
                // The rest of the Low A is examined as a note of its own.
                it->second.setDuration_s(birlStart_s - note.start_s());
                mNotes.emplace(birlStart_s, PipeNote(LA, birlStart_s, note.getEnd_s() - birlStart_s));
                break;
            }
            a = b + 1;
        }
    }
}

void Vantor::extractStrikes()
{
    for (auto it = mNotes.begin(); it != mNotes.end(); ++it) {
        const PipeNoteName name = it->second.noteName();
        PipeNoteName strike = Unknown;
        switch (name) {
        case LA: case B: case C: strike = strlg; break;
        case D: strike = strc; break;
        case E: strike = strla; break;
        case F: strike = stre; break;
        case HG: strike = strf; break;
        case HA: strike = strhg; break;
        default: break;
        }
        if (strike == Unknown)
            continue;
        const PipeNote note = it->second;
        const float centre_Hz = mTuning.getReferenceNoteCentreFrequency_Hz(noteNameToReferenceNote(name));
        const TimeRange range(note.start_s() + kStrikeSkipStart_s, note.getEnd_s() - kStrikeSkipEnd_s);
        const std::vector<float> dips = findConfirmedTroughs(range, centre_Hz, 1.0f, 120.0f, 0.02f, 0.03f, 0.9f, 0.015f);

        // Several strikes split the note into parts that follow one another:
        // each part ends at the next strike.
        auto part = it;
        for (float dip : dips) {
            const float t = range.first + dip;
            if (!notesOverlappingRange(mGraceNotes, TimeRange(t - kStrikeClearance_s, t + kStrikeClearance_s),
                                       kStrikeNeighbourhood_s)
                     .empty())
                continue;
            mGraceNotes.emplace(t, PipeNote(strike, t, kStrikeDuration_s));
            part->second.setDuration_s(t - part->second.start_s());
            part = mNotes.emplace(t, PipeNote(name, t, note.getEnd_s() - t));
        }
    }
}

void Vantor::dealWithMelodyGaps()
{
    if (mNotes.empty())
        return;
    for (auto previous = mNotes.begin(), current = std::next(previous); current != mNotes.end();
         previous = current, ++current) {
        const float start_s = current->second.start_s();
        if (!(start_s - previous->second.getEnd_s() > kConsolidationGap_s))
            continue;
        const NoteMap near = notesOverlappingRange(mGraceNotes, TimeRange(start_s - kGraceLookup_s, start_s + kGraceLookup_s), 0.0f);
        if (!near.empty() && near.begin()->second.noteName() == thrd)
            previous->second.setDuration_s(start_s - previous->second.start_s());
    }
}

void Vantor::dealWithContigousGracing()
{
    // Turns v[i + 1] into melody note name from current's start, and pulls a
    // melody note after it back to where it ends.
    auto nextBecomesMelody = [](std::vector<PipeNote>& v, std::size_t i, const PipeNote& current, PipeNoteName name) {
        PipeNote& next = v[i + 1];
        next.setNoteName(name);
        setSpan(next, current.start_s(), next.getEnd_s());
        if (i + 2 < v.size() && isMelodyNote(v[i + 2].noteName()))
            setSpan(v[i + 2], next.getEnd_s(), v[i + 2].getEnd_s());
    };

    // Two single gracenotes in a row: the one that is not a primary (D, E or
    // High G) gracenote is a short melody note. A strike stays a strike here.
    rebuildWalk([&](std::vector<PipeNote>& v, std::size_t i, PipeNote& current) {
        if (i + 1 >= v.size())
            return;
        const PipeNote next = v[i + 1];
        if (!isSingleGraceNote(current.noteName()) || !isSingleGraceNote(next.noteName()))
            return;
        const bool currentPrimary = isPrimaryGracenote(current.noteName());
        const bool nextPrimary = isPrimaryGracenote(next.noteName());
        if (currentPrimary && !nextPrimary) {
            const PipeNoteName melody = graceNoteToMelodyNote(next.noteName());
            if (melody != Unknown)
                nextBecomesMelody(v, i, current, melody);
        } else if (!currentPrimary && nextPrimary) {
            const PipeNoteName melody = graceNoteToMelodyNote(current.noteName());
            if (melody != Unknown)
                current.setNoteName(melody);
        }
    });

    // Two gracing entries in a row: a long single gracenote (or strike) is a
    // melody note.
    rebuildWalk([&](std::vector<PipeNote>& v, std::size_t i, PipeNote& current) {
        if (i + 1 >= v.size())
            return;
        const PipeNote next = v[i + 1];
        if (isMelodyNote(current.noteName()) || isMelodyNote(next.noteName()))
            return;
        if (isSingleGraceNote(next.noteName()) && next.duration_s() >= kLongGracenote_s)
            nextBecomesMelody(v, i, current, singleGraceToMelodyNote(next.noteName()));
        else if (isSingleGraceNote(current.noteName()) && current.duration_s() >= kLongGracenote_s)
            current.setNoteName(singleGraceToMelodyNote(current.noteName()));
    });
}

void Vantor::finalGraceNoteCheck()
{
    rebuildWalk([](std::vector<PipeNote>& v, std::size_t i, PipeNote& current) {
        if (!(i > 0 && i + 1 < v.size()) || noteTypeFromName(current.noteName()) != GraceNote)
            return;
        const PipeNote previous = v[i - 1];
        const PipeNote next = v[i + 1];
        if (noteTypeFromName(previous.noteName()) != MelodyNote || noteTypeFromName(next.noteName()) != MelodyNote)
            return;
        const PipeNoteName melody = graceNoteToMelodyNote(current.noteName());
        const int o = melodyNoteOrdinalValue(melody);
        const int before = melodyNoteOrdinalValue(previous.noteName());
        const int after = melodyNoteOrdinalValue(next.noteName());
        const bool isLong = current.duration_s() >= kLongGracenote_s;
        bool becomesMelody = false;
        if (o > before && o > after)
            return;
        if (o < before && o < after) {
            // Below both neighbours: a strike, unless a long B or C leads
            // a step up into the next note.
            const PipeNoteName strike = melodyToStrike(melody);
            if ((isLong && strike == strb && next.noteName() != C) || (isLong && strike == strc && next.noteName() != D))
                becomesMelody = true;
            else if (strike != Unknown)
                current.setNoteName(strike);
        } else {
            becomesMelody = isLong;
        }
        if (becomesMelody) {
            current.setNoteName(melody);
            setSpan(v[i + 1], current.getEnd_s(), next.getEnd_s());
        }
    });
}
