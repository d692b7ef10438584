#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <memory>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "mainwin/forms/frm_little.h"
#include "member/hint_lists.h"
#include "member/member_record.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

// One book for the suite: 王甲 and 王甲分支 are members, 王甲 has the page keyword 族规, and the
// famous-person list holds 文人 and 武将.
class FrmLittleModesTest : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
        dao::Database& db = App().DataDb;
        for (const char* name : {"王甲", "王甲分支"})
            db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, '')"),
                       {QString::fromUtf8(name)});
        Cls提示().SaveP_Key(QStringLiteral("王甲"), QStringLiteral("族规"));
    }
    void SetUp() override {
        OpenDataDb(DataDbPath(), BookDbPassword());
        App().DataDb.Execute(QStringLiteral("DELETE FROM \"tempinfo\" WHERE \"pageflag\" = 3"));
        Cls提示().Add名人谱(QStringLiteral("文人"));
        Cls提示().Add名人谱(QStringLiteral("武将"));
        App().SharedMember = std::make_shared<Cls子女>();
        App().CurrentUser = std::make_shared<Cls_User>();
        App().SurnameLength = 1;
        ui_ = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(ui_->AllConsumed());
        SetInteraction(std::move(previous_));
    }

    FrmLittle& Open(int mode, const QString& request, const QString& request2 = QString()) {
        App().FormParamString = request;
        App().FormParamString2 = request2;
        form_ = std::make_unique<FrmLittle>();
        form_->setRunType(mode);
        form_->Form_Load();
        return *form_;
    }
    QString Prompt() { return form_->findChild<QLabel*>(QStringLiteral("LblMsg"))->text(); }
    QComboBox* Combo() { return form_->findChild<QComboBox*>(QStringLiteral("Cmb指定为")); }
    QLineEdit* Field() { return form_->findChild<QLineEdit*>(QStringLiteral("TxtDestNode")); }
    bool Shown(const char* name) { return !form_->findChild<QWidget*>(QString::fromUtf8(name))->isHidden(); }
    QStringList Items() {
        QStringList out;
        for (int i = 0; i < Combo()->count(); ++i) out << Combo()->itemText(i);
        return out;
    }
    // OK: the answer, or nothing when the dialog stayed open.
    std::optional<QString> Ok() {
        form_->CmdOK_Click();
        if (form_->result() != QDialog::Accepted) return std::nullopt;
        return App().FormParamString;
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    std::unique_ptr<FrmLittle> form_;
};

TEST_F(FrmLittleModesTest, CancelAnswersNothingInModesOneToNine) {
    for (int mode = 1; mode <= 9; ++mode) {
        if (mode == 8) continue;  // the QQ mode has its own tests
        Open(mode, QStringLiteral("%d%王甲").replace("%d", QString::number(mode)), QStringLiteral("2"));
        form_->CmdCancel_Click();
        EXPECT_EQ(App().FormParamString, QString()) << mode;
        EXPECT_EQ(form_->result(), QDialog::Rejected);
    }
    Open(10, QStringLiteral("王甲%家训"));
    form_->CmdCancel_Click();
    EXPECT_EQ(App().FormParamString, QStringLiteral("王甲"));
}

TEST_F(FrmLittleModesTest, LivingOrDead) {
    Open(1, QString());
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("设置子代在世或过世"));
    EXPECT_EQ(Prompt(), QStringLiteral("当前结点所有后人："));
    EXPECT_TRUE(Shown("Optn在世") && Shown("Optn过世"));
    EXPECT_FALSE(Shown("Cmb指定为") || Shown("TxtDestNode"));
    EXPECT_EQ(Ok(), QStringLiteral("-1"));
    Open(1, QString());
    form_->findChild<QRadioButton*>(QStringLiteral("Optn过世"))->setChecked(true);
    EXPECT_EQ(Ok(), QStringLiteral("1"));
}

TEST_F(FrmLittleModesTest, FamousPersonList) {
    App().SurnameLength = 0;
    Open(2, QStringLiteral("2%王甲"));
    EXPECT_EQ(App().SurnameLength, 1);
    EXPECT_EQ(form_->tag(), QStringLiteral("王甲"));
    EXPECT_EQ(Prompt(), QStringLiteral("将 王甲 纳入："));
    EXPECT_EQ(Items(), (QStringList{"王氏文人", "王氏武将", ""}));
    EXPECT_TRUE(Shown("CmdAdd") && Shown("CmdDelete"));

    Combo()->setEditText(QStringLiteral("王氏商人"));
    form_->CmdAdd_Click();
    Combo()->setEditText(QStringLiteral("  {隐士}% "));  // no prefix: taken whole, once cleaned
    form_->Cmb指定为_LostFocus();
    form_->CmdAdd_Click();
    EXPECT_EQ(Items(), (QStringList{"王氏文人", "王氏武将", "王氏商人", "王氏隐士"}));
    Combo()->setEditText(QStringLiteral("王氏文人"));
    form_->CmdDelete_Click();
    EXPECT_EQ(Items(), (QStringList{"王氏武将", "王氏商人", "王氏隐士", ""}));
    Combo()->setCurrentIndex(0);
    EXPECT_EQ(Ok(), QStringLiteral("王氏武将"));
}

TEST_F(FrmLittleModesTest, CrossPageDestinationMustBeAMember) {
    Open(3, QStringLiteral("3%王乙"));
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("跨页拖动"));
    EXPECT_EQ(Prompt(), QStringLiteral("将 王乙 拖动到："));
    EXPECT_EQ(Field()->text(), QString());
    Field()->setText(QStringLiteral("王丙"));
    ui_->ExpectMsgBox(vb::OK);
    EXPECT_EQ(Ok(), std::nullopt);
    EXPECT_EQ(ui_->log().back().text, QStringLiteral("世录中还没有此人资料！"));
    EXPECT_EQ(ui_->log().back().style, vb::Critical);
    Field()->setText(QStringLiteral(" 王'甲%} "));
    EXPECT_EQ(Ok(), QStringLiteral("王甲"));
    EXPECT_EQ(App().SharedMember->strBoy, QStringLiteral("王甲"));
    Open(3, QStringLiteral("3%王乙"));
    EXPECT_EQ(Ok(), QString());
}

TEST_F(FrmLittleModesTest, PageChoice) {
    Open(4, QStringLiteral("5"), QStringLiteral("3"));
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("翻页选择"));
    EXPECT_EQ(Items(), (QStringList{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Combo()->currentText(), QStringLiteral("3"));
    EXPECT_EQ(Combo()->lineEdit()->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(Ok(), QStringLiteral("3"));
    Open(4, QStringLiteral("abc"), QStringLiteral("x"));
    EXPECT_EQ(Items(), QStringList());
    EXPECT_EQ(Combo()->currentText(), QStringLiteral("0"));
}

TEST_F(FrmLittleModesTest, BranchBookNameIsCleanedCutAndMadeUnique) {
    Open(5, QStringLiteral("5% 王甲 "));
    EXPECT_EQ(Prompt(), QStringLiteral("从 王甲 拆分为分支谱："));
    EXPECT_EQ(Field()->text(), QStringLiteral("王甲分支"));
    EXPECT_EQ(Ok(), QStringLiteral("王甲分支[1]"));
    Open(5, QStringLiteral("5%王甲"));
    Field()->setText(QStringLiteral("新'") + QString(50, QChar(0x8C31)));
    EXPECT_EQ(Ok(), QStringLiteral("新") + QString(44, QChar(0x8C31)));
}

TEST_F(FrmLittleModesTest, StartingGenerationStaysInRange) {
    Open(6, QStringLiteral("王甲"));
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("设置起始世代数"));
    EXPECT_EQ(Prompt(), QStringLiteral("王甲 的起始世代数："));
    EXPECT_EQ(Field()->text(), QStringLiteral("1"));
    EXPECT_EQ(Field()->palette().color(QPalette::Text), QColor(255, 0, 0));
    for (const auto& [typed, kept] :
         {std::pair{"12000", "1"}, std::pair{"-1500", "-999"}, std::pair{"5000", "5000"}}) {
        Field()->setText(QString::fromLatin1(typed));
        form_->TxtDestNode_LostFocus();
        EXPECT_EQ(Field()->text(), QString::fromLatin1(kept)) << typed;
    }
    Field()->setText(QStringLiteral("-1500"));
    EXPECT_EQ(Ok(), QStringLiteral("-999"));
}

TEST_F(FrmLittleModesTest, FindAnswersTheTypedText) {
    Open(7, QString());
    EXPECT_EQ(form_->windowTitle(), QStringLiteral("查找"));
    EXPECT_EQ(Prompt(), QStringLiteral("输入您要查找的成员名："));
    Field()->setText(QStringLiteral("王'甲"));
    EXPECT_EQ(Ok(), QStringLiteral("王'甲"));
}

TEST_F(FrmLittleModesTest, ProtectionLevel) {
    for (const auto& [stored, shown] : {std::pair{2, 1}, std::pair{0, 0}, std::pair{7, 0}}) {
        App().CurrentUser->Protected = quint8(stored);
        Open(9, QStringLiteral("77"));
        EXPECT_EQ(Items(), (QStringList{"不允许修改", "不允许修改结构", "允许修改数据和结构"}));
        EXPECT_EQ(Combo()->currentIndex(), shown) << stored;
    }
    const QLabel* prompt = form_->findChild<QLabel*>(QStringLiteral("LblMsg"));
    EXPECT_EQ(Combo()->x(), prompt->x() + prompt->width());
    Combo()->setCurrentIndex(2);
    EXPECT_EQ(Ok(), QStringLiteral("3"));
    EXPECT_EQ(App().CurrentUser->Protected, 3);
}

TEST_F(FrmLittleModesTest, PageKeyword) {
    Open(10, QStringLiteral("王甲%家训"));
    EXPECT_EQ(App().FormParamString, QStringLiteral("王甲"));
    EXPECT_EQ(Prompt(), QStringLiteral("添加页面关键字："));
    EXPECT_EQ(Items(), (QStringList{"家训", "族规"}));
    EXPECT_EQ(Combo()->currentText(), QStringLiteral("家训"));
    EXPECT_FALSE(form_->findChild<QToolButton*>(QStringLiteral("CmdAdd"))->isEnabled());
    form_->CmdDelete_Click();  // does nothing in this mode
    EXPECT_EQ(Ok(), QStringLiteral("王甲"));
    QStringList keys;
    Cls提示().BindP_Key(keys, QStringLiteral("王甲"));
    EXPECT_EQ(keys, (QStringList{"族规", "家训"}));
}

}  // namespace
