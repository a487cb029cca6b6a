// The main window's printing: the corrected score the views show, laid out
// on pages by ScorePages, exported as PDF, previewed and printed. Reads the
// recording (is there one), the score editing's score and the settings it
// was last drawn with; writes mLastSaveFileName after an export.

#include "MainWindow.h"

#include "ScoreEditing.h"
#include "ScorePages.h"

#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

// The locale's paper, the tune's name for the print queue.
void setUpPrinter(QPrinter& printer, const ScoreSettings& score)
{
    printer.setPageLayout(ScorePages::pageLayout(ScorePages::defaultPaper(QLocale())));
    printer.setDocName(QString::fromStdString(score.tuneName));
}

// Paints the pages the printer asks for, saying so when it cannot.
void printPages(const ScorePages& pages, QPrinter& printer, QWidget* parent)
{
    if (!pages.paint(printer, printer.fromPage(), printer.toPage()))
        QMessageBox::warning(parent, "Unable to print", "There was a problem sending the sheet music to the printer");
}

} // namespace

bool MainWindow::savePdf(const QString& name)
{
    renderAllViews();
    const ScorePages pages(mEditing->score(), mLastScore);
    const QByteArray pdf = pages.pdf(ScorePages::pageLayout(ScorePages::defaultPaper(QLocale())));
    if (pdf.isEmpty()) {
        QMessageBox::warning(this, "Unable to save file",
                             "There was a problem trying to save the file: the pages could not be drawn");
        return false;
    }
    return writeFile(name, pdf);
}

void MainWindow::onExportPdf()
{
    if (mRecordingData.isEmpty()) {
        QMessageBox::warning(this, "Nothing to save", "You have not recorded anything yet");
        return;
    }
    const QString name =
        QFileDialog::getSaveFileName(this, "Export PDF", suggestedFileNameAs(".pdf"), "PDF files (*.pdf)");
    if (name.isEmpty() || !savePdf(name))
        return;
    mLastSaveFileName = name;
}

bool MainWindow::readyToPrint()
{
    if (mRecordingData.isEmpty()) {
        QMessageBox::warning(this, "Nothing to print", "You have not recorded anything yet");
        return false;
    }
    renderAllViews();
    return true;
}

void MainWindow::onPrintPreview()
{
    if (!readyToPrint())
        return;
    const ScorePages pages(mEditing->score(), mLastScore);
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, mLastScore);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName("printPreviewDialog");
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&](QPrinter* target) { printPages(pages, *target, &preview); });
    preview.exec();
}

void MainWindow::onPrint()
{
    if (!readyToPrint())
        return;
    const ScorePages pages(mEditing->score(), mLastScore);
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, mLastScore);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName("printDialog");
    dialog.setMinMax(1, pages.pageBreaks(printer.pageLayout()).pageCount());
    if (dialog.exec() == QDialog::Accepted)
        printPages(pages, printer, this);
}
