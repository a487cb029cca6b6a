// Short melody notes, rule-based corrections and the final clean-up: the
// stages after the reform, which work on the melody and gracing maps only.
//
// Maps and tracks, read (r) and written (w):
//   extractShortMelodyNotes, applyBusinessLogic,
//   dealWithContigousGracing, finalGraceNoteCheck   w mNotes, mGraceNotes (rebuilt by rebuildWalk)
//   extractHighADoubling     r mNotes, mFrequencies, mQualities      w mGraceNotes
//   extractBirls             r mQualities                             w mNotes, mGraceNotes
//   extractStrikes           r mFrequencies, mQualities               w mNotes, mGraceNotes
//   dealWithMelodyGaps       r mGraceNotes                            w mNotes

#include "Vantor.h"

#include "utils.h"

namespace {

// A long gracenote between melody notes further apart than this is a short
// melody note; the next note keeps its start unless it outlasts it by 15 ms.
constexpr float kShortMelodyGap_s = 0.05f;
constexpr float kShortMelodyOverlap_s = 0.015f;
// The doubling on High A is looked for in the first 0.2 s of a High A, as a
// dip of at least 3 Hz within 80 Hz of High A.
constexpr float kHighADoublingSpan_s = 0.2f;
constexpr Vantor::TroughSearch kHighADoublingDip{3.0f, 80.0f, 0.03f, 0.02f, 0.7f, 0.015f};
// Birls: two quality dips (0.05 deep) 40 to 200 ms apart, the first over
// 50 ms into a Low A, with 20 ms half-widths; a High G or thumb gracenote
// ending at least 5 ms before, within 0.2 s, leads it in.
constexpr float kBirlDipHalfWidth_s = 0.02f;
constexpr float kBirlDipDepth = 0.05f;
constexpr float kBirlDipTolerance = 50.0f;
constexpr float kBirlEarliest_s = 0.05f;
constexpr float kBirlMinSpacing_s = 0.04f;
constexpr float kBirlMaxSpacing_s = 0.2f;
constexpr float kBirlLeadIn_s = 0.2f;
constexpr float kBirlLeadInGap_s = 0.005f;
// Strikes: dips from 50 ms after a note's start to 0.1 s before its end, not
// within 60 ms of other gracing; a strike is written as 20 ms long. A strike
// dips the pitch at least 1 Hz within 120 Hz (20 ms half-width), confirmed by
// a quality dip of 0.03 below 0.9.
constexpr float kStrikeSkipStart_s = 0.05f;
constexpr float kStrikeSkipEnd_s = 0.1f;
constexpr float kStrikeClearance_s = 0.01f;
constexpr float kStrikeNeighbourhood_s = 0.05f;
constexpr float kStrikeDuration_s = 0.02f;
constexpr Vantor::TroughSearch kStrikeDip{1.0f, 120.0f, 0.02f, 0.03f, 0.9f, 0.015f};

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
            findConfirmedTroughs(range, 2.0f * mLowA_Hz, kHighADoublingDip);
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
        const std::vector<int> dips = detectTroughs(quality, halfWidth, kBirlDipDepth, kBirlDipTolerance);

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
        const std::vector<float> dips = findConfirmedTroughs(range, centre_Hz, kStrikeDip);

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