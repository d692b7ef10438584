// Real web-engine test, marked by its suite name (OutsidePageRealEngineTest): a hostile package's page
// shown, opened in the editor and left, then printed. The engine and the program ask the listener for
// nothing, no byte of the secret file enters the book or the print, and the package's own picture stays.
#include <gtest/gtest.h>
#include <QBuffer>
#include <QPdfDocument>
#include <QPrinter>
#include <QTemporaryDir>

#include "dsptree_fixture.h"
#include "frame/db_connections.h"
#include "hostile_package.h"
#include "mainwin/forms/html_edit_view.h"
#include "mainwin/forms/page_print_preview.h"
#include "mainwin/forms/pdf_part_printer.h"
#include "platform/bookdir.h"
#include "print/print_zp.h"
#include "real_engine.h"
#include "support/test_http_server.h"

namespace {

using real_engine::RunScript;
using real_engine::WaitFor;

class OutsidePageRealEngineTest : public DsptreeFixture {
protected:
    void SetUp() override {
        if (const QString why = real_engine::Prepare(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
        DsptreeFixture::SetUp();
        PageViewer::SetEngineEnabled(true);
        Add(QStringLiteral("祖"), QString(), 1);
        const QString package = elsewhere_.filePath(QStringLiteral("hostile.mdb"));
        hostile_package::Write(package, elsewhere_.path(), listener_.url(QStringLiteral("/")));
        QString error;
        ASSERT_EQ(ops_->ReLoad(package, QString(), QStringLiteral("祖"), QString(), &error), 0)
            << error.toStdString();
    }
    static void Linger() {
        WaitFor([] { return false; }, 1500);
    }
    static QByteArray AllPictures() {
        QByteArray all;
        dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
        for (dao::Recordset rs = images.OpenRecordset(QStringLiteral("SELECT myimage FROM imageylk"));
             rs.hasRow(); rs.MoveNext())
            all += rs.value(0).toByteArray();
        return all;
    }

    TestHttpServer listener_;
    QTemporaryDir elsewhere_;
};

TEST_F(OutsidePageRealEngineTest, ShownEditedLeftAndPrintedItReachesNothingOutside) {
    dsptree& w = Open();
    w.SetDocumentLoaded(false);
    Click(QStringLiteral("甲"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    w.SetDocumentLoaded(false);
    w.SetEditMode(true);
    w.EditButton_Click();
    QWebEngineView* editor = w.Editor()->view();
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    ASSERT_TRUE(WaitFor(
        [&] { return RunScript(editor, QStringLiteral("document.designMode")) == QStringLiteral("on"); }));
    // The package's own picture is the page's first; nothing else the page named is left to show.
    EXPECT_TRUE(RunScript(editor, QStringLiteral("document.images[0].getAttribute('src')"))
                    .toString()
                    .contains(QStringLiteral("own.gif")));
    EXPECT_EQ(
        RunScript(editor, QStringLiteral("document.querySelectorAll('[src],[href],[background]').length"))
            .toInt(),
        1);
    w.SetEditMode(false);
    w.EditButton_Click();
    ASSERT_FALSE(w.EditMode());
    Linger();
    EXPECT_EQ(listener_.requests(), 0) << "viewer, editor and save";
    EXPECT_EQ(AllPictures(), hostile_package::kOwnPicture);
    QString page;
    ops_->GetAnyHtmlCode(QStringLiteral("甲"), page);
    EXPECT_TRUE(page.contains(QStringLiteral("他的生平")));
    EXPECT_FALSE(page.contains(elsewhere_.path())) << page.toStdString();
    EXPECT_FALSE(page.contains(listener_.base())) << page.toStdString();

    clsPrintZp printer;
    ASSERT_TRUE(printer.打印文档(QStringLiteral("甲"), 0));
    QPrinter a4(QPrinter::HighResolution);
    a4.setPageSize(QPageSize(QPageSize::A4));
    const pdf_part_printer::Result printed = pdf_part_printer::Print(
        printer.BookParts(), PdfLayoutFor(a4), [](const pdf_part_printer::Progress&) { return true; },
        120000);
    ASSERT_EQ(printed.outcome, pdf_part_printer::Outcome::Done);
    QString text;
    QByteArray pdfs;
    for (const pdf_book::Part& part : printed.parts) {
        pdfs += part.pdf;
        QByteArray bytes = part.pdf;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QPdfDocument document;
        document.load(&buffer);
        for (int p = part.firstPage; p < document.pageCount(); ++p) text += document.getAllText(p).text();
    }
    EXPECT_TRUE(text.contains(QStringLiteral("his life"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QString::fromLatin1(hostile_package::kSecret)));
    EXPECT_FALSE(pdfs.contains(hostile_package::kSecret));
    Linger();
    EXPECT_EQ(listener_.requests(), 0) << "print";
}

}  // namespace
