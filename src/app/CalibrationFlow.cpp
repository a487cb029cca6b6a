#include "CalibrationFlow.h"

#include "utils.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// The processing thread analyses the input in windows of this many samples.
constexpr int kWindow_samples = 2048;
// A note's own window lies wholly inside it wherever its edges fall, less
// one; the window over its attack does not settle on the note either.
constexpr int kWindowsLostAtEdges = 2;
// A cluster this close to a note of the fitted scale is that note; the
// closest two chanter notes lie about 80 cents apart.
constexpr float kNoteReach_cents = 40.0f;

} // namespace

CalibrationFlow::CalibrationFlow() : mBinning(40.0f, 40.0f) {}

int CalibrationFlow::minimumAverageCount(const Settings& settings)
{
    const double samples = static_cast<double>(settings.recordingFrequency_Hz) * settings.noteDuration_s;
    return std::max(1, static_cast<int>(samples / kWindow_samples) - kWindowsLostAtEdges);
}

std::vector<PipeTuning::ReferenceNote> CalibrationFlow::missingNotes(const std::map<float, int>& clusters,
                                                                     int minimumCount)
{
    std::vector<float> heard_Hz;
    for (const auto& [frequency_Hz, count] : clusters)
        if (count >= minimumCount)
            heard_Hz.push_back(frequency_Hz);
    if (static_cast<int>(heard_Hz.size()) < kNotesToPlaceScale)
        return {};

    // Each heard note taken for each scale note gives a Low A; the scale on
    // the Low A that places most heard notes (closest, on a tie) wins.
    PipeTuning unit;
    unit.setLowA_Hz(1.0f);
    std::vector<PipeTuning::ReferenceNote> best;
    int bestPlaced = -1;
    float bestDeviation_cents = 0.0f;
    for (float heard : heard_Hz) {
        for (int index = 0; index < kNoteCount; ++index) {
            const PipeTuning::ReferenceNote assumed = PipeTuning::noteIndexToReferenceNote(index);
            PipeTuning scale;
            scale.setLowA_Hz(heard / unit.getReferenceNoteCentreFrequency_Hz(assumed));
            std::vector<PipeTuning::ReferenceNote> missing;
            int placed = 0;
            float deviation_cents = 0.0f;
            for (int note = 0; note < kNoteCount; ++note) {
                const PipeTuning::ReferenceNote reference = PipeTuning::noteIndexToReferenceNote(note);
                const float centre_Hz = scale.getReferenceNoteCentreFrequency_Hz(reference);
                float nearest_cents = kNoteReach_cents;
                for (float other : heard_Hz)
                    nearest_cents = std::min(nearest_cents, std::fabs(utils::freqRatioToCents(centre_Hz, other)));
                if (nearest_cents < kNoteReach_cents) {
                    ++placed;
                    deviation_cents += nearest_cents;
                } else {
                    missing.push_back(reference);
                }
            }
            if (placed > bestPlaced || (placed == bestPlaced && deviation_cents < bestDeviation_cents)) {
                best = missing;
                bestPlaced = placed;
                bestDeviation_cents = deviation_cents;
            }
        }
    }
    return best;
}

QString CalibrationFlow::countdownLabel(qint64 seconds)
{
    return QString("<big><b>Play Scale now</b></big><br><br>Countdown - Get ready<br><br><big><b>%1</b></big>")
        .arg(seconds);
}

QString CalibrationFlow::collectingLabel(int notes, const QString& extra)
{
    return QString("<big><b>Play Scale now</b></big><br><br>Notes detected: %1 of 9<br>%2").arg(notes).arg(extra);
}

bool CalibrationFlow::tick(qint64 now_ms, bool cancelled, const Settings& settings, PipeTuning& calibrated)
{
    bool found = false;
    switch (mState) {
    case Start:
        mBinning.reset();
        mMinimumCount = minimumAverageCount(settings);
        mBinning.setMinAverageCount(mMinimumCount);
        mBinning.setMinimumQuality(0.95f);
        mBinning.setMinimumVolume(static_cast<float>(settings.volumeCutoff_percent) / 100.0f);
        mStart_ms = now_ms;
        mState = Countdown;
        mLabel = countdownLabel(settings.countdown_s);
        mProgress = 0;
        mDialogVisible = true;
        break;
    case Countdown: {
        if (cancelled) {
            mState = Finished;
            break;
        }
        const qint64 remaining_ms = settings.countdown_s * 1000LL - (now_ms - mStart_ms);
        if (remaining_ms < 0) {
            mStart_ms = now_ms;
            mState = Collecting;
            mLabel = collectingLabel(0, QString());
        } else {
            mLabel = countdownLabel(std::max<qint64>(remaining_ms, 0) / 1000 + 1);
        }
        break;
    }
    case Collecting: {
        if (cancelled) {
            mState = Finished;
            break;
        }
        std::map<PipeTuning::ReferenceNote, float> notes;
        const int count = mBinning.pipeNoteCount(notes);
        mProgress = count;
        QString extra;
        if (count == kNoteCount && notes.size() == kNoteCount) {
            mStart_ms = now_ms;
            mState = Success;
            calibrated = PipeTuning();
            calibrated.setTuningScheme(PipeTuning::Calibrated, notes);
            mLowA_Hz = calibrated.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
            found = true;
        } else if (count == kNoteCount) {
            extra = "<br><big><b>9 notes detected, but the overall range is too large or too small</b></big><br>"
                    "(Probably a good idea to Cancel and try again)<br>";
        } else {
            QStringList names;
            for (PipeTuning::ReferenceNote note : missingNotes(mBinning.binnedFrequencies(), mMinimumCount))
                names << QString::fromStdString(toString(note));
            if (!names.isEmpty())
                extra = QString("Still missing: <b>%1</b><br>").arg(names.join(", "));
        }
        mLabel = collectingLabel(count, extra);
        break;
    }
    case Success:
        if (now_ms - mStart_ms <= kSuccessShown_ms)
            mLabel = QString("<big><b>SUCCESS - All notes detected</b</big><br><br>Low A = %1<br>")
                         .arg(static_cast<double>(mLowA_Hz), 0, 'f', 1);
        else
            mState = Finished;
        break;
    case Finished:
        mDialogVisible = false;
        mStart_ms = now_ms;
        break;
    }
    return found;
}

void CalibrationFlow::add(const PitchFinder::AnalysisResults& results)
{
    if (mState == Collecting)
        mBinning.add(results.frequency_Hz, results.volume_normalized, results.quality);
}
