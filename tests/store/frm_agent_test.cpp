#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "frame/text_scramble.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/data_ops.h"
#include "store/forms/frm_agent.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

const char* const kBoxes[] = {"TxtWeb", "TxtTel", "TxtGs", "TxtQQ", "TxtMhtkgn1", "TxtMhtkgn2"};

// Both rows of the settings record as stored, unscrambled: "row 0|row 1"; "-" for a missing row.
QString StoredRecord() {
    QStringList rows;
    for (int whnt : {0, 1}) {
        const QVariant flg = App().DataDb.Scalar(
            QStringLiteral("SELECT \"flg\" FROM \"pswdylk\" WHERE \"whnt\"=? ORDER BY rowid LIMIT 1"),
            {whnt});
        rows << (flg.isNull() ? QStringLiteral("-") : DecodeText(flg.toString(), SettingsKey()));
    }
    return rows.join(QLatin1Char('|'));
}

void StoreRow(int whnt, const QString& list) {
    App().DataDb.Execute(QStringLiteral("INSERT INTO \"pswdylk\" (\"whnt\", \"flg\") VALUES (?, ?)"),
                         {whnt, EncodeText(list, SettingsKey())});
}

class FrmAgentTest : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    void SetUp() override {
        App().LanguageId = 0;
        App().PrevLanguageId = 0;
        App().Translator = std::make_shared<ClsLanguage>();
        App().DataDb.Execute(QStringLiteral("DELETE FROM \"pswdylk\""));
        script_ = InstallScriptedInteraction();
    }
    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(script_->AllConsumed());
        SetInteraction(nullptr);
    }

    void open() {
        form_ = std::make_unique<FrmAgent>();
        form_->Form_Load();
    }
    QLineEdit* box(const char* name) const {
        QLineEdit* found = form_->findChild<QLineEdit*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList shown() const {
        QStringList texts;
        for (const char* name : kBoxes) texts << box(name)->text();
        return texts;
    }

    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<FrmAgent> form_;
};

TEST_F(FrmAgentTest, OkWithoutChangesWritesTheSevenFieldsBackInPlace) {
    const QString row0 = QStringLiteral("www.x.cn%0571-1\r\n0571-2%某公司%30");
    const QString row1 = QStringLiteral("QQ: 45678 MSN: x%工行 1%农行 2");
    StoreRow(0, row0);
    StoreRow(1, row1);
    open();
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("联络信息设置"));
    EXPECT_EQ(shown(), QStringList({"www.x.cn", "0571-1\r\n0571-2", "某公司", "QQ: 45678 MSN: x", "工行 1",
                                    "农行 2"}));
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"pswdylk\""));
    form_->CmdOK_Click();
    EXPECT_EQ(form_->result(), QDialog::Accepted);
    EXPECT_EQ(StoredRecord(), row0 + "|" + row1);
}

TEST_F(FrmAgentTest, EditedFieldsRoundTripAndPercentNeverShiftsThem) {
    StoreRow(0, QStringLiteral("old%old%old%40"));
    StoreRow(1, QStringLiteral("old%old%old"));
    open();
    const QStringList typed = {"http://a.cn/?x=1%20", "0571 %123", "经销%商'", "qq%9", "100%", "%"};
    for (int i = 0; i < 6; ++i) box(kBoxes[i])->setText(typed[i]);
    form_->CmdOK_Click();
    EXPECT_EQ(StoredRecord(), "http://a.cn/?x=120%0571 123%经销商'%40|qq9%100%");

    Cls数据操作 ops;
    EXPECT_EQ(ops.ChgPswd2(), "%http://a.cn/?x=120%0571 123%经销商'%40%qq9%100%");
    EXPECT_EQ(ops.GetTeleNo(), QStringLiteral("0571123"));
    EXPECT_EQ(ops.GetQQNo(), QStringLiteral("9"));
    open();
    EXPECT_EQ(shown(), QStringList({"http://a.cn/?x=120", "0571 123", "经销商'", "qq9", "100", ""}));
    // A number written alone keeps its first digit; after a mark or "qq" the number follows it.
    for (const auto& [typed, number] : {std::pair{"12345", "12345"},
                                        {" 678 ", "678"},
                                        {"Q1234", "1234"},
                                        {"QQ:10086 msn", "10086"},
                                        {"", ""}}) {
        App().DataDb.Execute(QStringLiteral("DELETE FROM \"pswdylk\" WHERE \"whnt\"=1"));
        StoreRow(1, QString::fromUtf8(typed) + QStringLiteral("%%"));
        EXPECT_EQ(ops.GetQQNo(), QString::fromUtf8(number)) << typed;
    }
}

TEST_F(FrmAgentTest, ShortRecordShowsBlanksAndOkFillsEveryPosition) {
    StoreRow(0, QStringLiteral("www"));  // row 1 missing
    open();
    EXPECT_EQ(shown(), QStringList({"www", "", "", "", "", ""}));
    box("TxtQQ")->setText(QStringLiteral("qq 1"));
    form_->CmdOK_Click();
    EXPECT_EQ(StoredRecord(), QStringLiteral("www%%%|qq 1%%"));
}

TEST_F(FrmAgentTest, EnterMovesOnAndCancelWritesNothing) {
    StoreRow(0, QStringLiteral("w%t%n%30"));
    StoreRow(1, QStringLiteral("q%p%r"));
    open();
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    for (int i = 0; i < 5; ++i) {
        box(kBoxes[i])->setFocus();
        QTest::keyClick(box(kBoxes[i]), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), box(kBoxes[i + 1])) << kBoxes[i];
    }
    QTest::keyClick(box("TxtMhtkgn2"), Qt::Key_Enter);
    EXPECT_EQ(QApplication::focusWidget(), form_->findChild<QPushButton*>(QStringLiteral("CmdOK")));
    EXPECT_TRUE(form_->isVisible());
    box("TxtWeb")->setText(QStringLiteral("changed"));
    form_->CmdCancel_Click();
    EXPECT_EQ(form_->result(), QDialog::Rejected);
    EXPECT_EQ(StoredRecord(), QStringLiteral("w%t%n%30|q%p%r"));
}

TEST_F(FrmAgentTest, TraditionalCaptionsAndRegistryShow) {
    StoreRow(0, QStringLiteral("w%t%n%30"));
    App().LanguageId = 1;
    FrmAgent::RegisterForm();
    script_->ExpectForm(QStringLiteral("FrmAgent"), [](QObject* object) {
        auto* form = qobject_cast<FrmAgent*>(object);
        EXPECT_NE(form, nullptr);
        if (!form) return 0;
        EXPECT_EQ(form->windowTitle(), QStringLiteral("聯絡信息設置"));
        form->findChild<QLineEdit*>(QStringLiteral("TxtGs"))->setText(QStringLiteral("新代理"));
        form->CmdOK_Click();
        return form->result();
    });
    EXPECT_EQ(UI().ShowForm(QStringLiteral("FrmAgent"), true), 1);
    EXPECT_EQ(StoredRecord(), QStringLiteral("w%t%新代理%30|%%"));
    FormRegistry::Unregister(QStringLiteral("FrmAgent"));
}

}  // namespace
