#include "AppResources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace appResources {

QString folder()
{
    const QString given = qEnvironmentVariable(kFolderVariable);
    if (!given.isEmpty())
        return given;
    const QDir executable(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {QString("resources"), QString("../share/vantor")}) {
        const QString folder = executable.filePath(candidate);
        if (QFileInfo(folder).isDir())
            return QDir::cleanPath(folder);
    }
    return executable.filePath("resources");
}

QString path(const QString& relative)
{
    return QDir(folder()).filePath(relative);
}

} // namespace appResources
