#include <gtest/gtest.h>
#include <QListWidget>
#include <QPushButton>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "member/forms/frm_col_select.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

class FrmColSelectTest : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    static void TearDownTestSuite() {
        FormRegistry::Unregister("FrmColSelect");
        SuiteBookFixture::TearDownTestSuite();
    }
    void SetUp() override {
        dao::Database& db = App().DataDb;
        db.Execute("DELETE FROM \"rowcolctrl\"");
        // Out of seqno order on purpose: the lists follow seqno, not the table.
        for (const char* row : {"('member_lst', '住址', 60, 3, 101)", "('member_lst', '职务', 80, 2, 51)",
                                "('member_lst', '姓名', 100, 2, 50)", "('member_lst', '电话', 70, 3, 100)",
                                "('group_lst', '会名', 90, 2, 50)"})
            db.Execute(
                QStringLiteral("INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_width\", "
                               "\"col_visible\", \"seqno\") VALUES ") +
                row);
        App().Translator = std::make_shared<ClsLanguage>();
        App().ListDialogOk = 1;
        ui = InstallScriptedInteraction(&previous_);
        form_ = std::make_unique<FrmColSelect>();
        form_->setDestTable("member_lst");
        form_->Form_Load();
        list1_ = form_->findChild<QListWidget*>("List1");
        list2_ = form_->findChild<QListWidget*>("List2");
    }
    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(ui->AllConsumed());
        SetInteraction(std::move(previous_));
    }

    // Every layout row as "table:col_name seqno/col_visible/col_width", in seqno order per list.
    static QStringList Rows() {
        QStringList rows;
        dao::Recordset rs = App().DataDb.OpenRecordset(
            "SELECT * FROM \"rowcolctrl\" ORDER BY \"table_name\", \"col_visible\", \"seqno\"");
        for (; !rs.EOF_(); rs.MoveNext())
            rows << QStringLiteral("%1:%2 %3/%4/%5")
                        .arg(rs.Text("table_name"), rs.Text("col_name"), rs.Text("seqno"),
                             rs.Text("col_visible"), rs.Text("col_width"));
        return rows;
    }
    static QStringList Items(QListWidget* list) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
        return items;
    }
    void Select(QListWidget* list, const QString& text) {
        list->setCurrentItem(list->findItems(text, Qt::MatchExactly).value(0));
    }
    void Click(const char* button) { form_->findChild<QPushButton*>(button)->click(); }

    ScriptedInteraction* ui = nullptr;
    std::unique_ptr<Interaction> previous_;
    std::unique_ptr<FrmColSelect> form_;
    QListWidget* list1_ = nullptr;
    QListWidget* list2_ = nullptr;
};

TEST_F(FrmColSelectTest, ApplyWritesOrderAndVisibilityAndKeepsWidths) {
    EXPECT_EQ(Items(list2_), QStringList({"姓名", "职务"}));
    EXPECT_EQ(Items(list1_), QStringList({"电话", "住址"}));

    Select(list1_, "住址");
    Click("CmdSelectOne");
    Select(list2_, "住址");
    Click("CmdUp");
    EXPECT_EQ(list2_->currentItem()->text(), "住址");
    Select(list2_, "姓名");
    Click("CmdDown");
    EXPECT_EQ(Items(list2_), QStringList({"住址", "姓名", "职务"}));
    // A column that has no row yet gets one.
    list1_->addItem("籍贯");
    Click("CmdApply");

    EXPECT_EQ(form_->result(), QDialog::Accepted);
    EXPECT_EQ(App().ListDialogOk, 1);
    EXPECT_EQ(Rows(), QStringList({"group_lst:会名 50/2/90", "member_lst:住址 50/2/60",
                                   "member_lst:姓名 51/2/100", "member_lst:职务 52/2/80",
                                   "member_lst:电话 100/3/70", "member_lst:籍贯 101/3/0"}));
}

TEST_F(FrmColSelectTest, MovesWithoutAUsableSelectionDoNothing) {
    list2_->setCurrentRow(0);
    Click("CmdUp");
    list2_->setCurrentRow(1);
    Click("CmdDown");
    EXPECT_EQ(Items(list2_), QStringList({"姓名", "职务"}));
    list1_->setCurrentRow(-1);
    Click("CmdSelectOne");
    EXPECT_EQ(Items(list1_), QStringList({"电话", "住址"}));
    Select(list2_, "职务");
    Click("CmdUnSelectOne");
    EXPECT_EQ(Items(list1_), QStringList({"电话", "住址", "职务"}));
    // The moved entry left no selection behind: a second click moves nothing.
    Click("CmdUnSelectOne");
    EXPECT_EQ(Items(list2_), QStringList({"姓名"}));
}

TEST_F(FrmColSelectTest, CancelAndEmptySelectionWriteNothing) {
    const QStringList before = Rows();
    Select(list2_, "姓名");
    Click("CmdUnSelectOne");
    Select(list2_, "职务");
    Click("CmdUnSelectOne");
    ui->ExpectMsgBox(vb::OK);
    Click("CmdApply");
    ASSERT_EQ(ui->log().size(), 1u);
    EXPECT_EQ(ui->log()[0].text, "至少必须选用一列！");
    EXPECT_EQ(ui->log()[0].style, vb::Critical);
    EXPECT_EQ(form_->result(), 0);
    EXPECT_EQ(App().ListDialogOk, 1);
    EXPECT_EQ(Rows(), before);

    Click("CmdCancel");
    EXPECT_EQ(form_->result(), QDialog::Rejected);
    EXPECT_EQ(App().ListDialogOk, 0);
    EXPECT_EQ(Rows(), before);
}

TEST_F(FrmColSelectTest, AFailedWriteIsReportedAndChangesNothing) {
    const QStringList before = Rows();
    Select(list1_, "住址");
    Click("CmdSelectOne");
    // The first shown column is written, the next one fails: the button must neither crash the event
    // loop nor leave half a layout.
    App().DataDb.Execute(
        "CREATE TEMP TRIGGER \"refuse_layout\" BEFORE UPDATE ON \"rowcolctrl\" "
        "WHEN new.\"col_name\" = '职务' BEGIN SELECT RAISE(ABORT, 'layout refused'); END");
    ui->ExpectMsgBox(vb::OK);
    EXPECT_NO_THROW(Click("CmdApply"));
    App().DataDb.Execute("DROP TRIGGER \"refuse_layout\"");
    ASSERT_EQ(ui->log().size(), 1u);
    EXPECT_TRUE(ui->log()[0].text.contains("layout refused"));
    EXPECT_EQ(ui->log()[0].style, vb::Critical);
    EXPECT_EQ(form_->result(), 0);
    EXPECT_EQ(App().ListDialogOk, 1);
    EXPECT_EQ(Rows(), before);
}

TEST_F(FrmColSelectTest, ShownByNameEditsTheListInFormParamString) {
    FrmColSelect::RegisterForm();
    App().FormParamString = "group_lst";
    QStringList shown;
    ui->ExpectForm("FrmColSelect", [&](QObject* object) {
        auto* form = qobject_cast<FrmColSelect*>(object);
        shown = Items(form->findChild<QListWidget*>("List2"));
        form->CmdCancel_Click();
        return form->result();
    });
    EXPECT_EQ(UI().ShowForm("FrmColSelect", true), QDialog::Rejected);
    EXPECT_EQ(shown, QStringList({"会名"}));
    EXPECT_EQ(App().ListDialogOk, 0);
}

}  // namespace
