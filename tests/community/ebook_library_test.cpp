// The e-book library end to end against the community server's page service: one family publishes a
// book, another finds it, downloads it and imports it into its own book.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "community/ebook_online_fixture.h"
#include "community/ebook_search.h"
#include "community/ebook_tables.h"
#include "community/forms/frm_down_ld.h"
#include "community/raw_http_server.h"
#include "frame/app_settings.h"
#include "frame/http_procedures.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/page_viewer.h"
#include "online/user_record.h"
#include "support/test_http_server.h"

namespace {

QByteArray Sha1(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
                                          : QByteArray();
}

class EbookLibrary : public EbookOnlineTest {
protected:
    // Publishes the served file as the user would: from the library window (its list still empty),
    // through the publishing dialog, whose messages are answered.
    void publish(const QString& fileName, const QString& name) {
        FrmDownLd library;
        library.Form_Load();
        ui_->ExpectForm(QStringLiteral("FrmGetInfo"), [&](QObject* object) {
            auto& form = *qobject_cast<FrmGetInfo*>(object);
            for (int step = 0; step < 3; ++step) form.Timer2_Timer();
            ui_->ExpectOpenFile(served(fileName));
            form.CmdSelFile_Click();
            // A new e-book goes to the server's own e-book folder.
            EXPECT_EQ(field(form, "Txtnetpath")->text(), url(fileName));
            field(form, "Txtname")->setText(name);
            field(form, "Txt_org")->setText(QStringLiteral("张三"));
            field(form, "Txtkey")->setText(QStringLiteral("迁居记"));
            ui_->ExpectMsgBox(vb::OK);
            form.CmdFileExist_Click();
            ui_->ExpectMsgBox(vb::OK);
            form.CmdTransToSQL_Click();
            return 0;
        });
        library.CmdPublication_Click();
        EXPECT_EQ(App().SelectedNodeIndex, 0);
        EXPECT_EQ(messages().last(), QStringLiteral("上传成功！"));
    }
    // Searches by name through the dialog; the hits land in newdown_eb.
    void search(const QString& name) {
        App().ListDialogOk = 1;
        FrmSearch form;
        form.Form_Load();
        field(form, "TxtEB")->setText(name);
        form.CmdOK_Click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_EQ(App().ListDialogOk, 1);
    }
    // Ticks the list items with these e-book names and runs one batch; its outcome is told at the end.
    void download(FrmDownLd& library, const QStringList& names) {
        ui_->ExpectMsgBox(vb::OK);
        auto* list = library.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (names.contains(list->topLevelItem(i)->text(1)))
                list->topLevelItem(i)->setCheckState(0, Qt::Checked);
        library.CmdOK_Click();
    }
    void publishFindDownloadImport();
};

void EbookLibrary::publishFindDownloadImport() {
    const QString name = QStringLiteral("张&王 #1");
    const QString file = makeEbookFile(QStringLiteral("ZhangShi.mdb"));
    const QByteArray published = Sha1(file);
    publish(QStringLiteral("ZhangShi.mdb"), name);
    EXPECT_EQ(Sha1(file), published);  // the chosen file itself is never touched
    EXPECT_EQ(
        serverValue(QStringLiteral("SELECT ebook_name || '|' || author_org || '|' || netpath || '|' || "
                                   "description FROM ebooks")),
        name + QStringLiteral("|张三|") + url(QStringLiteral("ZhangShi.mdb")) + QStringLiteral("|迁居记"));

    switchToNewBook();
    PageViewer::SetEngineEnabled(false);
    App().CurrentUser = std::make_shared<Cls_User>();
    QWidget launcher;
    launcher.setObjectName(QStringLiteral("mQentaraQp"));
    dsptree mainWindow;
    mainWindow.Form_Load();
    EXPECT_EQ(mainWindow.TreeNodes().Count(), 0);

    search(name);
    ASSERT_EQ(count(QStringLiteral("SELECT count(*) FROM newdown_eb")), 1);
    EXPECT_EQ(GetAppSetting(QStringLiteral("ebooktype")), ebook_search::DateText(QDate::currentDate()));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM tempinfo WHERE pageflag = 4")), 5);

    FrmDownLd library;
    library.Form_Load();
    auto* ok = library.findChild<QPushButton*>(QStringLiteral("CmdOK"));
    EXPECT_FALSE(ok->isEnabled());
    download(library, {name});
    EXPECT_EQ(library.LastImported(), 1);
    EXPECT_EQ(library.findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItem(0)->text(3),
              QStringLiteral("1"));  // 已下载
    EXPECT_TRUE(messages().size() == 3) << messages().join(u'\n').toStdString();
    EXPECT_EQ(messages().last(), QStringLiteral("下载完毕！已导入 1 个电子文档。"));
    EXPECT_EQ(ui_->log().back().style, vb::Information);
    EXPECT_EQ(
        count(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE filial IN ('张祖', '张甲', '张乙')")),
        3);
    EXPECT_EQ(count(QStringLiteral("SELECT down_num FROM newdown_eb")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM olddown_eb")), 1);
    EXPECT_EQ(serverValue(QStringLiteral("SELECT down_num FROM ebooks")), QStringLiteral("1"));
    EXPECT_TRUE(mainWindow.TreeNodes().Exists(QStringLiteral("_张祖")));
    EXPECT_TRUE(ok->isEnabled() == false && !library.BatchRunning());
    EXPECT_EQ(App().StrgPswdDigest, QString());
    PageViewer::SetEngineEnabled(true);
}

TEST_F(EbookLibrary, PublishedInOneBookFoundDownloadedAndImportedIntoAnother) {
    publishFindDownloadImport();
}

// The same through the door, as a clan's server runs it: nginx with TLS in front of the page service.
TEST_F(EbookLibrary, PublishedInOneBookFoundDownloadedAndImportedIntoAnotherThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    publishFindDownloadImport();
    EXPECT_GT(server_->door()->requestsLogged(), 0);
}

TEST_F(EbookLibrary, ATruncatedDownloadAndARefusedImportCountNothing) {
    // Not an e-book package: the right password, none of a package's tables.
    dao::Database::Create(served(QStringLiteral("Junk.mdb")), QStringLiteral("586"))
        .Execute(QStringLiteral("CREATE TABLE x (y INTEGER)"));
    dao::ReleaseAllIdleConnections();
    RawHttpServer truncating(OkHeader(50000) + QByteArray(20000, 'x'), false);
    auto& db = server_->admin();
    for (const auto& [title, address] :
         {std::pair{QStringLiteral("坏文件"), url(QStringLiteral("Junk.mdb"))},
          {QStringLiteral("断线"), truncating.url(QStringLiteral("/ebook/Cut.mdb"))}})
        ASSERT_TRUE(
            db.exec(QStringLiteral("INSERT INTO ebooks (ebook_name, netpath, soft_no) VALUES ($1, $2, 'x')"),
                    {title, address})
                .ok);
    search(QString());
    ASSERT_EQ(count(QStringLiteral("SELECT count(*) FROM newdown_eb")), 2);

    FrmDownLd library;
    library.Form_Load();
    ui_->ExpectMsgBox(vb::OK);
    download(library, {QStringLiteral("坏文件")});
    const qsizetype n = messages().size();
    EXPECT_TRUE(messages().at(n - 2).startsWith(QStringLiteral("电子文档“坏文件”未能导入：")))
        << messages().at(n - 2).toStdString();
    EXPECT_EQ(messages().last(), QStringLiteral("下载完毕！已导入 0 个电子文档，1 个未能下载或导入。"));
    ui_->ExpectMsgBox(vb::OK);
    download(library, {QStringLiteral("断线")});
    EXPECT_TRUE(messages().at(messages().size() - 2).startsWith(QStringLiteral("下载")));
    EXPECT_EQ(messages().last(), QStringLiteral("下载完毕！已导入 0 个电子文档，1 个未能下载或导入。"));
    EXPECT_EQ(ui_->log().back().style, vb::Exclamation);

    EXPECT_EQ(library.LastImported(), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT sum(down_num) FROM newdown_eb")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM olddown_eb")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")), 0);
    EXPECT_EQ(serverValue(QStringLiteral("SELECT sum(down_num) FROM ebooks")), QStringLiteral("0"));
    EXPECT_FALSE(QFile::exists(EbookStagingPath()));
    EXPECT_TRUE(ui_->AllConsumed());
}

}  // namespace

namespace {

TEST_F(EbookLibrary, AnEmptyListSaysWhetherTheServerCanBeReached) {
    for (bool down : {false, true}) {
        if (down) SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort()));
        FrmDownLd library;
        library.Form_Load();
        auto* state = library.findChild<QLabel*>(QStringLiteral("Lblstate"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !state->text().isEmpty(); }, 8000)) << down;
        EXPECT_EQ(state->text(),
                  down ? QStringLiteral(
                             "无法连接服务器，取不到电子文档列表。请检查网络连接，稍后按“重新查找”再试。")
                       : QStringLiteral("列表是空的：请按“重新查找”从服务器查找电子文档。"));
        // Said where it can be read: shown, and wide enough for the whole text.
        EXPECT_TRUE(state->isVisibleTo(&library)) << down;
        EXPECT_GE(state->width(), state->sizeHint().width()) << down;
        EXPECT_TRUE(library.rect().contains(state->geometry())) << down;
    }
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(EbookLibrary, CategoriesAreReplacedOnlyWhenDueAndOnlyByAGoodReply) {
    const QDate today = QDate::currentDate();
    const QString key = QStringLiteral("ebooktype");
    const auto categories = [this] {
        return count(QStringLiteral("SELECT count(*) FROM tempinfo WHERE pageflag = 4"));
    };
    App().DataDb.Execute(QStringLiteral("INSERT INTO tempinfo (msgName, pageflag) VALUES ('旧分类', 4)"));
    SaveAppSetting(key, ebook_search::DateText(today.addDays(-1)));
    ebook_search::RefreshCategoriesIfDue(today);
    EXPECT_EQ(categories(), 1);
    SaveAppSetting(key, ebook_search::DateText(today.addDays(-2)));
    ebook_search::RefreshCategoriesIfDue(today);
    EXPECT_EQ(categories(), 5);
    EXPECT_EQ(
        App()
            .DataDb.Scalar(QStringLiteral("SELECT msgName FROM tempinfo WHERE pageflag = 4 ORDER BY rowid"))
            .toString(),
        QStringLiteral("族谱"));
    EXPECT_EQ(GetAppSetting(key), ebook_search::DateText(today));

    // An empty reply and no reply at all keep the list and the date.
    SaveAppSetting(key, QStringLiteral("x"));
    ASSERT_TRUE(server_->admin().exec(QStringLiteral("DELETE FROM ebook_categories")).ok);
    EXPECT_FALSE(ebook_search::RefreshCategories(today));
    server_->pages()->stop();
    EXPECT_FALSE(ebook_search::RefreshCategories(today));
    EXPECT_EQ(categories(), 5);
    EXPECT_EQ(GetAppSetting(key), QStringLiteral("x"));
}

TEST_F(EbookLibrary, AStopImportsNothingMoreAndLeavesTheRestCheckedUntilTheBatchHasEnded) {
    makeEbookFile(QStringLiteral("ZhangShi.mdb"));
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
    RawHttpServer slow(OkHeader(100000) + QByteArray(3000, 'x'), true);
    for (const auto& [title, address] :
         {std::pair{QStringLiteral("张氏"), url(QStringLiteral("ZhangShi.mdb"))},
          {QStringLiteral("慢"), slow.url(QStringLiteral("/ebook/Slow.mdb"))}})
        ASSERT_TRUE(server_->admin()
                        .exec(QStringLiteral(
                                  "INSERT INTO ebooks (ebook_name, netpath, soft_no) VALUES ($1, $2, 'x')"),
                              {title, address})
                        .ok);
    search(QString());  // the newer first: 慢, then 张氏
    FrmDownLd library;
    library.Form_Load();
    auto* list = library.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    auto* ok = library.findChild<QPushButton*>(QStringLiteral("CmdOK"));
    bool okDuringStop = true;
    ui_->ExpectMsgBox(vb::Yes);
    QTimer::singleShot(300, &library, [&] {
        library.CmdStpDown_Click();
        list->topLevelItem(1)->setCheckState(0, Qt::Checked);  // a click in the list meanwhile
        okDuringStop = ok->isEnabled();
    });
    download(library, {QStringLiteral("慢"), QStringLiteral("张氏")});
    EXPECT_EQ(messages().at(messages().size() - 2), QStringLiteral("您是否已下定决心停止下载？"));
    EXPECT_EQ(messages().last(), QStringLiteral("下载已停止！已导入 0 个电子文档。"));
    EXPECT_FALSE(okDuringStop);
    EXPECT_EQ(library.LastImported(), 0);
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Checked);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")), 0);
    EXPECT_TRUE(ui_->AllConsumed());
}

}  // namespace
