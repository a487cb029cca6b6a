// libFuzzer target: arbitrary bytes as a project file. Every input must be
// accepted or refused with a message, without crashing, reading out of
// bounds or allocating without bound; every correction to the score it
// holds must be read or refused, and one read must come back the same
// from its own text.

#include "NorlaFileVnt.h"
#include "ScoreEdit.h"

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
    for (const QString& text : project.scoreEdits()) {
        const std::optional<ScoreEdit> edit = ScoreEdit::fromText(text.toStdString());
        if (edit && ScoreEdit::fromText(edit->toText()) != edit)
            __builtin_trap();
    }
    return 0;
}
