#pragma once

// Gives the test run a home of its own: HOME points at a fresh scratch
// folder and the XDG folders follow it, so that nothing a test does
// (settings, autosaves, the log, font caches, standard locations) lands in
// the home of whoever runs the tests. Made first thing in main, before Qt
// reads any of them; the folder goes with the object.

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

class ScratchHome
{
public:
    ScratchHome()
    {
        qputenv("HOME", mHome.path().toLocal8Bit());
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qunsetenv(variable);
    }

private:
    QTemporaryDir mHome;
};
