#pragma once

// Answers the message boxes and file dialogs a test provokes: every few
// milliseconds the active modal window is noted (title and text) and
// closed, a message box with its default button, a file dialog cancelled.
// Progress dialogs (calibration) are left alone.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

class ModalCloser
{
public:
    ModalCloser()
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] { closeActive(); });
        mTimer.start(20);
    }

    // "title: text" of each window closed, in order.
    const QStringList& seen() const { return mSeen; }
    void clear() { mSeen.clear(); }
    // A file name to answer the next file dialog with instead of cancelling.
    void answerFileDialogWith(const QString& name) { mFileAnswer = name; }
    // Called with each window before it is closed (to look at it, fill it
    // in); returning true means the inspector has closed it itself.
    void inspectWith(std::function<bool(QWidget*)> inspect) { mInspect = std::move(inspect); }

private:
    void closeActive()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || qobject_cast<QProgressDialog*>(modal) != nullptr)
            return;
        if (mInspect && mInspect(modal))
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            mSeen << box->windowTitle() + ": " + box->text();
            box->done(box->defaultButton() != nullptr ? box->standardButton(box->defaultButton()) : QMessageBox::Ok);
        } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            mSeen << files->windowTitle() + ": " + mFileAnswer;
            if (mFileAnswer.isEmpty()) {
                files->reject();
            } else {
                files->selectFile(mFileAnswer);
                // selectFile leaves the name typed alone while its field
                // has the focus, as it may by now on a busy machine.
                if (auto* name = files->findChild<QLineEdit*>("fileNameEdit"))
                    name->setText(mFileAnswer);
                static_cast<QDialog*>(files)->accept();
                mFileAnswer.clear();
            }
        } else {
            // Closing a dialog rejects it.
            mSeen << modal->windowTitle();
            modal->close();
        }
    }

    QTimer mTimer;
    QStringList mSeen;
    QString mFileAnswer;
    std::function<bool(QWidget*)> mInspect;
};
