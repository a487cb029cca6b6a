#include "FileSaving.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace fileSaving {

namespace {

// Writes every byte of parts to an open file, unbuffered so that every write
// reaches the system here and is checked. A write the system takes only in
// part is not an error to Qt and leaves no reason; the rest is offered again,
// which either goes through or fails with the system's reason (a full disk).
bool writeParts(QFileDevice& file, const QList<QByteArray>& parts)
{
    for (const QByteArray& part : parts) {
        qint64 written_B = 0;
        while (written_B < part.size()) {
            const qint64 step_B = file.write(part.constData() + written_B, part.size() - written_B);
            if (step_B <= 0)
                return false;
            written_B += step_B;
        }
    }
    return true;
}

QString failure(const QString& path, const QString& reason)
{
    return QString("%1: cannot write the file (%2)").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

bool writeWholeFile(const QString& path, const QList<QByteArray>& parts, QString& error)
{
    // A device or a pipe (/dev/null, /dev/stdout, a FIFO) is written in
    // place: a file renamed over it would take the device's place.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile device(path);
        if (device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && writeParts(device, parts))
            return true;
        error = failure(path, device.errorString());
        return false;
    }
    QSaveFile file(path);
    // The reason is taken where the failure happens: cancelling or a failed
    // commit may leave only "Unknown error" behind.
    auto fail = [&](const QString& reason) {
        error = failure(path, reason);
        file.cancelWriting();
        return false;
    };
    // Through Qt's write buffer, a file smaller than the buffer would be
    // written only by the flush in commit(), which does not see that flush
    // fail and would rename a cut file over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeParts(file, parts))
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace fileSaving
