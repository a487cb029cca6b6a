#include "EngineProbe.h"

#include "TestSignals.h"

#include <iomanip>
#include <sstream>

VantorProbe::VantorProbe()
{
    setTuning(testsignals::tuningAt(480.0f));
}

EngineMaps VantorProbe::run(Stage stage, const EngineMaps& maps)
{
    mNotes = maps.notes;
    mGraceNotes = maps.graceNotes;
    mProcessedNotes = maps.processed;
    mConsolidatedNotes = maps.consolidated;
    mGdeRanges = maps.gdeRanges;
    switch (stage) {
    case Stage::GetGraceNotes: getGraceNotes(); break;
    case Stage::InitialGraceNoteStrip: initialGraceNoteStrip(); break;
    case Stage::AdvancedGraceNoteSearch: advancedGraceNoteSearch(); break;
    case Stage::Consolidate: mConsolidatedNotes = consolidate(); break;
    case Stage::StripCrossingNoises: stripCrossingNoises(); break;
    case Stage::GetGdes: getGdes(); break;
    case Stage::GetDoublings: getDoublings(); break;
    case Stage::ExtractThrd: extractThrd(); break;
    case Stage::GetSingleGracenotes: getSingleGracenotes(); break;
    case Stage::ReformMelodyAndGracing: reformMelodyAndGracing(); break;
    case Stage::StripUnlikelyGracenotes: stripUnlikelyGracenotes(); break;
    case Stage::ExtractShortMelodyNotes: extractShortMelodyNotes(); break;
    case Stage::ApplyBusinessLogic: applyBusinessLogic(); break;
    case Stage::ExtractHighADoubling: extractHighADoubling(); break;
    case Stage::ExtractBirls: extractBirls(); break;
    case Stage::ExtractStrikes: extractStrikes(); break;
    case Stage::DealWithContigousGracing: dealWithContigousGracing(); break;
    case Stage::FinalGraceNoteCheck: finalGraceNoteCheck(); break;
    }
    return {mNotes, mGraceNotes, mProcessedNotes, mConsolidatedNotes, mGdeRanges};
}

void VantorProbe::setTracks(std::size_t windows, float frequency_Hz, float quality)
{
    mFrequencies.assign(windows, frequency_Hz);
    mPickedFrequencies.assign(windows, frequency_Hz);
    mQualities.assign(windows, quality);
    mVolumes.assign(windows, 1.0f);
    for (auto* track : {&mNoteTrack, &mFlatNoteTrack, &mPickedNoteTrack})
        track->assign(windows, PipeTuning::Unknown);
}

NoteMap played(float start_s, std::initializer_list<std::pair<PipeNoteName, float>> notes)
{
    NoteMap map;
    for (const auto& [name, duration] : notes) {
        map.emplace(start_s, PipeNote(name, start_s, duration));
        start_s += duration;
    }
    return map;
}

NoteMap mapOf(std::initializer_list<PipeNote> notes)
{
    NoteMap map;
    for (const PipeNote& note : notes)
        map.emplace(note.start_s(), note);
    return map;
}

std::string spans(const NoteMap& notes)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(3);
    for (const auto& entry : notes) {
        const PipeNote& note = entry.second;
        text << (text.tellp() > 0 ? " " : "") << toString(note.noteName()) << ' ' << note.start_s() << '-'
             << note.getEnd_s();
        if (note.melodyNoteStartOffset_s() != 0.0f)
            text << '+' << note.melodyNoteStartOffset_s();
    }
    return text.str();
}
