// The window's PDF export and print preview of an example, one bar a row to
// run over pages, have the pages the layout gives the score shown.

#include "MainWindowFixture.h"
#include "PdfPages.h"
#include "ScoreEditing.h"
#include "ScorePages.h"

#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>

namespace {

using MainWindowPrintingTest = MainWindowFixture;

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
    EXPECT_EQ(QFileInfo(window->getSuggestedFileName()).path(), fileDir.path()); // the next save beside it

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

    closer.inspectWith(nullptr);
    closer.clear();
    find<QAction>("printAction")->trigger();
    EXPECT_EQ(firstSeen(), "Print");
}

} // namespace
