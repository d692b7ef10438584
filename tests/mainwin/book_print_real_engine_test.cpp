// Real web-engine test of the printed book, marked by its suite name (BookPrintRealEngineTest): a
// vertical book of 60 members printed to PDF in pages, and the footer painted over them.
#include <gtest/gtest.h>
#include <QBuffer>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWebEngineView>

#include "dsptree_fixture.h"
#include "mainwin/forms/page_print_preview.h"
#include "print/print_zp.h"
#include "real_engine.h"

namespace {

using real_engine::WaitFor;

class BookPrintRealEngineTest : public DsptreeFixture {
protected:
    void SetUp() override {
        if (const QString why = real_engine::Prepare(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
        DsptreeFixture::SetUp();
        PageViewer::SetEngineEnabled(true);
    }
};

TEST_F(BookPrintRealEngineTest, VerticalBookPrintsToNumberedPages) {
    // A root with 59 descendants in three generations, each with some particulars.
    Add("始祖", QString());
    for (int i = 1; i < 60; ++i)
        Add(QStringLiteral("子孙%1").arg(i), i <= 6 ? "始祖" : QStringLiteral("子孙%1").arg((i - 1) / 6));
    Db().Execute(
        "UPDATE \"本姓成员\" SET \"boy_education\"='秀才举人进士及第', \"boy_position\"='知府兼领本路兵马'");
    ui_->ExpectForm("FrmLittle", [](QObject*) {
        App().FormParamString = "1";
        return 1;
    });
    ASSERT_TRUE(clsPrintZp().传记谱("始祖", 1));

    PageViewer viewer;
    viewer.resize(800, 600);
    bool loaded = false;
    QObject::connect(&viewer, &PageViewer::documentComplete, [&](const QString&, bool ok) { loaded = ok; });
    viewer.Navigate(clsPrintZp::BookFile());
    ASSERT_TRUE(WaitFor([&] { return loaded; }));

    QPrinter layoutSource(QPrinter::HighResolution);
    layoutSource.setPageSize(QPageSize(QPageSize::A4));
    const std::optional<QByteArray> pdf =
        PrintPageToPdf(viewer.view()->page(), PdfLayoutFor(layoutSource), 60000);
    ASSERT_TRUE(pdf && !pdf->isEmpty());
    QByteArray bytes = *pdf;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument book;
    book.load(&buffer);
    const int pages = book.pageCount();
    EXPECT_GE(pages, 3);

    // The text runs down the page: a run of characters is much taller than wide (the extracted text
    // may carry radicals in place of some characters, so the run avoids them).
    const QString text = book.getAllText(0).text();
    const qsizetype at = text.indexOf("知府兼领本路");
    ASSERT_GE(at, 0) << pages << " " << text.left(300).toStdString();
    const QRectF run = book.getSelectionAtIndex(0, int(at), 6).boundingRectangle();
    EXPECT_GT(run.height(), run.width() * 3) << run.width() << "x" << run.height();

    // The preview paints the same pages with the footer.
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("preview.pdf"));
    ASSERT_TRUE(PaintPdfPages(*pdf, &printer, QString(), "&b第 &p/&P 页&b"));
    QPdfDocument preview;
    ASSERT_EQ(preview.load(dir.filePath("preview.pdf")), QPdfDocument::Error::None);
    EXPECT_EQ(preview.pageCount(), pages);
    // The extracted footer may read its last character as a radical: "页" is left out of the match.
    EXPECT_TRUE(preview.getAllText(0).text().contains(QStringLiteral("第 1/%1 ").arg(pages)))
        << preview.getAllText(0).text().toStdString();
    EXPECT_TRUE(preview.getAllText(pages - 1).text().contains(QStringLiteral("第 %1/%1 ").arg(pages)));
}

}  // namespace
