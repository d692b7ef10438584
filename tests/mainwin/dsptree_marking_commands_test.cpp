#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "mainwin/imported_page.h"
#include "node_commands_fixture.h"
#include "platform/bookdir.h"
#include "store/picture_refs.h"
#include "store/strong_password.h"

namespace {

// The fixture's book with the particulars the statistics count: 甲 乙 戊 living, 丙 丁 dead, 丙 戊
// women, two mothers recorded (乙's and 丁's).
class MarkingCommandsTest : public NodeCommandsFixture {
protected:
    void SetUp() override {
        NodeCommandsFixture::SetUp();
        Db().Execute(
            QStringLiteral("UPDATE \"本姓成员\" SET \"boy_active\" = 0 WHERE \"filial\" IN ('丙', '丁')"));
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"Boy_Sex\" = 0 WHERE \"filial\" = '戊'"));
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"mother\" = '王氏' WHERE \"filial\" = '丁'"));
    }
    QString Generations() {
        QStringList out;
        for (const char* name : {"甲", "乙", "丙", "丁", "戊", "庚"})
            out << Column(QString::fromUtf8(name), "generation");
        return out.join(QLatin1Char(','));
    }
};

TEST_F(MarkingCommandsTest, NumberingShowsTheStatisticsAndClearingTakesEveryLabel) {
    Open();
    const QString statistics = QStringLiteral(
        "人口统计结果  传承代数：3\n\n  总人数：5 其中，男：3  女：2\n在世人数：3 其中，男：2  "
        "女：1\n已录配偶：2");
    for (int round = 0; round < 2; ++round) {  // the same root again is numbered and counted again
        Select(QStringLiteral("甲"));
        ExpectLittle(QStringLiteral("37"));
        ui_->ExpectMsgBox(vb::OK);
        Menu("node_generation");
        EXPECT_EQ(LastDialog().text, statistics);
        EXPECT_EQ(LastDialog().style, vb::Information);
    }
    EXPECT_EQ(requests_.last(), QStringLiteral("甲#6"));
    EXPECT_EQ(Generations(), QStringLiteral("37,38,38,39,39,-9999"));
    EXPECT_EQ(Node(QStringLiteral("丁"))->text(0), QStringLiteral("{39}丁"));

    Select(QStringLiteral("丁"));
    ui_->ExpectMsgBox(vb::OK);
    Menu("node_generation");
    EXPECT_EQ(LastDialog().text, QStringLiteral("最末一代，不用编世代序号！"));

    Select(QStringLiteral("乙"));
    App().FormParamString.clear();  // as a cancelled dialog leaves it
    Menu("node_UnGeneration");
    EXPECT_EQ(Column(QStringLiteral("甲"), "generation"), QStringLiteral("37"));
    Select(QStringLiteral("乙"));
    Menu("node_UnGeneration");
    EXPECT_EQ(Generations(), QStringLiteral("-9999,-9999,-9999,-9999,-9999,-9999"));
    EXPECT_EQ(Node(QStringLiteral("甲"))->text(0), QStringLiteral("甲"));  // outside the branch too
    EXPECT_FALSE(App().GenerationsMarked);
}

TEST_F(MarkingCommandsTest, LivingDeadAndProtectionKeepTheUsersNumbering) {
    Open();
    Select(QStringLiteral("甲"));
    ExpectLittle(QStringLiteral("37"));
    ui_->ExpectMsgBox(vb::OK);
    Menu("node_generation");

    Select(QStringLiteral("乙"));
    ExpectLittle(QStringLiteral("1"));
    Menu("node_active");
    for (const char* name : {"丁", "戊"}) {
        EXPECT_EQ(Column(QString::fromUtf8(name), "boy_active"), QStringLiteral("0")) << name;
        EXPECT_EQ(Column(QString::fromUtf8(name), "Mother_active"), QStringLiteral("0")) << name;
    }
    EXPECT_EQ(Column(QStringLiteral("乙"), "boy_active"), QStringLiteral("1"));  // the member keeps its own
    ExpectLittle(QStringLiteral("-1"));
    Menu("node_active");
    EXPECT_EQ(Column(QStringLiteral("丁"), "boy_active"), QStringLiteral("1"));
    EXPECT_EQ(Generations(), QStringLiteral("37,38,38,39,39,-9999"));

    // Another account's member: refused before the level is asked, nothing written.
    App().CurrentUser->acc_id = 5;
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"myacc_id\" = 77 WHERE \"filial\" = '乙'"));
    Select(QStringLiteral("乙"));
    ui_->ExpectMsgBox(vb::OK);
    Menu("node_SetProtect");
    EXPECT_EQ(LastDialog().text, QStringLiteral("您不是创建者，不能更改其保护。"));
    EXPECT_EQ(LastDialog().style, 0);
    EXPECT_EQ(Column(QStringLiteral("丁"), "filial_protect"), QStringLiteral("0"));

    App().CurrentUser->acc_id = 77;
    ui_->ExpectForm(QStringLiteral("FrmLittle"), [this](QObject*) {
        requests_ << App().FormParamString;
        App().CurrentUser->Protected = 2;
        App().FormParamString = QStringLiteral("2");
        return 1;
    });
    Menu("node_SetProtect");
    EXPECT_EQ(requests_.last(), QStringLiteral("77"));
    for (const char* name : {"乙", "丁", "戊"})
        EXPECT_EQ(Column(QString::fromUtf8(name), "filial_protect"), "2");
    EXPECT_EQ(Column(QStringLiteral("甲"), "filial_protect"), QStringLiteral("0"));
    EXPECT_EQ(Generations(), QStringLiteral("37,38,38,39,39,-9999"));
}

TEST_F(MarkingCommandsTest, FamousPersonEntriesGoUnderTheirCategory) {
    QString page = QStringLiteral("<p>丁的生平</p>");
    ops_->SaveAnyHtml(page, QStringLiteral("丁"));
    Open();
    Select(QStringLiteral("丁"));
    ExpectLittle(QStringLiteral("名臣"));
    Menu("node_notable");
    EXPECT_EQ(requests_.last(), QStringLiteral("2%丁#2"));
    EXPECT_EQ(Column(QStringLiteral("名臣"), "father"), QStringLiteral("甲"));
    EXPECT_EQ(Column(QStringLiteral("名臣"), "mother"), QString());  // nothing of 丁 on the category
    EXPECT_EQ(Column(QStringLiteral(".丁"), "father"), QStringLiteral("名臣"));
    EXPECT_EQ(Column(QStringLiteral(".丁"), "mother"), QStringLiteral("王氏"));
    EXPECT_EQ(ParentOf(QStringLiteral(".丁")), QStringLiteral("_名臣"));
    EXPECT_EQ(ParentOf(QStringLiteral("名臣")), QStringLiteral("_甲"));
    QString copied;
    ops_->GetAnyHtmlCode(QStringLiteral(".丁"), copied);
    EXPECT_EQ(copied, QStringLiteral("<p>丁的生平</p>"));

    Select(QStringLiteral("丁"));
    ui_->ExpectMsgBox(vb::No);
    Menu("node_notable");
    EXPECT_EQ(LastDialog().text, QStringLiteral("他已是名人谱成员，您是否已下定决心刷新他的资料？"));
    Select(QStringLiteral(".丁"));
    ui_->ExpectMsgBox(vb::No);
    Menu("node_notable");
    EXPECT_EQ(LastDialog().text, QStringLiteral("您是否已下定决心更新他的世系谱资料？"));
}

TEST_F(MarkingCommandsTest, APackageLoadsAsABranchOnlyWithItsStrongPassword) {
    Open();
    qint32 start = 1;
    qint16 force = -1;
    quint8 keep = 99;
    ops_->标识世祖(QStringLiteral("乙"), 7, 0, start, force, keep);
    App().StrgPswdDigest = strong_password::Digest(QStringLiteral("abcdef"));
    const QString package = book_.file("branch.mdb");
    ASSERT_EQ(ops_->族谱备份(package, QStringLiteral("乙"), 7, QStringLiteral("pk")), 3);
    for (const QString& digest : {QString(), strong_password::Digest(QStringLiteral("abcdef"))}) {
        App().StrgPswdDigest.clear();
        Select(QStringLiteral("庚"));
        ui_->ExpectOpenFile(package);
        ui_->ExpectForm(QStringLiteral("FrmSetPswd"), [digest](QObject*) {
            App().FormParamString = QStringLiteral("?");
            App().FormParamString2 = QStringLiteral("pk");
            App().StrgPswdDigest = digest;
            return 1;
        });
        if (digest.isEmpty()) ui_->ExpectMsgBox(vb::OK);
        Menu("node_subboy");
    }
    EXPECT_TRUE(LastDialog().kind == QStringLiteral("Form"));
    EXPECT_EQ(Column(QStringLiteral("乙[1]"), "father"), QStringLiteral("庚"));
    EXPECT_EQ(Column(QStringLiteral("丁[1]"), "father"), QStringLiteral("乙[1]"));
    EXPECT_EQ(ParentOf(QStringLiteral("乙[1]")), QStringLiteral("_庚"));  // the page rebuilt
}

TEST(ImportedPageTest, EncodingFromMarkMetaOrBytes) {
    const QString text = QStringLiteral("张三生平");
    const QByteArray gb = QStringEncoder("GB18030").encode(text);
    const QByteArray big5 = QStringEncoder("Big5").encode(QStringLiteral("張三"));
    const struct {
        QByteArray bytes;
        QString expected;
    } cases[] = {
        {"\xEF\xBB\xBF" + text.toUtf8(), text},
        {QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2),
         text},
        {"<meta charset=big5>" + big5, QStringLiteral("<meta charset=big5>張三")},
        {"<meta content='text/html; charset=gb2312'>" + gb,
         QStringLiteral("<meta content='text/html; charset=gb2312'>") + text},
        {text.toUtf8(), text},
        {gb, text},
    };
    for (const auto& c : cases) EXPECT_EQ(imported_page::Decode(c.bytes), c.expected);
    EXPECT_EQ(imported_page::CleanText(
                  QStringLiteral("  <HTML><Head><title>t</title></HEAD><body background=\"b.png\" "
                                 "id=x><script>go()</script>正文</body></HTML>  "),
                  false),
              QStringLiteral("<HTML><body >正文</body></HTML>"));
    EXPECT_EQ(imported_page::CleanText(QStringLiteral("a<b\r\nc"), true), QStringLiteral("a&lt;b<br>\r\nc"));
}

TEST_F(MarkingCommandsTest, AFolderOfPagesBecomesABranchWithItsPictures) {
    const QString top = book_.file("导入/张氏谱");
    const auto write = [&](const QString& relative, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(top + "/" + relative).absolutePath());
        QFile file(top + "/" + relative);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray picture("\x89PNG picture bytes", 18);
    write("pics/p.png", picture);
    write("a'b%c.htm",
          QStringEncoder("GB18030").encode(QStringLiteral(
              "<html><head><title>x</title></head><body background='pics/p.png'><script>bad()</script>"
              "张三生平<img src=\"pics/p.png\"><img src='../outside.png'></body></html>")));
    write("Zhang/1.htm", QStringLiteral("李四").toUtf8());
    write("zhang/2.htm", "two");       // one member name with Zhang under one parent
    write("部/Zhang/3.txt", "three");  // listed after both
    write("../outside.png", picture);
    SetNodesPerPage(5);
    EXPECT_EQ(Open().PageCount(), 2);
    Select(QStringLiteral("甲"));
    ui_->ExpectFolder(top);
    Menu("node_import");
    EXPECT_EQ(window_->PageCount(), 3);  // 13 members: the new ones can be reached
    EXPECT_EQ(ui_->log().back().text, QStringLiteral("请选择导入文件所在目录："));

    const QString zhang = Column(QStringLiteral("1.htm"), "father");
    EXPECT_EQ(zhang.toLower(), QStringLiteral("zhang"));
    const struct {
        const char* member;
        QString father;
    } members[] = {{"张氏谱", ""},     {"abc.htm", "张氏谱"}, {"2.htm", zhang},   {"部", "张氏谱"},
                   {"Zhang[1]", "部"}, {"3.txt", "Zhang[1]"}, {"pics", QString()}};
    for (const auto& m : members) {
        EXPECT_EQ(Exists(QString::fromUtf8(m.member)), !m.father.isNull()) << m.member;
        if (!m.father.isNull()) {
            EXPECT_EQ(Column(QString::fromUtf8(m.member), "father"), m.father) << m.member;
        }
    }
    EXPECT_EQ(ParentOf(QStringLiteral("3.txt")), QStringLiteral("_Zhang[1]"));
    EXPECT_EQ(ParentOf(QStringLiteral("张氏谱")), QString());

    QString page;
    ops_->GetAnyHtmlCode(QStringLiteral("abc.htm"), page);
    const QString stored = picture_refs::PictureFile(picture_refs::StoredReference(
        QStringLiteral("file://") + QFileInfo(top + "/pics/p.png").canonicalFilePath(), false));
    // A picture outside the folder is not the user's choice: its address goes.
    EXPECT_EQ(page, QStringLiteral("<html><body >张三生平<img src=\"file://") + stored +
                        QStringLiteral("\"><img></body></html>"));
    EXPECT_EQ(ops_->GnAnyImage(QStringLiteral("abc.htm")), 0);
    QFile extracted(stored);
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly));
    EXPECT_EQ(extracted.readAll(), picture);
    ops_->GetAnyHtmlCode(QStringLiteral("1.htm"), page);
    EXPECT_EQ(page, QStringLiteral("<html><body>李四</body></html>"));
    EXPECT_EQ(Db().Scalar(QStringLiteral("SELECT count(*) FROM \"temp_px\"")).toInt(), 0);
}

// A failure anywhere leaves the book as it was; a file that cannot be read is named to the user.
TEST_F(MarkingCommandsTest, AFolderComesInWholeOrNotAtAll) {
    const QString top = book_.file("导入/李氏谱");
    for (const char* name : {"a.htm", "b.htm", "c/d.htm"}) {
        QDir().mkpath(QFileInfo(top + "/" + name).absolutePath());
        QFile file(top + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("<p>") + name + "</p>");
    }
    // A file the system lists but cannot read, whoever reads it.
    ASSERT_TRUE(QFile::link("/proc/self/mem", top + "/e.htm"));
    const auto count = [&](const QString& sql) { return Db().Scalar(sql).toLongLong(); };
    const qint64 members = count("SELECT count(*) FROM \"本姓成员\"");
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    pages.Execute(
        "CREATE TRIGGER full BEFORE INSERT ON story WHEN (SELECT count(*) FROM story) >= 2 "
        "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
    pages.Close();
    Open();
    Select(QStringLiteral("甲"));
    ui_->ExpectFolder(top);
    ui_->ExpectMsgBox(vb::OK);
    Menu("node_import");
    EXPECT_EQ(LastDialog().style, vb::Critical);
    EXPECT_EQ(count("SELECT count(*) FROM \"本姓成员\""), members);
    EXPECT_FALSE(Nodes().Exists(QStringLiteral("_李氏谱")));

    dao::Database::Open(DescriptDbPath(), BookDbPassword()).Execute("DROP TRIGGER full");
    ui_->ExpectFolder(top);
    ui_->ExpectMsgBox(vb::OK);
    Menu("node_import");
    EXPECT_EQ(LastDialog().text, QStringLiteral("以下文件不能读取，导入时没有带上：\n") + top + "/e.htm");
    EXPECT_EQ(count("SELECT count(*) FROM \"本姓成员\""), members + 6);
    EXPECT_EQ(Column(QStringLiteral("d.htm"), "father"), QStringLiteral("c"));
    EXPECT_TRUE(Nodes().Exists(QStringLiteral("_李氏谱")));
}

}  // namespace
