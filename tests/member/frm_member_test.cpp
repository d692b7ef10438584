#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/forms/window_utils.h"
#include "member/forms/frm_member.h"
#include "member/member_record.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

std::string S(const QString& text) {
    return text.toStdString();
}

const QString kSameNames = QStringLiteral("输入多个子女时，不能有同名！");
const QString kBlankName = QStringLiteral("子女名为空白，不能保存！");
const QString kRangeCapped = QStringLiteral("编号范围太大，只取了前500个编号！");

// One book for the suite; each case starts from an empty member table and the design layout.
class FrmMemberTest : public SuiteBookFixture {
protected:
    void SetUp() override {
        ResetAppState();
        OpenDataDb(DataDbPath(), BookDbPassword());
        Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        Db().Execute(QStringLiteral("DELETE FROM \"rowcolctrl\""));
        SaveAppSetting(QStringLiteral("curinput"), QString());
        App().SharedMember = std::make_shared<Cls子女>();
        ui = InstallScriptedInteraction(&previous_);
        Frm子女::RegisterForm();
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override {
        form_.reset();
        EXPECT_TRUE(ui->AllConsumed()) << ui->remaining() << " dialogs left";
        SetInteraction(std::move(previous_));
        ResetAppState();
    }

    static dao::Database& Db() { return App().DataDb; }
    static Cls子女& Member() { return *App().SharedMember; }

    void Add(const QString& name, const QString& father, const QString& mother = QString()) {
        Db().Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\") VALUES (?, ?, ?)"),
            {name, father, mother});
    }
    // Loads the stored member into the shared record, as the main window does before editing.
    void LoadMember(const QString& name) { ASSERT_EQ(Member().Find自已(name), 0) << S(name); }

    // "filial|father|mother" of every member, in the order they were added.
    QStringList Members() {
        QStringList rows;
        for (dao::Recordset rs = Db().OpenRecordset(QStringLiteral(
                 "SELECT \"filial\", \"father\", \"mother\" FROM \"本姓成员\" ORDER BY \"filial_id\""));
             rs.hasRow(); rs.MoveNext())
            rows << rs.Text("filial") + "|" + rs.Text("father") + "|" + rs.Text("mother");
        return rows;
    }
    QString Column(const QString& name, const char* column) {
        return Db()
            .Scalar(QStringLiteral("SELECT \"%1\" FROM \"本姓成员\" WHERE \"filial\" = ?")
                        .arg(QString::fromUtf8(column)),
                    {name})
            .toString();
    }

    Frm子女* Open(const QString& mode) {
        App().FormParamString = mode;
        form_.reset(dynamic_cast<Frm子女*>(FormRegistry::Create(QStringLiteral("Frm子女"))));
        EXPECT_NE(form_, nullptr);
        closed_ = false;
        QObject::connect(form_.get(), &QDialog::finished, [this] { closed_ = true; });
        return form_.get();
    }
    template <typename T = QWidget>
    T* Get(const char* name) {
        T* w = form_->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Type(const char* name, const QString& text) {
        if (auto* edit = form_->findChild<QLineEdit*>(QString::fromUtf8(name)))
            edit->setText(text);
        else
            Get<QComboBox>(name)->setEditText(text);
    }
    QString Text(const char* name) {
        if (auto* edit = form_->findChild<QLineEdit*>(QString::fromUtf8(name))) return edit->text();
        return Get<QComboBox>(name)->currentText();
    }
    QRect Twips(const char* name) { return form_->GeometryTwips(QString::fromUtf8(name)); }
    bool Shown(const char* name) { return !Get(name)->isHidden(); }

    // Message boxes since the last call, as "style:text".
    QStringList Messages() {
        QStringList out;
        for (size_t i = seen_; i < ui->log().size(); ++i)
            if (ui->log()[i].kind == "MsgBox")
                out << QString::number(ui->log()[i].style) + ":" + ui->log()[i].text;
        seen_ = ui->log().size();
        return out;
    }
    static QString Msg(const QString& text, int style = 0) { return QString::number(style) + ":" + text; }

    void Show() {
        form_->show();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    ScriptedInteraction* ui = nullptr;
    std::unique_ptr<Frm子女> form_;
    bool closed_ = false;

private:
    std::unique_ptr<Interaction> previous_;
    size_t seen_ = 0;
};

TEST_F(FrmMemberTest, NewBookRootCaptionAndAnswer) {
    Member().strFather = QStringLiteral("不该留");
    Frm子女* f = Open(QStringLiteral("@"));
    EXPECT_EQ(S(f->windowTitle()), S(QStringLiteral("创建新谱始祖")));
    EXPECT_EQ(S(App().FormParamString), "");
    EXPECT_EQ(f->FormInputStyle(), 1);
    EXPECT_TRUE(Get<QCheckBox>("ChkSex")->isChecked());
    Type("Txt子女", QStringLiteral("王大"));
    Get<QPushButton>("CmdSave")->click();
    EXPECT_TRUE(closed_);
    EXPECT_EQ(f->result(), QDialog::Accepted);
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("%%王大%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大||")));
}

TEST_F(FrmMemberTest, NewRootTakesANumberWhenTheNameIsTaken) {
    Add(QStringLiteral("王大"), QString());
    Open(QStringLiteral("@"));
    Type("Txt子女", QStringLiteral("王大"));
    Get<QCheckBox>("ChkSex")->setChecked(false);
    form_->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("%%王大[1]%False")));
    EXPECT_EQ(S(Column(QStringLiteral("王大[1]"), "Boy_Sex")), "0");
}

TEST_F(FrmMemberTest, OneChildUnderAFatherWithDefaults) {
    Add(QStringLiteral("王大"), QString());
    App().DefaultFolk = QStringLiteral("汉族");
    App().DefaultTitle = QStringLiteral("世");
    App().DefaultTitleSuffix = QStringLiteral("名加[公]");
    App().DefaultAlive = false;
    Member().strFather = QStringLiteral("王大");
    Member().strMother = QStringLiteral("李氏");
    Member().boy_wei = QStringLiteral("旧讳");
    Frm子女* f = Open(QStringLiteral("+"));
    EXPECT_EQ(S(f->windowTitle()), S(QStringLiteral("增加一个子代")));
    EXPECT_EQ(S(Text("Txt父")), S(QStringLiteral("王大")));
    EXPECT_EQ(S(Text("Txt母")), S(QStringLiteral("李氏")));
    EXPECT_EQ(S(Text("Txt讳")), "");
    EXPECT_EQ(S(Text("Cmb子民族") + Text("Cmb母民族") + Text("Cmb称") + Text("Cmb加称")),
              S(QStringLiteral("汉族汉族世名加[公]")));
    EXPECT_FALSE(Get<QCheckBox>("Chk子在世")->isChecked());
    EXPECT_TRUE(f->findChild<QAction*>(QStringLiteral("Item_Setup"))->isEnabled());
    Type("Txt子女", QStringLiteral("王甲"));
    Type("Txt子过世", QStringLiteral("1950"));
    f->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%李氏%王甲%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大||,王甲|王大|李氏")));
    EXPECT_EQ(S(Column(QStringLiteral("王甲"), "c_jc_w_z_h")), S(QStringLiteral("世%2%%%%")));
    EXPECT_EQ(S(Column(QStringLiteral("王甲"), "boy_death")), "1950");
    EXPECT_EQ(S(Column(QStringLiteral("王甲"), "boy_folk")), S(QStringLiteral("汉族")));
}

TEST_F(FrmMemberTest, SeveralChildrenGetTheSurnameAndDistinctNames) {
    Add(QStringLiteral("王大"), QString());
    Add(QStringLiteral("王乙"), QStringLiteral("别人"));
    App().ChildInputStyle = 2;
    App().SurnameLength = 1;
    Member().strFather = QStringLiteral("王大");
    Member().strMother = QStringLiteral("李氏");
    Frm子女* f = Open(QStringLiteral("+"));
    EXPECT_EQ(f->FormInputStyle(), 2);
    Type("Txt子女", QStringLiteral("甲;乙;丙[3];丙"));
    Type("Txt子生日", QStringLiteral("1900"));
    f->CmdSave_Click();
    const QString names = QStringLiteral("王甲;王乙[1];王丙;王丙[1]");
    EXPECT_EQ(S(Text("Txt子女")), S(QStringLiteral("甲;乙;丙[3];丙")));  // the user's text stays
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%李氏%") + names + QStringLiteral("%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大||,王乙|别人|,王甲|王大|李氏,王乙[1]|王大|李氏,"
                                                       "王丙|王大|李氏,王丙[1]|王大|李氏")));
    // The particulars shown are the father's own and go back to his row.
    EXPECT_EQ(S(Column(QStringLiteral("王大"), "boy_birthday")), "1900");
    EXPECT_EQ(S(Column(QStringLiteral("王甲"), "boy_birthday")), "");
}

TEST_F(FrmMemberTest, OneOfSeveralNamesTakesNoSurname) {
    Add(QStringLiteral("王大"), QString());
    App().ChildInputStyle = 2;
    Member().strFather = QStringLiteral("王大");
    Open(QStringLiteral("+"));
    Type("Txt子女", QStringLiteral("甲"));
    form_->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%%甲%True")));
}

TEST_F(FrmMemberTest, SeveralChildrenFatherParticularsAreLoaded) {
    Add(QStringLiteral("王大"), QString());
    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"boy_birthday\" = '1880', \"boy_active\" = 0, "
                       "\"Boy_Sex\" = 0, \"c_jc_w_z_h\" = '世%3%讳%字%号%谥'"));
    App().ChildInputStyle = 2;
    Member().strFather = QStringLiteral("王大");
    Open(QStringLiteral("+"));
    EXPECT_EQ(S(Text("Txt子生日") + Text("Cmb称") + Text("Cmb加称") + Text("Txt讳") + Text("Txt字") +
                Text("Txt号") + Text("Txt谥")),
              S(QStringLiteral("1880世全名加[公]讳字号谥")));
    EXPECT_FALSE(Get<QCheckBox>("Chk子在世")->isChecked());
    // Children of mode "+" are male unless unticked.
    EXPECT_TRUE(Get<QCheckBox>("ChkSex")->isChecked());
}

TEST_F(FrmMemberTest, RepeatedAndBlankNamesAreRefused) {
    Add(QStringLiteral("王大"), QString());
    App().ChildInputStyle = 2;
    Member().strFather = QStringLiteral("王大");
    Open(QStringLiteral("+"));
    struct Case {
        QString typed;
        QString message;
    };
    for (const Case& c :
         {Case{QStringLiteral("甲;乙;甲"), Msg(kSameNames, 16)},
          Case{QStringLiteral("甲; 甲"), Msg(kSameNames, 16)}, Case{QStringLiteral(";甲"), Msg(kBlankName)},
          Case{QStringLiteral("甲;"), Msg(kBlankName)}, Case{QStringLiteral("甲;;"), Msg(kSameNames, 16)}}) {
        ui->ExpectMsgBox(vb::OK);
        Type("Txt子女", c.typed);
        form_->CmdSave_Click();
        EXPECT_EQ(S(Messages().join('\n')), S(c.message)) << S(c.typed);
        EXPECT_FALSE(closed_);
        EXPECT_EQ(S(Text("Txt子女")), S(c.typed));
        EXPECT_EQ(S(App().FormParamString), "");
    }
    EXPECT_EQ(Members().size(), 1);
}

TEST_F(FrmMemberTest, ChildrenOfAFatherNotInTheBookKeepTheFormOpen) {
    App().ChildInputStyle = 2;
    Member().strFather = QStringLiteral("无名");
    Open(QStringLiteral("+"));
    ui->ExpectMsgBox(vb::OK);
    Type("Txt子女", QStringLiteral("甲;乙"));
    form_->CmdSave_Click();
    EXPECT_EQ(S(Messages().join('\n')), S(Msg(QStringLiteral("父亲“无名”不在本谱中，子女没有保存！"), 48)));
    EXPECT_FALSE(closed_);
    EXPECT_EQ(S(App().FormParamString), "");
    EXPECT_TRUE(Members().isEmpty());

    // Saved again once the father is there: the surname goes in front once.
    EXPECT_EQ(S(Text("Txt子女")), S(QStringLiteral("甲;乙")));
    Add(QStringLiteral("无名"), QString());
    form_->CmdSave_Click();
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("无名||,无甲|无名|,无乙|无名|")));
}

TEST_F(FrmMemberTest, EditWithTheSameNameAndWithAnotherMembersName) {
    Add(QStringLiteral("王大"), QString());
    Add(QStringLiteral("王甲"), QStringLiteral("王大"), QStringLiteral("李氏"));
    Add(QStringLiteral("王乙"), QStringLiteral("王大"), QStringLiteral("李氏"));
    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"boy_active\" = 0, \"boy_death\" = '1950', "
                       "\"Boy_Sex\" = 0, \"c_jc_w_z_h\" = '世%2%讳%字%号%谥' WHERE \"filial\" = '王甲'"));
    App().DefaultFolk = QStringLiteral("不用");
    LoadMember(QStringLiteral("王甲"));
    Frm子女* f = Open(QStringLiteral("?"));
    EXPECT_EQ(S(f->windowTitle()), S(QStringLiteral("修改这个成员")));
    EXPECT_EQ(S(Text("Txt子女") + Text("Cmb加称") + Text("Txt讳") + Text("Txt谥") + Text("Cmb子民族")),
              S(QStringLiteral("王甲名加[公]讳谥")));
    EXPECT_FALSE(Get<QCheckBox>("ChkSex")->isChecked());
    // Unchanged name, death date kept while the member stays unticked as living.
    Type("Cmb加称", QStringLiteral("不是加称"));
    f->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%李氏%王甲%False")));
    EXPECT_EQ(S(Column(QStringLiteral("王甲"), "boy_death")), "1950");
    EXPECT_EQ(S(Column(QStringLiteral("王甲"), "c_jc_w_z_h")), S(QStringLiteral("世%0%讳%字%号%谥")));

    LoadMember(QStringLiteral("王甲"));
    Open(QStringLiteral("?"));
    Type("Txt子女", QStringLiteral("王乙"));
    Get<QCheckBox>("Chk子在世")->setChecked(true);
    form_->CmdSave_Click();
    EXPECT_EQ(S(Text("Txt子女")), S(QStringLiteral("王乙[1]")));
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%李氏%王乙[1]%False")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大||,王乙[1]|王大|李氏,王乙|王大|李氏")));
    EXPECT_EQ(S(Column(QStringLiteral("王乙[1]"), "boy_death")), "");
}

TEST_F(FrmMemberTest, EditKeepsANumberedNameThatIsUnchanged) {
    Add(QStringLiteral("王甲"), QString());
    Add(QStringLiteral("王甲[1]"), QString());
    Add(QStringLiteral("王甲[2]"), QString());
    LoadMember(QStringLiteral("王甲[1]"));
    Open(QStringLiteral("?"));
    form_->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("%%王甲[1]%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王甲||,王甲[1]||,王甲[2]||")));
}

TEST_F(FrmMemberTest, InsertAGenerationAboveARoot) {
    Add(QStringLiteral("王大"), QString(), QStringLiteral("赵氏"));
    Add(QStringLiteral("王甲"), QStringLiteral("王大"));
    App().RootAncestorName = QStringLiteral("王大");
    LoadMember(QStringLiteral("王大"));
    Frm子女* f = Open(QStringLiteral("-"));
    EXPECT_EQ(S(f->windowTitle()), S(QStringLiteral("创建一个始祖")));
    EXPECT_EQ(S(Text("Txt子女")), "");
    Type("Txt子女", QStringLiteral("王祖"));
    f->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("%赵氏%王祖%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大|王祖|赵氏,王甲|王大|,王祖||赵氏")));
    EXPECT_EQ(S(App().RootAncestorName), "");
}

TEST_F(FrmMemberTest, InsertAGenerationAboveAHiddenRootMovesOnlyThatRoot) {
    Add(QStringLiteral("王大"), QStringLiteral("No_Display"), QStringLiteral("赵氏"));
    Add(QStringLiteral("李大"), QStringLiteral("No_Display"), QStringLiteral("孙氏"));
    Add(QStringLiteral("王甲"), QStringLiteral("王大"));
    LoadMember(QStringLiteral("王大"));
    Frm子女* f = Open(QStringLiteral("-"));
    Type("Txt子女", QStringLiteral("王祖"));
    Type("Txt母", QStringLiteral("钱氏"));
    f->CmdSave_Click();
    // The new member takes the hidden root's place; the other hidden root keeps its own.
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大|王祖|赵氏,李大|No_Display|孙氏,王甲|王大|,"
                                                       "王祖|No_Display|钱氏")));
}

TEST_F(FrmMemberTest, InsertAGenerationAboveAFathersChildren) {
    Add(QStringLiteral("王大"), QString());
    Add(QStringLiteral("王甲"), QStringLiteral("王大"), QStringLiteral("李氏"));
    Add(QStringLiteral("王乙"), QStringLiteral("王大"), QStringLiteral("李氏"));
    Add(QStringLiteral("王丁"), QStringLiteral("王甲"));
    LoadMember(QStringLiteral("王甲"));
    Frm子女* f = Open(QStringLiteral("-"));
    EXPECT_EQ(S(f->windowTitle()), S(QStringLiteral("增加一个子代")));
    Type("Txt子女", QStringLiteral("王中;间"));
    Type("Txt母", QStringLiteral("张氏"));
    f->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%张氏%王中间%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大||,王甲|王中间|张氏,王乙|王中间|张氏,王丁|王甲|,"
                                                       "王中间|王大|张氏")));
}

TEST_F(FrmMemberTest, NameSearchAnswersOkOrContinue) {
    App().ChildInputStyle = 1;
    Member().strBoy = QStringLiteral("王甲");
    Frm子女* f = Open(QStringLiteral("s"));
    EXPECT_EQ(S(f->windowTitle()), S(QStringLiteral("查找")));
    EXPECT_EQ(S(Text("Txt子女")), S(QStringLiteral("王甲")));
    EXPECT_EQ(S(Get<QPushButton>("CmdSave")->text()), S(QStringLiteral("找 到 了")));
    EXPECT_TRUE(Shown("CmdContinueFind"));
    EXPECT_EQ(Twips("CmdContinueFind").left(), 1350);
    EXPECT_EQ(Twips("CmdSave").left(), 3030);
    EXPECT_EQ(Twips("CmdCancel").left(), 4770);
    EXPECT_EQ(Get("CmdCancel")->x(), TwipsToPixels(4770));
    f->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), "ok");
    EXPECT_EQ(S(Member().strBoy), "");

    Member().strBoy = QStringLiteral("王甲");
    Open(QStringLiteral("s"));
    Get<QPushButton>("CmdContinueFind")->click();
    EXPECT_EQ(S(App().FormParamString), "s");

    Open(QStringLiteral("s"));
    Type("Txt子女", QString());
    form_->CmdSave_Click();
    EXPECT_TRUE(closed_);
    EXPECT_EQ(S(App().FormParamString), "");
    EXPECT_TRUE(Members().isEmpty());
}

TEST_F(FrmMemberTest, EscCancelAndCloseAnswerNothing) {
    Add(QStringLiteral("王大"), QString());
    for (const QString& mode : {QStringLiteral("-"), QStringLiteral("+"), QStringLiteral("?"),
                                QStringLiteral("@"), QStringLiteral("s")}) {
        LoadMember(QStringLiteral("王大"));
        Open(mode);
        EXPECT_FALSE(Shown("CmdContinueFind") && mode != QStringLiteral("s"));
        Type("Txt子女", QStringLiteral("王新"));
        QTest::keyClick(Get("Txt母"), Qt::Key_Escape);
        EXPECT_TRUE(closed_) << S(mode);
        EXPECT_EQ(S(App().FormParamString), "") << S(mode);

        Open(mode);
        form_->show();
        form_->close();
        EXPECT_TRUE(closed_) << S(mode);
        EXPECT_EQ(S(App().FormParamString), "");

        Open(mode);
        Type("Txt子女", QStringLiteral("王新"));
        Get<QPushButton>("CmdCancel")->click();
        EXPECT_EQ(S(App().FormParamString), "");
    }
    EXPECT_EQ(Members().size(), 1);
}

TEST_F(FrmMemberTest, SaveCleansFieldsThatWereNeverLeft) {
    Add(QStringLiteral("王大"), QString());
    Member().strFather = QStringLiteral("王大");
    Open(QStringLiteral("+"));
    Type("Txt子女", QStringLiteral(" 王甲;乙 "));
    Type("Txt母", QStringLiteral("{李%氏'}"));
    Type("Txt号", QString(60, QChar(0x53F7)));
    form_->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%李氏%王甲乙%True")));
    EXPECT_EQ(S(Members().join(',')), S(QStringLiteral("王大||,王甲乙|王大|李氏")));
    EXPECT_EQ(Column(QStringLiteral("王甲乙"), "c_jc_w_z_h").count(QChar(0x53F7)), 50);

    // A range typed in several-children style and saved at once.
    App().ChildInputStyle = 2;
    Member().strFather = QStringLiteral("王大");
    Member().strMother.clear();
    Open(QStringLiteral("+"));
    Type("Txt子女", QStringLiteral("1..3"));
    form_->CmdSave_Click();
    EXPECT_EQ(S(App().FormParamString), S(QStringLiteral("王大%%王1;王2;王3%True")));
}

TEST_F(FrmMemberTest, LeavingFieldsCleansThem) {
    App().ChildInputStyle = 2;
    Open(QStringLiteral("+"));
    Type("Cmb子民族", QStringLiteral("汉%族'"));
    form_->Field_LostFocus(QStringLiteral("Cmb子民族"));
    EXPECT_EQ(S(Text("Cmb子民族")), S(QStringLiteral("汉族")));
    Type("Txt号", QString(60, QChar(0x53F7)));
    form_->Field_LostFocus(QStringLiteral("Txt号"));
    EXPECT_EQ(Text("Txt号").size(), 50);
    Type("Txt母", QStringLiteral("{李氏}"));
    form_->Field_LostFocus(QStringLiteral("Txt母"));
    EXPECT_EQ(S(Text("Txt母")), S(QStringLiteral("李氏")));
    Type("Cmb加称", QStringLiteral("%'"));
    form_->Field_LostFocus(QStringLiteral("Cmb加称"));
    EXPECT_EQ(S(Text("Cmb加称")), "%'");

    // The separators and ranges themselves are the input rules' own cases.
    Type("Txt子女", QStringLiteral("甲，乙、丙"));
    form_->Field_LostFocus(QStringLiteral("Txt子女"));
    EXPECT_EQ(S(Text("Txt子女")), S(QStringLiteral("甲;乙;丙")));
    Type("Txt子女", QStringLiteral("5..3"));
    form_->Field_LostFocus(QStringLiteral("Txt子女"));
    EXPECT_EQ(S(Text("Txt子女")), "");

    ui->ExpectMsgBox(vb::OK);
    Type("Txt子女", QStringLiteral("1..30000"));
    form_->Field_LostFocus(QStringLiteral("Txt子女"));
    EXPECT_EQ(S(Messages().join('\n')), S(Msg(kRangeCapped, 48)));
    EXPECT_EQ(Text("Txt子女").split(';').size(), 500);
    // Leaving again changes nothing and says nothing.
    form_->Field_LostFocus(QStringLiteral("Txt子女"));
    EXPECT_TRUE(Messages().isEmpty());

    // Focus leaving a field runs the same rule.
    Show();
    Get("Txt讳")->setFocus();
    Type("Txt讳", QStringLiteral("讳%"));
    Get("Cmb母民族")->setFocus();
    EXPECT_EQ(S(Text("Txt讳")), S(QStringLiteral("讳")));
    Type("Cmb母民族", QStringLiteral("苗%族"));
    Get("Txt字")->setFocus();
    EXPECT_EQ(S(Text("Cmb母民族")), S(QStringLiteral("苗族")));

    // One-member style joins the names.
    Open(QStringLiteral("?"));
    Type("Txt子女", QStringLiteral("王甲;乙"));
    form_->Field_LostFocus(QStringLiteral("Txt子女"));
    EXPECT_EQ(S(Text("Txt子女")), S(QStringLiteral("王甲乙")));
}

TEST_F(FrmMemberTest, CaptionClicksAppendTheClipboard) {
    App().DefaultFolk = QStringLiteral("汉族");
    App().DefaultTitle = QStringLiteral("世");
    App().DefaultTitleSuffix = QStringLiteral("姓加[公]");
    Open(QStringLiteral("?"));
    Show();
    // Empty clipboard: nothing appended, the defaults still apply.
    form_->Caption_Click(QStringLiteral("Lbl_b民族"));
    EXPECT_EQ(S(Text("Cmb子民族")), S(QStringLiteral("汉族")));
    EXPECT_EQ(QApplication::focusWidget(), Get("Cmb子民族"));
    form_->Caption_Click(QStringLiteral("Lbl_b称"));
    EXPECT_EQ(S(Text("Cmb称") + "|" + Text("Cmb加称")), S(QStringLiteral("世|姓加[公]")));
    form_->Caption_Click(QStringLiteral("Lbl_m卒于"));
    EXPECT_EQ(S(Text("Txt母过世")), "");
    EXPECT_EQ(QApplication::focusWidget(), Get("Txt母过世"));

    QGuiApplication::clipboard()->setText(QStringLiteral("  葬于祖山 "));
    Type("Txt子过世", QStringLiteral("1950，"));
    form_->Caption_Click(QStringLiteral("Lbl_b卒于"));
    EXPECT_EQ(S(Text("Txt子过世")), S(QStringLiteral("1950，葬于祖山")));
    EXPECT_EQ(QApplication::focusWidget(), Get("Txt子过世"));
    // 号 fills its field but leaves the focus; 谥 and the father's caption do nothing.
    form_->Caption_Click(QStringLiteral("Lbl_b号"));
    EXPECT_EQ(S(Text("Txt号")), S(QStringLiteral("葬于祖山")));
    EXPECT_EQ(QApplication::focusWidget(), Get("Txt子过世"));
    form_->Caption_Click(QStringLiteral("Lbl_b谥"));
    EXPECT_EQ(S(Text("Txt谥")), "");
    // A real click on a caption.
    QTest::mouseClick(Get("Lbl_m位"), Qt::LeftButton);
    EXPECT_EQ(S(Text("Txt母职位")), S(QStringLiteral("葬于祖山")));
}

TEST_F(FrmMemberTest, NameCaptionInsertsAtTheCaret) {
    App().SurnameLength = 1;
    Member().strFather = QStringLiteral("王大");
    Open(QStringLiteral("+"));
    auto* names = Get<QLineEdit>("Txt子女");
    // Empty clipboard: nothing changes, not even the first character.
    names->setText(QStringLiteral("甲丙"));
    names->setCursorPosition(0);
    form_->Lbl_boy_Click();
    EXPECT_EQ(S(names->text()), S(QStringLiteral("甲丙")));

    QGuiApplication::clipboard()->setText(QStringLiteral(" [乙] "));
    names->setCursorPosition(1);
    form_->Lbl_boy_Click();
    EXPECT_EQ(S(names->text()), S(QStringLiteral("甲乙丙")));
    names->setSelection(2, 1);
    form_->Lbl_boy_Click();
    EXPECT_EQ(S(names->text()), S(QStringLiteral("甲乙乙")));

    // A double-click puts the surname in front and the clipboard at the end, once.
    QGuiApplication::clipboard()->setText(QStringLiteral(" 乙 "));
    names->setText(QStringLiteral("甲"));
    names->setCursorPosition(1);
    form_->Lbl_boy_Click();
    form_->Lbl_boy_DblClick();
    EXPECT_EQ(S(names->text()), S(QStringLiteral("王甲乙")));
    names->setText(QStringLiteral("甲"));
    QTest::mouseDClick(Get("Lbl_boy"), Qt::LeftButton);
    EXPECT_EQ(S(names->text()), S(QStringLiteral("王甲乙")));
}

TEST_F(FrmMemberTest, CaptionMenuGreysDeleteForTheNameAndFatherCaptions) {
    Member().bBoy_Sex = false;
    Open(QStringLiteral("?"));
    auto* del = form_->findChild<QAction*>(QStringLiteral("Item_Del"));
    QStringList seen;
    form_->popupMenu = [&](QMenu* menu) {
        EXPECT_EQ(S(menu->objectName()), "boyItem_edit");
        seen << form_->MenuTarget() + (del->isEnabled() ? "+" : "-");
    };
    form_->Caption_MouseDown(QStringLiteral("Lbl_father"), 2);
    EXPECT_TRUE(del->isEnabled());
    QTest::mousePress(Get("Lbl_boy"), Qt::RightButton);
    QTest::mousePress(Get("Lbl_b号"), Qt::RightButton);
    QTest::mousePress(Get("ChkSex"), Qt::RightButton);
    form_->Caption_MouseDown(QStringLiteral("Lbl_b字"), 1);
    form_->Caption_MouseDown(QStringLiteral("LblOp"), 2);
    EXPECT_EQ(S(seen.join(',')), S(QStringLiteral("Lbl_father-,Lbl_boy-,Lbl_b号+,ChkSex+")));
    EXPECT_FALSE(Get<QCheckBox>("ChkSex")->isChecked());

    QStringList items;
    for (QAction* a : form_->findChild<QMenu*>(QStringLiteral("boyItem_edit"))->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(S(items.join('|')),
              S(QStringLiteral("模板另存为|-|删除此项目|修改项目名称|-|选择输入方式|-|导入模板|导出模板")));
    // Only mode "+" offers the set-up.
    EXPECT_FALSE(form_->findChild<QAction*>(QStringLiteral("Item_Setup"))->isEnabled());
}

TEST_F(FrmMemberTest, HidingRowsReflowsTheForm) {
    Open(QStringLiteral("?"));
    const int height = form_->HeightTwips();
    const QRect save = Twips("CmdSave");
    EXPECT_EQ(Twips("Frame1").top(), 390);
    EXPECT_EQ(Twips("Frame3").top(), 390 + 2400 - 75);
    EXPECT_EQ(Twips("Frame2").top(), 390 + 2400 - 75 + 600 - 75);

    // 号 alone: its field goes, the form keeps its height.
    form_->SetMenuTarget(QStringLiteral("Lbl_b号"));
    form_->Item_Del_Click();
    EXPECT_FALSE(Shown("Lbl_b号") || Shown("Txt号"));
    EXPECT_FALSE(Get("Lbl_b号")->isEnabled());
    EXPECT_TRUE(Shown("Txt谥"));
    EXPECT_EQ(form_->HeightTwips(), height);

    // 谥: row 3 goes; rows 4 to 7 and the buttons move up by the caption's height plus 190.
    const QRect folk = Twips("Lbl_b民族");
    const QRect death = Twips("Txt子过世");
    const QRect frame2 = Twips("Frame2");
    const QRect name = Twips("Cmb称");
    form_->SetMenuTarget(QStringLiteral("Lbl_b谥"));
    form_->Item_Del_Click();
    const int gap = 260 + 190;
    EXPECT_FALSE(Shown("Txt谥"));
    EXPECT_EQ(Twips("Lbl_b民族"), folk.translated(0, -gap));
    EXPECT_EQ(Twips("Txt子过世"), death.translated(0, -gap));
    EXPECT_EQ(Twips("Cmb称"), name);
    EXPECT_EQ(Twips("Frame2"), frame2.adjusted(0, 0, 0, -gap));
    EXPECT_EQ(Twips("CmdSave"), save.translated(0, -gap));
    EXPECT_EQ(form_->HeightTwips(), height - gap);
    // Pixels follow the twips exactly.
    EXPECT_EQ(Get("Lbl_b民族")->geometry().topLeft(),
              QPoint(TwipsToPixels(folk.left()), TwipsToPixels(folk.top() - gap)));
    EXPECT_EQ(Get("CmdSave")->y(), TwipsToPixels(save.top() - gap));
    EXPECT_EQ(form_->height(), TwipsToPixels(height - gap));

    // The mother's rows one by one: her frame shrinks and goes; the frames below follow.
    const QRect frame3 = Twips("Frame3");
    const QRect frame2After = Twips("Frame2");
    int hidden = 0;
    for (const char* caption : {"Lbl_m位", "Lbl_mother", "Lbl_m卒于", "Lbl_m民族", "Lbl_m生于"}) {
        EXPECT_TRUE(Shown("Frame1")) << caption;
        form_->SetMenuTarget(QString::fromUtf8(caption));
        form_->Item_Del_Click();
        ++hidden;
        EXPECT_EQ(Twips("Frame1").height(), 2400 - hidden * gap) << caption;
        EXPECT_EQ(Twips("Frame3"), frame3.translated(0, -hidden * gap)) << caption;
        EXPECT_EQ(Twips("Frame2"), frame2After.translated(0, -hidden * gap)) << caption;
    }
    EXPECT_FALSE(Shown("Frame1"));
    EXPECT_FALSE(Shown("Cmb母文化") || Shown("Chk母在世"));
    EXPECT_EQ(form_->HeightTwips(), height - 6 * gap);
}

TEST_F(FrmMemberTest, HidingInSeveralChildrenStyleMovesTheLowerFrames) {
    App().ChildInputStyle = 2;
    Open(QStringLiteral("+"));
    const QRect frame1 = Twips("Frame1");
    const QRect frame3 = Twips("Frame3");
    const QRect position = Twips("Txt子职位");
    form_->SetMenuTarget(QStringLiteral("Lbl_b讳"));
    form_->Item_Del_Click();
    EXPECT_FALSE(Shown("Txt讳") || Shown("Lbl_b字") || Shown("Txt字"));
    EXPECT_EQ(Twips("Frame1"), frame1.translated(0, -450));
    EXPECT_EQ(Twips("Frame3"), frame3.translated(0, -450));
    EXPECT_EQ(Twips("Txt子职位"), position.translated(0, -450));
    // A check box hides alone.
    const int height = form_->HeightTwips();
    form_->SetMenuTarget(QStringLiteral("ChkSex"));
    form_->Item_Del_Click();
    EXPECT_FALSE(Shown("ChkSex"));
    EXPECT_EQ(form_->HeightTwips(), height);
}

TEST_F(FrmMemberTest, RenameCaptionAndSetupRelayout) {
    App().ChildInputStyle = 1;
    Open(QStringLiteral("+"));
    ui->ExpectInput(QStringLiteral("名："));
    ui->ExpectInput(QString());
    form_->SetMenuTarget(QStringLiteral("Lbl_b讳"));
    form_->Item_Edit_Click();
    form_->Item_Edit_Click();
    EXPECT_EQ(S(Get<QLabel>("Lbl_b讳")->text()), S(QStringLiteral("名：")));
    ASSERT_GE(ui->log().size(), 2u);
    EXPECT_EQ(S(ui->log()[0].text), S(QStringLiteral("请输入项目名称：")));
    EXPECT_EQ(S(ui->log()[0].initial), S(QStringLiteral("讳：")));

    ui->ExpectForm(QStringLiteral("FrmSysSetup"), [](QObject*) {
        App().ChildInputStyle = 2;
        return 1;
    });
    form_->Item_Setup_Click();
    EXPECT_EQ(form_->FormInputStyle(), 2);
    // Several-children style: particulars first, then the mother, then the names.
    EXPECT_EQ(Twips("Frame2").top(), 390);
    EXPECT_EQ(Twips("Frame1").top(), 390 + 3300 - 75);
    EXPECT_EQ(Twips("Frame3").top(), 390 + 3300 - 75 + 2400 - 75);
}

TEST_F(FrmMemberTest, TemplateInUseIsAppliedOnLoad) {
    Db().Execute(
        QStringLiteral("INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_width\", "
                       "\"col_visible\", \"seqno\") VALUES ('简式', 'Lbl_b谥%谥号：', 0, 1, 0), "
                       "('简式', 'Lbl_b讳%名讳：', 0, 0, 0), ('简式', 'Lbl_b生于%生：', 0, 0, 1)"));
    SaveAppSetting(QStringLiteral("curinput"), QStringLiteral("简式"));
    Open(QStringLiteral("?"));
    EXPECT_EQ(S(form_->TemplateName()), S(QStringLiteral("简式")));
    EXPECT_EQ(S(Get<QLabel>("Lbl_b讳")->text() + Get<QLabel>("Lbl_b生于")->text()),
              S(QStringLiteral("名讳：生：")));
    EXPECT_FALSE(Shown("Lbl_b谥") || Shown("Txt谥") || Shown("Txt号"));
    EXPECT_EQ(form_->HeightTwips(), 7200 - 450);

    SaveAppSetting(QStringLiteral("curinput"), QString());
    Open(QStringLiteral("?"));
    EXPECT_EQ(S(form_->TemplateName()), S(QStringLiteral("Qentara族谱")));
    EXPECT_TRUE(Shown("Txt谥"));
}

TEST_F(FrmMemberTest, KeysMoveOnPasteAndCopy) {
    Open(QStringLiteral("?"));
    Show();
    // The form starts in the names field.
    EXPECT_EQ(QApplication::focusWidget(), Get("Txt子女"));
    Get("Txt父")->setFocus();
    QTest::keyClick(Get("Txt父"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Get("Txt母"));
    QTest::keyClick(Get("Txt母"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Get("Chk母在世"));
    QTest::keyClick(Get("Chk母在世"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Cmb母民族");
    EXPECT_FALSE(closed_);

    QGuiApplication::clipboard()->setText(QStringLiteral("剪贴"));
    Get("Txt讳")->setFocus();
    QTest::keyClick(Get("Txt讳"), Qt::Key_F2);
    EXPECT_EQ(S(Text("Txt讳")), S(QStringLiteral("剪贴")));
    Type("Txt字", QStringLiteral("复制"));
    Get<QLineEdit>("Txt字")->selectAll();
    Get("Txt字")->setFocus();
    QTest::keyClick(Get("Txt字"), Qt::Key_F3);
    EXPECT_EQ(S(QGuiApplication::clipboard()->text()), S(QStringLiteral("复制")));
}

}  // namespace
