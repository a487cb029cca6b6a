// The main window's dialogs: settings, tune details, help and about.

#include "MainWindow.h"

#include "AppResources.h"
#include "SettingsDialog.h"
#include "TuneDetailsDialog.h"
#include "utils.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QUrl>

void MainWindow::onSettings()
{
    SettingsDialog dialog(mInputFile, this);
    dialog.settings = mSettings;
    dialog.initialise();
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!QDir().mkpath(dialog.settings.autoSaveDir)) {
        qWarning() << "Cannot create the autosave folder" << dialog.settings.autoSaveDir << "- keeping"
                   << mSettings.autoSaveDir;
        dialog.settings.autoSaveDir = mSettings.autoSaveDir;
    }
    mSettings = dialog.settings;
    applyGeneralSettings();
    initProcessing();
    startAudio();
}

void MainWindow::onTuneDetails()
{
    TuneDetailsDialog dialog(this);
    dialog.settings = mSettings;
    dialog.initialise();
    if (dialog.exec() == QDialog::Accepted) {
        const ScoreSettings before = tuneState();
        mSettings = dialog.settings;
        mApplyingHistory = true;
        applyGeneralSettings();
        mApplyingHistory = false;
        if (!tuneSettingsChanged(before, "Tune details", "Change the tune details"))
            return;
    }
    mViews.dropHeaders();
    displayPixmaps();
}

void MainWindow::onHelp(bool /*checked*/)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(appResources::path("help/index.html")));
}

void MainWindow::onAbout(bool /*checked*/)
{
    int major = 0;
    int minor = 0;
    utils::getVersionComponents(kAppVersion, major, minor);
    QMessageBox box(this);
    box.setObjectName("aboutBox");
    box.setWindowTitle("About Vantor");
    box.setText("About Vantor");
    box.setInformativeText(QString("<p><b>%1</b></p><p>Version: %2.%3</p>")
                               .arg(QCoreApplication::applicationName())
                               .arg(major)
                               .arg(minor)
                           + "<p>Vantor writes down what a piper plays.</p>"
                             "<p>Norla Technology<br>support@vantor.app</p>");
    box.setDetailedText(mEula);
    box.setIconPixmap(QIcon(":/icons/vantor.svg").pixmap(64, 64));
    box.exec();
}
