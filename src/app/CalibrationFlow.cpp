#include "CalibrationFlow.h"

#include <algorithm>
#include <map>

CalibrationFlow::CalibrationFlow() : mBinning(40.0f, 40.0f) {}

int CalibrationFlow::minimumAverageCount(const Settings& settings)
{
    return static_cast<int>(static_cast<float>(settings.recordingFrequency_Hz / 2048) * settings.noteDuration_s);
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
        mBinning.setMinAverageCount(minimumAverageCount(settings));
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
