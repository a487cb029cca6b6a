#pragma once

// The real main window, offscreen, with the file-backed input and a scratch
// settings store; message boxes and file dialogs are answered by a
// ModalCloser. Screenshots go to the build tree (and to docs/ and the user
// guide with VANTOR_UPDATE_DOCS=1).

#include "AppResources.h"
#include "AudioDevices.h"
#include "AudioMetaTypes.h"
#include "AudioRecorderWrapper.h"
#include "MainWindow.h"
#include "ModalCloser.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"
#include "utils.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>

inline constexpr int kRate_Hz = 44100;
inline const QString kExample = QString(VANTOR_EXAMPLES_DIR) + "/scotland_the_brave.wav";

inline QString example(const QString& name) { return QString(VANTOR_EXAMPLES_DIR) + "/" + name; }

// Every warning logged while a window lives, to find a missing icon (the
// SVG reader's "Cannot open file").
inline QStringList gWarnings;
inline std::mutex gWarningsMutex;
inline QtMessageHandler gPreviousHandler = nullptr;

inline void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type >= QtWarningMsg) {
        std::lock_guard<std::mutex> lock(gWarningsMutex);
        gWarnings << message;
    }
    if (type != QtDebugMsg && gPreviousHandler != nullptr)
        gPreviousHandler(type, context, message);
}

class MainWindowFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QCoreApplication::setOrganizationName("Norla Technology");
        QCoreApplication::setApplicationName("Vantor");
        QStandardPaths::setTestModeEnabled(true);
        qputenv(appResources::kFolderVariable, QByteArray(VANTOR_EXAMPLES_DIR) + "/..");
        registerAudioMetaTypes();
    }

    void SetUp() override
    {
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
        // Autosaves go to a scratch folder, never the user's documents.
        store("autoSaveDir", fileDir.filePath("autosave"));
        gWarnings.clear();
        gPreviousHandler = qInstallMessageHandler(collectWarnings);
    }

    void TearDown() override
    {
        window.reset();
        qInstallMessageHandler(gPreviousHandler);
        // (A thread destroyed while running aborts the test by itself.)
        for (const QString& warning : gWarnings)
            EXPECT_FALSE(warning.contains("Cannot open file")) << warning.toStdString();
    }

    void store(const char* key, const QVariant& value) { QSettings().setValue(key, value); }

    // Opens the window with the file input playing path at speed; chosen as
    // --input-file chooses it, or standing in for a missing microphone.
    void open(const QString& path, double speed, bool chosen = true)
    {
        audioDevices::InputFile input{path, speed};
        input.chosen = chosen;
        window = std::make_unique<MainWindow>(input);
        window->resize(1280, 860);
        window->show();
        QSignalSpy ready(window.get(), &MainWindow::audioReady);
        ASSERT_TRUE(ready.wait(10000));
        QTest::qWait(200); // the input starts 127 ms after the window
    }

    // Opens a project and waits until its transcription has been shown.
    void openProject(const QString& path)
    {
        ASSERT_TRUE(window->openVnt(path, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isPlayingBack(); }, 30000));
        QTest::qWait(100);
    }

    template <typename T>
    T* find(const char* name) const
    {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    float recorded_s() const { return static_cast<float>(window->recording().size()) / (2.0f * kRate_Hz); }

    // vantor-transcribe's transcription of what the window recorded.
    TranscriptionResult transcribedRecording(const TranscriptionOptions& options) const
    {
        const QByteArray& pcm = window->recording();
        return transcribeRecording(utils::decodePcm16(pcm.constData(), static_cast<std::size_t>(pcm.size())), kRate_Hz,
                                   options);
    }

    // Waits until a result covering the whole recording has been shown (a
    // slow machine, a sanitizer build, may still be catching up after Stop).
    static bool waitForTheLastResult(const QSignalSpy& shown, float recorded_s)
    {
        return QTest::qWaitFor([&] { return !shown.isEmpty() && shown.last()[0].toFloat() > recorded_s - 0.05f; },
                               60000);
    }

    // The first message box or dialog the closer answered, once there is one.
    QString firstSeen() const
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !closer.seen().isEmpty(); }, 30000));
        return closer.seen().value(0);
    }

    static QString lowAText(float lowA_Hz) { return QString("Low A = %1 Hz  ").arg(double(lowA_Hz), 0, 'f', 1); }

    static ProjectContents readProject(const QString& path)
    {
        ProjectContents project;
        std::string error;
        EXPECT_TRUE(ProjectContents::read(path.toStdString(), project, error)) << error;
        return project;
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    static void saveShot(const QImage& shot, const QString& name)
    {
        QDir().mkpath(QString(VANTOR_SCREENSHOT_DIR) + "/screenshots");
        shot.save(QString(VANTOR_SCREENSHOT_DIR) + "/screenshots/" + name + ".png");
    }

    // The window as the piper sees it, with any dialog open over it.
    void screenshot(const QString& name) const
    {
        // Dialogs are windows of their own: drawn over the main window, centred.
        QPixmap shot = window->grab();
        QPainter painter(&shot);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top != window.get() && top->isVisible() && qobject_cast<QDialog*>(top) != nullptr) {
                const QPixmap dialog = top->grab();
                painter.drawPixmap((shot.width() - dialog.width()) / 2, (shot.height() - dialog.height()) / 3, dialog);
            }
        }
        painter.end();
        saveShot(shot.toImage(), name);
        // The user guide shows three of them too.
        if (qEnvironmentVariableIsSet("VANTOR_UPDATE_DOCS")) {
            shot.save(QString(VANTOR_DOCS_DIR) + "/" + name + ".png");
            if (QStringList{"recording", "after_stop", "calibration_success"}.contains(name))
                shot.save(QString(VANTOR_EXAMPLES_DIR) + "/../help/images/" + name + ".png");
        }
    }

    // Writes a file in the scratch folder (name may be a path in it).
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = fileDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path.toStdString();
        return path;
    }

    QTemporaryDir settingsDir;
    QTemporaryDir fileDir;
    ModalCloser closer;
    std::unique_ptr<MainWindow> window;
};

