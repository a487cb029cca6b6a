#include "AudioMetaTypes.h"

void registerAudioMetaTypes()
{
    qRegisterMetaType<PitchFinder::AnalysisResults>("PitchFinder::AnalysisResults");
    qRegisterMetaType<NoteMap>("NoteMap");
    qRegisterMetaType<PipeTuning>("PipeTuning");
    qRegisterMetaType<DroneSet>("DroneSet");
    qRegisterMetaType<TranscriptionOptions>("TranscriptionOptions");
    qRegisterMetaType<TranscriptionResult>("TranscriptionResult");
}
