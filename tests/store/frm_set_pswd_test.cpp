#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/dao_table.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/forms/frm_set_pswd.h"
#include "store/strong_password.h"
#include "support/scripted_ui.h"
#include "support/temp_book.h"

namespace {

// MD5 of "abcdef" and of "", as every MD5 gives them.
const QString kAbcdefDigest = QStringLiteral("E80B5017098950FC58AAD83C8C14978E");
const QString kEmptyDigest = QStringLiteral("D41D8CD98F00B204E9800998ECF8427E");
const QString kWide =
    QStringLiteral("强力密码只能使用英文字母、数字和半角符号，不能含有汉字或全角字符！请重新输入。");
const QString kWrongStrong = QStringLiteral("强力密码不正确！再试一次吧。");

int Px(int twips) {
    return qRound(twips / 15.0);
}

class FrmSetPswdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        ui = InstallScriptedInteraction(&previous_);
        FrmSetPswd::RegisterForm();
    }
    void TearDown() override {
        SetInteraction(std::move(previous_));
        ResetAppState();
        dao::ReleaseAllIdleConnections();
    }

    // A package file with the database password pk and, when digest is given, the strong-password
    // record as the writer makes it.
    QString Package(const QString& name, const QString& digest = QString(), bool withRow = true) {
        const QString path = book_.file(name);
        dao::Database db = dao::Database::Create(path, QStringLiteral("pk"));
        db.Execute(QStringLiteral("CREATE TABLE \"本姓成员\" (\"filial\" TEXT, \"father\" TEXT)"));
        if (!digest.isNull()) {
            ClsDaoTable table;
            table.CreateTable(QStringLiteral("myStrgPswd"), db);
            table.AddField(QStringLiteral("myStrgPswd"), db, QStringLiteral("pswd"), ClsDaoTable::kText, 66,
                           true, QString());
            if (withRow)
                db.Execute(QStringLiteral("INSERT INTO \"myStrgPswd\" (\"pswd\") VALUES (?)"),
                           {EncodeText(digest, DeriveKey(ServerText()))});
        }
        db.Close();
        return path;
    }

    std::unique_ptr<FrmSetPswd> Open(const QString& mode, const QString& path) {
        App().FormParamString = mode;
        App().FormParamString2 = path;
        return std::unique_ptr<FrmSetPswd>(
            qobject_cast<FrmSetPswd*>(FormRegistry::Create(QStringLiteral("FrmSetPswd"))));
    }

    template <typename T = QWidget>
    static T* Get(FrmSetPswd* form, const char* name) {
        T* w = form->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void Type(FrmSetPswd* form, const char* box, const QString& text) {
        Get<QLineEdit>(form, box)->setText(text);
    }
    static void Strong(FrmSetPswd* form, const QString& first, const QString& second) {
        Type(form, "Txtstrgpswd", first);
        Type(form, "TxtStrgPswd2", second);
    }
    static void Tick(FrmSetPswd* form, bool on) { Get<QCheckBox>(form, "ChkStrgPswd")->setChecked(on); }
    static void OK(FrmSetPswd* form) { Get<QPushButton>(form, "CmdOK")->click(); }
    static bool Shown(FrmSetPswd* form, const char* name) { return Get(form, name)->isVisibleTo(form); }

    // The texts and styles of the message boxes since the last call.
    QList<QPair<QString, int>> Messages() {
        QList<QPair<QString, int>> out;
        for (size_t i = seen_; i < ui->log().size(); ++i)
            if (ui->log()[i].kind == "MsgBox") out.append({ui->log()[i].text, ui->log()[i].style});
        seen_ = ui->log().size();
        return out;
    }
    static QList<QPair<QString, int>> One(const QString& text, int style = 16) { return {{text, style}}; }

    static void ExpectNoAnswer(FrmSetPswd* form) {
        EXPECT_EQ(form->result(), 0);
        EXPECT_EQ(App().FormParamString, QString());
        EXPECT_EQ(App().FormParamString2, QString());
        EXPECT_EQ(App().StrgPswdDigest, QString());
    }

    ScriptedInteraction* ui = nullptr;
    TempBook book_;

private:
    std::unique_ptr<Interaction> previous_;
    size_t seen_ = 0;
};

TEST(StrongPasswordTest, OnlySingleByteCharactersMakeADigest) {
    for (const QString& ok : {QStringLiteral("abcdef"), QStringLiteral("A1 !~?#%'\"[]"), QString()})
        EXPECT_TRUE(strong_password::IsSingleByteText(ok)) << ok.toStdString();
    for (const QString& wide :
         {QStringLiteral("密码abcdef"), QStringLiteral("ａｂｃｄｅｆ"), QStringLiteral("abc😀def"),
          QStringLiteral("abcé12"), QStringLiteral("ab\u200Bcdef")}) {
        EXPECT_FALSE(strong_password::IsSingleByteText(wide)) << wide.toStdString();
        EXPECT_EQ(strong_password::Digest(wide), QString()) << wide.toStdString();
    }
    // The digest is of the text without its blanks at the ends, in upper-case hex.
    EXPECT_EQ(strong_password::Digest(QStringLiteral("  abcdef ")), kAbcdefDigest);
    EXPECT_EQ(strong_password::Digest(QStringLiteral("      ")), kEmptyDigest);
    EXPECT_EQ(strong_password::ConcealDigest(kAbcdefDigest),
              EncodeText(kAbcdefDigest, DeriveKey(ServerText())));
    EXPECT_NE(strong_password::ConcealDigest(kAbcdefDigest), kAbcdefDigest);
    EXPECT_EQ(strong_password::RevealDigest(strong_password::ConcealDigest(kAbcdefDigest)), kAbcdefDigest);
}

TEST_F(FrmSetPswdTest, PackageRecordIsFoundAndRead) {
    const QString with = Package(QStringLiteral("with.mdb"), kAbcdefDigest);
    const QString without = Package(QStringLiteral("without.mdb"));
    const QString empty = Package(QStringLiteral("empty.mdb"), kAbcdefDigest, false);
    dao::Database db = dao::Database::Open(with, QStringLiteral("pk"));
    EXPECT_TRUE(strong_password::HasRecord(db));
    EXPECT_EQ(strong_password::StoredDigest(db), kAbcdefDigest);
    db = dao::Database::Open(without, QStringLiteral("pk"));
    EXPECT_FALSE(strong_password::HasRecord(db));
    EXPECT_EQ(strong_password::StoredDigest(db), QString());
    db = dao::Database::Open(empty, QStringLiteral("pk"));
    EXPECT_TRUE(strong_password::HasRecord(db));
    EXPECT_EQ(strong_password::StoredDigest(db), QString());
    db.Close();

    QString description;
    EXPECT_EQ(TryOpenDbExclusive(with, QStringLiteral("bad"), &description), 3031);
    EXPECT_EQ(description, QStringLiteral("不是有效的密码。"));
    EXPECT_FALSE(App().ExclusiveDb.isOpen());
    EXPECT_EQ(TryOpenDbExclusive(with, QStringLiteral("pk"), &description), 0);
    EXPECT_TRUE(App().ExclusiveDb.exclusive());
}

TEST_F(FrmSetPswdTest, BackupLayoutGrowsWithTheStrongPasswordBoxes) {
    App().StrgPswdDigest = QStringLiteral("left over");
    auto form = Open(QStringLiteral("b"), QStringLiteral("/tmp/家谱.mdb"));
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->IsRestoreMode());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("备份->设置密码保护"));
    EXPECT_EQ(form->HeightTwips(), 3630);
    EXPECT_EQ(form->height(), Px(3630));
    EXPECT_EQ(Get<QLineEdit>(form.get(), "Txtfile")->text(), QStringLiteral("/tmp/家谱.mdb"));
    EXPECT_EQ(Get<QLabel>(form.get(), "Label1")->text(), QStringLiteral("数据库文件："));
    EXPECT_EQ(Get<QLabel>(form.get(), "Label2(0)")->text(), QStringLiteral("请输入密码："));
    EXPECT_EQ(Get<QLabel>(form.get(), "Label2(1)")->text(), QStringLiteral("请再次输入密码："));
    EXPECT_EQ(Get<QPushButton>(form.get(), "CmdOK")->text(), QStringLiteral("确  认"));
    EXPECT_EQ(Get<QPushButton>(form.get(), "CmdCancel")->text(), QStringLiteral("取  消"));
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(), QStringLiteral("启用强力加密"));
    for (const char* name : {"TxtPswd1", "TxtPswd2", "Label2(1)", "ChkStrgPswd", "Image1", "Image4"})
        EXPECT_TRUE(Shown(form.get(), name)) << name;
    EXPECT_FALSE(Shown(form.get(), "Txtstrgpswd"));
    EXPECT_FALSE(Shown(form.get(), "TxtStrgPswd2"));
    for (const char* name : {"TxtPswd1", "TxtPswd2", "Txtstrgpswd", "TxtStrgPswd2"}) {
        EXPECT_EQ(Get<QLineEdit>(form.get(), name)->echoMode(), QLineEdit::Password) << name;
        EXPECT_EQ(Get<QLineEdit>(form.get(), name)->maxLength(), name[3] == 'P' ? 11 : 100) << name;
    }
    // Loading empties the answers: closing the window reads as cancel.
    EXPECT_EQ(App().FormParamString, QString());
    EXPECT_EQ(App().FormParamString2, QString());
    EXPECT_EQ(App().StrgPswdDigest, QString());

    Tick(form.get(), true);
    EXPECT_EQ(form->HeightTwips(), 4410);
    EXPECT_EQ(form->height(), Px(4410));
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(),
              QStringLiteral("启用强力加密，请输入强力密码："));
    EXPECT_TRUE(Shown(form.get(), "Txtstrgpswd"));
    EXPECT_TRUE(Shown(form.get(), "TxtStrgPswd2"));
    Tick(form.get(), false);
    EXPECT_EQ(form->HeightTwips(), 3630);
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(), QStringLiteral("启用强力加密"));
    EXPECT_FALSE(Shown(form.get(), "Txtstrgpswd"));
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(FrmSetPswdTest, RestoreLayoutDropsTheSecondRowAndMovesUp) {
    auto backup = Open(QStringLiteral("b"), QString());
    auto form = Open(QStringLiteral("?"), QStringLiteral("/tmp/p.mdb"));
    EXPECT_TRUE(form->IsRestoreMode());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("恢复->验证密码"));
    EXPECT_EQ(form->HeightTwips(), 3130);
    EXPECT_EQ(form->height(), Px(3130));
    EXPECT_FALSE(Shown(form.get(), "TxtPswd2"));
    EXPECT_FALSE(Shown(form.get(), "Label2(1)"));
    EXPECT_TRUE(Shown(form.get(), "TxtPswd1"));
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(), QStringLiteral("启用强力解密"));
    for (const char* name : {"CmdOK", "CmdCancel", "ChkStrgPswd", "Txtstrgpswd", "TxtStrgPswd2"}) {
        const int top = Get(backup.get(), name)->y();
        EXPECT_EQ(Get(form.get(), name)->y(), Px(top * 15 - 500)) << name;
    }
    EXPECT_EQ(Get(form.get(), "TxtPswd1")->y(), Get(backup.get(), "TxtPswd1")->y());

    Tick(form.get(), true);
    EXPECT_EQ(form->HeightTwips(), 3910);
    EXPECT_EQ(form->height(), Px(3910));
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(),
              QStringLiteral("启用强力解密，请输入强力密码："));
    EXPECT_TRUE(Shown(form.get(), "Txtstrgpswd"));
    EXPECT_EQ(Get(form.get(), "Image4")->y(), Px(2770));
    Tick(form.get(), false);
    EXPECT_EQ(form->HeightTwips(), 3130);
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(), QStringLiteral("启用强力解密"));
    EXPECT_FALSE(Shown(form.get(), "TxtStrgPswd2"));
}

TEST_F(FrmSetPswdTest, BackupAnswersTheModePasswordAndDigest) {
    auto form = Open(QStringLiteral("backup"), QStringLiteral("/tmp/p.mdb"));
    Type(form.get(), "TxtPswd1", QStringLiteral("secret"));
    Type(form.get(), "TxtPswd2", QStringLiteral("secret"));
    OK(form.get());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().FormParamString, QStringLiteral("backup"));
    EXPECT_EQ(App().FormParamString2, QStringLiteral("secret"));
    EXPECT_EQ(App().StrgPswdDigest, QString());

    // Blanks at the ends must agree in both boxes but are not part of the digest; two empty database
    // passwords agree.
    form = Open(QStringLiteral("b"), QStringLiteral("/tmp/p.mdb"));
    Tick(form.get(), true);
    Strong(form.get(), QStringLiteral(" abcdef  "), QStringLiteral(" abcdef  "));
    OK(form.get());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().FormParamString, QStringLiteral("b"));
    EXPECT_EQ(App().FormParamString2, QString());
    EXPECT_EQ(App().StrgPswdDigest, kAbcdefDigest);
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(FrmSetPswdTest, BackupRefusesBadPasswordsAndStaysOpen) {
    auto form = Open(QStringLiteral("b"), QStringLiteral("/tmp/p.mdb"));
    Type(form.get(), "TxtPswd1", QStringLiteral("pw"));
    Type(form.get(), "TxtPswd2", QStringLiteral("pw"));
    Tick(form.get(), true);
    for (int i = 0; i < 7; ++i) ui->ExpectMsgBox(vb::OK);

    Strong(form.get(), QStringLiteral("abcde"), QStringLiteral("abcde"));
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("强力密码太短。")));
    ExpectNoAnswer(form.get());

    // Blanks do not make a strong password long enough to protect a backup.
    Strong(form.get(), QStringLiteral("      "), QStringLiteral("      "));
    OK(form.get());
    Strong(form.get(), QStringLiteral("  abcd"), QStringLiteral("  abcd"));
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("强力密码太短。")) + One(QStringLiteral("强力密码太短。")));

    Strong(form.get(), QStringLiteral("abcdef"), QStringLiteral("abcdeF"));
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("强力密码不一致！请再试一次。")));
    EXPECT_EQ(Get<QLineEdit>(form.get(), "TxtStrgPswd2")->text(), QString());
    EXPECT_EQ(Get<QLineEdit>(form.get(), "Txtstrgpswd")->text(), QStringLiteral("abcdef"));

    // A character outside the one-byte code page would drop out of the digest: refused, nothing lost.
    Strong(form.get(), QStringLiteral("家谱abcdef"), QStringLiteral("家谱abcdef"));
    OK(form.get());
    Strong(form.get(), QStringLiteral("ａｂｃｄｅｆ"), QStringLiteral("ａｂｃｄｅｆ"));
    OK(form.get());
    EXPECT_EQ(Messages(), One(kWide) + One(kWide));
    EXPECT_EQ(Get<QLineEdit>(form.get(), "TxtStrgPswd2")->text(), QStringLiteral("ａｂｃｄｅｆ"));
    ExpectNoAnswer(form.get());

    Strong(form.get(), QStringLiteral("abcdef"), QStringLiteral("abcdef"));
    Type(form.get(), "TxtPswd2", QStringLiteral("pW"));
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("密码不一致！请再试一次。")));
    EXPECT_EQ(Get<QLineEdit>(form.get(), "TxtPswd2")->text(), QString());
    ExpectNoAnswer(form.get());

    Type(form.get(), "TxtPswd2", QStringLiteral("pw"));
    OK(form.get());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().StrgPswdDigest, kAbcdefDigest);
    EXPECT_EQ(App().FormParamString2, QStringLiteral("pw"));
    EXPECT_TRUE(ui->AllConsumed());
}

TEST_F(FrmSetPswdTest, CancelAnswersNothingAndLeavesNoDigest) {
    auto form = Open(QStringLiteral("b"), QStringLiteral("/tmp/p.mdb"));
    Type(form.get(), "TxtPswd1", QStringLiteral("pw"));
    Type(form.get(), "TxtPswd2", QStringLiteral("other"));
    Tick(form.get(), true);
    Strong(form.get(), QStringLiteral("abcdef"), QStringLiteral("abcdef"));
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("密码不一致！请再试一次。")));
    Get<QPushButton>(form.get(), "CmdCancel")->click();
    EXPECT_EQ(form->result(), QDialog::Rejected);
    ExpectNoAnswer(form.get());
}

TEST_F(FrmSetPswdTest, RestoreWithoutRecordAnswersAtOnceAndReleasesThePackage) {
    const QString path = Package(QStringLiteral("plain.mdb"));
    auto form = Open(QStringLiteral("?"), path);
    Type(form.get(), "TxtPswd1", QStringLiteral("pk"));
    OK(form.get());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().FormParamString, QStringLiteral("?"));
    EXPECT_EQ(App().FormParamString2, QStringLiteral("pk"));
    EXPECT_EQ(App().StrgPswdDigest, QString());
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_FALSE(App().ExclusiveDb.isOpen());
    EXPECT_FALSE(dao::IsFileInUse(path));
}

TEST_F(FrmSetPswdTest, RestoreShowsTheEngineErrorForAWrongPasswordOrMissingFile) {
    const QString path = Package(QStringLiteral("plain.mdb"));
    auto form = Open(QStringLiteral("?"), path);
    Type(form.get(), "TxtPswd1", QStringLiteral("wrong"));
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("不是有效的密码。")));
    ExpectNoAnswer(form.get());
    EXPECT_FALSE(App().ExclusiveDb.isOpen());

    const QString missing = book_.file(QStringLiteral("gone.mdb"));
    form = Open(QStringLiteral("?"), missing);
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("找不到文件 '%1'。").arg(missing)));
    ExpectNoAnswer(form.get());
}

TEST_F(FrmSetPswdTest, RestoreWithRecordTicksTheBoxAndChecksTheStrongPassword) {
    const QString path = Package(QStringLiteral("strong.mdb"), kAbcdefDigest);
    auto form = Open(QStringLiteral("?"), path);
    Type(form.get(), "TxtPswd1", QStringLiteral("pk"));
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    // The record ticks the box; the boxes are still empty, so that counts as one wrong try.
    EXPECT_EQ(Messages(), One(kWrongStrong));
    EXPECT_TRUE(Get<QCheckBox>(form.get(), "ChkStrgPswd")->isChecked());
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(),
              QStringLiteral("启用强力解密，请输入强力密码："));
    EXPECT_EQ(form->HeightTwips(), 3910);
    EXPECT_TRUE(Shown(form.get(), "Txtstrgpswd"));
    EXPECT_EQ(form->WrongStrongPasswords(), 1);
    ExpectNoAnswer(form.get());
    EXPECT_FALSE(dao::IsFileInUse(path));

    Strong(form.get(), QStringLiteral("abcdeg"), QStringLiteral("abcdeg"));
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(kWrongStrong));
    EXPECT_EQ(form->WrongStrongPasswords(), 2);

    Strong(form.get(), QStringLiteral("abcdef "), QStringLiteral("abcdef "));
    OK(form.get());
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().FormParamString, QStringLiteral("?"));
    EXPECT_EQ(App().FormParamString2, QStringLiteral("pk"));
    EXPECT_EQ(App().StrgPswdDigest, kAbcdefDigest);
    EXPECT_FALSE(App().ExclusiveDb.isOpen());
}

TEST_F(FrmSetPswdTest, AfterFiveWrongStrongPasswordsNothingIsChecked) {
    const QString path = Package(QStringLiteral("strong.mdb"), kAbcdefDigest);
    auto form = Open(QStringLiteral("?"), path);
    Type(form.get(), "TxtPswd1", QStringLiteral("pk"));
    Tick(form.get(), true);
    Strong(form.get(), QStringLiteral("zzzzzz"), QStringLiteral("zzzzzz"));
    for (int i = 0; i < 6; ++i) ui->ExpectMsgBox(vb::OK);
    for (int i = 0; i < 5; ++i) OK(form.get());
    EXPECT_EQ(form->WrongStrongPasswords(), 5);
    Strong(form.get(), QStringLiteral("abcdef"), QStringLiteral("abcdef"));
    OK(form.get());
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 6);
    for (const auto& m : shown) EXPECT_EQ(m, qMakePair(kWrongStrong, 16));
    EXPECT_EQ(form->WrongStrongPasswords(), 5);
    ExpectNoAnswer(form.get());
    EXPECT_FALSE(App().ExclusiveDb.isOpen());
}

TEST_F(FrmSetPswdTest, RestoreForcedWithoutRecordAsksTwice) {
    const QString path = Package(QStringLiteral("plain.mdb"));
    const QString ask1 = QStringLiteral("并未发现强力加密记录，是否下定决心强制执行强力解密？");
    const QString ask2 = QStringLiteral("强力解密前需备份所有数据，否则可能导致系统不能运行!,已做好了吗？");
    auto form = Open(QStringLiteral("?"), path);
    Type(form.get(), "TxtPswd1", QStringLiteral("pk"));
    Tick(form.get(), true);
    Strong(form.get(), QStringLiteral("abcdef"), QStringLiteral("abcdef"));

    ui->ExpectMsgBox(vb::No);
    OK(form.get());
    EXPECT_EQ(Messages(), One(ask1, 260));
    EXPECT_FALSE(Get<QCheckBox>(form.get(), "ChkStrgPswd")->isChecked());
    EXPECT_EQ(form->HeightTwips(), 3130);
    ExpectNoAnswer(form.get());
    EXPECT_FALSE(App().ExclusiveDb.isOpen());

    Tick(form.get(), true);
    ui->ExpectMsgBox(vb::Yes);
    ui->ExpectMsgBox(vb::No);
    OK(form.get());
    EXPECT_EQ(Messages(), One(ask1, 260) + One(ask2, 308));
    EXPECT_TRUE(Get<QCheckBox>(form.get(), "ChkStrgPswd")->isChecked());
    ExpectNoAnswer(form.get());

    ui->ExpectMsgBox(vb::Yes);
    ui->ExpectMsgBox(vb::Yes);
    OK(form.get());
    EXPECT_EQ(Messages(), One(ask1, 260) + One(ask2, 308));
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().FormParamString, QStringLiteral("?"));
    EXPECT_EQ(App().StrgPswdDigest, kAbcdefDigest);
    EXPECT_EQ(form->WrongStrongPasswords(), 0);
}

TEST_F(FrmSetPswdTest, RestoreRefusesAWideStrongPasswordBeforeTouchingTheFile) {
    const QString path = Package(QStringLiteral("strong.mdb"), kAbcdefDigest);
    auto form = Open(QStringLiteral("?"), path);
    Type(form.get(), "TxtPswd1", QStringLiteral("pk"));
    Tick(form.get(), true);
    Strong(form.get(), QStringLiteral("族谱abcdef"), QStringLiteral("族谱abcdef"));
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(kWide));
    EXPECT_EQ(form->WrongStrongPasswords(), 0);
    ExpectNoAnswer(form.get());

    // Text typed while the box was shown stays behind when it is unticked; the record ticks it again.
    Tick(form.get(), false);
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(kWide));
    EXPECT_EQ(form->WrongStrongPasswords(), 0);
    ExpectNoAnswer(form.get());
    EXPECT_FALSE(App().ExclusiveDb.isOpen());
}

TEST_F(FrmSetPswdTest, TraditionalInterfaceConvertsCaptionsAndMessages) {
    App().Translator = std::make_shared<ClsLanguage>();
    App().LanguageId = 1;
    App().PrevLanguageId = 0;
    auto form = Open(QStringLiteral("?"), QStringLiteral("/tmp/p.mdb"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("恢復->驗證密碼"));
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(), QStringLiteral("啟用強力解密"));
    Tick(form.get(), true);
    EXPECT_EQ(Get<QCheckBox>(form.get(), "ChkStrgPswd")->text(),
              QStringLiteral("啟用強力解密，請輸入強力密碼："));
    Strong(form.get(), QStringLiteral("abc"), QStringLiteral("abc"));
    ui->ExpectMsgBox(vb::OK);
    OK(form.get());
    EXPECT_EQ(Messages(), One(QStringLiteral("強力密碼太短。")));
}

TEST_F(FrmSetPswdTest, ShownByNameAndEnterMovesOn) {
    const QString path = Package(QStringLiteral("plain.mdb"));
    App().FormParamString = QStringLiteral("?");
    App().FormParamString2 = path;
    ui->ExpectForm(QStringLiteral("FrmSetPswd"), [](QObject* object) {
        auto* form = qobject_cast<FrmSetPswd*>(object);
        if (!form) return -1;
        form->findChild<QLineEdit*>(QStringLiteral("TxtPswd1"))->setText(QStringLiteral("pk"));
        form->findChild<QPushButton*>(QStringLiteral("CmdOK"))->click();
        return form->result();
    });
    EXPECT_EQ(UI().ShowForm(QStringLiteral("FrmSetPswd"), true), 1);
    EXPECT_EQ(App().FormParamString, QStringLiteral("?"));
    EXPECT_EQ(App().FormParamString2, QStringLiteral("pk"));

    auto form = Open(QStringLiteral("b"), path);
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get())) GTEST_SKIP() << "no window activation";
    auto* first = Get<QLineEdit>(form.get(), "TxtPswd1");
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Get(form.get(), "TxtPswd2"));
    QTest::keyClick(Get(form.get(), "TxtPswd2"), Qt::Key_Enter);
    EXPECT_EQ(QApplication::focusWidget(), Get(form.get(), "ChkStrgPswd"));
    EXPECT_EQ(form->result(), 0);
    EXPECT_TRUE(form->isVisible());
}

}  // namespace
