// The on-line update against the community server's files: the version check, the help package
// fetched, checked and merged, and packages that must leave the old help branch alone.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>

#include "community/ebook_online_fixture.h"
#include "community/forms/frm_update.h"
#include "community/help_update.h"
#include "frame/app_settings.h"
#include "platform/bookdir.h"

namespace {

class Update : public EbookOnlineTest {
protected:
    void SetUp() override {
        EbookOnlineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("data")) &&
                    QDir(root_.path()).mkpath(QStringLiteral("zip")));
        // The version check follows the address a completed run stored.
        SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QString());
    }
    void serve(const QString& path, const QByteArray& bytes) {
        QFile file(root_.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static void add(const QString& name, const QString& father) {
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, ?)"),
            {name, father});
    }
    // A help package written from a book of its own: 帮助文件 with the given chapters.
    QByteArray helpPackage(const QStringList& chapters, const QString& password = QStringLiteral("586")) {
        switchToNewBook();
        add(QStringLiteral("帮助文件"), QString());
        for (const QString& c : chapters) add(c, QStringLiteral("帮助文件"));
        Cls数据操作 ops;
        qint32 first = 1;
        qint16 force = -1;
        quint8 protection = 99;
        ops.标识世祖(QStringLiteral("帮助文件"), 3, 0, first, force, protection);
        const QString path = books_.back()->file(QStringLiteral("package.mdb"));
        EXPECT_EQ(ops.族谱备份(path, QStringLiteral("帮助文件"), 3, password), chapters.size() + 1);
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    // The user's book: a family member and the old help branch.
    void userBook() {
        switchToNewBook();
        add(QStringLiteral("张祖"), QString());
        add(QStringLiteral("帮助文件"), QString());
        add(QStringLiteral("旧说明"), QStringLiteral("帮助文件"));
    }
    QStringList members() {
        QStringList names;
        for (auto rs = App().DataDb.OpenRecordset(
                 QStringLiteral("SELECT \"filial\" FROM \"本姓成员\" ORDER BY \"filial\""));
             rs.hasRow(); rs.MoveNext())
            names << rs.value(0).toString();
        return names;
    }
    // One press of Start on a new form.
    void run() {
        form_ = std::make_unique<FrmUpdate>();
        form_->Form_Load();
        form_->findChild<QComboBox*>(QStringLiteral("TxtWeb"))->setEditText(server_->url());
        form_->CmdStart_Click();
    }
    QString state() const { return form_->findChild<QLabel*>(QStringLiteral("Lblstate"))->text(); }

    void newerVersionReplacesTheHelp();

    std::unique_ptr<FrmUpdate> form_;
};

TEST_F(Update, UpToDateFetchesNothing) {
    serve(QStringLiteral("data/newver.txt"), "6.2.168\n");
    serve(QStringLiteral("zip/zphelp.rar"), "x");
    run();
    EXPECT_EQ(state(), QStringLiteral("现在已是最新版，此时不需要升级！"));
    EXPECT_FALSE(form_->HelpFetched());
    EXPECT_TRUE(messages().isEmpty());
}

void Update::newerVersionReplacesTheHelp() {
    const QByteArray package = helpPackage({QStringLiteral("新手入门"), QStringLiteral("打印族谱")});
    userBook();
    serve(QStringLiteral("data/newver.txt"), "99.1.2 / \r\n");
    serve(QStringLiteral("zip/zphelp.rar"), package);
    ui_->ExpectMsgBox(vb::OK);
    run();
    EXPECT_TRUE(form_->HelpMerged());
    EXPECT_EQ(members(), (QStringList{QStringLiteral("帮助文件"), QStringLiteral("张祖"),
                                      QStringLiteral("打印族谱"), QStringLiteral("新手入门")}));
    EXPECT_EQ(
        messages(),
        QStringList{QStringLiteral("有新版本 99.1.2 可用。程序的新版本请通过系统的软件包管理器安装。")});
    EXPECT_TRUE(QFile::exists(help_update::HelpFilePath()));
    const QStringList setting = GetAppSetting(QStringLiteral("web_hlp_prg_sys")).split(u'%');
    ASSERT_EQ(setting.size(), 6);
    EXPECT_EQ(setting[0], server_->url());
    EXPECT_FALSE(setting[1].isEmpty());

    // The same package again is not fetched.
    ui_->ExpectMsgBox(vb::OK);
    run();
    EXPECT_FALSE(form_->HelpFetched());
    EXPECT_EQ(state(), QStringLiteral("没有需要更新的文件。"));
}

TEST_F(Update, NewerVersionIsToldAndTheHelpPackageReplacesTheOldBranch) {
    newerVersionReplacesTheHelp();
}

// The same through the door, as a clan's server runs it: nginx with TLS in front of the page service.
TEST_F(Update, NewerVersionIsToldAndTheHelpPackageReplacesTheOldBranchThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    newerVersionReplacesTheHelp();
    EXPECT_GT(server_->door()->requestsLogged(), 0);
}

TEST_F(Update, TruncatedOrForeignPackagesLeaveTheOldBranchInPlace) {
    const QByteArray good = helpPackage({QStringLiteral("新手入门")});
    const QByteArray otherKey = helpPackage({QStringLiteral("新手入门")}, QStringLiteral("587"));
    const struct {
        const char* what;
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {"truncated", good.left(good.size() / 2), "下载的帮助文件不完整，原有的帮助文件未作改动。"},
        {"foreign key", otherKey, "下载的文件不是帮助文件，原有的帮助文件未作改动。"},
        {"not a database", QByteArray(4096, 'z'), "下载的文件不是帮助文件，原有的帮助文件未作改动。"},
    };
    for (const auto& c : cases) {
        userBook();
        SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QString());
        serve(QStringLiteral("data/newver.txt"), "99.1.2");
        serve(QStringLiteral("zip/zphelp.rar"), c.bytes);
        ui_->ExpectMsgBox(vb::OK);
        ui_->ExpectMsgBox(vb::OK);
        run();
        EXPECT_FALSE(form_->HelpMerged()) << c.what;
        EXPECT_EQ(members(),
                  (QStringList{QStringLiteral("帮助文件"), QStringLiteral("张祖"), QStringLiteral("旧说明")}))
            << c.what;
        EXPECT_EQ(messages().value(messages().size() - 2), QString::fromUtf8(c.message)) << c.what;
        // Fetched again next time.
        EXPECT_EQ(GetAppSetting(QStringLiteral("web_hlp_prg_sys")).section(u'%', 1, 1), QString()) << c.what;
    }
}

// A merge that fails after the old branch was taken out puts it back.
TEST_F(Update, FailedMergePutsTheOldBranchBack) {
    const QByteArray otherKey = helpPackage({QStringLiteral("新手入门")}, QStringLiteral("587"));
    userBook();
    const QString path = books_.back()->file(QStringLiteral("foreign.mdb"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(otherKey);
    file.close();
    QString error;
    EXPECT_EQ(help_update::MergeHelpPackage(path, &error), 3031);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(members(),
              (QStringList{QStringLiteral("帮助文件"), QStringLiteral("张祖"), QStringLiteral("旧说明")}));
    EXPECT_EQ(
        App().DataDb.Scalar(QStringLiteral("SELECT \"father\" FROM \"本姓成员\" WHERE \"filial\"='旧说明'")),
        QStringLiteral("帮助文件"));
}

TEST_F(Update, MissingHelpFileIsPassedOverAndNoAnswerIsTold) {
    serve(QStringLiteral("data/newver.txt"), "99.1.2");
    ui_->ExpectMsgBox(vb::OK);
    run();
    EXPECT_FALSE(form_->HelpFetched());
    EXPECT_EQ(state(), QStringLiteral("没有需要更新的文件。"));

    QFile::remove(root_.filePath(QStringLiteral("data/newver.txt")));
    ui_->ExpectMsgBox(vb::OK);
    run();
    EXPECT_EQ(messages().last(), QStringLiteral("网络连接失败，请检查后再试！"));
}

}  // namespace
