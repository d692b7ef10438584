#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/forms/frm_test.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"

namespace {

const QString kDestroy = QStringLiteral("您真的下定了决心销毁所有数据，并生成测试数据吗？");
const QString kMinute = QStringLiteral("即如此，请输入现在的分钟数:");
constexpr int kAskStyle = vb::YesNo + vb::Exclamation + vb::DefaultButton2;

class FrmTestTest : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        previousSink_ = SetProgressSink(std::make_unique<CountingProgress>());
        script_ = InstallScriptedInteraction(&previousUi_);
        OpenDataDb(DataDbPath(), BookDbPassword());
        App().DataDb.Execute("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES ('王大', '')");
        App().DataDb.Execute("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES ('王大', '族长')");
        form_ = std::make_unique<FrmTest>();
        form_->setClock([] { return QTime(14, 34, 59); });
        form_->show();
    }
    void TearDown() override {
        form_.reset();
        SetInteraction(std::move(previousUi_));
        SetProgressSink(std::move(previousSink_));
        BookFixture::TearDown();
    }

    QComboBox* Count() const { return form_->findChild<QComboBox*>(QStringLiteral("CmbTestNum")); }
    static qint64 MemberCount() {
        return App().DataDb.Scalar("SELECT count(*) FROM \"本姓成员\"").toLongLong();
    }
    // The book as the test left it: the one member and its keyword.
    static bool Untouched() {
        return MemberCount() == 1 &&
               App().DataDb.Scalar("SELECT count(*) FROM \"pageindx\"").toLongLong() == 1 &&
               static_cast<CountingProgress&>(Progress()).shows == 0;
    }
    // Presses OK with the count typed, answering the questions from the script.
    void PressOK(const QString& count) {
        Count()->setEditText(count);
        form_->CmdOK_Click();
    }

    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<Interaction> previousUi_;
    std::unique_ptr<ProgressSink> previousSink_;
    std::unique_ptr<FrmTest> form_;
};

TEST_F(FrmTestTest, ControlsCarryTheirNamesCaptionsAndPresets) {
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("生成测试数据"));
    EXPECT_EQ(form_->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("生成子女总数："));
    EXPECT_EQ(form_->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
              QStringLiteral("请先备份所有的数据！"));
    EXPECT_EQ(form_->findChild<QPushButton*>(QStringLiteral("CmdOK"))->text(), QStringLiteral("确定"));
    EXPECT_EQ(form_->findChild<QPushButton*>(QStringLiteral("CmdCancel"))->text(), QStringLiteral("取消"));
    QStringList items;
    for (int i = 0; i < Count()->count(); ++i) items << Count()->itemText(i);
    EXPECT_EQ(items, QStringList({"1000", "5000", "10000", "50000", "100000", "500000", "1000000", "5000000",
                                  "10000000", "50000000", "100000000"}));
    EXPECT_TRUE(Count()->isEditable());

    FrmTest::RegisterForm();
    std::unique_ptr<QObject> registered(FormRegistry::Create(QStringLiteral("FrmTest")));
    FormRegistry::Unregister(QStringLiteral("FrmTest"));
    EXPECT_NE(qobject_cast<FrmTest*>(registered.get()), nullptr);
}

TEST_F(FrmTestTest, CaptionsFollowTheTraditionalInterface) {
    App().Translator = std::make_shared<ClsLanguage>();
    App().LanguageId = 1;
    FrmTest traditional;
    EXPECT_EQ(traditional.windowTitle(), QStringLiteral("生成測試數據"));
    EXPECT_EQ(traditional.findChild<QLabel*>(QStringLiteral("Label3"))->text(),
              QStringLiteral("請先備份所有的數據！"));
}

TEST_F(FrmTestTest, RightMinuteReplacesTheBookAndANegativeCountBecomesTwo) {
    script_->ExpectMsgBox(vb::Yes);
    script_->ExpectInput(QStringLiteral("34"));
    PressOK(QStringLiteral("-5"));
    EXPECT_EQ(Count()->currentText(), QStringLiteral("2"));
    EXPECT_EQ(MemberCount(), 15);
    EXPECT_EQ(App().DataDb.Scalar("SELECT \"father\" FROM \"本姓成员\" WHERE \"filial\"='B2'").toString(),
              QStringLiteral("B1"));
    EXPECT_EQ(App().DataDb.Scalar("SELECT count(*) FROM \"pageindx\"").toLongLong(), 0);
    ASSERT_TRUE(script_->AllConsumed());
    ASSERT_EQ(script_->log().size(), 2u);
    EXPECT_EQ(script_->log()[0].text, kDestroy);
    EXPECT_EQ(script_->log()[0].style, kAskStyle);
    EXPECT_EQ(script_->log()[1].text, kMinute);
    EXPECT_EQ(script_->log()[1].initial, QStringLiteral("-1"));
    EXPECT_FALSE(form_->isVisible());
}

TEST_F(FrmTestTest, AnythingButYesWithTheRightMinuteChangesNothingAndCloses) {
    struct Case {
        int answer;
        QString minute;
        bool cancel;
    };
    for (const Case& c :
         {Case{vb::No, {}, false}, Case{vb::Yes, "33", false}, Case{vb::Yes, "-1", false},
          Case{vb::Yes, "35", false}, Case{vb::Yes, "99999999999", false}, Case{vb::Yes, "34", true}}) {
        form_->show();
        script_->ExpectMsgBox(c.answer);
        if (c.answer == vb::Yes) script_->ExpectInput(c.minute, c.cancel);
        PressOK(QStringLiteral("1000"));
        EXPECT_TRUE(script_->AllConsumed()) << qPrintable(c.minute);
        EXPECT_TRUE(Untouched()) << qPrintable(c.minute);
        EXPECT_FALSE(form_->isVisible()) << qPrintable(c.minute);
    }
}

TEST_F(FrmTestTest, AtMinuteZeroABlankOrCancelledAnswerIsNoConfirmation) {
    form_->setClock([] { return QTime(9, 0, 5); });
    for (const auto& [answer, cancel] :
         {std::pair{QString(), true}, std::pair{QString(), false}, std::pair{QStringLiteral("abc"), false}}) {
        script_->ExpectMsgBox(vb::Yes);
        script_->ExpectInput(answer, cancel);
        PressOK(QStringLiteral("1000"));
        EXPECT_TRUE(Untouched()) << qPrintable(answer);
    }
    // "0" itself is the minute.
    script_->ExpectMsgBox(vb::Yes);
    script_->ExpectInput(QStringLiteral("0"));
    PressOK(QStringLiteral("0"));
    EXPECT_EQ(MemberCount(), 5);
}

TEST_F(FrmTestTest, CountsAboveAMillionAskOnceMoreNamingTheMembers) {
    script_->ExpectMsgBox(vb::Yes);
    script_->ExpectInput(QStringLiteral("34"));
    script_->ExpectMsgBox(vb::No);
    PressOK(QStringLiteral("5000000"));
    ASSERT_TRUE(script_->AllConsumed());
    ASSERT_EQ(script_->log().size(), 3u);
    EXPECT_EQ(script_->log()[2].text,
              QStringLiteral("这将生成25000005个成员，需要很长的时间和很大的磁盘空间。确定继续吗？"));
    EXPECT_EQ(script_->log()[2].style, kAskStyle);
    EXPECT_TRUE(Untouched());

    // A wrong minute ends it before that question.
    script_->ExpectMsgBox(vb::Yes);
    script_->ExpectInput(QStringLiteral("12"));
    PressOK(QStringLiteral("1000001"));
    EXPECT_TRUE(script_->AllConsumed());
    EXPECT_EQ(script_->log().size(), 5u);
    EXPECT_TRUE(Untouched());
}

TEST_F(FrmTestTest, ACountBeyondThirtyTwoBitsIsRefusedAndTheFormStays) {
    script_->ExpectMsgBox(vb::OK);
    PressOK(QStringLiteral("3000000000"));
    ASSERT_TRUE(script_->AllConsumed());
    ASSERT_EQ(script_->log().size(), 1u);
    EXPECT_EQ(script_->log()[0].text, QStringLiteral("生成子女总数太大，请重新输入！"));
    EXPECT_EQ(script_->log()[0].style, vb::Exclamation);
    EXPECT_TRUE(form_->isVisible());
    EXPECT_TRUE(Untouched());
}

TEST_F(FrmTestTest, ADatabaseErrorIsReportedAndNothingIsLost) {
    App().DataDb.Execute(
        "CREATE TRIGGER \"stop_b3\" BEFORE INSERT ON \"本姓成员\" WHEN NEW.\"filial\"='B3' "
        "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    script_->ExpectMsgBox(vb::Yes);
    script_->ExpectInput(QStringLiteral("34"));
    script_->ExpectMsgBox(vb::OK);
    PressOK(QStringLiteral("10"));
    ASSERT_TRUE(script_->AllConsumed());
    EXPECT_TRUE(
        script_->log().back().text.startsWith(QStringLiteral("生成测试数据失败，原有数据没有改变。\n")));
    EXPECT_TRUE(script_->log().back().text.contains(QStringLiteral("disk full")));
    EXPECT_EQ(script_->log().back().style, vb::Critical);
    EXPECT_EQ(MemberCount(), 1);
    EXPECT_EQ(App().DataDb.Scalar("SELECT count(*) FROM \"pageindx\"").toLongLong(), 1);
    EXPECT_FALSE(Progress().IsShown());
}

TEST_F(FrmTestTest, CancelClosesWithoutAQuestion) {
    form_->CmdCancel_Click();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(script_->log().empty());
    EXPECT_TRUE(Untouched());
}

}  // namespace
