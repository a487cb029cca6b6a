// The engine's driver: parameters, the per-window tracks and the order of the
// pipeline. The stages live beside it, one file a section:
//   VantorRefinement.cpp     helpers the stages share (stretching, dips, transitions)
//   VantorGracenotes.cpp     gracenote extraction, consolidation, crossing noises
//   VantorEmbellishments.cpp GDEs, doublings, throws, single gracenotes, reform
//   VantorCleanup.cpp        short melody notes, business logic, birls, strikes, clean-up
//
// Maps and tracks, read (r) and written (w) here:
//   mFrequencies, mPickedFrequencies, mQualities, mVolumes   w  calculateFrequencies
//   mNoteTrack, mFlatNoteTrack, mPickedNoteTrack             w  calculateNotes
//   mNotes                                                  w  getMelodyNotes
//   every result map                                        w  clearResults, reset

#include "Vantor.h"

#include "utils.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr float kMinimumSamplingFrequency_Hz = 8000.0f;
// Windows per second of audio is 2205 whatever the rate: step = fs / 2205.
constexpr double kWindowsPerSecond = 2205.0;
constexpr float kReferenceLowA_Hz = 440.0f;
// The flat note track reads every pitch against a Low A lowered by 1/44
// (about 40 cents), which catches notes played on the flat side.
constexpr float kFlatLowAFraction = 1.0f / 44.0f;
constexpr std::size_t kVolumeRingSize = 10;

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
    mStepSize = static_cast<int>(std::round(static_cast<double>(mSamplingFrequency_Hz) / kWindowsPerSecond));
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
                                      mMinimumVolume_normalized, mJobs);
}

void Vantor::configurePitchFinder(PitchFinder& finder, PipeSnacPeakPicker& picker) const
{
    configureChanterPitchFinder(finder, picker, mTuning, mSamplingFrequency_Hz, kWindowSize);
    finder.snacPeakThreshold = mSnacPeakThreshold;
    finder.minimumSnacPeak = mMinimumSnacPeak;
}

void Vantor::analyseWindows(PitchFinder& finder, const short* data, const float* filtered, std::size_t base,
                            std::size_t first, std::size_t last)
{
    const unsigned int step = static_cast<unsigned int>(mStepSize);
    for (std::size_t k = first; k < last; ++k) {
        const std::size_t offset = k * step;
        const std::size_t i = base + k;
        const bool refresh = i % PitchFinder::kRefreshInterval == 0;
        if (filtered != nullptr)
            finder.setNextData(filtered + offset, step, refresh);
        else
            finder.setNextData(data + offset, step, refresh);
        finder.calculatePitch();
        const PitchFinder::AnalysisResults results = finder.analysisResults();

        mVolumes[i] = results.volume_normalized;
        const bool gated = i >= kUngatedWindows && !(results.volume_normalized > mMinimumVolume_normalized);
        mFrequencies[i] = gated ? 0.0f : results.frequency_Hz;
        mPickedFrequencies[i] = gated ? 0.0f : results.pickedFrequency_Hz;
        mQualities[i] = gated ? 0.0f : results.quality;
    }
}

unsigned int Vantor::calculateFrequencies(const short* data, unsigned int count)
{
    if (data == nullptr || count < kWindowSize)
        return 0;

    configurePitchFinder(mPitchFinder, mSnacPeakPicker);
    const unsigned int step = static_cast<unsigned int>(mStepSize);
    const unsigned int windows = (count - kWindowSize) / step + 1;
    const std::size_t base = mFrequencies.size();
    const std::size_t total = base + windows;
    mFrequencies.resize(total);
    mPickedFrequencies.resize(total);
    mQualities.resize(total);
    mVolumes.resize(total);

    // Each window's results depend only on its samples and the tuning, and
    // a track refreshes at fixed windows: stretches cut there are analysed
    // side by side with the same results, each window written by one
    // thread. The last stretch runs here, so that the next block goes on
    // from this finder as it would have without the threads.
    const float* filtered = mFilterCornerFrequency_Hz != 0.0f ? mInputFilter.filter(data, count) : nullptr;
    utils::runInStretches(windows, base, PitchFinder::kRefreshInterval, mJobs,
                          [&](std::size_t first, std::size_t last) {
                              if (last == windows) {
                                  analyseWindows(mPitchFinder, data, filtered, base, first, last);
                                  return;
                              }
                              PitchFinder finder;
                              PipeSnacPeakPicker picker;
                              bindPeakPicker(finder, picker);
                              configurePitchFinder(finder, picker);
                              analyseWindows(finder, data, filtered, base, first, last);
                          });
    // At rates above about 2.26 MHz a step is longer than a window, and the
    // next window would start beyond the block: what is held is all there is
    // to consume.
    return std::min<unsigned int>(windows * step, count);
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
    for (std::size_t i = 0; i < count; ++i) {
        volumeRing[i % kVolumeRingSize] = mVolumes.at(i);
        const double average = std::accumulate(volumeRing, volumeRing + kVolumeRingSize, 0.0) / kVolumeRingSize;
        if (i >= kUngatedWindows && !(average > mMinimumVolume_normalized)) {
            mNoteTrack[i] = PipeTuning::Unknown;
            mFlatNoteTrack[i] = PipeTuning::Unknown;
            mPickedNoteTrack[i] = PipeTuning::Unknown;
            continue;
        }
        mNoteTrack[i] = mTuning.note(mFrequencies.at(i));
        mFlatNoteTrack[i] = flat.note(mFrequencies.at(i));
        mPickedNoteTrack[i] = mTuning.note(mPickedFrequencies.at(i));
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

int Vantor::windowIndex(float time_s) const
{
    return utils::truncateToInt(time_s * mSamplingFrequency_Hz / static_cast<float>(mStepSize));
}

float Vantor::windowTime(int index) const
{
    return static_cast<float>(index * mStepSize) / mSamplingFrequency_Hz;
}