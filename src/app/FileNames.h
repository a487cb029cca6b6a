#pragma once

// The names the main window proposes and writes: tune names cut down to
// letters, digits and white space, the suggested save name, and the
// rotating autosave files.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace fileNames {

// Only ASCII letters, digits and white space remain.
QString strippedTuneName(const QString& name);
// The folder of the last saved file and the (stripped) tune name; the last
// saved name itself when there is no tune name.
QString suggestedFileName(const QString& lastSaveFileName, const QString& strippedName);
// "<folder>/<yyyy-MMM-dd_hh-mm-ss>[_<tune name>].vnt"
QString autosaveName(const QString& folder, const QDateTime& now, const QString& strippedName);
// The save format for a chosen file name, as an index into the save
// dialog's filters (project, BWW, sheet-music PNG, timing PNG, WAVE): the
// one its extension names when that is offered, else selectedFilter. A
// ".png" keeps a selected PNG filter and means the sheet music otherwise.
int saveFilterFor(const QString& name, int selectedFilter);
// Deletes the oldest "*.vnt" files in folder until fewer than keep remain,
// making room for one more; returns the names deleted.
QStringList makeRoomForAutosave(const QString& folder, int keep);

} // namespace fileNames
