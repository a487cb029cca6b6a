#pragma once

// Takes the metronome's click out of a recording that hears it. A piper who
// practises without headphones plays to the click from the speakers, and
// the microphone hears it too: a short, pitched, decaying tone in the
// chanter's range that the transcription would take for a note or a
// gracenote. The click's sound is known, and so is roughly when it was
// played: where the recording stood (in samples) when the metronome sounded
// it. How long the sound then takes to reach the recording (output buffers,
// the air, input buffers) is not known; it is found for each click by a
// matched filter (G. L. Turin, "An introduction to matched filters", IRE
// Transactions on Information Theory 6(3), 1960): the click's sound is slid
// over the recording around the time it was played, and where it
// correlates best it is heard. A chanter is far louder than a click and
// sounds in the same range, so both are first passed through a pitch
// predictor fitted to the recording there (B. S. Atal and M. R. Schroeder,
// "Adaptive predictive coding of speech signals", Bell System Technical
// Journal 49(8), 1970): what a period ago predicts, the steady chanter, goes,
// and the click, which is no repetition of itself a chanter's period
// later, stays. The click's sound, scaled by the least-squares gain found
// there, is subtracted from the recording itself; the chanter under it
// stays. Once clicks have been found with confidence, the next are looked
// for only near the delay they showed.
//
// Input: 16-bit mono samples of one recording, in order, in blocks of any
// size (pass), and the clicks as they are played (addClick). Samples that a
// click not yet found may reach are held back until it is found, and the
// newest kEarliness_s always, for a click told next; the rest come out at
// once. Samples where no click sounds come out as they went in, so a
// recording without a click comes out whole and unchanged; without a sound
// to listen for (setSounds) the very blocks passed come back.
//
// Runs on the caller's thread (the transcription's).

#include <cstddef>
#include <deque>
#include <vector>

class ClickSuppressor
{
public:
    // Samples handed back: valid until the next call.
    struct Span {
        const short* samples = nullptr;
        std::size_t count = 0;
    };

    // A click's sound as the metronome plays it.
    struct Sound {
        std::vector<short> samples;
        float rate_Hz = 44100.0f;
    };

    // Where a click was found, for tests and the log.
    struct Found {
        std::size_t played = 0; // where the recording stood when it was played
        std::size_t heard = 0;  // where its sound starts in the recording
        std::size_t cut = 0;    // samples of its sound's start that never sounded
        float match = 0.0f;     // normalised correlation there, -1..1
        bool removed = false;
    };

    // From being played to being heard: a sound server's buffers and a
    // speaker a few metres away take well under this.
    static constexpr float kMaximumDelay_s = 0.6f;
    // The place a click is told is an estimate (the capture's clock runs on
    // between the bursts the input arrives in): it may be heard this much
    // before it.
    static constexpr float kEarliness_s = 0.06f;
    // Clicks looked for in vain before the microphone is taken not to hear
    // them (the piper listens on headphones) and nothing more is held back.
    static constexpr int kUnheardBeforeDeaf = 8;
    // Once the delay is known, the next click is looked for this far either
    // side of it: the place a click is told moves by some 40 ms either way
    // with the capture's bursts, the click timer and the sound server.
    static constexpr float kDelayTolerance_s = 0.08f;
    // Once a click has been heard with confidence, the next are subtracted
    // where their sound matches (normalised, after the pitch predictor) at
    // least this well; below it nothing was heard that is surely a click.
    // The chanter alone matches a click's sound up to about 0.4 at best, so
    // until then only a confident match counts.
    static constexpr float kMinimumMatch = 0.3f;
    // The pitches a chanter's notes are looked for in, Low G of a low-
    // pitched chanter to High A of a sharp one.
    static constexpr float kLowestChanterPitch_Hz = 330.0f;
    static constexpr float kHighestChanterPitch_Hz = 1100.0f;
    // Matches this good are clicks beyond doubt and teach the delay to look
    // for next.
    static constexpr float kConfidentMatch = 0.6f;
    // A sound server that starts a sound after its time skips what is
    // already overdue, at most the few milliseconds of output it buffers
    // (desktop servers keep that short for prompt sound); a click may be
    // heard that much short of its start, and never by more than half of it.
    static constexpr float kMaximumCut_s = 0.02f;
    // Well over a period of any click's tone.
    static constexpr float kCutOnsetReach_s = 0.005f;
    // The delay looked for is the median of the last few confident ones.
    static constexpr std::size_t kDelayHistory = 9;

    // The sounds the clicks are played with (sound i for addClick(_, i)),
    // for a recording at recordingRate_Hz. The clicks told keep their
    // places; their sounds are the new ones.
    void setSounds(const std::vector<Sound>& sounds, float recordingRate_Hz);
    // A click of the given sound was played when the recording held position
    // samples. Clicks come in the order they were played, each before any
    // sample it can reach is passed; an unknown sound is ignored.
    void addClick(std::size_t position, int sound);

    // The next count samples of the recording; gives back those that are
    // ready (the input itself while there is no sound to listen for).
    Span pass(const short* samples, std::size_t count);
    // The end of the recording: the clicks still waiting are looked for in
    // what there is, and every sample held comes out.
    Span drain();

    // A new recording: its clicks, the held samples and the delay learnt go;
    // the sounds stay.
    void reset();

    // Whether it has a click's sound to listen for.
    bool listening() const { return mListening; }
    const std::vector<Found>& found() const { return mFound; }

private:
    struct Click {
        std::size_t position = 0;
        std::size_t sound = 0;
    };
    // Predicts a sample from three around one period before.
    struct Predictor {
        std::size_t period = 0; // none: predicts nothing
        double taps[3] = {0.0, 0.0, 0.0}; // at period - 1, period, period + 1
    };
    // The predictor of held samples [from, to) that leaves least of them.
    Predictor chanterPredictor(std::size_t from, std::size_t to) const;
    // The periods a chanter's notes may have, in samples.
    std::size_t minimumPeriod() const;
    std::size_t maximumPeriod() const;
    long medianDelay() const;
    // The first sample the click may start at, and the last (inclusive).
    std::size_t earliestStart(const Click& click) const;
    std::size_t latestStart(const Click& click) const;
    // Finds the clicks whose whole search range has arrived (all at the
    // end), subtracting each where it is heard.
    void resolve(bool atEnd);
    void remove(const Click& click);
    // Moves every held sample before position to the output.
    void release(std::size_t position);

    float mRate_Hz = 44100.0f;
    std::vector<std::vector<float>> mSounds;
    std::vector<double> mSoundEnergies;
    std::deque<Click> mPending;
    std::vector<long> mDelays; // confident delays, newest last
    std::vector<Found> mFound;
    std::vector<short> mHeld;
    std::size_t mHeldStart = 0; // position of mHeld[0] in the recording
    std::vector<short> mOut;
    // Scratch for remove: the recording through the pitch predictor, its
    // running energy, and back through the predictor; the sound's inverse
    // whitened energy for each cut, and its correlation before each.
    std::vector<double> mHeldWhite;
    std::vector<double> mHeldEnergy;
    std::vector<double> mAdjoint;
    std::vector<double> mInverseEnergies;
    std::vector<double> mCutCorrelations;
    bool mListening = false;
    // Clicks not heard while none has been, and whether that made it give up.
    int mUnheard = 0;
    bool mDeaf = false;
};
