#pragma once

// The score and timing-view images of a transcription as the application
// exports them: the rows at full size under the tune's header. Needs a Qt
// Gui application.

#include "RecordingTranscriber.h"
#include "ScoreSettings.h"

#include <QImage>

#include <string>

// The sheet music of score, justified, last row not padded; null with the
// reason in error when there is nothing to draw or the image would be too
// tall.
QImage scoreImage(const PipeTuneModel& score, const ScoreSettings& settings, std::string& error);
// The timing view with rows of secondsPerRow seconds; null as above.
QImage timingImage(const TranscriptionResult& result, const ScoreSettings& score, float secondsPerRow,
                   std::string& error);
