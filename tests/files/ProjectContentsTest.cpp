// The project file as the tools and the application use it: contents written
// and read back whole, the header as a golden file, a re-save keeping where
// the recording came from.

#include "ProjectContents.h"

#include "Golden.h"
#include "NorlaFileVnt.h"
#include "TestSignals.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

namespace {

ProjectContents sample()
{
    ProjectContents contents;
    contents.samples = {0, 1, -1, 32767, -32768, 1234};
    contents.samplingFrequency_Hz = 48000.0f;
    contents.tuneName = "Scotland the Brave";
    contents.tuneType = "March";
    contents.composer = "Trad.";
    contents.timeSigNumerator = 2;
    contents.timeSigDenominator = 4;
    contents.bpm = 80.0f;
    contents.timeShift_s = -0.25f;
    contents.calibration.emplace();
    contents.calibration->setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.5f}, {PipeTuning::D, 641.0f}});
    return contents;
}

// The tune's details and metre, of project contents or score settings.
template <typename T>
auto tuneOf(const T& x)
{
    return std::tie(x.tuneName, x.tuneType, x.composer, x.timeSigNumerator, x.timeSigDenominator, x.bpm, x.timeShift_s);
}

// A project as an older or damaged writer left it: 400 bytes of audio and
// the note table of tuning, changed by damage.
bool saveRaw(const QString& path, const PipeTuning& tuning,
             const std::function<void(NorlaFileVnt&)>& damage = [](NorlaFileVnt&) {})
{
    std::map<std::string, float> table;
    for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies())
        table[toString(referenceNoteToNoteName(note))] = centre_Hz;
    NorlaFileVnt project;
    project.setAudioData(QByteArray(400, '\x01'));
    project.setNoteFrequencies(table);
    damage(project);
    QString message;
    return project.save(path, message);
}

TEST(ProjectContents, RoundTripsThroughAFileAndKeepsItsProvenance)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("take.vnt").toStdString();
    std::string error;
    ASSERT_TRUE(sample().write(path, 7, "test-writer", error)) << error;

    // Saved again by another program, it still says where it was recorded.
    ProjectContents first;
    ASSERT_TRUE(ProjectContents::read(path, first, error)) << error;
    const std::string again = dir.filePath("again.vnt").toStdString();
    ASSERT_TRUE(first.write(again, 9, "other-writer", error)) << error;
    ProjectContents read;
    ASSERT_TRUE(ProjectContents::read(again, read, error)) << error;
    const ProjectContents expected = sample();
    EXPECT_EQ(std::tie(read.samples, read.samplingFrequency_Hz), std::tie(expected.samples, expected.samplingFrequency_Hz));
    EXPECT_EQ(tuneOf(read), tuneOf(expected));
    ASSERT_TRUE(read.calibration.has_value());
    for (const auto& [note, centre_Hz] : expected.calibration->getNoteCentreFrequencies())
        EXPECT_NEAR(read.calibration->getReferenceNoteCentreFrequency_Hz(note), centre_Hz, 0.001f) << note;
    EXPECT_EQ(std::tie(read.recordedInstallId, read.recordedAppVersion), std::make_tuple("test-writer", 7));
    EXPECT_FALSE(read.recordedTime.empty());
    EXPECT_EQ(read.recordedTime, first.recordedTime);

    // Its score settings are the tune's, and give the same tune to another
    // project; rounding and layout are no project's and stay the defaults.
    ScoreSettings score = read.scoreSettings();
    score.rounding = true;
    score.barsPerRow = 2;
    ProjectContents other;
    other.setScoreSettings(score);
    const ScoreSettings back = other.scoreSettings();
    EXPECT_EQ(tuneOf(back), tuneOf(expected));
    EXPECT_EQ(std::tie(back.rounding, back.barsPerRow), std::make_tuple(false, 4));

    // The header, with the times that change from run to run blanked.
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString header = QString::fromUtf8(file.readAll().mid(20).chopped(12));
    header.replace(QRegularExpression("<(\\w*Time)>[^<]*</"), "<\\1>TIME</");
    expectMatchesGolden("project-header.xml", header.toStdString());

    EXPECT_FALSE(ProjectContents::read(dir.filePath("missing.vnt").toStdString(), read, error));
    EXPECT_NE(error.find("missing.vnt"), std::string::npos) << error;
}

TEST(ProjectContents, DamagedSettingsAreClampedWithAWarningAndBadRatesRefused)
{
    QTemporaryDir dir;
    ProjectContents read;
    std::string error;
    auto readWith = [&](const std::function<void(NorlaFileVnt&)>& damage) {
        const QString path = dir.filePath("damaged.vnt");
        EXPECT_TRUE(saveRaw(path, testsignals::tuningAt(480.9f), damage));
        return ProjectContents::read(path.toStdString(), read, error);
    };
    ASSERT_TRUE(readWith([](NorlaFileVnt& p) { p.setBpm(1e30f); p.setTimeShift_s(NAN); }));
    EXPECT_EQ(read.bpm, 200.0f);
    EXPECT_EQ(read.timeShift_s, 0.0f);
    ASSERT_EQ(read.warnings.size(), 2u);
    EXPECT_EQ(read.warnings[0], "the tempo (bpm) of 1e+30 is outside 20 to 200; using 200");
    EXPECT_TRUE(read.calibration.has_value());

    ASSERT_TRUE(
        readWith([](NorlaFileVnt& p) { p.setTimeSigNumerator(7); p.setTimeSigDenominator(8); p.setBpm(0.0f); }));
    EXPECT_EQ(std::make_pair(read.timeSigNumerator, read.timeSigDenominator), std::make_pair(4, 4));
    EXPECT_EQ(read.bpm, 20.0f);
    EXPECT_EQ(read.warnings.size(), 2u);

    ASSERT_TRUE(readWith([](NorlaFileVnt& p) { p.setNoteFrequencies({{"LA", INFINITY}}); }));
    EXPECT_FALSE(read.calibration.has_value());
    ASSERT_EQ(read.warnings.size(), 1u);
    EXPECT_NE(read.warnings[0].find("calibration is ignored"), std::string::npos);

    for (int rate_Hz : {100000000, 4000}) {
        EXPECT_FALSE(readWith([rate_Hz](NorlaFileVnt& p) { p.setRecordingFrequency_Hz(rate_Hz); }));
        EXPECT_NE(error.find(std::to_string(rate_Hz) + " Hz is outside 8000 to 192000 Hz"), std::string::npos) << error;
    }
}

// A project says whether its tuning was the piper's or estimated; one from
// before that, holding the uncalibrated default table, was never calibrated.
TEST(ProjectContents, TheTuningKeepsWhetherItWasCalibratedOrEstimated)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("tuning.vnt").toStdString();
    const PipeTuning played = testsignals::tuningAt(480.9f);
    ProjectContents estimate = sample();
    estimate.calibration.reset();
    estimate.estimatedTuning = played;
    // What, the contents written (else an older file holding the table of
    // the tuning), whether calibrated or estimated, and the Low A read.
    const std::tuple<const char*, std::optional<ProjectContents>, PipeTuning, bool, bool, float> rows[] = {
        {"estimated", estimate, {}, false, true, 480.9f},
        {"calibrated", sample(), {}, true, false, 480.5f},
        {"older file, default table", std::nullopt, PipeTuning(), false, false, 0.0f},
        {"older file, played table", std::nullopt, played, true, false, 480.9f},
    };
    for (const auto& [what, contents, table, calibrated, estimated, lowA_Hz] : rows) {
        std::string error;
        if (contents)
            ASSERT_TRUE(contents->write(path, 8, "", error)) << error;
        else
            ASSERT_TRUE(saveRaw(QString::fromStdString(path), table));
        ProjectContents read;
        ASSERT_TRUE(ProjectContents::read(path, read, error)) << error;
        EXPECT_EQ(read.calibration.has_value(), calibrated) << what;
        EXPECT_EQ(read.estimatedTuning.has_value(), estimated) << what;
        const std::optional<PipeTuning>& tuning = read.calibration ? read.calibration : read.estimatedTuning;
        if (tuning)
            EXPECT_NEAR(tuning->getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA), lowA_Hz, 0.01f) << what;
        else
            EXPECT_EQ(read.warnings.size(), 1u) << what;
    }
}

// The piper's corrections come back in their order, each exactly, and the
// metronome's clicks where they sounded; an edit that cannot be read is
// left out with a warning and the others stand; clicks that cannot be read
// (or lie past the recording) are all left out, with a warning.
TEST(ProjectContents, ScoreEditsAndClicksComeBackAndWhatCannotBeReadIsLeftOut)
{
    PipeTuneModel::Bar before;
    before.items = {PipeTuneModel::Item(gg, 32, 0, FlagNone), PipeTuneModel::Item(E, 8, 1, FlagRight),
                    PipeTuneModel::Item(D, 16, 0, FlagLeft)};
    PipeTuneModel::Bar after = before;
    after.items[1].name = F;
    after.items[2].tied = true;
    ProjectContents contents = sample();
    for (int bar : {3, 0}) {
        ScoreEdit edit;
        edit.description = "Note up <&> \"quoted\"";
        edit.firstBar = bar;
        edit.before = {before};
        edit.after = {after, before};
        contents.scoreEdits.push_back(edit);
    }
    contents.clicks = {{0, 0}, {2, 1}, {5, 0}};
    QTemporaryDir dir;
    const std::string path = dir.filePath("edited.vnt").toStdString();
    std::string error;
    ASSERT_TRUE(contents.write(path, 8, "", error)) << error;
    ProjectContents read;
    ASSERT_TRUE(ProjectContents::read(path, read, error)) << error;
    EXPECT_EQ(read.scoreEdits, contents.scoreEdits);
    EXPECT_EQ(read.clicks, contents.clicks);
    EXPECT_TRUE(read.warnings.empty());

    NorlaFileVnt file;
    QString message;
    ASSERT_TRUE(file.open(QString::fromStdString(path), message));
    std::vector<QString> texts = file.scoreEdits();
    texts.insert(texts.begin() + 1, "not an edit");
    file.setScoreEdits(texts);
    ASSERT_TRUE(file.save(QString::fromStdString(path), message));
    ASSERT_TRUE(ProjectContents::read(path, read, error)) << error;
    EXPECT_EQ(read.scoreEdits, contents.scoreEdits);
    EXPECT_EQ(read.warnings.size(), 1u);

    for (const char* marks : {"0:0 2", "0:0 x:1", "0:0 6:1", "0:-1"}) {
        file.setClickMarks(marks);
        ASSERT_TRUE(file.save(QString::fromStdString(path), message));
        ASSERT_TRUE(ProjectContents::read(path, read, error)) << error;
        EXPECT_TRUE(read.clicks.empty()) << marks;
        EXPECT_EQ(read.warnings.size(), 2u) << marks;
    }
}

} // namespace
