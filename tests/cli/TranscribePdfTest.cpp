// vantor-transcribe's PDF of a project, one bar a row to run over pages, on
// A4 into a file and on Letter to standard output, has the layout's pages.

#include "PdfPages.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"
#include "ScoreEdit.h"
#include "ScorePages.h"
#include "ScoreSettings.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(TranscribePdf, PagesAreTheLayoutsOfTheProjectsScoreOnEitherPaper)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "cliTests";
    char* argv[] = {name, nullptr};
    const QGuiApplication application(argc, argv);

    const QString input = VANTOR_EXAMPLES_DIR "/atholl_highlanders.vnt";
    ProjectContents project;
    std::string error;
    ASSERT_TRUE(ProjectContents::read(input.toStdString(), project, error)) << error;
    TranscriptionOptions options;
    options.tuningSource = TuningSource::Calibrated;
    options.calibratedTuning = project.calibration.value_or(PipeTuning());
    const TranscriptionResult result = transcribeRecording(project.samples, project.samplingFrequency_Hz, options);
    ScoreSettings score = project.scoreSettings();
    score.barsPerRow = 1;
    score.rounding = false;
    PipeTuneModel model = scoreModel(result.melody, result.gracing, score);
    applyEdits(model, project.scoreEdits);
    const ScorePages pages(model, score);

    QTemporaryDir dir;
    const std::tuple<const char*, QPageSize::PageSizeId, QString> runs[] = {
        {"a4", QPageSize::A4, dir.filePath("tune.pdf")}, {"letter", QPageSize::Letter, "-"}};
    for (const auto& [paper, size, output] : runs) {
        QProcess process;
        process.start(VANTOR_TRANSCRIBE, {input, "--bars-per-row", "1", "--paper", paper, "--pdf", output});
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        QFile file(output);
        if (output != "-") {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        }
        const QByteArray pdf = output == "-" ? process.readAllStandardOutput() : file.readAll();
        const int expected = pages.pageBreaks(ScorePages::pageLayout(size)).pageCount();
        EXPECT_GE(expected, 2) << paper;
        EXPECT_EQ(pdfPageCount(pdf), expected) << paper;
    }

    QProcess process; // never over its input
    process.start(VANTOR_TRANSCRIBE, {input, "--pdf", input});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("is the input"));
}

} // namespace
