#include "FileSaving.h"

#include <QDir>
#include <QSaveFile>

namespace fileSaving {

bool writeWholeFile(const QString& path, const QList<QByteArray>& parts, QString& error)
{
    QSaveFile file(path);
    // The reason is taken where the failure happens: cancelling or a failed
    // commit may leave only "Unknown error" behind.
    auto fail = [&](const QString& reason) {
        error = QString("%1: cannot write the file (%2)").arg(QDir::toNativeSeparators(path), reason);
        file.cancelWriting();
        return false;
    };
    // Unbuffered, every write reaches the system here and is checked. Through
    // Qt's write buffer, a file smaller than the buffer would be written only
    // by the flush in commit(), which does not see that flush fail and would
    // rename a cut file over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    // A write the system takes only in part is not an error to Qt and leaves
    // no reason; the rest is offered again, which either goes through or
    // fails with the system's reason (a full disk).
    for (const QByteArray& part : parts) {
        qint64 written_B = 0;
        while (written_B < part.size()) {
            const qint64 step_B = file.write(part.constData() + written_B, part.size() - written_B);
            if (step_B <= 0)
                return fail(file.errorString());
            written_B += step_B;
        }
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace fileSaving
