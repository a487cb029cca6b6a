// vantor-transcribe: transcribes a chanter recording without any user
// interface. Reads any file libsndfile reads, or a Vantor project file,
// transcribes it as the application does (or in one shot), prints the notes
// or writes them as pipe-notes/1 JSON, and writes the score as BWW, MusicXML,
// PNG and PDF, the recording as a project file or as WAVE.

#include "AudioFileReader.h"
#include "FileSaving.h"
#include "MetreEstimator.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"
#include "ScoreEdit.h"
#include "ScoreImages.h"
#include "ScorePages.h"
#include "ScoreSettings.h"
#include "TranscribeCommand.h"
#include "TranscriptionOutput.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>
#include <exception>
#include <functional>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

constexpr float kProgressFromAudio_s = 5.0f;
// What this tool writes into the projects it saves.
constexpr int kAppVersion = 1;
const char kInstallId[] = "vantor-transcribe";

bool isProjectFile(const QByteArray& bytes)
{
    return bytes.startsWith("norla_vnt");
}

// Whether path names the same file as input (an output must never replace
// the recording it was made from).
bool isSameFile(const std::string& path, const std::string& input)
{
    const QFileInfo output(QString::fromStdString(path));
    const QFileInfo source(QString::fromStdString(input));
    if (!output.exists() || !source.exists())
        return output.absoluteFilePath() == source.absoluteFilePath();
    return output.canonicalFilePath() == source.canonicalFilePath();
}

void showProgress(float fraction)
{
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(fraction * kWidth);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", kWidth - filled, "",
                 static_cast<int>(fraction * 100.0f));
    if (fraction >= 1.0f)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeOutput(const std::string& path, const QByteArray& bytes, std::string& error)
{
    if (path == "-") {
        std::cout.write(bytes.constData(), bytes.size());
        std::cout.flush();
        if (!std::cout) {
            error = "standard output: cannot write";
            return false;
        }
        return true;
    }
    QString message;
    if (!fileSaving::writeWholeFile(QString::fromStdString(path), {bytes}, message)) {
        error = message.toStdString();
        return false;
    }
    return true;
}

// The tune's score settings: a project's own, or the defaults, with what the
// command line gives on top.
ScoreSettings scoreSettings(const TranscribeCommand& command, const ProjectContents* project)
{
    ScoreSettings score = project != nullptr ? project->scoreSettings() : ScoreSettings();
    if (command.bpm)
        score.bpm = *command.bpm;
    if (command.timeSignature)
        std::tie(score.timeSigNumerator, score.timeSigDenominator) = *command.timeSignature;
    if (command.timeShift_s)
        score.timeShift_s = *command.timeShift_s;
    score.rounding = command.rounding;
    if (command.barsPerRow)
        score.barsPerRow = *command.barsPerRow;
    if (command.tuneName)
        score.tuneName = *command.tuneName;
    if (command.tuneType)
        score.tuneType = *command.tuneType;
    if (command.composer)
        score.composer = *command.composer;
    return score;
}

// Tempo, time signature and time shift given as "auto" (for plain audio,
// those not given at all) are found from the transcription and written into
// score; what was found is said on standard error. Nothing when none is auto
// or too few notes were heard.
std::optional<MetreEstimate> chooseMetre(const TranscribeCommand& command, bool plainAudio,
                                         const TranscriptionResult& result, ScoreSettings& score)
{
    AutomaticMetre automatic;
    automatic.bpm = command.bpmAuto.value_or(plainAudio);
    automatic.signature = command.timeSignatureAuto.value_or(plainAudio);
    automatic.shift = command.timeShiftAuto.value_or(plainAudio);
    if (!automatic.bpm && !automatic.signature && !automatic.shift)
        return std::nullopt;
    const MetreEstimate metre = followPlayedMetre(result.melody, result.gracing, automatic, score);
    if (!metre.valid) {
        std::cerr << "vantor-transcribe: too few notes to find the tempo; the score is written at " << score.bpm
                  << " bpm in " << score.timeSigNumerator << "/" << score.timeSigDenominator << "\n";
        return std::nullopt;
    }
    std::cerr << "vantor-transcribe: " << describeScore(metre, score, result.melody) << "\n";
    return metre;
}

int run(int argc, char** argv)
{
    const auto parsed = parseTranscribeCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.outcome == CommandLineResult<TranscribeCommand>::Help) {
        std::cout << transcribeUsage();
        return 0;
    }
    if (parsed.outcome == CommandLineResult<TranscribeCommand>::UsageError) {
        std::cerr << "vantor-transcribe: " << parsed.error << "\nTry vantor-transcribe --help\n";
        return 2;
    }
    TranscribeCommand command = parsed.settings;

    for (const std::string* path : {&command.jsonPath, &command.bwwPath, &command.vntPath, &command.wavPath,
                                    &command.pngPath, &command.timingPngPath, &command.pdfPath,
                                    &command.musicXmlPath}) {
        if (!path->empty() && *path != "-" && isSameFile(*path, command.input)) {
            std::cerr << "vantor-transcribe: " << *path << ": is the input; choose another name for the output\n";
            return 2;
        }
    }

    std::string error;
    QByteArray input;
    if (!readInputFile(command.input, input, error)) {
        std::cerr << "vantor-transcribe: " << error << "\n";
        return 1;
    }
    ProjectContents project;
    const bool fromProject = isProjectFile(input);
    if (fromProject) {
        if (!ProjectContents::fromBytes(input, command.input, project, error)) {
            std::cerr << "vantor-transcribe: " << error << "\n";
            return 1;
        }
        for (const std::string& warning : project.warnings)
            std::cerr << "vantor-transcribe: " << command.input << ": " << warning << "\n";
        // The tuning the project was transcribed with, estimated or not,
        // unless the command line gives one.
        const std::optional<PipeTuning>& tuning = project.calibration ? project.calibration : project.estimatedTuning;
        if (tuning && !command.tuningGiven) {
            command.options.tuningSource = TuningSource::Calibrated;
            command.options.calibratedTuning = *tuning;
        }
    } else {
        AudioData audio;
        if (!decodeAudio(input, command.input, audio, error)) {
            std::cerr << "vantor-transcribe: " << error << "\n";
            return 1;
        }
        project.samples = std::move(audio.samples);
        project.samplingFrequency_Hz = audio.samplingFrequency_Hz;
    }
    ScoreSettings score = scoreSettings(command, fromProject ? &project : nullptr);

    const float audio_s = static_cast<float>(project.samples.size()) / project.samplingFrequency_Hz;
    ProgressCallback progress;
    if (audio_s > kProgressFromAudio_s && isatty(STDERR_FILENO))
        progress = showProgress;
    const TranscriptionResult result =
        transcribeRecording(project.samples, project.samplingFrequency_Hz, command.options, progress);
    if (command.options.findDrones)
        std::cerr << "vantor-transcribe: "
                  << describeDrones(TuningReading::of(result.tuning, result.melody, result.drones)) << "\n";
    const std::optional<MetreEstimate> metre = chooseMetre(command, !fromProject, result, score);

    // A time shift that moves notes before the start of the score loses
    // them; moving all of them leaves no score to write.
    const std::size_t lost = melodyNotesBeforeTheScore(result.melody, score);
    const bool noScore = lost > 0 && lost == result.melody.size();
    auto shiftLeavesNoScore = [&](const std::string& path, std::string& message) {
        std::ostringstream text;
        text << path << ": the time shift of " << score.timeShift_s
             << " s moves every note before the start of the score; nothing is written";
        message = text.str();
        return false;
    };
    if (lost > 0 && !noScore)
        std::cerr << "vantor-transcribe: the time shift of " << score.timeShift_s << " s moves " << lost << " of "
                  << result.melody.size() << " melody notes before the start of the score; they are left out\n";

    // A project's corrections go on its score where its bars are still the
    // ones corrected.
    PipeTuneModel model = scoreModel(result.melody, result.gracing, score);
    const std::size_t unfitting = applyEdits(model, project.scoreEdits).size();
    if (unfitting > 0)
        std::cerr << "vantor-transcribe: " << unfitting << " of the project's " << project.scoreEdits.size()
                  << " corrections to the score do not fit this transcription; they are left out\n";

    // Every output requested is attempted; each failure is reported by file.
    int failures = 0;
    auto attempt = [&failures](const std::string& path, const std::function<bool(std::string&)>& write) {
        if (path.empty())
            return;
        std::string message;
        if (!write(message)) {
            std::cerr << "vantor-transcribe: " << (message.empty() ? path + ": cannot write" : message) << "\n";
            ++failures;
        }
    };
    attempt(command.bwwPath, [&](std::string& message) {
        if (noScore)
            return shiftLeavesNoScore(command.bwwPath, message);
        return writeOutput(command.bwwPath, QByteArray::fromStdString(scoreBww(model, score)), message);
    });
    attempt(command.musicXmlPath, [&](std::string& message) {
        if (noScore)
            return shiftLeavesNoScore(command.musicXmlPath, message);
        return writeOutput(command.musicXmlPath, QByteArray::fromStdString(scoreMusicXml(model, score)), message);
    });
    attempt(command.vntPath, [&](std::string& message) {
        ProjectContents saved = project;
        saved.setScoreSettings(score);
        // What the transcription used, and whether it was known or estimated.
        saved.calibration.reset();
        saved.estimatedTuning.reset();
        const bool estimated = command.options.tuningSource == TuningSource::EstimatedLowA
                               || (project.estimatedTuning && !command.tuningGiven);
        (estimated ? saved.estimatedTuning : saved.calibration) = result.reference;
        return saved.write(command.vntPath, kAppVersion, kInstallId, message);
    });
    attempt(command.wavPath, [&](std::string& message) {
        return writeOutput(command.wavPath, waveFileBytes(project.samples, project.samplingFrequency_Hz), message);
    });
    if (!command.pngPath.empty() || !command.timingPngPath.empty() || !command.pdfPath.empty()) {
        // The images and pages need a Qt Gui application; without a display it draws
        // offscreen.
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        int appArgc = 1;
        QGuiApplication application(appArgc, argv);
        auto writeImage = [](const std::string& path, const QImage& image, const std::string& why,
                             std::string& message) {
            if (image.isNull()) {
                message = path + ": " + why;
                return false;
            }
            return writeOutput(path, pngBytes(image), message);
        };
        attempt(command.pngPath, [&](std::string& message) {
            if (noScore)
                return shiftLeavesNoScore(command.pngPath, message);
            std::string why;
            const QImage image = scoreImage(model, score, why);
            return writeImage(command.pngPath, image, why, message);
        });
        attempt(command.timingPngPath, [&](std::string& message) {
            std::string why;
            const QImage image = timingImage(result, score, command.secondsPerRow, why);
            return writeImage(command.timingPngPath, image, why, message);
        });
        attempt(command.pdfPath, [&](std::string& message) {
            if (noScore)
                return shiftLeavesNoScore(command.pdfPath, message);
            const ScorePages pages(model, score);
            if (pages.rowCount() == 0) {
                message = command.pdfPath + ": there are no notes to draw";
                return false;
            }
            const QPageSize::PageSizeId paper = command.paper.empty() ? ScorePages::defaultPaper(QLocale())
                                                : command.paper == "letter" ? QPageSize::Letter
                                                                            : QPageSize::A4;
            const QByteArray pdf = pages.pdf(ScorePages::pageLayout(paper));
            if (pdf.isEmpty()) {
                message = command.pdfPath + ": cannot draw the pages";
                return false;
            }
            return writeOutput(command.pdfPath, pdf, message);
        });
    }
    attempt(command.jsonPath, [&](std::string& message) {
        return writeOutput(command.jsonPath,
                           QByteArray::fromStdString(toPipeNotesJson(result, command.input, project.samplingFrequency_Hz,
                                                                     metre ? &*metre : nullptr, &score)),
                           message);
    });
    if (command.printsListing()) {
        std::cout << toText(result) << std::flush;
        if (!std::cout) {
            std::cerr << "vantor-transcribe: standard output: cannot write the notes\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& exception) {
        std::cerr << "vantor-transcribe: internal error: " << exception.what() << "\n";
    } catch (...) {
        std::cerr << "vantor-transcribe: internal error\n";
    }
    return 1;
}
