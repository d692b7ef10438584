#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "frame/text_scramble.h"
#include "member/forms/frm_sys_setup.h"
#include "member/hint_lists.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "platform/vbcompat.h"
#include "store/setup_rules.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"
#include "support/temp_book.h"

namespace {

const QString kRow0 = QStringLiteral("www.x.cn%0571-1%某公司%30");
const QString kRow1 = QStringLiteral("qq 123%工行 1%农行 2");

// Both rows of the settings record as stored, unscrambled: "row 0|row 1".
QString StoredRecord() {
    QStringList rows;
    for (int whnt : {0, 1}) {
        const QVariant flg = App().DataDb.Scalar(
            QStringLiteral("SELECT \"flg\" FROM \"pswdylk\" WHERE \"whnt\"=? ORDER BY rowid LIMIT 1"),
            {whnt});
        rows << DecodeText(flg.toString(), SettingsKey());
    }
    return rows.join(QLatin1Char('|'));
}

void StoreRecord(const QString& row0, const QString& row1) {
    dao::Database& db = App().DataDb;
    db.Execute(QStringLiteral("DELETE FROM \"pswdylk\""));
    db.Execute(QStringLiteral("INSERT INTO \"pswdylk\" (\"whnt\", \"flg\") VALUES (0, ?), (1, ?)"),
               {EncodeText(row0, SettingsKey()), EncodeText(row1, SettingsKey())});
}

QStringList EthnicRows() {
    QStringList rows;
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\"=1 ORDER BY rowid"));
    for (; !rs.EOF_(); rs.MoveNext()) rows << rs.Text("msgName");
    return rows;
}

QStringList Items(QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

class FrmSysSetupTest : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    void SetUp() override {
        AppState& app = App();
        app.NodesPerPage = 30;
        app.RepaginateNeeded = false;
        app.FormParamString2 = QStringLiteral("left over");
        app.SurnameLength = 1;
        app.ChildInputStyle = 1;
        app.DefaultAlive = true;
        app.DefaultTitle.clear();
        app.DefaultTitleSuffix.clear();
        app.DefaultFolk.clear();
        app.LanguageId = 0;
        app.PrevLanguageId = 0;
        app.Translator = std::make_shared<ClsLanguage>();
        StoreRecord(kRow0, kRow1);
        App().DataDb.Execute(QStringLiteral("DELETE FROM \"rowcolctrl\""));
        SaveAppSetting(QStringLiteral("curinput"), QString());
        script_ = InstallScriptedInteraction();
        form_ = std::make_unique<FrmSysSetup>();
        form_->Form_Load();
    }
    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(script_->AllConsumed());
        SetInteraction(nullptr);
    }

    template <typename T>
    T* control(const char* name) const {
        T* found = form_->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* perPage() const { return control<QLineEdit>("Txt子女数"); }
    QComboBox* folk() const { return control<QComboBox>("Cmb民族"); }

    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<FrmSysSetup> form_;
};

// The module values the window sets, in one line.
QString Defaults() {
    const AppState& app = App();
    return QStringList{QString::number(app.NodesPerPage),
                       CStr(app.RepaginateNeeded),
                       app.FormParamString2,
                       QString::number(app.SurnameLength),
                       QString::number(app.ChildInputStyle),
                       CStr(app.DefaultAlive),
                       app.DefaultTitle,
                       app.DefaultTitleSuffix,
                       app.DefaultFolk}
        .join(QLatin1Char('|'));
}

TEST_F(FrmSysSetupTest, OkWithoutChangesRewritesTheSameFieldsAndKeepsTheDefaults) {
    AppState& app = App();
    app.SurnameLength = 2;
    app.ChildInputStyle = 2;
    app.DefaultAlive = false;
    app.DefaultTitle = QStringLiteral("世祖");
    app.DefaultTitleSuffix = QStringLiteral("名加[公]");
    app.DefaultFolk = QStringLiteral("回族");
    SaveAppSetting(QStringLiteral("curinput"), QStringLiteral("我的模板"));
    form_ = std::make_unique<FrmSysSetup>();
    form_->Form_Load();
    EXPECT_EQ(perPage()->text(), QStringLiteral("30"));
    EXPECT_EQ(app.FormParamString2, QString());
    // Gone before OK, so that what is there afterwards was written by it.
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"pswdylk\""));

    form_->CmdOK_Click();
    EXPECT_EQ(form_->result(), QDialog::Accepted);
    EXPECT_EQ(StoredRecord(), kRow0 + "|" + kRow1);
    EXPECT_EQ(Defaults(), QStringLiteral("30|False||2|2|False|世祖|名加[公]|回族"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("curinput")), QStringLiteral("我的模板"));
}

TEST_F(FrmSysSetupTest, ThirtyToFortyRepaginatesWhenShownByName) {
    FrmSysSetup::RegisterForm();
    script_->ExpectForm(QStringLiteral("FrmSysSetup"), [](QObject* object) {
        auto* form = qobject_cast<FrmSysSetup*>(object);
        EXPECT_NE(form, nullptr);
        if (!form) return 0;
        form->findChild<QLineEdit*>(QStringLiteral("Txt子女数"))->setText(QStringLiteral("40"));
        form->CmdOK_Click();
        return form->result();
    });
    EXPECT_EQ(UI().ShowForm(QStringLiteral("FrmSysSetup"), true), 1);
    FormRegistry::Unregister(QStringLiteral("FrmSysSetup"));
    EXPECT_EQ(Defaults(), QStringLiteral("40|True|1|1|1|True|||"));
    EXPECT_EQ(StoredRecord(), "www.x.cn%0571-1%某公司%40|" + kRow1);
}

TEST_F(FrmSysSetupTest, MembersPerPageIsAWholeNumberOfAtLeastFive) {
    const QList<std::pair<QString, QString>> cases = {
        {"abc", "5"},   {"3", "5"},     {"%", "5"},   {"40%", "40"},
        {" 4 5", "45"}, {"7.5", "8"},   {"8.5", "8"}, {"-30", "5"},
        {"1e400", "5"}, {"&H10", "16"}, {"", "5"},    {"99999999999", "2147483647"}};
    for (const auto& [typed, shown] : cases) {
        perPage()->setText(typed);
        form_->Txt子女数_LostFocus();
        EXPECT_EQ(perPage()->text(), shown) << qPrintable(typed);
    }
    // Leaving the box by the keyboard or the mouse runs the rule; a context menu does not.
    perPage()->setText(QStringLiteral("2"));
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(perPage(), &popup);
    EXPECT_EQ(perPage()->text(), QStringLiteral("2"));
    QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(perPage(), &tab);
    EXPECT_EQ(perPage()->text(), QStringLiteral("5"));
}

TEST_F(FrmSysSetupTest, OkAppliesTheRuleWithoutTheFocusEverLeaving) {
    perPage()->setText(QStringLiteral("abc"));
    form_->CmdOK_Click();
    EXPECT_EQ(StoredRecord(), "www.x.cn%0571-1%某公司%5|" + kRow1);
    EXPECT_EQ(App().NodesPerPage, 5);
    EXPECT_EQ(App().FormParamString2, QStringLiteral("1"));

    // A "%" never reaches the record, so the fields after it keep their places.
    form_ = std::make_unique<FrmSysSetup>();
    form_->Form_Load();
    perPage()->setText(QStringLiteral("2%0"));
    form_->CmdOK_Click();
    EXPECT_EQ(StoredRecord(), "www.x.cn%0571-1%某公司%5|" + kRow1);
    EXPECT_EQ(App().FormParamString2, QString());
    SettingsRecord record = SettingsRecord::Load();
    EXPECT_EQ(record.field(4), QStringLiteral("5"));
    EXPECT_EQ(record.field(5), QStringLiteral("qq 123"));
}

TEST_F(FrmSysSetupTest, SurnameOptionAndInputStyle) {
    auto* chk = control<QCheckBox>("ChkGetX");
    auto* chars = control<QLineEdit>("Txt姓字");
    chk->click();
    EXPECT_FALSE(chk->isChecked());
    control<QRadioButton>("Optn2")->setChecked(true);
    form_->CmdOK_Click();
    EXPECT_EQ(App().SurnameLength, 0);
    EXPECT_EQ(App().ChildInputStyle, 2);

    form_ = std::make_unique<FrmSysSetup>();
    form_->Form_Load();
    chk = control<QCheckBox>("ChkGetX");
    chars = control<QLineEdit>("Txt姓字");
    EXPECT_FALSE(chk->isChecked());
    EXPECT_TRUE(control<QRadioButton>("Optn2")->isChecked());
    chars->setText(QStringLiteral("7"));
    chk->click();
    EXPECT_EQ(chars->text(), QStringLiteral("1"));

    const QList<std::pair<QString, qint32>> cases = {
        {"0", 1}, {"abc", 1}, {"2", 2}, {"2.5", 2}, {"99999", 32767}};
    for (const auto& [typed, stored] : cases) {
        form_ = std::make_unique<FrmSysSetup>();
        form_->Form_Load();
        control<QCheckBox>("ChkGetX")->setChecked(true);
        control<QLineEdit>("Txt姓字")->setText(typed);
        form_->CmdOK_Click();
        EXPECT_EQ(App().SurnameLength, stored) << qPrintable(typed);
        EXPECT_EQ(control<QLineEdit>("Txt姓字")->text(), QString::number(stored));
    }
}

TEST_F(FrmSysSetupTest, CancelSavesNothing) {
    perPage()->setText(QStringLiteral("40"));
    control<QCheckBox>("ChkGetX")->click();
    control<QComboBox>("CmbInput")->setCurrentText(QStringLiteral("别的模板"));
    App().FormParamString2 = QStringLiteral("x");
    form_->CmdCancel_Click();
    EXPECT_EQ(form_->result(), QDialog::Rejected);
    EXPECT_EQ(StoredRecord(), kRow0 + "|" + kRow1);
    EXPECT_EQ(Defaults(), QStringLiteral("30|False||1|1|True|||"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("curinput")), QString());
}

TEST_F(FrmSysSetupTest, EthnicGroupsWithQuotesLongNamesAndBlanks) {
    const QStringList shipped = EthnicRows();
    folk()->setCurrentText(QStringLiteral("阿'族"));
    form_->CmdAdd_Click();
    EXPECT_EQ(EthnicRows(), shipped + QStringList{"阿'族"});
    EXPECT_EQ(Items(folk()).last(), QStringLiteral("阿'族"));
    EXPECT_EQ(folk()->currentText(), QStringLiteral("阿'族"));
    form_->CmdOK_Click();
    EXPECT_EQ(App().DefaultFolk, QStringLiteral("阿'族"));

    form_ = std::make_unique<FrmSysSetup>();
    form_->Form_Load();
    EXPECT_EQ(folk()->currentText(), QStringLiteral("阿'族"));
    folk()->setCurrentText(QStringLiteral(" 阿'族 "));
    form_->CmdDelte_Click();
    EXPECT_EQ(EthnicRows(), shipped);
    EXPECT_FALSE(Items(folk()).contains(QStringLiteral("阿'族")));

    // The first 50 characters, stored as the list shows them, so that Delete finds them again.
    const QString longName = QString(60, QChar(u'族'));
    folk()->setCurrentText(QStringLiteral("  ") + longName);
    form_->CmdAdd_Click();
    EXPECT_EQ(EthnicRows().last(), longName.left(50));
    folk()->setCurrentText(longName.left(50));
    form_->CmdDelte_Click();
    EXPECT_EQ(EthnicRows(), shipped);

    folk()->setCurrentText(QStringLiteral("   "));
    form_->CmdAdd_Click();
    EXPECT_EQ(EthnicRows(), shipped);
}

TEST_F(FrmSysSetupTest, DeletingTemplatesSparesTheBuiltInOneAndListLayouts) {
    dao::Database& db = App().DataDb;
    const QString insert = QStringLiteral(
        "INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_width\", \"col_visible\", "
        "\"seqno\") "
        "VALUES (?, ?, ?, 0, 0)");
    db.Execute(insert, {QStringLiteral("甲模板"), QStringLiteral("Lbl_b称%称："), 0});
    db.Execute(insert, {QStringLiteral("乙'模板"), QStringLiteral("Lbl_b号%号："), 0});
    db.Execute(insert, {QStringLiteral("乙'模板"), QStringLiteral("filial"), 120});
    db.Execute(insert, {Cls提示::kBuiltInTemplate, QStringLiteral("Lbl_b字%字："), 0});
    SaveAppSetting(QStringLiteral("curinput"), QStringLiteral("甲模板"));
    form_ = std::make_unique<FrmSysSetup>();
    form_->Form_Load();
    auto* input = control<QComboBox>("CmbInput");
    EXPECT_EQ(Items(input), QStringList({Cls提示::kBuiltInTemplate, "乙'模板", "甲模板"}));
    EXPECT_EQ(input->currentText(), QStringLiteral("甲模板"));
    const auto rows = [&] {
        return db.Scalar(QStringLiteral("SELECT count(*) FROM \"rowcolctrl\"")).toInt();
    };

    input->setCurrentText(Cls提示::kBuiltInTemplate);
    form_->CmdDelTemp_Click();
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(input->currentText(), Cls提示::kBuiltInTemplate);

    input->setCurrentText(QStringLiteral("乙'模板"));
    form_->CmdDelTemp_Click();
    EXPECT_EQ(rows(), 3);  // its list layout stays
    EXPECT_EQ(Items(input), QStringList({Cls提示::kBuiltInTemplate, "甲模板"}));
    EXPECT_EQ(input->currentText(), QStringLiteral("甲模板"));
}

TEST_F(FrmSysSetupTest, TraditionalCaptionsAndLists) {
    App().LanguageId = 1;
    form_ = std::make_unique<FrmSysSetup>();
    form_->Form_Load();
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("系統設置"));
    EXPECT_EQ(control<QPushButton>("CmdDelTemp")->text(), QStringLiteral("刪除輸入模板"));
    EXPECT_EQ(control<QComboBox>("Cmb称")->itemText(3), QStringLiteral("遠祖"));
    EXPECT_EQ(control<QComboBox>("Cmb加称")->itemText(4), QStringLiteral("世祖廟"));
}

TEST_F(FrmSysSetupTest, EnterMovesOnAndNeverPressesAButton) {
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    perPage()->setFocus();
    perPage()->setText(QStringLiteral("abc"));
    QTest::keyClick(perPage(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), control<QComboBox>("CmbInput"));
    EXPECT_EQ(perPage()->text(), QStringLiteral("5"));
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(App().FormParamString2, QString());
}

}  // namespace

// Without the members database the window says why and cannot blank the record.
TEST(FrmSysSetupNoBook, ReadFailureIsSaidAndOkIsOff) {
    TempBook empty;
    ResetAppState();
    ScriptedInteraction* log = InstallScriptedInteraction();
    log->ExpectMsgBox(vb::OK);
    {
        FrmSysSetup form;
        form.Form_Load();
        ASSERT_EQ(log->log().size(), 1u);
        EXPECT_EQ(log->log()[0].style, vb::Critical);
        EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("CmdOK"))->isEnabled());
        form.CmdOK_Click();
        EXPECT_EQ(form.result(), 0);
    }
    SetInteraction(nullptr);
    ResetAppState();
    dao::ReleaseAllIdleConnections();
}
