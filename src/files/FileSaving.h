#pragma once

// Writing a whole file so that it ends up either holding all the new bytes
// or exactly as it was. The bytes go to a temporary file beside the target,
// unbuffered so that every write is checked as it happens (a full disk or a
// file-size limit), and only a complete file is renamed over the target. Every file
// the application and the command-line tool write goes through here:
// projects, autosaves, BWW, JSON, PNG and WAVE. A device or a pipe
// (/dev/null, a FIFO) is written in place, never replaced. Any thread.

#include <QByteArray>
#include <QList>
#include <QString>

namespace fileSaving {

// Writes parts, in order, as the whole new content of path. False, with
// "PATH: cannot write the file (REASON)" in error, when the folder takes no
// new file, a write or the flush fails or the rename fails; the file at
// path, if any, keeps its old content then, and no temporary file is left.
bool writeWholeFile(const QString& path, const QList<QByteArray>& parts, QString& error);

} // namespace fileSaving
