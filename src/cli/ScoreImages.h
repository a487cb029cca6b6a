#pragma once

// The score and timing-view images of a transcription as the application
// shows them: all rows under a header with the tune details. Needs a Qt Gui
// application.

#include "ScoreOptions.h"
#include "RecordingTranscriber.h"

#include <QImage>

// The sheet music, justified, last row not padded; null when nothing to draw.
QImage scoreImage(const TranscriptionResult& result, const ScoreOptions& options);
// The timing view with rows of secondsPerRow seconds.
QImage timingImage(const TranscriptionResult& result, const ScoreOptions& options, float secondsPerRow);
