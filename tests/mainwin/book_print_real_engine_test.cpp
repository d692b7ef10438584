// Real web-engine test of the printed book, marked by its suite name (BookPrintRealEngineTest): a
// vertical book of 60 members printed to PDF in pages, and the footer painted over them.
#include <gtest/gtest.h>
#include <QBuffer>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebEngineView>

#include "dsptree_fixture.h"
#include "mainwin/forms/page_print_preview.h"
#include "mainwin/forms/pdf_part_printer.h"
#include "print/book_output.h"
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
    void TearDown() override {
        BookOutput::SetPartChars(0);
        DsptreeFixture::TearDown();
    }
    // A root with descendants in a few generations, each with some particulars.
    void AddBook(int members) {
        Add("始祖", QString());
        for (int i = 1; i < members; ++i)
            Add(QStringLiteral("子孙%1").arg(i), i <= 6 ? "始祖" : QStringLiteral("子孙%1").arg((i - 1) / 6));
        Db().Execute(
            "UPDATE \"本姓成员\" SET \"boy_education\"='秀才举人进士及第', "
            "\"boy_position\"='知府兼领本路兵马'");
    }
    void ExpectStartGeneration() {
        ui_->ExpectForm("FrmLittle", [](QObject*) {
            App().FormParamString = "1";
            return 1;
        });
    }
    // The vertical register of a book of 150 members, written in parts of a few pages each.
    QStringList BookInParts() {
        AddBook(150);
        BookOutput::SetPartChars(12000);
        ExpectStartGeneration();
        clsPrintZp printer;
        EXPECT_TRUE(printer.传记谱("始祖", 1));
        return printer.BookParts();
    }
    static QPageLayout A4Layout() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return PdfLayoutFor(printer);
    }
};

// The text of every page of the document, in order.
QStringList PageTexts(const std::vector<pdf_book::Part>& parts) {
    QStringList texts;
    for (const pdf_book::Part& part : parts) {
        QByteArray bytes = part.pdf;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QPdfDocument document;
        document.load(&buffer);
        for (int page = part.firstPage; page < document.pageCount(); ++page)
            texts << document.getAllText(page).text();
    }
    return texts;
}

const auto kGoOn = [](const pdf_part_printer::Progress&) { return true; };

TEST_F(BookPrintRealEngineTest, PartsPrintSideBySideThePagesOfTheWholeBook) {
    const QStringList parts = BookInParts();
    ASSERT_GE(parts.size(), 3);

    const pdf_part_printer::Result whole =
        pdf_part_printer::Print({clsPrintZp::BookFile()}, A4Layout(), kGoOn, 120000);
    QList<pdf_part_printer::Progress> told;
    const pdf_part_printer::Result inParts = pdf_part_printer::Print(
        parts, A4Layout(),
        [&](const pdf_part_printer::Progress& p) {
            told << p;
            return true;
        },
        120000, 2);
    ASSERT_EQ(whole.outcome, pdf_part_printer::Outcome::Done);
    ASSERT_EQ(inParts.outcome, pdf_part_printer::Outcome::Done);
    const QStringList wholeTexts = PageTexts(whole.parts);
    const QStringList partTexts = PageTexts(inParts.parts);
    ASSERT_EQ(partTexts.size(), pdf_book::PageCount(whole.parts));
    for (qsizetype i = 0; i < partTexts.size(); ++i)
        EXPECT_EQ(partTexts[i], wholeTexts[i]) << "page " << i + 1;
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.last().parts, parts.size());

    // The PDF file keeps the engine's text and has the page numbers as text over it.
    QTemporaryDir dir;
    QPrinter file(QPrinter::HighResolution);
    file.setPageSize(QPageSize(QPageSize::A4));
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(dir.filePath("book.pdf"));
    QString error;
    ASSERT_TRUE(WritePdfFile(inParts.parts, file, QString(), "&b第 &p/&P 页&b", {}, &error))
        << error.toStdString();
    QPdfDocument written;
    ASSERT_EQ(written.load(file.outputFileName()), QPdfDocument::Error::None);
    const int pages = int(partTexts.size());
    ASSERT_EQ(written.pageCount(), pages);
    for (int page : {0, pages - 1}) {
        // Beside vertical text the footer's words may come out on lines of their own.
        const QString text = written.getAllText(page).text().simplified();
        EXPECT_TRUE(text.contains(QStringLiteral("第 %1/%2 页").arg(page + 1).arg(pages)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("知府兼领本路兵马"))) << text.toStdString();
    }
    // The engine's own text reads as printed too: no radical stands for the character printed.
    for (int page = 0; page < pages; ++page)
        for (QChar c : written.getAllText(page).text())
            ASSERT_FALSE(c.unicode() >= 0x2E80 && c.unicode() <= 0x2FDF) << "page " << page + 1;
    EXPECT_TRUE(written.getAllText(0).text().contains("始祖"));
}

// The text of a page as one run: vertical text comes out a character or two to a line.
QString PageRun(const QString& pageText) {
    QString run = pageText;
    run.remove(QRegularExpression(QStringLiteral("[\\r\\n]")));
    return run.trimmed();
}

TEST_F(BookPrintRealEngineTest, AGenerationHeadingStaysWithItsMemberOnThePrintedPage) {
    // A line of single sons, as the test data makes: every member opens a generation of its own, so
    // that headings fall at every height of the page.
    for (bool vertical : {false, true}) {
        SCOPED_TRACE(vertical ? "vertical" : "horizontal");
        Db().Execute("DELETE FROM \"本姓成员\"");
        Add("E0", QString());
        for (int i = 1; i < 90; ++i) Add(QStringLiteral("E%1").arg(i), QStringLiteral("E%1").arg(i - 1));
        ExpectStartGeneration();
        clsPrintZp printer;
        ASSERT_TRUE(printer.传记谱("E0", vertical ? 1 : 0));
        const pdf_part_printer::Result printed =
            pdf_part_printer::Print(printer.BookParts(), A4Layout(), kGoOn, 120000);
        ASSERT_EQ(printed.outcome, pdf_part_printer::Outcome::Done);
        const QStringList pages = PageTexts(printed.parts);
        ASSERT_GE(pages.size(), 3);
        for (qsizetype i = 0; i + 1 < pages.size(); ++i) {
            EXPECT_FALSE(PageRun(pages[i]).endsWith(QStringLiteral("世祖")))
                << "page " << i + 1 << " ends with " << PageRun(pages[i]).right(12).toStdString();
        }
    }
}

// Cancelled once the first part is done, with the second under way: nothing more is printed or asked,
// and stopping costs far less than the part did (both slow down alike on a busy machine).
TEST_F(BookPrintRealEngineTest, CancelledPrintingStopsAtOnce) {
    const QStringList parts = BookInParts();
    ASSERT_GE(parts.size(), 3);
    QElapsedTimer clock;
    clock.start();
    qint64 cancelledAt = -1;
    int askedAfter = 0;
    const pdf_part_printer::Result result = pdf_part_printer::Print(
        parts, A4Layout(),
        [&](const pdf_part_printer::Progress& p) {
            if (cancelledAt >= 0) ++askedAfter;
            else if (p.partsDone >= 1) cancelledAt = clock.elapsed();
            return cancelledAt < 0;
        },
        120000, 2);
    const qint64 stopping = clock.elapsed() - cancelledAt;
    ASSERT_GT(cancelledAt, 0);
    EXPECT_EQ(result.outcome, pdf_part_printer::Outcome::Cancelled);
    EXPECT_TRUE(result.parts.empty());
    EXPECT_EQ(askedAfter, 0);
    EXPECT_LT(stopping * 2, cancelledAt) << "stopping took " << stopping << " ms, the first part "
                                         << cancelledAt << " ms";
    // Answers still on their way find nothing to write to.
    WaitFor([] { return false; }, 1500);
}

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
    ASSERT_TRUE(PaintPdfPages({{*pdf, 0}}, &printer, QString(), "&b第 &p/&P 页&b"));
    QPdfDocument preview;
    ASSERT_EQ(preview.load(dir.filePath("preview.pdf")), QPdfDocument::Error::None);
    EXPECT_EQ(preview.pageCount(), pages);
    // The extracted footer may read its last character as a radical: "页" is left out of the match.
    EXPECT_TRUE(preview.getAllText(0).text().contains(QStringLiteral("第 1/%1 ").arg(pages)))
        << preview.getAllText(0).text().toStdString();
    EXPECT_TRUE(preview.getAllText(pages - 1).text().contains(QStringLiteral("第 %1/%1 ").arg(pages)));
}

}  // namespace
