#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "platform/bookdir.h"
#include "platform/codepage.h"
#include "print/chm_doc.h"
#include "print/golden.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "support/book_fixture.h"
#include "support/file_size_limit.h"
#include "support/scripted_ui.h"

namespace {

// 祖 (1, page with a picture) ─┬─ 甲 (40000, page, two keywords) ── 丙[2] (4, page)
//                               ├─ 乙 (3, no page)
//                               └─ 丁 (5, page)
class SiteAndEbookTest : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        previousSink_ = SetProgressSink(std::make_unique<CountingProgress>());
        ui_ = InstallScriptedInteraction(&previousUi_);
        OpenDataDb(DataDbPath(), BookDbPassword());
        ops_ = std::make_unique<Cls数据操作>();
        Add(1, "祖", "");
        Add(40000, "甲", "祖");
        Add(3, "乙", "祖");
        Add(5, "丁", "祖");
        Add(4, "丙[2]", "甲");
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        // Pages name their pictures below the temp folder.
        QDir().mkpath(GetAppPath() + "temp");
        ASSERT_TRUE(picture.save(GetAppPath() + "temp/face.png"));
        ASSERT_TRUE(ops_->SaveAnyImage("file://" + GetAppPath() + "temp/face.png", false, "祖", false));
        Page("祖", "<html><body><p>祖的生平<img src=\"file://_app.path_\\face.png\"></p></body></html>");
        Page("甲", "<p>甲 &amp; 子孙</p>");
        Page("丙[2]", "<p>丙</p>");
        Page("丁", "<p>丁</p>");
        App().DataDb.Execute(
            "INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES ('甲', '武将'), ('甲', '名<人>')");
        App().PrintNameLength = 3;
        App().PrintGenerationsPerRow = 3;
    }
    void TearDown() override {
        ClsChmDoc::SetCompiler("chmcmd");
        EXPECT_TRUE(ui_->AllConsumed());
        ops_.reset();
        SetInteraction(std::move(previousUi_));
        SetProgressSink(std::move(previousSink_));
        BookFixture::TearDown();
    }
    static void Add(int id, const QString& name, const QString& father) {
        App().DataDb.Execute(
            "INSERT INTO \"本姓成员\" (\"filial_id\", \"filial\", \"father\", \"boy_sort\", \"Boy_Sex\") "
            "VALUES (?, ?, ?, 0, 1)",
            {id, name, father});
    }
    void Page(const QString& member, QString html) { ops_->SaveAnyHtml(html, member); }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static QString Chm() { return GetAppPath() + "chm/"; }
    static ChmTocNode Branch() {
        return {"{1}祖", {{"{2}甲", {{"{3}丙[2]", {}}}}, {"{2}乙", {}}, {"{2}丁", {}}}};
    }
    // The site of 祖's branch, as the print command makes it.
    QString Site() {
        ui_->ExpectForm("FrmLittle", [](QObject*) {
            App().FormParamString = "1";
            return 1;
        });
        ui_->ExpectMsgBox(vb::OK);
        App().FormParamString = "祖氏世系图";
        App().SelectedNodeIndex = 1;
        clsPrintZp printer;
        EXPECT_TRUE(printer.PrintPxt("祖", true));
        return printer.Lfn_to_html2(false);
    }

    QTemporaryDir dir_;
    std::unique_ptr<Cls数据操作> ops_;
    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previousUi_;
    std::unique_ptr<ProgressSink> previousSink_;
};

TEST_F(SiteAndEbookTest, SiteLinksEveryNameToItsPage) {
    QDir().mkpath(Chm() + "images");
    QFile old(Chm() + "old.htm");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    const QString path = Site();
    EXPECT_EQ(path, Chm() + "祖氏世系图.htm");
    EXPECT_EQ(ui_->log().back().text, "文件已生成,存放在：" + path);
    ExpectGolden("site_chart.htm", Read(path));
    ExpectGolden("site_member.htm", Read(Chm() + "z40000.htm"));
    EXPECT_FALSE(QFile::exists(Chm() + "old.htm"));
    EXPECT_FALSE(QFile::exists(Chm() + "z3.htm"));  // 乙 has no page: linked to sp.htm
    EXPECT_EQ(Read(Chm() + "sp.htm"), "<HTML><BODY><P>&nbsp;</P></BODY></HTML>\r\n");
    EXPECT_EQ(QDir(Chm() + "images").entryList(QDir::Files).size(), 1);
}

TEST_F(SiteAndEbookTest, EbookCompilesWithContentsAndIndexAndLeavesTheSite) {
    const QString site = Site();
    // The compiler is chmcmd behind a script that keeps a copy of the work files it was given.
    const QString copies = dir_.filePath("work");
    QDir().mkpath(copies);
    const QString script = dir_.filePath("compile.sh");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("#!/bin/sh\ncp book.hhp book.hhc book.hhk '" + copies + "/'\nexec chmcmd \"$@\"\n").toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ClsChmDoc::SetCompiler(script);

    ui_->ExpectMsgBox(vb::OK);
    ASSERT_TRUE(ClsChmDoc().init_Nopen_Chm(Branch(), false)) << ui_->log().back().text.toStdString();
    const QString chm = Chm() + "祖.chm";
    EXPECT_EQ(ui_->log().back().text, "文件已生成,存放在：" + chm);
    ExpectGolden("ebook.hhp", Read(copies + "/book.hhp"));
    ExpectGolden("ebook.hhc", Read(copies + "/book.hhc"));
    ExpectGolden("ebook.hhk", Read(copies + "/book.hhk"));

    QProcess list;
    list.start("chmls", {"list", chm});
    ASSERT_TRUE(list.waitForFinished(60000));
    const QString listing = QString::fromUtf8(list.readAllStandardOutput());
    for (const char* entry :
         {"/z1.htm", "/z40000.htm", "/z4.htm", "/z5.htm", "/sp.htm", "/book.hhc", "/images/z"})
        EXPECT_TRUE(listing.contains(entry)) << entry << "\n" << listing.toStdString();
    EXPECT_FALSE(listing.contains("/z3.htm"));

    // Only the e-book joined the site: no work files, the site's pages and pictures are still there.
    EXPECT_EQ(QDir(Chm()).entryList({"*.hh?", ".ebook-*"}, QDir::Files | QDir::Dirs | QDir::Hidden),
              QStringList());
    EXPECT_TRUE(QFile::exists(site));
    EXPECT_TRUE(QFile::exists(Chm() + "z40000.htm"));
    EXPECT_EQ(QDir(Chm() + "images").entryList(QDir::Files).size(), 1);
}

// A page stored before pages from outside were cleaned names a file of this computer as a picture, a link
// and a style sheet, climbing out of the e-book's work folder, plainly and behind a placeholder: the
// compiler takes in every file a page names, and none of these reaches the e-book.
TEST_F(SiteAndEbookTest, AnOlderPageLeadsTheCompilerToNoFileOutside) {
    QFile secret(dir_.filePath("secret.key"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("SECRET-0815-KEY");
    secret.close();
    const QString climb = QString("../").repeated(24) + dir_.filePath("secret.key").mid(1);
    Page("丁", "<p>丁<img src=\"" + climb + "\"><a href=\"" + climb + "\">k</a><link rel=stylesheet href=\"" +
                   climb + "\"><img src=\"_app.path_/" + climb +
                   "\"><img src=\"file://_app.path_\\face.png\"></p>");
    ui_->ExpectMsgBox(vb::OK);
    ASSERT_TRUE(ClsChmDoc().init_Nopen_Chm(Branch(), false)) << ui_->log().back().text.toStdString();
    QProcess list;
    list.start("chmls", {"-n", "list", Chm() + "祖.chm"});
    ASSERT_TRUE(list.waitForFinished(60000));
    const QString listing = QString::fromUtf8(list.readAllStandardOutput());
    EXPECT_FALSE(listing.contains("secret")) << listing.toStdString();
    EXPECT_TRUE(listing.contains("/z5.htm")) << listing.toStdString();
}

TEST_F(SiteAndEbookTest, FailedCompileIsReportedAndLeavesNoWorkFiles) {
    struct Case {
        QString compiler;
        QString message;
    };
    for (const Case& c : {Case{"/bin/false", "电子书未能生成：chmcmd 报告错误（1）："},
                          Case{"/nonexistent/chmcmd", "电子书未能生成：无法启动 chmcmd（请安装 fp-utils）。"},
                          Case{"/bin/true", "电子书未能生成：chmcmd 没有生成电子书。"}}) {
        ClsChmDoc::SetCompiler(c.compiler);
        ui_->ExpectMsgBox(vb::OK);
        EXPECT_FALSE(ClsChmDoc().init_Nopen_Chm(Branch(), false));
        EXPECT_EQ(ui_->log().back().text, c.message);
        EXPECT_EQ(ui_->log().back().style, vb::Critical);
        EXPECT_EQ(QDir(Chm()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList())
            << c.compiler.toStdString();
    }
}

// An earlier e-book of the same name is replaced in one step: when the new one cannot be put in its
// place (here the compiler left a folder where the e-book should be), the earlier one stays whole.
TEST_F(SiteAndEbookTest, AnEarlierEbookStaysWhenTheNewOneCannotTakeItsPlace) {
    const QString earlier = Chm() + "祖.chm";
    ASSERT_TRUE(QDir().mkpath(Chm()));
    {
        QFile file(earlier);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the earlier e-book");
    }
    const QString script = dir_.filePath("folder-compiler.sh");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nmkdir book.chm && echo x > book.chm/x\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ClsChmDoc::SetCompiler(script);

    ui_->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(ClsChmDoc().init_Nopen_Chm(Branch(), false));
    EXPECT_EQ(ui_->log().back().text, "电子书未能生成：不能写入文件 " + earlier);
    EXPECT_EQ(Read(earlier), "the earlier e-book");
    EXPECT_EQ(QDir(Chm()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"祖.chm"});
}

// With no room for the work files, the e-book says that the disk is full and names the e-book, never a
// file of its hidden work folder.
TEST_F(SiteAndEbookTest, AFullDiskIsToldByTheEbooksName) {
    bool built = true;
    ui_->ExpectMsgBox(vb::OK);
    {
        const FileSizeLimit full(100);
        built = ClsChmDoc().init_Nopen_Chm(Branch(), false);
    }
    EXPECT_FALSE(built);
    EXPECT_EQ(ui_->log().back().text, "电子书未能生成：磁盘已满，不能写入文件 '" + Chm() + "祖.chm'。");
    EXPECT_EQ(QDir(Chm()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

}  // namespace
