#pragma once

// The value types that cross threads in queued signals, declared to Qt's
// meta-type system; registerAudioMetaTypes() registers them once, before any
// worker thread starts (the application's main and the tests call it).

#include "DroneSet.h"
#include "PipeNote.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "RecordingTranscriber.h"

#include <QMetaType>

Q_DECLARE_METATYPE(PitchFinder::AnalysisResults)
Q_DECLARE_METATYPE(NoteMap)
Q_DECLARE_METATYPE(PipeTuning)
Q_DECLARE_METATYPE(DroneSet)
Q_DECLARE_METATYPE(TranscriptionOptions)
Q_DECLARE_METATYPE(TranscriptionResult)

void registerAudioMetaTypes();
