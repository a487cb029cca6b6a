// Vantor: records a piper playing to a metronome and writes the tune down.

#include "AppResources.h"
#include "AudioDevices.h"
#include "AudioMetaTypes.h"
#include "MainWindow.h"
#include "MessageLog.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QFileInfo>

#include <cstdlib>
#include <memory>

namespace {

// The recording the file-backed input plays: --input-file, else the
// environment's, else (no sound card) the bundled example; none when there
// is a sound card and no file was asked for.
audioDevices::InputFile chooseInputFile(const QString& given)
{
    QString path = given;
    if (path.isEmpty())
        path = qEnvironmentVariable(audioDevices::kInputFileVariable);
    const bool chosen = !path.isEmpty();
    if (!chosen && audioDevices::chooseInput(QString(), {}).isEmpty()) {
        path = appResources::path("examples/scotland_the_brave.wav");
        qInfo().noquote() << "No audio input device: the file input plays" << path;
    }
    if (path.isEmpty())
        return {};
    // A chosen file that cannot be played stays the input, so that the
    // window says so at start instead of quietly using a microphone.
    const QString problem = chosen ? QString() : audioDevices::inputFileProblem(path);
    if (!problem.isEmpty()) {
        qWarning().noquote() << "The input file" << path << problem;
        return {};
    }
    audioDevices::InputFile file;
    file.path = QFileInfo(path).absoluteFilePath();
    file.chosen = chosen;
    return file;
}

} // namespace

int main(int argc, char* argv[])
{
    installMessageLog();
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Norla Technology");
    QCoreApplication::setOrganizationDomain("vantor.app");
    registerAudioMetaTypes();
    qRegisterMetaType<QtMsgType>("QtMsgType");
    QCoreApplication::setApplicationName("Vantor");
    QCoreApplication::setApplicationVersion("1.8");

    QCommandLineParser parser;
    parser.setApplicationDescription("Records a piper playing to a metronome and writes the tune down.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption inputFile(
        "input-file",
        "Plays FILE (WAVE, FLAC, Ogg or a Vantor project) into Vantor as if it were the audio input; also "
        "VANTOR_INPUT_FILE.",
        "FILE");
    parser.addOption(inputFile);
    parser.addPositionalArgument("file", "A Vantor project (.vnt) or a recording (WAVE, FLAC, Ogg, AIFF, MP3...) to open.",
                                 "[file]");
    parser.process(application);
    const audioDevices::InputFile input = chooseInputFile(parser.value(inputFile));

    auto window = std::make_unique<MainWindow>(input);
    window->show();
    // Ended from outside (the session logging out, kill, Ctrl+C in a
    // terminal): the window closes as if the piper had closed it, which
    // stops and keeps a recording under way.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, window.get(), [&window, &application] {
        window->close();
        application.quit();
    });
    if (!parser.positionalArguments().isEmpty()) {
        // Opened once the processing thread is there to transcribe it.
        const QString file = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
        QObject::connect(window.get(), &MainWindow::audioReady, window.get(),
                         [&window, file] { window->openFile(file, true); }, Qt::QueuedConnection);
    }
    const int code = application.exec();
    window.reset();
    return code;
}
