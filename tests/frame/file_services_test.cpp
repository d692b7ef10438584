#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/dir_list.h"
#include "frame/file_services.h"
#include "frame/language.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"

namespace {

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        ui_ = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        EXPECT_TRUE(ui_->AllConsumed());
        SetInteraction(std::move(previous_));
        ResetAppState();
    }
    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
};

const QString kBookFilter = QStringLiteral("族谱(*.Mdb)|*.mdb|所有文件（*.*）|*.*");

}  // namespace

TEST_F(FileDialogs, OpenAndSaveGiveThePathOrEmptyText) {
    ClsCmDialog dialog;
    ui_->ExpectOpenFile("/books/wang.mdb");
    EXPECT_EQ(dialog.CmDgSelectFile(kBookFilter, "*.Mdb", ClsCmDialog::kOpenFile),
              QVariant("/books/wang.mdb"));
    ui_->ExpectSaveFile("");
    const QVariant cancelled = dialog.CmDgSelectFile("模板(*.Zpt)|*.zpt", "家谱.Zpt", ClsCmDialog::kSaveFile);
    EXPECT_EQ(cancelled.typeId(), QMetaType::QString);
    EXPECT_EQ(cancelled.toString(), "");

    ASSERT_EQ(ui_->log().size(), 2u);
    EXPECT_EQ(ui_->log()[0].kind, "OpenFile");
    EXPECT_EQ(ui_->log()[0].title, "");  // the dialog keeps its own title
    EXPECT_EQ(ui_->log()[0].filter, kBookFilter);
    EXPECT_EQ(ui_->log()[0].initial, "*.Mdb");
    EXPECT_EQ(ui_->log()[1].kind, "SaveFile");
    EXPECT_EQ(ui_->log()[1].initial, "家谱.Zpt");
}

TEST_F(FileDialogs, FilterFollowsTheInterfaceLanguage) {
    App().Translator = std::make_shared<ClsLanguage>();
    App().LanguageId = 1;
    App().PrevLanguageId = 0;
    ui_->ExpectOpenFile("");
    ClsCmDialog().CmDgSelectFile(kBookFilter, "", ClsCmDialog::kOpenFile);
    ASSERT_EQ(ui_->log().size(), 1u);
    EXPECT_EQ(ui_->log()[0].filter, QStringLiteral("族譜(*.Mdb)|*.mdb|所有文件（*.*）|*.*"));
}

TEST_F(FileDialogs, ColourGivesTheOldNumberOrEmpty) {
    ClsCmDialog dialog;
    ui_->ExpectColor(0x00336699u);
    const QVariant chosen = dialog.CmDgSelectFile(kBookFilter, "*.Mdb", ClsCmDialog::kColor);
    EXPECT_EQ(chosen.typeId(), QMetaType::Int);
    EXPECT_EQ(chosen.toInt(), 0x336699);
    ui_->ExpectColor(0u);  // black is a choice, not a cancel
    EXPECT_EQ(dialog.CmDgSelectFile("", "", ClsCmDialog::kColor), QVariant(qint32(0)));
    ui_->ExpectColor(std::nullopt);
    EXPECT_FALSE(dialog.CmDgSelectFile("", "", ClsCmDialog::kColor).isValid());

    ASSERT_EQ(ui_->log().size(), 3u);
    EXPECT_EQ(ui_->log()[0].kind, "Color");
    EXPECT_EQ(ui_->log()[0].title, "");  // the dialog keeps its own title
}

TEST_F(FileDialogs, PrintRangeOffersPagesOneToTheCountAndGivesTheFirstPage) {
    ClsCmDialog dialog;
    ui_->ExpectPrintRange(7);
    const QVariant first = dialog.CmDgSelectFile("", " 12 页", ClsCmDialog::kPrintRange);
    EXPECT_EQ(first.typeId(), QMetaType::Short);
    EXPECT_EQ(first.toInt(), 7);
    ui_->ExpectPrintRange(std::nullopt);
    EXPECT_FALSE(dialog.CmDgSelectFile("", "3", ClsCmDialog::kPrintRange).isValid());
    ui_->ExpectPrintRange(1);
    EXPECT_EQ(dialog.CmDgSelectFile("", "1.6", ClsCmDialog::kPrintRange).toInt(), 1);

    ASSERT_EQ(ui_->log().size(), 3u);
    EXPECT_EQ(ui_->log()[0].kind, "PrintRange");
    EXPECT_EQ(ui_->log()[0].style, 12);
    EXPECT_EQ(ui_->log()[1].style, 3);
    EXPECT_EQ(ui_->log()[2].style, 2);  // the count rounds as the old page numbers did

    // No page to offer, or a count beyond the 16-bit page numbers: nothing is shown.
    for (const char* count : {"", "0", "-4", "0.4", "abc", "40000"})
        EXPECT_FALSE(dialog.CmDgSelectFile("", count, ClsCmDialog::kPrintRange).isValid()) << count;
    EXPECT_EQ(ui_->log().size(), 3u);
}

TEST_F(FileDialogs, OtherKindsShowNothingAndGiveEmpty) {
    ClsCmDialog dialog;
    for (int kind : {0, 2, 3, 7, 255})
        EXPECT_FALSE(dialog.CmDgSelectFile(kBookFilter, "12", quint8(kind)).isValid()) << kind;
    EXPECT_TRUE(ui_->log().empty());
}

TEST_F(FileDialogs, FolderBrowser) {
    ClsFolderSelect select;
    ui_->ExpectFolder("");
    EXPECT_EQ(select.FolderSelected("请选择导入文件所在目录："), "");
    ui_->ExpectFolder("/home/wang/pages");
    EXPECT_EQ(select.FolderSelected("请选择导入文件所在目录："), "/home/wang/pages");
    ASSERT_EQ(ui_->log().size(), 2u);
    EXPECT_EQ(ui_->log()[0].kind, "Folder");
    EXPECT_EQ(ui_->log()[0].title, "请选择导入文件所在目录：");
}

namespace {

class DirWalk : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        ASSERT_TRUE(tree_.isValid());
        root_ = tree_.path();
    }
    void Touch(const QString& relative) {
        const QString path = root_ + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    }
    // Every row's filled name fields joined by "/", in the order of tmp_id.
    QStringList Rows() {
        QStringList out;
        QString sql = QStringLiteral("SELECT ");
        for (int i = 1; i <= 20; ++i) sql += QStringLiteral("\"boy%1\", ").arg(i);
        sql += QStringLiteral("\"tmp_id\" FROM \"temp_px\" ORDER BY \"tmp_id\"");
        for (auto rs = App().DataDb.OpenRecordset(sql); rs.hasRow(); rs.MoveNext()) {
            QStringList parts;
            for (int i = 0; i < 20; ++i)
                if (!rs.value(i).isNull()) parts << rs.value(i).toString();
            out << parts.join(u'/');
        }
        return out;
    }
    QTemporaryDir tree_;
    QString root_;
};

}  // namespace

TEST_F(DirWalk, ListsPageFilesFolderByFolderDepthFirst) {
    for (const char* f :
         {"b.doc", "a.htm", "page.HTML", "notes.txt.bak", "Z.TXT", "sub2/e.htm", "sub1/c.txt",
          "sub1/deep/d.htm", "sub1/x.doc", "sub1/a.htm", "pages.htm/readme.doc", ".hidden/f.htm"})
        Touch(QString::fromUtf8(f));
    QDir().mkpath(root_ + "/empty");
    QFile::link(root_ + "/sub1", root_ + "/loop");

    ClsDirList list;
    list.RootFolder = root_;
    ASSERT_TRUE(list.sDirTraversal(root_));
    EXPECT_EQ(Rows(), QStringList({"a.htm", "notes.txt.bak", "page.HTML", "Z.TXT", "sub1/a.htm", "sub1/c.txt",
                                   "sub1/deep/d.htm", "sub2/e.htm"}));

    // A file directly in the folder fills only the first name field; the flag fields stay empty.
    auto rs = App().DataDb.OpenRecordset("SELECT * FROM \"temp_px\" ORDER BY \"tmp_id\" LIMIT 1");
    ASSERT_TRUE(rs.hasRow());
    EXPECT_EQ(rs.value(0).toString(), "a.htm");
    for (int i = 1; i < 40; ++i) EXPECT_TRUE(rs.value(i).isNull()) << i;
}

TEST_F(DirWalk, PartsAfterTheTwentiethAreDropped) {
    QString deep;
    for (int i = 1; i <= 22; ++i) deep += QStringLiteral("f%1/").arg(i);
    Touch(deep + "page.htm");
    ClsDirList list;
    list.RootFolder = root_;
    ASSERT_TRUE(list.sDirTraversal(root_));
    QStringList expected;
    for (int i = 1; i <= 20; ++i) expected << QStringLiteral("f%1").arg(i);
    EXPECT_EQ(Rows(), QStringList({expected.join(u'/')}));
}

TEST_F(DirWalk, OnlyTheFirst200SubfoldersAreWalked) {
    for (int i = 0; i < 250; ++i) Touch(QStringLiteral("d%1/p.htm").arg(i, 3, 10, QChar(u'0')));
    Touch("top.htm");
    ClsDirList list;
    list.RootFolder = root_ + "/";  // a trailing separator changes nothing
    ASSERT_TRUE(list.sDirTraversal(root_));
    const QStringList rows = Rows();
    ASSERT_EQ(rows.size(), 201);
    EXPECT_EQ(rows.first(), "top.htm");
    EXPECT_EQ(rows[1], "d000/p.htm");
    EXPECT_EQ(rows.last(), "d199/p.htm");
}

TEST_F(DirWalk, NewListEmptiesTheTableAndWalksAppend) {
    Touch("sub/a.htm");
    Touch("b.txt");
    {
        ClsDirList list;
        list.RootFolder = root_;
        ASSERT_TRUE(list.sDirTraversal(root_));
        // A walk of a subfolder under the same root keeps the root's parts.
        ASSERT_TRUE(list.sDirTraversal(root_ + "/sub"));
        EXPECT_EQ(Rows(), QStringList({"b.txt", "sub/a.htm", "sub/a.htm"}));
    }
    ClsDirList fresh;  // without RootFolder the walked folder is the root
    EXPECT_TRUE(Rows().isEmpty());
    ASSERT_TRUE(fresh.sDirTraversal(root_ + "/sub"));
    EXPECT_EQ(Rows(), QStringList({"a.htm"}));
}

TEST_F(DirWalk, MissingFolderAddsNothingAndAClosedBookIsReported) {
    ClsDirList list;
    list.RootFolder = root_ + "/none";
    EXPECT_TRUE(list.sDirTraversal(root_ + "/none"));
    EXPECT_TRUE(list.sDirTraversal(""));
    EXPECT_TRUE(Rows().isEmpty());

    Touch("a.htm");
    App().DataDb.Close();
    list.RootFolder = root_;
    EXPECT_FALSE(list.sDirTraversal(root_));
}
