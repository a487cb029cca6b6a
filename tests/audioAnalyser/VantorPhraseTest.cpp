// Short chanter phrases rendered as audio and transcribed whole, one-shot and
// progressively as the application does: each embellishment must come out
// under its name, between the right melody notes.

#include "RecordingTranscriber.h"
#include "TestSignals.h"
#include "VantorUtils.h"

#include <gtest/gtest.h>

namespace {

using Note = PipeTuning::ReferenceNote;
constexpr Note LowG = PipeTuning::LowG, LowA = PipeTuning::LowA, NoteB = PipeTuning::B, NoteC = PipeTuning::C,
               NoteD = PipeTuning::D, NoteE = PipeTuning::E, NoteF = PipeTuning::F, HighG = PipeTuning::HighG;
constexpr float kGrace = 0.025f; // one gracing element

PipeTuning chanter()
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    return tuning;
}

std::vector<short> render(const std::vector<std::pair<Note, float>>& notes)
{
    std::vector<synth::Segment> segments;
    for (const auto& [note, duration] : notes)
        segments.push_back({chanter().getReferenceNoteCentreFrequency_Hz(note), duration});
    return testsignals::pcm(synth::renderSegments(segments, 44100.0f, synth::chanterHarmonics(), 0.5f));
}

// Melody notes and gracings in time order, by name.
std::string heard(const std::vector<short>& pcm, TranscriptionMode mode)
{
    TranscriptionOptions options;
    options.mode = mode;
    options.tuningSource = TuningSource::Calibrated;
    options.calibratedTuning = chanter();
    const TranscriptionResult result = transcribeRecording(pcm, 44100.0f, options);
    std::string text;
    for (const PipeNote& note : combineMelodyAndGraceNotes(result.melody, result.gracing))
        text += (text.empty() ? "" : " ") + toString(note.noteName());
    return text;
}

TEST(VantorPhrases, EachEmbellishmentIsHeardByName)
{
    struct Row {
        const char* what;
        std::vector<std::pair<Note, float>> played;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"doubling on E", {{LowA, 0.5f}, {HighG, kGrace}, {NoteE, kGrace}, {NoteF, kGrace}, {NoteE, 0.5f}, {LowA, 0.5f}},
         "LA dbe E LA"},
        {"throw on D", {{LowA, 0.5f}, {LowG, kGrace}, {NoteD, 0.035f}, {NoteC, kGrace}, {NoteD, 0.5f}, {LowA, 0.5f}},
         "LA thrd D LA"},
        {"grip", {{NoteD, 0.5f}, {LowG, kGrace}, {NoteD, kGrace}, {LowG, kGrace}, {LowA, 0.5f}, {NoteE, 0.5f}},
         "D grp LA E"},
        {"taorluath", {{NoteD, 0.5f}, {LowG, kGrace}, {NoteD, kGrace}, {LowG, kGrace}, {NoteE, kGrace}, {LowA, 0.5f}, {NoteE, 0.5f}},
         "D tar LA E"},
        {"birl", {{NoteE, 0.5f}, {LowA, 0.4f}, {LowG, 0.01f}, {LowA, 0.05f}, {LowG, 0.01f}, {LowA, 0.5f}, {NoteE, 0.5f}},
         "E LA brl LA E"},
        {"strike on Low A", {{LowA, 0.5f}, {LowG, 0.022f}, {LowA, 0.5f}, {NoteC, 0.5f}}, "LA strlg LA C"},
        {"strike on E", {{NoteE, 0.5f}, {LowA, 0.022f}, {NoteE, 0.5f}, {NoteC, 0.5f}}, "E strla E C"},
        {"GDE", {{NoteE, 0.5f}, {HighG, kGrace}, {LowA, kGrace}, {NoteD, kGrace}, {LowA, kGrace}, {NoteE, kGrace}, {LowA, 0.5f}, {NoteE, 0.5f}},
         "E gg dg LA eg LA E"},
        {"single gracenotes", {{LowA, 0.4f}, {HighG, kGrace}, {NoteB, 0.4f}, {NoteD, kGrace}, {NoteC, 0.4f}, {NoteE, kGrace}, {LowA, 0.4f}},
         "LA gg B dg C eg LA"},
        {"a held note", {{LowA, 8.0f}}, "LA"},
    };
    for (const Row& row : rows) {
        const std::vector<short> pcm = render(row.played);
        EXPECT_EQ(heard(pcm, TranscriptionMode::OneShot), row.expected) << row.what << ", one-shot";
        EXPECT_EQ(heard(pcm, TranscriptionMode::Progressive), row.expected) << row.what << ", progressive";
    }
}

} // namespace
