#include "FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace fileNames {

QString strippedTuneName(const QString& name)
{
    static const QRegularExpression notAllowed("[^a-zA-Z\\d\\s]");
    QString stripped = name;
    return stripped.remove(notAllowed);
}

QString suggestedFileName(const QString& lastSaveFileName, const QString& strippedName)
{
    if (strippedName.isEmpty())
        return lastSaveFileName;
    return QFileInfo(lastSaveFileName).path() + "/" + strippedName;
}

QString autosaveName(const QString& folder, const QDateTime& now, const QString& strippedName)
{
    // Month names in English whatever the desktop's language: the names sort
    // and read the same everywhere.
    const QString stamp = QLocale::c().toString(now, "yyyy-MMM-dd_hh-mm-ss");
    return QString("%1/%2%3.vnt").arg(QDir::cleanPath(folder), stamp,
                                      strippedName.isEmpty() ? QString() : "_" + strippedName);
}

QStringList makeRoomForAutosave(const QString& folder, int keep)
{
    QDir dir(folder);
    QStringList files = dir.entryList({"*.vnt"}, QDir::Files, QDir::Time); // newest first
    QStringList deleted;
    while (!files.isEmpty() && files.size() >= keep) {
        const QString oldest = dir.filePath(files.takeLast());
        if (QFile::remove(oldest))
            deleted << oldest;
    }
    return deleted;
}

int saveFilterFor(const QString& name, int selectedFilter)
{
    // In the order of the save dialog's filters.
    enum { kProject, kBww, kScorePng, kTimingPng, kWave };
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == "vnt")
        return kProject;
    if (suffix == "bww")
        return kBww;
    if (suffix == "wav")
        return kWave;
    if (suffix == "png")
        return selectedFilter == kTimingPng ? kTimingPng : kScorePng;
    return selectedFilter;
}

} // namespace fileNames
