#pragma once

// The tune details dialog ("Tune Details"): the tune's name, type and
// composer over a copy of the settings, filled by the main window before
// initialise() and read back after the dialog was accepted.

#include "GeneralSettings.h"

#include <QDialog>

class QLineEdit;

class TuneDetailsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TuneDetailsDialog(QWidget* parent = nullptr);

    void initialise();
    GeneralSettings settings;

public slots:
    void accept() override;

private:
    QLineEdit* mTuneName;
    QLineEdit* mTuneType;
    QLineEdit* mComposer;
};
