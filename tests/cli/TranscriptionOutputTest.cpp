// What vantor-transcribe says of the tuning and the drones: the JSON keys
// and the line on standard error, run as a piper runs it on a short
// synthesised chanter, and the drone sentence for drones given.

#include "ProjectContents.h"
#include "RecordingTranscriber.h"
#include "ScoreEditor.h"
#include "TestSignals.h"
#include "TranscriptionOutput.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

struct ToolRun {
    int status = -1;
    QJsonObject json;
    QString errors;
};

ToolRun transcribe(const QString& wav, const QStringList& options)
{
    QProcess process;
    // Three notes alone leave their Low A in doubt: it is given.
    process.start(VANTOR_TRANSCRIBE, QStringList{wav, "--lowA", "480", "--json", "-"} + options);
    EXPECT_TRUE(process.waitForFinished(60000));
    ToolRun run;
    run.status = process.exitCode();
    run.json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(TranscriptionOutput, TheJsonGivesEachHeardNoteInCentsAndTheDronesAndStandardErrorSaysThem)
{
    // Low A, a sharp D and a flat E, twice: the other six notes are never
    // played.
    PipeTuning played;
    played.setTuningScheme(PipeTuning::Calibrated,
                           {{PipeTuning::LowA, 480.0f}, {PipeTuning::D, 645.0f}, {PipeTuning::E, 715.0f}});
    std::vector<synth::Segment> segments;
    for (int round = 0; round < 2; ++round)
        for (PipeTuning::ReferenceNote note : {PipeTuning::LowA, PipeTuning::D, PipeTuning::E})
            segments.push_back({played.getReferenceNoteCentreFrequency_Hz(note), 0.6f});
    QTemporaryDir dir;
    const QString wav = dir.filePath("sharp_d.wav");
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(waveFileBytes(testsignals::chanterPcm(segments), 44100)));
    file.close();

    const ToolRun run = transcribe(wav, {});
    ASSERT_EQ(run.status, 0) << run.errors.toStdString();
    const QJsonObject cents = run.json["tuning_cents"].toObject();
    EXPECT_EQ(cents.size(), 9);
    EXPECT_NEAR(cents["LA"].toDouble(), 0.0, 0.01);
    EXPECT_NEAR(cents["D"].toDouble(), 1200.0 * std::log2(645.0 / 640.0), 2.0);
    EXPECT_NEAR(cents["E"].toDouble(), 1200.0 * std::log2(715.0 / 720.0), 2.0);
    for (const char* unplayed : {"LG", "B", "C", "F", "HG", "HA"})
        EXPECT_TRUE(cents[unplayed].isNull()) << unplayed;
    // The Hz map stays as the evaluation kit reads it.
    EXPECT_NEAR(run.json["tuning"].toObject()["D"].toDouble(), 645.0, 1.5);
    EXPECT_EQ(run.json["drones"], QJsonArray());
    EXPECT_EQ(run.json["tenor_beat_Hz"].toDouble(-1.0), 0.0);
    EXPECT_TRUE(run.errors.contains("vantor-transcribe: no drones heard\n")) << run.errors.toStdString();

    // Off: nothing listened for, nothing said.
    const ToolRun off = transcribe(wav, {"--drones", "off"});
    EXPECT_EQ(off.status, 0);
    EXPECT_FALSE(off.errors.contains("drones")) << off.errors.toStdString();
}

TEST(TranscriptionOutput, DronesAreSaidAndWrittenAgainstTheChantersLowA)
{
    using Kind = DroneSet::Drone::Kind;
    const std::tuple<std::vector<DroneSet::Drone>, float, const char*> rows[] = {
        {{{Kind::Bass, 119.93f, -21.0f}, {Kind::Tenor, 240.12f, -18.0f}, {Kind::Tenor, 239.70f, -18.5f}},
         0.42f,
         "drones against Low A 480.0 Hz: bass 119.93 Hz (1.0 cents flat), tenors 240.12 Hz (0.9 cents sharp) and "
         "239.70 Hz (2.2 cents flat); the tenors beat 0.42 times a second"},
        {{{Kind::Tenor, 240.0f, -18.0f}}, 0.0f, "drones against Low A 480.0 Hz: tenor 240.00 Hz (in tune)"},
        {{{Kind::Bass, 121.0f, -30.0f}}, 0.0f, "drones against Low A 480.0 Hz: bass 121.00 Hz (14.4 cents sharp)"},
        {{}, 0.0f, "no drones heard"},
    };
    for (const auto& [given, beat_Hz, said] : rows) {
        TranscriptionResult result;
        result.tuning.setLowA_Hz(480.0f);
        result.drones.drones = given;
        result.drones.tenorBeat_Hz = beat_Hz;
        EXPECT_EQ(describeDrones(TuningReading::of(result.tuning, result.melody, result.drones)), said);

        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(toPipeNotesJson(result, "x", 44100.0f))).object();
        const QJsonArray drones = json["drones"].toArray();
        ASSERT_EQ(drones.size(), static_cast<int>(given.size()));
        for (int k = 0; k < drones.size(); ++k) {
            const DroneSet::Drone& drone = given[static_cast<std::size_t>(k)];
            const double target_Hz = drone.kind == Kind::Bass ? 120.0 : 240.0;
            EXPECT_EQ(drones[k]["drone"].toString(), drone.kind == Kind::Bass ? "bass" : "tenor");
            EXPECT_NEAR(drones[k]["frequency_Hz"].toDouble(), drone.frequency_Hz, 0.001);
            EXPECT_NEAR(drones[k]["cents"].toDouble(), 1200.0 * std::log2(drone.frequency_Hz / target_Hz), 0.01);
            EXPECT_NEAR(drones[k]["level_dBFS"].toDouble(), drone.level_dBFS, 0.05);
        }
        EXPECT_NEAR(json["tenor_beat_Hz"].toDouble(), beat_Hz, 0.001);
    }
}

// A project's corrections go on the score the tool writes; with a score
// that no longer holds the bars corrected, it says they are left out.
TEST(TranscriptionOutput, AProjectsCorrectionsGoOnTheScoreItWrites)
{
    ProjectContents project;
    std::string error;
    ASSERT_TRUE(ProjectContents::read(VANTOR_EXAMPLES_DIR "/atholl_highlanders.vnt", project, error)) << error;
    ASSERT_TRUE(project.calibration.has_value());
    TranscriptionOptions options;
    options.tuningSource = TuningSource::Calibrated;
    options.calibratedTuning = *project.calibration;
    const TranscriptionResult result = transcribeRecording(project.samples, project.samplingFrequency_Hz, options);
    PipeTuneModel score = scoreModel(result.melody, result.gracing, project.scoreSettings());
    const std::optional<ScorePosition> first = scoreEditor::firstItem(score);
    ASSERT_TRUE(first.has_value());
    std::optional<ScoreEdit> edit = scoreEditor::setGracing(score, *first, dbe);
    ASSERT_TRUE(edit.has_value());
    edit->apply(score);
    project.scoreEdits = {*edit};
    QTemporaryDir dir;
    const QString path = dir.filePath("edited.vnt");
    ASSERT_TRUE(project.write(path.toStdString(), 8, "", error)) << error;

    for (const char* signature : {"6/8", "2/4"}) {
        const QString bww = dir.filePath("out.bww");
        QProcess process;
        process.start(VANTOR_TRANSCRIBE, {path, "--bww", bww, "--time-signature", signature});
        ASSERT_TRUE(process.waitForFinished(60000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        QFile file(bww);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const bool same = QString(signature) == "6/8";
        EXPECT_EQ(file.readAll().toStdString() == scoreBww(score, project.scoreSettings()), same) << signature;
        EXPECT_EQ(errors.contains("1 of the project's 1 corrections to the score do not fit"), !same)
            << errors.toStdString();
    }
}

} // namespace
