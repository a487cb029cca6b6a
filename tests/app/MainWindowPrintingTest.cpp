// The main window's printing, offscreen with a scratch settings store:
// nothing to print before a recording; then an example, one bar a row so
// that it runs over pages, exported as PDF through the File menu's action
// and its file dialog, and shown in the print preview, both with the pages
// the layout gives the score the window shows; Print opens its dialog.

#include "MainWindowFixture.h"
#include "PdfPages.h"
#include "ScoreEditing.h"
#include "ScorePages.h"

#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>

namespace {

class MainWindowPrintingTest : public MainWindowFixture
{
};

TEST_F(MainWindowPrintingTest, ExportsAndPreviewsThePagesOfTheScoreShown)
{
    store("barsPerRow", 1);
    open(kExample, 1.0);
    for (const char* action : {"exportPdfAction", "printPreviewAction", "printAction"})
        find<QAction>(action)->trigger();
    EXPECT_EQ(closer.seen(), QStringList({"Nothing to save: You have not recorded anything yet",
                                          "Nothing to print: You have not recorded anything yet",
                                          "Nothing to print: You have not recorded anything yet"}));
    closer.clear();

    openProject(example("barren_rocks_of_aden.vnt"));
    const ScorePages pages(window->editing()->score(), window->settings().scoreSettings());
    const int expected =
        pages.pageBreaks(ScorePages::pageLayout(ScorePages::defaultPaper(QLocale()))).pageCount();
    EXPECT_GE(expected, 2);

    const QString pdf = fileDir.filePath("rocks.pdf");
    closer.answerFileDialogWith(pdf);
    find<QAction>("exportPdfAction")->trigger();
    EXPECT_EQ(firstSeen(), "Export PDF: " + pdf);
    EXPECT_EQ(pdfPageCount(contents(pdf)), expected);
    // The next save is proposed beside it.
    EXPECT_TRUE(window->getSuggestedFileName().startsWith(fileDir.path() + "/"))
        << window->getSuggestedFileName().toStdString();

    int previewed = -1;
    closer.inspectWith([&](QWidget* modal) {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(modal);
        if (preview == nullptr)
            return false;
        auto* widget = preview->findChild<QPrintPreviewWidget*>();
        previewed = widget != nullptr ? widget->pageCount() : 0;
        preview->resize(900, 900);
        QTest::qWait(100);
        const QImage shot = preview->grab().toImage();
        saveShot(shot, "print_preview");
        if (qEnvironmentVariableIsSet("VANTOR_UPDATE_DOCS"))
            shot.save(QString(VANTOR_DOCS_DIR) + "/print_preview.png");
        preview->reject();
        return true;
    });
    find<QAction>("printPreviewAction")->trigger();
    EXPECT_EQ(previewed, expected);

    // Print asks where and what first; closed, it prints nothing.
    closer.inspectWith(nullptr);
    closer.clear();
    find<QAction>("printAction")->trigger();
    EXPECT_EQ(firstSeen(), "Print");
}

} // namespace
