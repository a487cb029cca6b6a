// libFuzzer target: arbitrary bytes as a project file. Every input must be
// accepted or refused with a message, without crashing, reading out of
// bounds or allocating without bound.

#include "NorlaFileVnt.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader's log lines would only slow the fuzzer down.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NorlaFileVnt project;
    QString error;
    const bool accepted = project.fromBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)), error);
    if (!accepted && error.isEmpty())
        __builtin_trap();
    if (accepted && project.audioData().size() != project.audioDataSize_B())
        __builtin_trap();
    return 0;
}
