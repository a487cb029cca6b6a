#include "TuneDetailsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

TuneDetailsDialog::TuneDetailsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Tune Details");
    setObjectName("tuneDetailsDialog");
    setMinimumWidth(420);
    auto* form = new QFormLayout;
    form->addRow("Tune name:", mTuneName = new QLineEdit);
    form->addRow("Tune type:", mTuneType = new QLineEdit);
    form->addRow("Composed/arranged by:", mComposer = new QLineEdit);
    mTuneName->setObjectName("tuneName");
    mTuneType->setObjectName("tuneType");
    mComposer->setObjectName("composer");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TuneDetailsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TuneDetailsDialog::initialise()
{
    mTuneName->setText(settings.tuneName);
    mTuneType->setText(settings.tuneType);
    mComposer->setText(settings.composer);
    // Typing goes into the name at once, replacing it; without this the
    // focus would be on a button, which Space presses.
    mTuneName->setFocus();
    mTuneName->selectAll();
}

void TuneDetailsDialog::accept()
{
    settings.tuneName = mTuneName->text();
    settings.tuneType = mTuneType->text();
    settings.composer = mComposer->text();
    QDialog::accept();
}
