#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <memory>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "platform/codepage.h"
#include "print/golden.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "store/page_read_ahead.h"
#include "store/picture_refs.h"
#include "support/book_fixture.h"
#include "support/file_size_limit.h"
#include "support/scripted_ui.h"

namespace {

// 祖 (code 4 with 讳, two wives) ── 甲 (code 1, page) ─┬─ 丙 (code 2, one wife, education) ── 戊 (code 3)
//                                  乙 (code 0, daughter) └─ 丁无子女 ── 己 (still printed)
// 庚 (code 4 without 讳) under 乙; 戊 has no page.
class BookPrinterTest : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        previousSink_ = SetProgressSink(std::make_unique<CountingProgress>());
        ui_ = InstallScriptedInteraction(&previousUi_);
        OpenDataDb(DataDbPath(), BookDbPassword());
        ops_ = std::make_unique<Cls数据操作>();
        App().SurnameLength = 1;
        Add("祖", "", "", 0, "始%4%太公%%%", true, "", "");
        Add("甲", "祖", "王氏", 1, "%1%%伯良%松山%", true, "大学", "");
        Add("乙", "祖", "李氏", 2, "长%0%%%%", false, "", "");
        Add("李丙[2]", "甲", "赵氏", 1, "%2%讳丙%%%文<正>", true, "秀才 & 举人", "知县");
        Add("丁无子女", "甲", "赵氏", 2, "", true, "", "");
        Add("戊", "李丙[2]", "", 1, "%3%%%%", true, "", "");
        Add("己", "丁无子女", "", 1, "", true, "", "");
        Add("庚", "乙", "乙夫", 1, "%4%%%%", true, "", "");
        Db().Execute("UPDATE \"本姓成员\" SET \"Mother_active\"=0 WHERE \"mother\"='李氏'");
        Db().Execute("UPDATE \"本姓成员\" SET \"mother_birthday\"='1900' WHERE \"mother\"='王氏'");
        Db().Execute(
            "UPDATE \"本姓成员\" SET \"boy_birthday\"='1920年', \"boy_death\"='1990年' WHERE "
            "\"filial\"='甲'");
        QString page = "<html><head><title>x</title></head><body><div class=a>甲的生平</div></body></html>";
        ops_->SaveAnyHtml(page, "甲");
        page = "<p>祖的<b>生平</b></p>";
        ops_->SaveAnyHtml(page, "祖");
        Db().Execute("UPDATE \"本姓成员\" SET \"generation\"=77");
    }
    void TearDown() override {
        EXPECT_TRUE(ui_->AllConsumed());
        ops_.reset();
        SetInteraction(std::move(previousUi_));
        SetProgressSink(std::move(previousSink_));
        BookFixture::TearDown();
    }
    static dao::Database& Db() { return App().DataDb; }
    static void Add(const QString& name, const QString& father, const QString& mother, int sort,
                    const QString& names, bool male, const QString& education, const QString& position) {
        Db().Execute(
            "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\", \"boy_sort\", \"c_jc_w_z_h\", "
            "\"Boy_Sex\", "
            "\"boy_education\", \"boy_position\", \"boy_active\", \"Mother_active\") VALUES (?, ?, ?, ?, ?, "
            "?, ?, ?, 1, 1)",
            {name, father, mother, sort, names, male, education, position});
    }
    static QByteArray Book() {
        QFile file(clsPrintZp::BookFile());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    std::unique_ptr<Cls数据操作> ops_;
    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previousUi_;
    std::unique_ptr<ProgressSink> previousSink_;
};

TEST_F(BookPrinterTest, BothStylesInBothDirectionsMatchTheirGoldenFiles) {
    struct Case {
        bool biography;
        quint8 vertical;
        const char* golden;
    };
    for (const Case c : {Case{true, 0, "book_register.htm"}, Case{true, 1, "book_register_vertical.htm"},
                         Case{false, 0, "book_document.htm"}, Case{false, 1, "book_document_vertical.htm"}}) {
        if (c.biography)
            ui_->ExpectForm("FrmLittle", [](QObject*) {
                EXPECT_EQ(App().LittleRunType, 6);
                EXPECT_EQ(App().FormParamString, "祖");
                App().FormParamString = "5";
                return 1;
            });
        clsPrintZp printer;
        ASSERT_TRUE(c.biography ? printer.传记谱("祖", c.vertical) : printer.打印文档("祖", c.vertical));
        const QByteArray book = Book();
        EXPECT_TRUE(book.contains("\r\n") && !book.contains("\r\r")) << c.golden;
        ExpectGolden(c.golden, book);
        EXPECT_EQ(App().FormParamString, "祖");
    }
    // The book's generation numbers stay as they were.
    EXPECT_EQ(Db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE \"generation\"<>77").toInt(), 0);
    // With the Traditional interface the book is named Traditional Chinese.
    App().LanguageId = 1;
    ASSERT_TRUE(clsPrintZp().打印文档("祖", 0));
    EXPECT_TRUE(Book().startsWith("<HTML lang=\"zh-TW\">"));
}

TEST_F(BookPrinterTest, CancelledPromptWritesNothingAndALoopEndsTheWalk) {
    QFile::remove(clsPrintZp::BookFile());
    ui_->ExpectForm("FrmLittle", [](QObject*) { return 0; });
    EXPECT_FALSE(clsPrintZp().传记谱("祖", 0));
    EXPECT_FALSE(QFile::exists(clsPrintZp::BookFile()));

    // 祖's father is his grandson: the walk stops where it came round.
    Db().Execute("UPDATE \"本姓成员\" SET \"father\"='戊' WHERE \"filial\"='祖'");
    ASSERT_TRUE(clsPrintZp().打印文档("甲", 0));
    const QString book = FromGb18030(Book());
    EXPECT_EQ(book.count("甲的生平"), 1);
    EXPECT_EQ(book.count("祖的"), 1);
}

// With no room for the book, the message says that the disk is full and names the book's file (never a
// part in the temporary folder); the book printed before stays whole and no part is left.
TEST_F(BookPrinterTest, AFullDiskIsToldByTheBooksFileAndKeepsTheEarlierBook) {
    QString page = "<p>" + QString(200000, QChar(u'传')) + "</p>";
    ops_->SaveAnyHtml(page, "甲");
    {
        QFile earlier(clsPrintZp::BookFile());
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("the earlier book");
    }
    ui_->ExpectMsgBox(vb::OK);
    bool printed = true;
    {
        const FileSizeLimit full(64 * 1024);
        printed = clsPrintZp().打印文档("祖", 0);
    }
    EXPECT_FALSE(printed);
    EXPECT_EQ(ui_->log().back().text,
              "打印族谱时出错：磁盘已满，不能写入文件 '" + clsPrintZp::BookFile() + "'。");
    EXPECT_EQ(Book(), "the earlier book");
    EXPECT_EQ(QDir(picture_refs::TempFolder()).entryList({"tPrint*"}, QDir::Files), QStringList());
}

// The walk reads each member's children as the member table compares names: under the start member's
// trimmed name, whatever the case of the father's name, in sibling order (sort, birthday, entry). A
// branch that is most of the book reads every father's children at once, a small one member by
// member: both give the same book.
TEST_F(BookPrinterTest, ChildrenComeUnderTrimmedAndCaseBlindNamesInSiblingOrder) {
    for (const int others : {0, 200}) {
        Db().Execute("DELETE FROM \"本姓成员\"");
        struct Member {
            const char* name;
            const char* father;
            int sort;
            const char* birthday;
        };
        for (const Member m :
             {Member{" 始 ", "", 0, ""}, Member{"乙", "始", 1, "1900"}, Member{"甲", "始", 1, "1901"},
              Member{"Wang", "始", 0, "1950"}, Member{"子一", "WANG", 0, ""}, Member{"子二", "wang", 0, ""},
              Member{"丙", "甲", 0, ""}}) {
            Db().Execute(
                "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"boy_sort\", \"boy_birthday\") "
                "VALUES (?, ?, ?, ?)",
                {m.name, m.father, m.sort, m.birthday});
            QString page = QString("<p>〔%1〕</p>").arg(m.name);
            ops_->SaveAnyHtml(page, m.name);
        }
        for (int i = 0; i < others; ++i)
            Db().Execute("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, '他')",
                         {QString("填%1").arg(i)});

        ASSERT_TRUE(clsPrintZp().打印文档(" 始 ", 0)) << others;
        const QString book = FromGb18030(Book());
        QStringList order;
        for (qsizetype at = book.indexOf("〔"); at >= 0; at = book.indexOf("〔", at + 1))
            order << book.mid(at + 1, book.indexOf("〕", at) - at - 1);
        EXPECT_EQ(order, QStringList({" 始 ", "Wang", "乙", "甲", "子一", "子二", "丙"})) << others;
    }
}

// A branch long enough for its pages to be read ahead on other threads gives the book (and the pictures
// of the members with a page) the writer gives reading alone, also when the reading ahead fails midway.
TEST_F(BookPrinterTest, PagesReadAheadGiveTheBookReadInTurn) {
    const auto name = [](int i) {
        return i < 0 ? QString("庚") : QString(i % 7 == 3 ? "孙%1无子女" : "孙%1").arg(i);
    };
    for (int i = 0; i < 300; ++i) {
        Add(name(i), name(i / 4 - 1), "", i % 3, "", true, "", "");
        QString page = i % 3 == 0 ? QString(
                                        "<html><head><title>t</title></head><body><div class=a>%1生平</div>"
                                        "</body></html>")
                                        .arg(i)
                       : i % 3 == 1 ? QString("<p>%1</p>").arg(i)
                       : i == 5     ? QString("<html><head></head></html>")
                                    : QString();
        if (!page.isEmpty()) ops_->SaveAnyHtml(page, name(i));
    }
    const QString pictured = picture_refs::TempFolder() + "/family/6.png";
    const QString unpaged = picture_refs::TempFolder() + "/family/2.png";
    for (const auto& [file, member] : {std::pair{pictured, name(6)}, std::pair{unpaged, name(2)}}) {
        QDir().mkpath(picture_refs::TempFolder() + "/family");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("picture");
        out.close();
        ASSERT_TRUE(ops_->SaveAnyImage("file://" + file, false, member, false));
    }
    const int previous = PageReadAhead::StartBacklog();
    QByteArray serial;
    for (const int backlog : {0, 1, -1}) {
        PageReadAhead::SetStartBacklog(backlog);
        QDir(picture_refs::TempFolder() + "/family").removeRecursively();
        ui_->ExpectForm("FrmLittle", [](QObject*) { return 1; });
        ASSERT_TRUE(clsPrintZp().传记谱("祖", 1));
        if (backlog == 0)
            serial = Book();
        else
            EXPECT_EQ(Book(), serial) << backlog;
        EXPECT_TRUE(QFile::exists(pictured)) << backlog;
        EXPECT_FALSE(QFile::exists(unpaged)) << backlog;
    }
    PageReadAhead::SetStartBacklog(previous);
    // 甲's and those of every third member but the skipped (无子女) ones.
    EXPECT_EQ(FromGb18030(serial).count("生平</div>"), 1 + 100 - 15);
}

}  // namespace
