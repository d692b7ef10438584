// A page from a package, opened in the editor and left as it was, without the engine: the program asks
// no listener for anything and reads no file the page names; the picture the package brings stays, and a
// picture the user inserts afterwards is stored. (Printed with the engine: OutsidePageRealEngineTest; the
// site and the e-book: SiteAndEbookTest.)
#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "dsptree_fixture.h"
#include "frame/db_connections.h"
#include "hostile_package.h"
#include "mainwin/forms/html_edit_view.h"
#include "platform/bookdir.h"
#include "support/test_http_server.h"

namespace {

class OutsidePageEditorTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        Add(QStringLiteral("祖"), QString(), 1);
        const QString package = elsewhere_.filePath(QStringLiteral("hostile.mdb"));
        hostile_package::Write(package, elsewhere_.path(), listener_.url(QStringLiteral("/")));
        QString error;
        ASSERT_EQ(ops_->ReLoad(package, QString(), QStringLiteral("祖"), QString(), &error), 0)
            << error.toStdString();
        Open();
        picture_ = elsewhere_.filePath(QStringLiteral("像.png"));
        QFile file(picture_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("PNG-the-user-chose");
    }
    void EnterAndLeave(const QString& member, const QString& added = QString()) {
        Click(member);
        window_->SetEditMode(true);
        window_->EditButton_Click();
        if (!added.isEmpty()) {
            QString html = window_->Editor()->DocumentHTML();
            html.replace(QStringLiteral("</body>"), added + QStringLiteral("</body>"));
            window_->Editor()->SetDocumentHTML(html);
        }
        window_->SetEditMode(false);
        window_->EditButton_Click();
    }
    // The bytes of every picture the member has in the book.
    static QList<QByteArray> Pictures(const QString& member) {
        QList<QByteArray> bytes;
        dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
        for (dao::Recordset rs = images.OpenRecordset(
                 QStringLiteral("SELECT myimage FROM imageylk WHERE filial = ? ORDER BY rowid"), {member});
             rs.hasRow(); rs.MoveNext())
            bytes << rs.value(0).toByteArray();
        return bytes;
    }
    QString Stored(const QString& member) {
        QString html;
        ops_->GetAnyHtmlCode(member, html);
        return html;
    }

    TestHttpServer listener_;
    QTemporaryDir elsewhere_;  // outside the book: the secret, the package, the user's picture
    QString picture_;
};

TEST_F(OutsidePageEditorTest, LeavingThePageFetchesAndReadsNothingItNames) {
    for (const QString& member : {QStringLiteral("甲"), QStringLiteral("乙")}) {
        SCOPED_TRACE(member.toStdString());
        EnterAndLeave(member);
        EXPECT_EQ(listener_.requests(), 0);
        const QString page = Stored(member);
        EXPECT_FALSE(page.contains(elsewhere_.path())) << page.toStdString();
        EXPECT_FALSE(page.contains(listener_.base())) << page.toStdString();
        EXPECT_TRUE(page.contains(QStringLiteral("他的生平")));
    }
    // The package's own picture stays with its page; 乙 brought none.
    EXPECT_EQ(Pictures(QStringLiteral("甲")), QList<QByteArray>{hostile_package::kOwnPicture});
    EXPECT_TRUE(Stored(QStringLiteral("甲")).contains(QStringLiteral("own.gif")));
    EXPECT_EQ(Pictures(QStringLiteral("乙")), QList<QByteArray>{});
    EXPECT_FALSE(
        hostile_package::FolderHolds(GetAppPath() + QStringLiteral("temp"), hostile_package::kSecret));

    // What the user inserts afterwards is the user's: stored with the page.
    EnterAndLeave(QStringLiteral("乙"), QStringLiteral("<img src=\"file://%1\">").arg(picture_));
    EXPECT_EQ(Pictures(QStringLiteral("乙")), QList<QByteArray>{"PNG-the-user-chose"});
    EXPECT_EQ(listener_.requests(), 0);
}

}  // namespace
