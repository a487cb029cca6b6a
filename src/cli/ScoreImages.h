#pragma once

// The score and timing-view images of a transcription as the application
// shows them: all rows under a header with the tune details. Needs a Qt Gui
// application.

#include "ScoreOptions.h"
#include "RecordingTranscriber.h"

#include <QImage>

#include <string>

// The sheet music, justified, last row not padded; null with the reason in
// error when there is nothing to draw or the image would be too tall.
QImage scoreImage(const TranscriptionResult& result, const ScoreOptions& options, std::string& error);
// The timing view with rows of secondsPerRow seconds; null as above.
QImage timingImage(const TranscriptionResult& result, const ScoreOptions& options, float secondsPerRow,
                   std::string& error);
