#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <QToolBar>

#include "dsptree_fixture.h"
#include "mainwin/backup_names.h"

namespace {

// 祖 ── 甲 ─┬─ 乙 ── 丁        戊 (a second root)
//            ├─ 丙
//            └─ 己
// 甲's line is numbered from 37, as a user may number it.
class DsptreeBookToolbarTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        Add(QStringLiteral("祖"), QString(), 36);
        Add(QStringLiteral("甲"), QStringLiteral("祖"), 37);
        Add(QStringLiteral("乙"), QStringLiteral("甲"), 38);
        Add(QStringLiteral("丙"), QStringLiteral("甲"), 38, false);
        Add(QStringLiteral("己"), QStringLiteral("甲"), 38);
        Add(QStringLiteral("丁"), QStringLiteral("乙"), 39);
        Add(QStringLiteral("戊"), QString());
        Open();
        window_->today = [] { return QDate(2026, 3, 5); };
    }
    // The password form answers OK with the package password; it records the request it was given.
    void ExpectPasswords() {
        ui_->ExpectForm(QStringLiteral("FrmSetPswd"), [this](QObject*) {
            requests_ << App().FormParamString + "|" + App().FormParamString2;
            App().FormParamString = QStringLiteral("ok");
            App().FormParamString2 = QStringLiteral("pw");
            App().StrgPswdDigest.clear();
            return 1;
        });
    }
    void Book(const char* key) { window_->TbarOpEx_ButtonClick(QString::fromLatin1(key)); }
    qint64 Generation(const QString& name) {
        return Db()
            .Scalar(QStringLiteral("SELECT \"generation\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {name})
            .toLongLong();
    }
    QStringList Children(const QString& name) {
        QStringList out;
        QTreeWidgetItem* node = Node(name);
        for (int i = 0; i < node->childCount(); ++i) out << node->child(i)->text(0);
        return out;
    }
    QTemporaryDir dir_;
    QStringList requests_;
};

TEST(BackupNamesTest, ProposalAndFullWidthBrackets) {
    EXPECT_EQ(ProposedBackupName(QStringLiteral("张三"), QDate(2026, 3, 5)), QStringLiteral("张三0305.Mdb"));
    EXPECT_EQ(ProposedBackupName(QStringLiteral("李四"), QDate(2025, 12, 1)), QStringLiteral("李四1201.Mdb"));
    EXPECT_EQ(WithFullWidthBrackets(QStringLiteral("/d/家谱[1].Mdb")), QStringLiteral("/d/家谱［1］.Mdb"));
    EXPECT_EQ(WithFullWidthBrackets(QStringLiteral("/d/谱[2]/甲[1].Mdb")),
              QStringLiteral("/d/谱[2]/甲［1］.Mdb"));
    EXPECT_EQ(WithFullWidthBrackets(QString()), QString());
}

TEST_F(DsptreeBookToolbarTest, BackupWritesExactlyTheBranchAndRestoreBringsItBack) {
    dsptree& w = *window_;
    // 甲 was the root marked last, under another number: the backup still marks and writes its branch.
    qint32 first = 37;
    qint16 force = 0;
    quint8 protection = 99;
    ops_->标识世祖(QStringLiteral("甲"), 50, 0, first, force, protection);
    ASSERT_EQ(App().RootAncestorName, QStringLiteral("甲"));

    Click(QStringLiteral("甲"));
    const QString chosen = dir_.filePath(QStringLiteral("家谱[1].Mdb"));
    const QString written = dir_.filePath(QStringLiteral("家谱［1］.Mdb"));
    ui_->ExpectSaveFile(chosen);
    ExpectPasswords();
    ui_->ExpectMsgBox(vb::OK);
    Book("b_saveas");
    EXPECT_EQ(ui_->log()[0].initial, QStringLiteral("甲0305.Mdb"));
    EXPECT_EQ(ui_->log()[0].filter, QStringLiteral("族谱(*.Mdb)|*.mdb|所有文件（*.*）|*.*"));
    EXPECT_EQ(requests_, QStringList{QStringLiteral("甲0305.Mdb|") + written});
    EXPECT_EQ(LastDialog().text, QStringLiteral("族谱备份成功！[5]"));
    EXPECT_EQ(LastDialog().style, vb::Information);
    EXPECT_TRUE(QFile::exists(written));
    EXPECT_FALSE(QFile::exists(chosen));
    EXPECT_EQ(App().FormParamString, QStringLiteral("甲"));
    // The numbering the user made stays.
    EXPECT_EQ(Generation(QStringLiteral("甲")), 37);
    EXPECT_EQ(Generation(QStringLiteral("丁")), 39);

    // The branch goes from the book and comes back from the package as a book of its own.
    Db().Execute(
        QStringLiteral("DELETE FROM \"本姓成员\" WHERE \"filial\" IN ('甲', '乙', '丙', '丁', '己')"));
    w.SetPageCount(0);
    ui_->ExpectOpenFile(written);
    ExpectPasswords();
    Book("b_load");
    EXPECT_EQ(requests_.last(), QStringLiteral("?|") + written);
    EXPECT_EQ(FatherOf(QStringLiteral("甲")), QString());
    EXPECT_EQ(FatherOf(QStringLiteral("丁")), QStringLiteral("乙"));
    EXPECT_EQ(Db().Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")).toInt(), 7);
    EXPECT_EQ(ParentOf(QStringLiteral("甲")), QString());  // a root on page 1
    EXPECT_EQ(Children(QStringLiteral("甲")), (QStringList{"乙", "丙", "己"}));
    EXPECT_EQ(w.PageCount(), 1);
    EXPECT_EQ(App().SelectedNodeIndex, 0);
}

TEST_F(DsptreeBookToolbarTest, RestoreOnlyOnPageOne) {
    App().CurrentPage = 2;
    ui_->ExpectMsgBox(vb::OK);
    Book("b_load");
    EXPECT_EQ(LastDialog().text, QStringLiteral("只有在第一页才能恢复成独立分支谱！"));
    EXPECT_EQ(LastDialog().style, vb::Critical);
    EXPECT_TRUE(window_->TbarOpEx()->isEnabled());
}

TEST_F(DsptreeBookToolbarTest, SplitMovesTheChildrenUnderACleanedNewRoot) {
    dsptree& w = *window_;
    Click(QStringLiteral("甲"));
    App().RepaginateNeeded = false;
    ui_->ExpectForm(QStringLiteral("FrmLittle"), [](QObject*) {
        EXPECT_EQ(App().LittleRunType, 5);
        App().FormParamString = QStringLiteral("甲'分支%");
        return 1;
    });
    Book("b_lineoff");
    for (const char* child : {"乙", "丙", "己"})
        EXPECT_EQ(FatherOf(QString::fromUtf8(child)), QStringLiteral("甲分支")) << child;
    EXPECT_EQ(FatherOf(QStringLiteral("甲分支")), QString());
    EXPECT_EQ(FatherOf(QStringLiteral("甲")), QStringLiteral("祖"));
    EXPECT_EQ(Node(QStringLiteral("甲"))->childCount(), 0);
    EXPECT_EQ(Nodes().KeyAt(Nodes().Count()), QStringLiteral("_甲分支"));
    EXPECT_EQ(ParentOf(QStringLiteral("甲分支")), QString());
    EXPECT_EQ(Nodes().ImageAt(Nodes().IndexOf(QStringLiteral("_甲分支"))), 3);
    EXPECT_EQ(Children(QStringLiteral("甲分支")), (QStringList{"乙", "丙", "己"}));
    EXPECT_EQ(ParentOf(QStringLiteral("丁")), QStringLiteral("_乙"));
    EXPECT_TRUE(App().RepaginateNeeded);
    EXPECT_EQ(w.PageCount(), 1);

    // Without the creator's right nothing is asked or changed.
    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = 9, \"filial_protect\" = 1, "
                       "\"myacc_id\" = 77 WHERE \"filial\" = '乙'"));
    App().CurrentUser->acc_id = 5;
    Click(QStringLiteral("乙"));
    ui_->ExpectMsgBox(vb::OK);
    Book("b_lineoff");
    EXPECT_EQ(LastDialog().text, QStringLiteral("创建者不允许拆分！"));
    EXPECT_EQ(LastDialog().style, vb::Critical);
    EXPECT_EQ(FatherOf(QStringLiteral("丁")), QStringLiteral("乙"));
}

TEST_F(DsptreeBookToolbarTest, SetUpRedrawsOnlyWhenThePageSizeChanged) {
    dsptree& w = *window_;
    const auto mark = [&] { Node(QStringLiteral("甲"))->setData(0, Qt::UserRole + 7, true); };
    const auto marked = [&] { return Node(QStringLiteral("甲"))->data(0, Qt::UserRole + 7).toBool(); };
    mark();
    ui_->ExpectForm(QStringLiteral("FrmSysSetup"), [](QObject*) {
        EXPECT_EQ(App().FormParamString2, QStringLiteral("1"));
        App().FormParamString2.clear();
        return 0;
    });
    Book("b_syssetup");
    EXPECT_TRUE(marked());
    EXPECT_EQ(w.PageCount(), 1);

    ui_->ExpectForm(QStringLiteral("FrmSysSetup"), [](QObject*) {
        App().FormParamString2 = QStringLiteral("1");
        App().NodesPerPage = 2;
        App().RepaginateNeeded = true;
        return 1;
    });
    Book("b_syssetup");
    EXPECT_EQ(w.PageCount(), 4);                          // 7 members, 2 a page
    EXPECT_FALSE(Nodes().Exists(QStringLiteral("_丁")));  // page 1 holds fewer now
    EXPECT_GE(PageStartStore().HighestPage(), 2);
}

TEST_F(DsptreeBookToolbarTest, ExitLeavesEditModeAndCloses) {
    dsptree& w = *window_;
    Click(QStringLiteral("甲"));
    w.SetEditMode(true);
    w.ShowEditor();
    Book("b_exit");
    EXPECT_FALSE(w.EditMode());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(launcher_->isVisible());
    EXPECT_EQ(GetAppSetting(QStringLiteral("dividerpage")).isEmpty(), false);
}

}  // namespace
