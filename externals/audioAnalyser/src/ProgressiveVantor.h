#pragma once

// The transcription engine fed live. Each block of recorded PCM is analysed
// as it arrives; every mTranscriptionInterval_s of audio the whole pipeline
// re-runs over the tracks held, which are kept to about five seconds: notes
// that finished more than a second before the analysed end are frozen into a
// history once the tracks are trimmed, and reported unchanged from then on.
// A melody note still sounding where the tracks are cut is held open: the
// tracks keep only its later part, so its start is carried over and given
// back to the note when the next re-run finds it continuing.
// The tuning is re-estimated from every window analysed (HistoricPipeTuning)
// and replaces the engine's tuning before each re-run. Results are always
// complete from the start of the recording, in absolute time.
// Owned and driven by the processing thread.

#include "HistoricPipeTuning.h"
#include "Vantor.h"

#include <vector>

class ProgressiveVantor : public Vantor
{
public:
    // Seconds of tracks kept between re-runs, and how close to the analysed
    // end a note may finish and still be frozen.
    static constexpr float kHeldTracks_s = 5.0f;
    static constexpr float kFreezeMargin_s = 1.0f;

    ProgressiveVantor();

    void reset() override;

    // Analyses the new samples and re-runs the transcription when the next
    // re-run is due or forceTranscription is set; true when it re-ran.
    bool progressiveTranscribe(const short* data, unsigned int count, bool forceTranscription);
    // Audio time analysed so far.
    float lastTranscribeTime_s() const;
    // The next re-run falls interval_s of audio after the start.
    void setTranscriptionInterval_s(float interval_s);
    HistoricPipeTuning historicTuning() const { return mHistoricTuning; }
    // Takes over a running estimate and its tuning.
    void setHistoricalTuning(const HistoricPipeTuning& historicTuning);
    // Mean volume of the last n windows (all when fewer); 0 when none.
    float getLastRmsAverage_normalized(int n) const;

protected:
    void retranscribe();
    void trimFrequencies(int milliseconds);
    // The history followed by the fresh notes (relative to trimmedTime_s)
    // that it does not cover yet: a note starting within 20 ms after the last
    // frozen note's start (less 10 ms) is taken to be that note again, unless
    // it is the melody note after a frozen gracenote; a note at the start of
    // the tracks of the last frozen note's name, inside it, is what the trim
    // left of it.
    static std::vector<PipeNote> appendToHistory(const std::vector<PipeNote>& history,
                                                 const std::vector<PipeNote>& fresh, float trimmedTime_s);
    // The fresh notes (absolute times, in order) with the open note put back:
    // the first fresh melody note of its pitch that starts before the open
    // note was last seen to end is its continuation and takes its start;
    // otherwise the open note stands as last seen. Other fresh notes that
    // start inside the open note's span are dropped.
    static std::vector<PipeNote> resumeOpenNote(const PipeNote& open, const std::vector<PipeNote>& fresh);

    std::vector<short> mPendingData;
    int mProcessedSamples = 0;
    float mNextTranscribeTime_s = 0.1f;
    std::vector<PipeNote> mHistory;
    float mTrimmedTime_s = 0.0f;
    HistoricPipeTuning mHistoricTuning;
    float mTranscriptionInterval_s = 0.1f;
    // The melody note cut by the last trim (absolute start, end as last
    // seen), when there is one.
    PipeNote mOpenNote;
    bool mHasOpenNote = false;
};
