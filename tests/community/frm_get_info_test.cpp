// The publishing dialog against the community server's page service.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include "community/ebook_online_fixture.h"
#include "community/ebook_search.h"
#include "community/ebook_tables.h"
#include "frame/app_settings.h"
#include "frame/text_scramble.h"
#include "platform/vbcompat.h"

namespace {

class Publishing : public EbookOnlineTest {
protected:
    void SetUp() override {
        EbookOnlineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // The list row chosen in the library: e-book 42, kept at the served file ZhangShi.mdb.
        ebook_search::StoreHits(ebook_search::ParseReply(QStringLiteral("0%!42%!张氏%!%!%!1%!0%!%!") +
                                                         url(QStringLiteral("ZhangShi.mdb")) +
                                                         QStringLiteral("@~")));
        App().SelectedNodeIndex = 42;
        App().SoftNo = QStringLiteral("210987654321");
        form_ = std::make_unique<FrmGetInfo>();
        form_->Form_Load();
        for (int step = 0; step < 3; ++step) form_->Timer2_Timer();
    }
    void TearDown() override {
        form_.reset();
        EbookOnlineTest::TearDown();
    }
    QString text(const char* name) { return field(*form_, name)->text(); }
    QString label(const char* name) { return form_->findChild<QLabel*>(QString::fromLatin1(name))->text(); }
    QPushButton* button(const char* name) {
        return form_->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    // refused: the dialog tells why it cannot use the file.
    void choose(const QString& path, bool refused = false) {
        ui_->ExpectOpenFile(path);
        if (refused) ui_->ExpectMsgBox(vb::OK);
        form_->CmdSelFile_Click();
    }
    QString check() {
        ui_->ExpectMsgBox(vb::OK);
        form_->CmdFileExist_Click();
        return messages().last();
    }

    std::unique_ptr<FrmGetInfo> form_;
};

TEST_F(Publishing, OpeningStepsTakeTheChosenEbooksFolderAndTheCallersAddress) {
    EXPECT_EQ(form_->StepReached(), 3);
    EXPECT_EQ(form_->DownloadFolder(), server_->pagesUrl() + QStringLiteral("/ebook/"));
    EXPECT_EQ(label("LblIP"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(label("Lbl_netcard").size(), 12);

    // The same file name as the chosen e-book: this publication replaces it.
    choose(makeEbookFile(QStringLiteral("ZhangShi.mdb")));
    EXPECT_EQ(text("TxtPswd"), QStringLiteral("586"));
    EXPECT_EQ(text("Txtnetpath"), url(QStringLiteral("ZhangShi.mdb")));
    EXPECT_EQ(text("Txtname"), QStringLiteral("ZhangShi"));
    EXPECT_EQ(text("Txteb_id"), QStringLiteral("42"));
    EXPECT_EQ(label("Lblrecnum"), QStringLiteral("3"));
    EXPECT_TRUE(text("Txtsize").endsWith(u'M'));
    EXPECT_EQ(text("TxtNetSize"),
              QString::number(text("TxtNetSize").section(u' ', 0, 0).toLongLong()) + QStringLiteral(" Byte"));
    EXPECT_TRUE(button("CmdFileExist")->isEnabled());
}

TEST_F(Publishing, FilesThatCannotBePublishedAreTold) {
    const QString wrong = served(QStringLiteral("Wrong.mdb"));
    dao::Database::Create(wrong, QStringLiteral("123")).Execute(QStringLiteral("CREATE TABLE x (y INTEGER)"));
    dao::ReleaseAllIdleConnections();
    const QString rar = served(QStringLiteral("Packed.rar"));
    QFile archive(rar);
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
    archive.write("Rar!\x1a\x07\x00 packed");
    archive.close();

    choose(wrong, true);
    EXPECT_EQ(messages().last(), QStringLiteral("数据库密码必须是：586"));
    EXPECT_EQ(text("Txtfile"), wrong);
    EXPECT_EQ(text("TxtPswd"), QString());
    choose(rar, true);
    EXPECT_TRUE(messages().last().startsWith(QStringLiteral("“Packed.rar”是 RAR 压缩文件")));

    ui_->ExpectMsgBox(vb::OK);
    form_->CmdTransToSQL_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("文件未上传，请先上传文件。或先进行检测。"));
    EXPECT_EQ(serverValue(QStringLiteral("SELECT count(*) FROM ebooks")), QStringLiteral("0"));
}

TEST_F(Publishing, UploadChecksByHeadersByStatusAndByTheCheckPage) {
    const QString file = makeEbookFile(QStringLiteral("LiShi.mdb"));
    // Not on the server under that name: the first check probes the headers, the next one (the file
    // chosen anew, which enables the button again) the status; both say so.
    for (int probe = 0; probe < 2; ++probe) {
        choose(file);
        EXPECT_EQ(text("Txteb_id"), QStringLiteral("0"));
        field(*form_, "Txtnetpath")->setText(url(QStringLiteral("Missing.mdb")));
        EXPECT_EQ(check(), QStringLiteral("文件未上传，请先上传文件。"));
        EXPECT_FALSE(button("CmdFileExist")->isEnabled());
        EXPECT_FALSE(form_->FileUploaded());
    }

    // The check page answers the file's size under the folder of the check command.
    auto* asp = form_->findChild<QCheckBox*>(QStringLiteral("CheckASP"));
    const QString command = server_->pagesUrl() + QStringLiteral("/littlep/ebookexist.asp?fname=/ebook/");
    asp->setChecked(true);
    ui_->ExpectInput(command);
    form_->CheckASP_Click();
    EXPECT_EQ(GetAppSetting(QStringLiteral("seekexist")), command);
    EXPECT_EQ(check(), QStringLiteral("文件未上传，请先上传文件。"));
    field(*form_, "Txtnetpath")->setText(url(QStringLiteral("LiShi.mdb")));
    EXPECT_EQ(check(), QStringLiteral("文件已上传，可以发送下载控制信息了。"));
    EXPECT_TRUE(form_->FileUploaded());
    EXPECT_EQ(form_->DownloadFolder(), server_->pagesUrl() + QStringLiteral("/ebook/"));

    ui_->ExpectMsgBox(vb::OK);
    form_->CmdTransToSQL_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("上传成功！"));
    EXPECT_EQ(serverValue(QStringLiteral("SELECT ebook_name || '|' || size_mb || '|' || ip FROM ebooks")),
              QStringLiteral("LiShi|") + QString::number(Val(text("Txtsize")), 'f', 2) +
                  QStringLiteral("|127.0.0.1"));
    // Replacing an e-book that this installation did not publish is refused.
    field(*form_, "Txteb_id")->setText(QStringLiteral("42"));
    ui_->ExpectMsgBox(vb::OK);
    form_->CmdTransToSQL_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("上传失败！"));

    // With the box checked and no address, the box unchecks itself.
    field(*form_, "Txtnetpath")->clear();
    asp->setChecked(true);
    ui_->ExpectInput(QString(), true);
    form_->CheckASP_Click();
    EXPECT_FALSE(asp->isChecked());
    EXPECT_FALSE(button("CmdFileExist")->isEnabled());
    EXPECT_EQ(GetAppSetting(QStringLiteral("seekexist")), QString());
}

}  // namespace
