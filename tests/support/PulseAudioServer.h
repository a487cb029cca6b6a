#pragma once

// A PulseAudio sound server of the test run's own: started from a scratch
// runtime folder with a script of its own (never the user's configuration,
// home or running server), holding one null sink whose monitor is the
// default input, so that what is played into the sink is what the
// application's system input records. Every client started after it (Qt's
// audio, paplay) reaches it through PULSE_SERVER. The daemon is ended by
// its own process when the object goes. Needs the scratch home in place.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class PulseAudioServer
{
public:
    static constexpr const char* kSink = "vantor_test_sink";

    // Whether pulseaudio and paplay are installed at all.
    static bool installed()
    {
        return !QStandardPaths::findExecutable("pulseaudio").isEmpty()
               && !QStandardPaths::findExecutable("paplay").isEmpty()
               && !QStandardPaths::findExecutable("pactl").isEmpty();
    }

    // Starts the daemon and waits until it answers; empty on success, else
    // what went wrong.
    QString start()
    {
        const QString runtime = mDir.filePath("runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        qputenv("PULSE_RUNTIME_PATH", mDir.filePath("runtime/pulse").toLocal8Bit());
        qputenv("PULSE_STATE_PATH", mDir.filePath("state").toLocal8Bit());
        qputenv("PULSE_SERVER", ("unix:" + mDir.filePath("runtime/pulse/native")).toLocal8Bit());
        qunsetenv("PULSE_SINK");
        qunsetenv("PULSE_SOURCE");
        const QString script = mDir.filePath("server.pa");
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            return "cannot write " + script;
        file.write(QString("load-module module-native-protocol-unix auth-anonymous=1\n"
                           "load-module module-null-sink sink_name=%1 rate=44100\n"
                           "set-default-sink %1\n"
                           "set-default-source %1.monitor\n")
                       .arg(kSink)
                       .toUtf8());
        file.close();
        // -n: no default script; no idle exit and no exit on request, so it
        // lives exactly as long as this object.
        mDaemon.setProcessChannelMode(QProcess::MergedChannels);
        mDaemon.start("pulseaudio", {"-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
                                     "--disallow-exit", "--use-pid-file=no", "--system=no", "--log-target=stderr"});
        if (!mDaemon.waitForStarted(10000))
            return "pulseaudio does not start: " + mDaemon.errorString();
        const bool answers = QTest::qWaitFor(
            [&] {
                if (mDaemon.state() != QProcess::Running)
                    return true;
                QProcess info;
                info.start("pactl", {"info"});
                return info.waitForFinished(5000) && info.exitCode() == 0;
            },
            15000);
        if (!answers || mDaemon.state() != QProcess::Running)
            return "pulseaudio does not answer: " + QString::fromLocal8Bit(mDaemon.readAll());
        return QString();
    }

    ~PulseAudioServer()
    {
        if (mDaemon.state() == QProcess::NotRunning)
            return;
        mDaemon.terminate();
        if (!mDaemon.waitForFinished(5000))
            mDaemon.kill();
        mDaemon.waitForFinished(5000);
    }

private:
    QTemporaryDir mDir;
    QProcess mDaemon;
};
