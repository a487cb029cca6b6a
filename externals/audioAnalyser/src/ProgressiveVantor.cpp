#include "ProgressiveVantor.h"

#include "utils.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr float kDefaultInterval_s = 0.1f;
// A new note this close after the start of the last frozen one is taken to be
// that note again, unless it completes a gracenote with its melody note.
constexpr float kHistoryOverlap_s = 0.02f;
constexpr float kCutoffMargin_s = 0.01f;
constexpr int kTrimStep_ms = 1000;
constexpr float kTrimStep_s = 1.0f;

} // namespace

ProgressiveVantor::ProgressiveVantor()
{
    reset();
}

void ProgressiveVantor::reset()
{
    Vantor::reset();
    mPendingData.clear();
    mProcessedSamples = 0;
    mNextTranscribeTime_s = kDefaultInterval_s;
    mHistory.clear();
    mTrimmedTime_s = 0.0f;
    mHistoricTuning.reset();
    mHistoricTuning.setAverageSize(utils::truncateToInt(mSamplingFrequency_Hz / static_cast<float>(mStepSize)));
    mTranscriptionInterval_s = kDefaultInterval_s;
    mOpenNote = PipeNote();
    mHasOpenNote = false;
}

bool ProgressiveVantor::progressiveTranscribe(const short* data, unsigned int count, bool forceTranscription)
{
    if (data != nullptr && count > 0) {
        mPendingData.insert(mPendingData.end(), data, data + count);
        const std::size_t windowsBefore = mFrequencies.size();
        const unsigned int consumed =
            calculateFrequencies(mPendingData.data(), static_cast<unsigned int>(mPendingData.size()));
        mProcessedSamples += static_cast<int>(consumed);
        if (consumed > 0) {
            mPendingData.erase(mPendingData.begin(), mPendingData.begin() + consumed);
            const int newWindows = static_cast<int>(mFrequencies.size() - windowsBefore);
            mHistoricTuning.update(mFrequencies, mQualities, mVolumes,
                                   static_cast<int>(mFrequencies.size()) - newWindows);
            mTuning = mHistoricTuning.tuning();
        }
    }
    const float analysed_s = lastTranscribeTime_s();
    if (!forceTranscription && !(analysed_s > mNextTranscribeTime_s))
        return false;
    retranscribe();
    mNextTranscribeTime_s = analysed_s + mTranscriptionInterval_s;
    return true;
}

float ProgressiveVantor::lastTranscribeTime_s() const
{
    return static_cast<float>(mProcessedSamples) / mSamplingFrequency_Hz;
}

void ProgressiveVantor::setTranscriptionInterval_s(float interval_s)
{
    mTranscriptionInterval_s = interval_s;
    mNextTranscribeTime_s = interval_s;
}

void ProgressiveVantor::setHistoricalTuning(const HistoricPipeTuning& historicTuning)
{
    mHistoricTuning = historicTuning;
    mTuning = mHistoricTuning.tuning();
    setLowA_Hz(mTuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA));
}

float ProgressiveVantor::getLastRmsAverage_normalized(int n) const
{
    if (mVolumes.empty() || n <= 0)
        return 0.0f;
    const std::size_t count = std::min(mVolumes.size(), static_cast<std::size_t>(n));
    const double sum = std::accumulate(mVolumes.end() - static_cast<std::ptrdiff_t>(count), mVolumes.end(), 0.0);
    return static_cast<float>(sum / static_cast<double>(count));
}

void ProgressiveVantor::retranscribe()
{
    clearResults();
    mNoteTrack.clear();
    mFlatNoteTrack.clear();
    mPickedNoteTrack.clear();
    calculateNotes();
    transcribe();

    std::vector<PipeNote> work =
        appendToHistory(mHistory, combineMelodyAndGraceNotes(mNotes, mGraceNotes), mTrimmedTime_s);
    if (mHasOpenNote) {
        const auto firstFresh = work.begin() + static_cast<std::ptrdiff_t>(mHistory.size());
        const std::vector<PipeNote> resumed = resumeOpenNote(mOpenNote, std::vector<PipeNote>(firstFresh, work.end()));
        work.erase(firstFresh, work.end());
        work.insert(work.end(), resumed.begin(), resumed.end());
    }

    mNotes.clear();
    mGraceNotes.clear();
    splitMelodyAndGraceNotes(work, mNotes, mGraceNotes);

    // Only notes finished well before the analysed end can be frozen.
    const float now_s = lastTranscribeTime_s();
    std::size_t frozen = work.size();
    while (frozen > 0 && work[frozen - 1].getEnd_s() >= now_s - kFreezeMargin_s)
        --frozen;

    if (now_s - mTrimmedTime_s > kHeldTracks_s) {
        while (now_s - mTrimmedTime_s > kHeldTracks_s) {
            trimFrequencies(kTrimStep_ms);
            mTrimmedTime_s += kTrimStep_s;
        }
        // The first unfinished note, when it began before the tracks now
        // begin, would come back from them without its start: it is held
        // open instead of frozen.
        mHasOpenNote = frozen < work.size() && isMelodyNote(work[frozen].noteName())
                       && work[frozen].start_s() < mTrimmedTime_s;
        if (mHasOpenNote)
            mOpenNote = work[frozen];
        work.resize(frozen);
        mHistory = work;
    }
}

std::vector<PipeNote> ProgressiveVantor::resumeOpenNote(const PipeNote& open, const std::vector<PipeNote>& fresh)
{
    std::vector<PipeNote> resumed;
    PipeNote held = open;
    bool placed = false;
    for (const PipeNote& note : fresh) {
        if (placed) {
            resumed.push_back(note);
            continue;
        }
        if (note.start_s() < held.getEnd_s()) {
            if (isMelodyNote(note.noteName()) && note.noteName() == held.noteName()) {
                // The same note, heard on from where the tracks begin.
                held.setDuration_s(std::max(held.duration_s(), note.getEnd_s() - held.start_s()));
                resumed.push_back(held);
                placed = true;
            }
            continue;
        }
        resumed.push_back(held);
        resumed.push_back(note);
        placed = true;
    }
    if (!placed)
        resumed.push_back(held);
    return resumed;
}

std::vector<PipeNote> ProgressiveVantor::appendToHistory(const std::vector<PipeNote>& history,
                                                         const std::vector<PipeNote>& fresh, float trimmedTime_s)
{
    std::vector<PipeNote> merged = history;
    const float cutoff_s = history.empty() ? 0.0f : history.back().start_s() - kCutoffMargin_s;
    for (PipeNote note : fresh) {
        const bool atTracksStart = note.start_s() < kHistoryOverlap_s;
        note.setStart_s(note.start_s() + trimmedTime_s);
        if (history.empty()) {
            merged.push_back(note);
            continue;
        }
        const float sinceCutoff_s = note.start_s() - cutoff_s;
        // What is left in the tracks of the last frozen note, when the trim
        // cut through it, is that note again.
        const PipeNote& lastFrozen = history.back();
        if (atTracksStart && note.noteName() == lastFrozen.noteName() && note.start_s() < lastFrozen.getEnd_s())
            continue;
        if (sinceCutoff_s > kHistoryOverlap_s)
            merged.push_back(note);
        else if (sinceCutoff_s > 0.0f && isMelodyNote(note.noteName()) && !isMelodyNote(merged.back().noteName()))
            merged.push_back(note);
    }
    return merged;
}

void ProgressiveVantor::trimFrequencies(int milliseconds)
{
    const double windows = static_cast<double>(milliseconds)
                           * static_cast<double>(mSamplingFrequency_Hz / static_cast<float>(mStepSize)) / 1000.0;
    const std::size_t count = std::min(mFrequencies.size(), static_cast<std::size_t>(std::max(0, utils::truncateToInt(windows))));
    const auto drop = [count](std::vector<float>& track) {
        track.erase(track.begin(), track.begin() + static_cast<std::ptrdiff_t>(count));
    };
    drop(mFrequencies);
    drop(mPickedFrequencies);
    drop(mQualities);
    drop(mVolumes);
}
