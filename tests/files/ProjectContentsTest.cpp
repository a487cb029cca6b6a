// The project file as the tools and the application use it: contents written
// and read back whole, the header as a golden file, a re-save keeping where
// the recording came from.

#include "ProjectContents.h"

#include "Golden.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    PipeTuning calibration;
    calibration.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.5f}, {PipeTuning::D, 641.0f}});
    contents.calibration = calibration;
    return contents;
}

TEST(ProjectContents, RoundTripsThroughAFileAndKeepsItsProvenance)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("take.vnt").toStdString();
    std::string error;
    ASSERT_TRUE(sample().write(path, 7, "test-writer", error)) << error;

    ProjectContents read;
    ASSERT_TRUE(ProjectContents::read(path, read, error)) << error;
    const ProjectContents expected = sample();
    EXPECT_EQ(read.samples, expected.samples);
    EXPECT_EQ(read.samplingFrequency_Hz, expected.samplingFrequency_Hz);
    EXPECT_EQ(std::tie(read.tuneName, read.tuneType, read.composer),
              std::tie(expected.tuneName, expected.tuneType, expected.composer));
    EXPECT_EQ(std::tie(read.timeSigNumerator, read.timeSigDenominator, read.bpm, read.timeShift_s),
              std::tie(expected.timeSigNumerator, expected.timeSigDenominator, expected.bpm, expected.timeShift_s));
    ASSERT_TRUE(read.calibration.has_value());
    for (const auto& [note, centre_Hz] : expected.calibration->getNoteCentreFrequencies())
        EXPECT_NEAR(read.calibration->getReferenceNoteCentreFrequency_Hz(note), centre_Hz, 0.001f) << note;
    EXPECT_EQ(read.recordedInstallId, "test-writer");
    EXPECT_EQ(read.recordedAppVersion, 7);
    EXPECT_FALSE(read.recordedTime.empty());

    // Saved again by another program, it still says where it was recorded.
    const std::string again = dir.filePath("again.vnt").toStdString();
    ASSERT_TRUE(read.write(again, 9, "other-writer", error)) << error;
    ProjectContents reread;
    ASSERT_TRUE(ProjectContents::read(again, reread, error)) << error;
    EXPECT_EQ(std::tie(reread.recordedInstallId, reread.recordedTime, reread.recordedAppVersion),
              std::tie(read.recordedInstallId, read.recordedTime, read.recordedAppVersion));

    // The header, with the times that change from run to run blanked.
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString header = QString::fromUtf8(file.readAll().mid(20).chopped(12));
    header.replace(QRegularExpression("<(\\w*Time)>[^<]*</"), "<\\1>TIME</");
    expectMatchesGolden("project-header.xml", header.toStdString());

    EXPECT_FALSE(ProjectContents::read(dir.filePath("missing.vnt").toStdString(), read, error));
    EXPECT_NE(error.find("missing.vnt"), std::string::npos) << error;
}

} // namespace
