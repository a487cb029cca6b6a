#include "ProgressiveVantor.h"
#include "Vantor.h"

#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

using Note = PipeTuning::ReferenceNote;

PipeTuning chanter()
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    return tuning;
}

// Renders (note, seconds) pairs as a chanter at Low A 480 Hz; a note of 0 is
// a rest.
std::vector<short> render(std::initializer_list<std::pair<Note, float>> notes)
{
    const PipeTuning tuning = chanter();
    std::vector<synth::Segment> segments;
    for (const auto& [note, duration] : notes)
        segments.push_back({tuning.getReferenceNoteCentreFrequency_Hz(note), duration});
    return testsignals::pcm(synth::renderSegments(segments, 44100.0f, synth::chanterHarmonics(), 0.5f));
}

struct Transcription {
    std::vector<PipeNoteName> melody;
    std::vector<PipeNoteName> gracing;
    std::vector<float> gracingStarts;
};

Transcription transcribe(const std::vector<short>& pcm)
{
    Vantor engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setSnacPeakThreshold(0.97f);
    engine.setMinimumSnacPeak(0.3f);
    engine.setTuning(chanter());
    engine.transcribe(pcm.data(), static_cast<unsigned int>(pcm.size()));
    Transcription result;
    for (const auto& entry : engine.notes())
        result.melody.push_back(entry.second.noteName());
    for (const auto& entry : engine.graceNotes()) {
        result.gracing.push_back(entry.second.noteName());
        result.gracingStarts.push_back(entry.second.start_s());
    }
    return result;
}

constexpr float kGrace = 0.025f; // one gracing element

TEST(VantorPhrases, DoublingOnE)
{
    const auto result = transcribe(render({{PipeTuning::LowA, 0.5f}, {PipeTuning::HighG, kGrace},
                                           {PipeTuning::E, kGrace}, {PipeTuning::F, kGrace},
                                           {PipeTuning::E, 0.5f}, {PipeTuning::LowA, 0.5f}}));
    EXPECT_EQ(result.melody, (std::vector<PipeNoteName>{LA, E, LA}));
    ASSERT_EQ(result.gracing, std::vector<PipeNoteName>{dbe});
    EXPECT_NEAR(result.gracingStarts[0], 0.5f, 0.03f);
}

TEST(VantorPhrases, ThrowOnD)
{
    const auto result = transcribe(render({{PipeTuning::LowA, 0.5f}, {PipeTuning::LowG, kGrace},
                                           {PipeTuning::D, 0.035f}, {PipeTuning::C, kGrace},
                                           {PipeTuning::D, 0.5f}, {PipeTuning::LowA, 0.5f}}));
    EXPECT_EQ(result.melody, (std::vector<PipeNoteName>{LA, D, LA}));
    EXPECT_EQ(result.gracing, std::vector<PipeNoteName>{thrd});
}

TEST(VantorPhrases, Grip)
{
    const auto result = transcribe(render({{PipeTuning::D, 0.5f}, {PipeTuning::LowG, kGrace}, {PipeTuning::D, kGrace},
                                           {PipeTuning::LowG, kGrace}, {PipeTuning::LowA, 0.5f},
                                           {PipeTuning::E, 0.5f}}));
    EXPECT_EQ(result.melody, (std::vector<PipeNoteName>{D, LA, E}));
    EXPECT_EQ(result.gracing, std::vector<PipeNoteName>{grp});
}

TEST(VantorPhrases, Taorluath)
{
    const auto result = transcribe(render({{PipeTuning::D, 0.5f}, {PipeTuning::LowG, kGrace}, {PipeTuning::D, kGrace},
                                           {PipeTuning::LowG, kGrace}, {PipeTuning::E, kGrace},
                                           {PipeTuning::LowA, 0.5f}, {PipeTuning::E, 0.5f}}));
    EXPECT_EQ(result.melody, (std::vector<PipeNoteName>{D, LA, E}));
    EXPECT_EQ(result.gracing, std::vector<PipeNoteName>{tar});
}

TEST(VantorPhrases, Birl)
{
    // Two quick touches of Low G 60 ms apart inside a Low A.
    const auto result = transcribe(render({{PipeTuning::E, 0.5f}, {PipeTuning::LowA, 0.4f},
                                           {PipeTuning::LowG, 0.01f}, {PipeTuning::LowA, 0.05f},
                                           {PipeTuning::LowG, 0.01f}, {PipeTuning::LowA, 0.5f},
                                           {PipeTuning::E, 0.5f}}));
    EXPECT_EQ(result.gracing, std::vector<PipeNoteName>{brl});
    EXPECT_EQ(result.melody, (std::vector<PipeNoteName>{E, LA, LA, E}));
}

TEST(VantorPhrases, Strikes)
{
    const auto onLowA = transcribe(render({{PipeTuning::LowA, 0.5f}, {PipeTuning::LowG, 0.022f},
                                           {PipeTuning::LowA, 0.5f}, {PipeTuning::C, 0.5f}}));
    EXPECT_EQ(onLowA.gracing, std::vector<PipeNoteName>{strlg});
    EXPECT_EQ(onLowA.melody, (std::vector<PipeNoteName>{LA, LA, C}));
    const auto onE = transcribe(render({{PipeTuning::E, 0.5f}, {PipeTuning::LowA, 0.022f}, {PipeTuning::E, 0.5f},
                                        {PipeTuning::C, 0.5f}}));
    EXPECT_EQ(onE.gracing, std::vector<PipeNoteName>{strla});
}

TEST(VantorPhrases, Gde)
{
    const auto result = transcribe(render({{PipeTuning::E, 0.5f}, {PipeTuning::HighG, kGrace},
                                           {PipeTuning::LowA, kGrace}, {PipeTuning::D, kGrace},
                                           {PipeTuning::LowA, kGrace}, {PipeTuning::E, kGrace},
                                           {PipeTuning::LowA, 0.5f}, {PipeTuning::E, 0.5f}}));
    EXPECT_EQ(result.gracing, (std::vector<PipeNoteName>{gg, dg, eg}));
    EXPECT_EQ(result.melody.front(), E);
    EXPECT_EQ(result.melody.back(), E);
}

// Awkward recordings: no exception, sensible maps.
TEST(VantorPhrases, HeldNoteAlternationAndDronesOnly)
{
    const auto held = transcribe(render({{PipeTuning::LowA, 8.0f}}));
    EXPECT_EQ(held.melody, std::vector<PipeNoteName>{LA});
    EXPECT_TRUE(held.gracing.empty());

    const auto trill = render({{PipeTuning::C, 0.03f}, {PipeTuning::D, 0.03f}});
    std::vector<short> pcm;
    for (int k = 0; k < 120; ++k)
        pcm.insert(pcm.end(), trill.begin(), trill.end());
    EXPECT_NO_THROW(transcribe(pcm));

    const auto drones = testsignals::pcm(testsignals::mix(testsignals::chanterTone(120.0f, 44100 * 4, 0.3f),
                                                          testsignals::chanterTone(240.0f, 44100 * 4, 0.3f)));
    const auto droneResult = transcribe(drones);
    EXPECT_TRUE(droneResult.gracing.empty());
    for (PipeNoteName name : droneResult.melody)
        EXPECT_TRUE(isMelodyNote(name));
}

TEST(VantorPhrases, ProgressiveRunReportsTheSameEmbellishments)
{
    const auto pcm = render({{PipeTuning::LowA, 0.5f}, {PipeTuning::HighG, kGrace}, {PipeTuning::E, kGrace},
                             {PipeTuning::F, kGrace}, {PipeTuning::E, 0.5f}, {PipeTuning::D, 0.5f},
                             {PipeTuning::LowG, kGrace}, {PipeTuning::D, kGrace}, {PipeTuning::LowG, kGrace},
                             {PipeTuning::LowA, 0.5f}, {PipeTuning::E, 0.5f}});
    ProgressiveVantor engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setSnacPeakThreshold(0.97f);
    engine.setMinimumSnacPeak(0.3f);
    HistoricPipeTuning historic = engine.historicTuning();
    historic.setCalibratedTuning(chanter(), true);
    engine.setHistoricalTuning(historic);
    engine.setTranscriptionInterval_s(0.5f);
    for (std::size_t start = 0; start < pcm.size(); start += 2048)
        engine.progressiveTranscribe(pcm.data() + start,
                                     static_cast<unsigned int>(std::min<std::size_t>(2048, pcm.size() - start)), false);
    engine.progressiveTranscribe(nullptr, 0, true);
    std::vector<PipeNoteName> gracing;
    for (const auto& entry : engine.graceNotes())
        gracing.push_back(entry.second.noteName());
    std::vector<PipeNoteName> melody;
    for (const auto& entry : engine.notes())
        melody.push_back(entry.second.noteName());
    EXPECT_EQ(gracing, (std::vector<PipeNoteName>{dbe, grp}));
    EXPECT_EQ(melody, (std::vector<PipeNoteName>{LA, E, D, LA, E}));
}

} // namespace
