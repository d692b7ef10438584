#include <gtest/gtest.h>
#include <QAction>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/forms/launcher_form.h"
#include "app/startup.h"
#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "online/user_record.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/data_ops.h"
#include "support/scripted_ui.h"
#include "support/temp_book.h"
#include "support/test_http_server.h"
#include "support/test_settings.h"

namespace {

const QStringList kMenuNames = {
    QStringLiteral("m_recipe"),      QStringLiteral("m_sysset"), QStringLiteral("b_test"),
    QStringLiteral("online_update"), QStringLiteral("m_SvrAB"),  QStringLiteral("b_language"),
    QStringLiteral("b_china"),       QStringLiteral("b_taiwan"), QStringLiteral("b_connect")};
const QStringList kSimplified = {QStringLiteral("我的族谱"),
                                 QStringLiteral("系统设置"),
                                 QStringLiteral("测试"),
                                 QStringLiteral("在线升级"),
                                 QStringLiteral("在线客服"),
                                 QStringLiteral("Language"),
                                 QStringLiteral("Simplified Chinese"),
                                 QStringLiteral("Traditional Chinese"),
                                 QStringLiteral("联络信息")};
const QStringList kTraditional = {QStringLiteral("我的族譜"),
                                  QStringLiteral("系統設置"),
                                  QStringLiteral("測試"),
                                  QStringLiteral("在線升級"),
                                  QStringLiteral("在線客服"),
                                  QStringLiteral("Language"),
                                  QStringLiteral("Simplified Chinese"),
                                  QStringLiteral("Traditional Chinese"),
                                  QStringLiteral("聯絡信息")};

// Answers every request, GET /data/newver.txt among them, with the version it is given.
class VersionServer : public TestHttpServer {
public:
    explicit VersionServer(const QByteArray& version) { answer("/", "200 OK", version, "text/plain"); }
};

// A window that will not close, as the main window while its page is being edited.
class StubbornWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

class StartupLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Settings of this test only, never those of another test running beside it.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        ResetAppState();
        script_ = InstallScriptedInteraction(&previous_);
        mQentaraQp::Register();
    }
    void TearDown() override {
        FormRegistry::Unregister(QStringLiteral("mQentaraQp"));
        MainProc::ReleaseSingleCopyLock();
        SetInteraction(std::move(previous_));
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, TestSettingsDir());
    }

    static QStringList captions(const mQentaraQp& form) {
        QStringList out;
        for (const QString& name : kMenuNames) {
            const QAction* action = form.findChild<QAction*>(name);
            out << (action ? action->text() : QStringLiteral("<missing %1>").arg(name));
        }
        return out;
    }
    QStringList dialogKinds() const {
        QStringList out;
        for (const auto& r : script_->log()) out << r.kind + u':' + r.text;
        return out;
    }

    QTemporaryDir settingsDir_;
    TempBook book_;
    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<Interaction> previous_;
};

// ---- Entry procedure and the single-copy check

TEST_F(StartupLauncherTest, SecondStartAnsweredNoEndsBeforeAnythingIsTouched) {
    SingleCopyLock firstCopy(GetAppPath());
    ASSERT_TRUE(firstCopy.acquired());
    App().ChildInputStyle = 2;
    script_->ExpectMsgBox(vb::No);

    EXPECT_FALSE(MainProc::Main());

    ASSERT_EQ(script_->log().size(), 1u);
    EXPECT_EQ(script_->log()[0].kind, QStringLiteral("MsgBox"));
    EXPECT_EQ(script_->log()[0].text, QStringLiteral("您是否下定决心运行多份程序！"));
    EXPECT_EQ(script_->log()[0].style, 52);
    EXPECT_EQ(App().ChildInputStyle, 2);
    EXPECT_FALSE(App().Translator);
    EXPECT_FALSE(QFile::exists(DataDbPath()));
}

TEST_F(StartupLauncherTest, SecondStartAnsweredYesRunsBesideTheFirst) {
    SingleCopyLock firstCopy(GetAppPath());
    App().ChildInputStyle = 2;
    App().SurnameLength = 0;
    App().StrgPswdDigest = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    script_->ExpectMsgBox(vb::Yes);
    bool launcherBuilt = false;
    script_->ExpectForm(QStringLiteral("mQentaraQp"), [&](QObject* form) {
        launcherBuilt = qobject_cast<mQentaraQp*>(form) != nullptr;
        return 0;
    });

    EXPECT_TRUE(MainProc::Main());

    EXPECT_TRUE(script_->AllConsumed());
    EXPECT_EQ(script_->log()[1].style, 0);  // modeless
    EXPECT_TRUE(launcherBuilt);
    EXPECT_EQ(App().ChildInputStyle, 1);
    EXPECT_EQ(App().SurnameLength, 1);
    // Every other module value starts as zero, False or empty until its owner loads it.
    EXPECT_FALSE(App().DefaultAlive);
    EXPECT_EQ(App().NodesPerPage, 0);
    EXPECT_EQ(App().StrgPswdDigest, QString());
    EXPECT_TRUE(QFile::exists(DataDbPath()));
    EXPECT_TRUE(App().DataDb.isOpen());
}

TEST_F(StartupLauncherTest, ADamagedBookFileIsSaidAtStartAndNotWritten) {
    EnsureBookFiles();
    dao::ReleaseAllIdleConnections();
    QFile pictures(ImageDbPath());
    ASSERT_TRUE(pictures.resize(pictures.size() - 100));
    const qint64 tornSize = pictures.size();
    script_->ExpectMsgBox(vb::OK);
    script_->ExpectForm(QStringLiteral("mQentaraQp"), {});

    EXPECT_TRUE(MainProc::Main());

    EXPECT_TRUE(script_->AllConsumed());
    ASSERT_GE(script_->log().size(), 1u);
    EXPECT_EQ(script_->log()[0].style, vb::Critical);
    EXPECT_TRUE(script_->log()[0].text.startsWith(QStringLiteral("文件 '%1' 已损坏").arg(ImageDbPath())))
        << script_->log()[0].text.toStdString();
    EXPECT_EQ(QFileInfo(ImageDbPath()).size(), tornSize);
}

TEST_F(StartupLauncherTest, FirstStartHoldsTheFolderUntilReleased) {
    script_->ExpectForm(QStringLiteral("mQentaraQp"), {});
    EXPECT_TRUE(MainProc::Main());
    EXPECT_EQ(dialogKinds(), QStringList{QStringLiteral("Form:mQentaraQp")});

    {
        SingleCopyLock another(GetAppPath());
        EXPECT_FALSE(another.acquired());
        EXPECT_TRUE(another.heldElsewhere());
    }
    MainProc::ReleaseSingleCopyLock();
    SingleCopyLock afterwards(GetAppPath());
    EXPECT_TRUE(afterwards.acquired());
}

TEST_F(StartupLauncherTest, LockFileLeftByAnEndedCopyDoesNotCount) {
    QFile left(GetAppPath() + SingleCopyLock::LockFileName());
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.write("4194303\n");
    left.close();
    script_->ExpectForm(QStringLiteral("mQentaraQp"), {});

    EXPECT_TRUE(MainProc::Main());
    EXPECT_EQ(dialogKinds(), QStringList{QStringLiteral("Form:mQentaraQp")});
}

// ---- Launcher: initialisation and load

TEST_F(StartupLauncherTest, FirstRunWithoutSettingsIsSimplifiedWithoutRepagination) {
    EnsureBookFiles();
    App().RepaginateNeeded = true;
    mQentaraQp form;

    EXPECT_EQ(form.objectName(), QStringLiteral("mQentaraQp"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Qentara族谱"));
    EXPECT_EQ(captions(form), kSimplified);
    EXPECT_EQ(App().LanguageId, 0);
    EXPECT_EQ(App().PrevLanguageId, 0);
    EXPECT_FALSE(App().RepaginateNeeded);
    ASSERT_TRUE(App().Translator);
    ASSERT_TRUE(App().CurrentUser);
    EXPECT_FALSE(App().CurrentUser->Logoned);
    EXPECT_EQ(App().CurrentUser->acc_id, 0);
    EXPECT_TRUE(App().DataDb.isOpen());
    EXPECT_TRUE(form.Timer1()->isActive());
    EXPECT_EQ(form.Timer1()->interval(), 5000);
    EXPECT_EQ(form.Timer1()->property("Tag").toString(), QString());
    EXPECT_TRUE(script_->log().empty());
}

TEST_F(StartupLauncherTest, DividerpageIsTrueOnlyWhenStoredExactlyAsTrue) {
    EnsureBookFiles();
    for (const auto& [stored, expected] :
         {std::pair{"true", false}, std::pair{"TRUE", false}, std::pair{"1", false},
          std::pair{"True ", false}, std::pair{"True", true}}) {
        SaveAppSetting(QStringLiteral("dividerpage"), QString::fromLatin1(stored));
        mQentaraQp form;
        EXPECT_EQ(App().RepaginateNeeded, expected) << stored;
    }
}

TEST_F(StartupLauncherTest, InitialisationRestoresTheLastAccountOnce) {
    EnsureBookFiles();
    {
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        db.Execute(QStringLiteral(
            "INSERT INTO \"tempinfo\" (\"msg_id\", \"msgName\", \"pageflag\") VALUES (5, '别人', 5)"));
        db.Execute(QStringLiteral(
            "INSERT INTO \"tempinfo\" (\"msg_id\", \"msgName\", \"pageflag\") VALUES (42, '老王', 6)"));
        db.Execute(QStringLiteral(
            "INSERT INTO \"tempinfo\" (\"msg_id\", \"msgName\", \"pageflag\") VALUES (43, '小李', 6)"));
    }
    auto first = std::make_unique<mQentaraQp>();
    EXPECT_EQ(App().CurrentUser->acc_id, 42);
    EXPECT_EQ(App().CurrentUser->NickName, QStringLiteral("老王"));
    EXPECT_FALSE(App().CurrentUser->Logoned);

    // Shown again after being closed, the launcher keeps the run's objects and what they hold.
    const auto translator = App().Translator;
    App().CurrentUser->acc_id = 7;
    first.reset();
    mQentaraQp again;
    EXPECT_EQ(App().Translator, translator);
    EXPECT_EQ(App().CurrentUser->acc_id, 7);
}

TEST_F(StartupLauncherTest, UnreadableMembersDatabaseIsNotReported) {
    QFile foreign(DataDbPath());
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write(QByteArray(4096, 'x'));
    foreign.close();

    mQentaraQp form;

    EXPECT_TRUE(script_->log().empty());
    EXPECT_FALSE(App().DataDb.isOpen());
    ASSERT_TRUE(App().CurrentUser);
    EXPECT_EQ(App().CurrentUser->acc_id, 0);
    EXPECT_EQ(captions(form), kSimplified);
    EXPECT_TRUE(form.Timer1()->isActive());
}

TEST_F(StartupLauncherTest, GetLastLogonAccountLeavesALoggedOnUserAlone) {
    EnsureBookFiles();
    App().CurrentUser = std::make_shared<Cls_User>();
    Cls数据操作 ops;
    ops.GetLastLogonAcc_id();  // no row: nothing changes
    EXPECT_EQ(App().CurrentUser->acc_id, 0);
    EXPECT_EQ(App().CurrentUser->NickName, QString());

    App().DataDb.Execute(QStringLiteral(
        "INSERT INTO \"tempinfo\" (\"msg_id\", \"msgName\", \"pageflag\") VALUES (9, 'Zhang', 6)"));
    App().CurrentUser->Logoned = true;
    App().CurrentUser->acc_id = 3;
    ops.GetLastLogonAcc_id();
    EXPECT_EQ(App().CurrentUser->acc_id, 3);
    EXPECT_EQ(App().CurrentUser->NickName, QString());

    App().CurrentUser->Logoned = false;
    ops.GetLastLogonAcc_id();
    EXPECT_EQ(App().CurrentUser->acc_id, 9);
    EXPECT_EQ(App().CurrentUser->NickName, QStringLiteral("Zhang"));
    EXPECT_FALSE(App().CurrentUser->Logoned);
}

// ---- Language items

TEST_F(StartupLauncherTest, LanguageItemsSwitchTheMenuAndAreStored) {
    EnsureBookFiles();
    mQentaraQp form;

    form.findChild<QAction*>(QStringLiteral("b_taiwan"))->trigger();
    EXPECT_EQ(captions(form), kTraditional);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Qentara族譜"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("Language")), QStringLiteral("1"));
    EXPECT_EQ(App().PrevLanguageId, 0);
    EXPECT_EQ(App().LanguageId, 1);

    form.b_china_Click();
    EXPECT_EQ(captions(form), kSimplified);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Qentara族谱"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("Language")), QStringLiteral("0"));
    EXPECT_EQ(App().PrevLanguageId, 1);

    // The language items leave the version check due.
    EXPECT_TRUE(form.Timer1()->isActive());
    EXPECT_TRUE(script_->log().empty());
}

TEST_F(StartupLauncherTest, ChoosingTheLanguageInForceConvertsNothingFromThen) {
    EnsureBookFiles();
    SaveAppSetting(QStringLiteral("Language"), QStringLiteral("1"));
    mQentaraQp form;
    EXPECT_EQ(captions(form), kTraditional);  // converted at load
    EXPECT_EQ(App().Translator->TransLanguage(QStringLiteral("测试")), QStringLiteral("測試"));

    form.b_taiwan_Click();
    EXPECT_EQ(GetAppSetting(QStringLiteral("Language")), QStringLiteral("1"));
    EXPECT_EQ(App().PrevLanguageId, 1);
    EXPECT_EQ(captions(form), kTraditional);
    EXPECT_EQ(App().Translator->TransLanguage(QStringLiteral("测试")), QStringLiteral("测试"));

    // Activation writes the caption afresh, and nothing converts it any more.
    form.Form_Activate();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Qentara族谱"));
    EXPECT_EQ(captions(form), kTraditional);
}

TEST_F(StartupLauncherTest, StoredLanguageThatIsNotOneOfOursNeverFails) {
    EnsureBookFiles();
    struct Case {
        const char* stored;
        qint32 language;
        const char* message;  // "" for none
    };
    for (const Case& c :
         {Case{"abc", 0, ""}, Case{"", 0, ""}, Case{"2", 2, ""}, Case{"3", 3, ""}, Case{"1.5", 2, ""},
          Case{"999", 0, "溢出"}, Case{"-1", 0, "溢出"}, Case{"1e400", 0, "溢出"}}) {
        ResetAppState();
        SaveAppSetting(QStringLiteral("Language"), QString::fromLatin1(c.stored));
        if (*c.message) script_->ExpectMsgBox(vb::OK);
        const size_t before = script_->log().size();

        mQentaraQp form;

        EXPECT_EQ(App().LanguageId, c.language) << c.stored;
        EXPECT_EQ(captions(form), kSimplified) << c.stored;
        ASSERT_EQ(script_->log().size() - before, *c.message ? 1u : 0u) << c.stored;
        if (*c.message) {
            EXPECT_EQ(script_->log().back().text, QString::fromUtf8(c.message));
            EXPECT_EQ(script_->log().back().style, 16);
        }
        EXPECT_TRUE(form.Timer1()->isActive());
    }
}

// ---- Version check and commands

TEST_F(StartupLauncherTest, NewerVersionIsOfferedOnceAndYesOpensTheUpdate) {
    EnsureBookFiles();
    VersionServer server("6.2.170");
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), server.base() + QStringLiteral("%x%y"));
    mQentaraQp form;
    script_->ExpectMsgBox(vb::Yes);
    script_->ExpectForm(QStringLiteral("FrmUpdate"), {});

    form.Timer1_Timer();

    ASSERT_TRUE(QTest::qWaitFor([&] { return script_->AllConsumed(); }, 5000));
    EXPECT_EQ(script_->log()[0].text, QStringLiteral("检测到新版本( 6.2.170 )是否立即升级？"));
    EXPECT_EQ(script_->log()[0].style, 68);
    EXPECT_EQ(script_->log()[1].style, 0);  // the update window is modeless
    EXPECT_FALSE(form.Timer1()->isActive());
    EXPECT_EQ(form.Timer1()->property("Tag").toString(), QStringLiteral("1"));

    // Never twice in one run, even when the timer is started again.
    form.Timer1()->start();
    form.Timer1_Timer();
    QTest::qWait(100);
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(script_->log().size(), 2u);
}

TEST_F(StartupLauncherTest, VersionOfferFollowsTheLanguageAndNoLeavesIt) {
    EnsureBookFiles();
    VersionServer server("-6.3.0");
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), server.base());
    SaveAppSetting(QStringLiteral("Language"), QStringLiteral("1"));
    mQentaraQp form;
    script_->ExpectMsgBox(vb::No);

    form.Timer1_Timer();

    EXPECT_TRUE(QTest::qWaitFor([&] { return script_->AllConsumed(); }, 5000));
    ASSERT_EQ(script_->log().size(), 1u);
    EXPECT_EQ(script_->log()[0].text, QStringLiteral("檢測到新版本( 6.3.0 )是否立即升級？"));
    EXPECT_EQ(form.Timer1()->property("Tag").toString(), QStringLiteral("1"));
}

TEST_F(StartupLauncherTest, NoNewerVersionOffersNothing) {
    EnsureBookFiles();
    VersionServer server("6.1.999");
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), server.base());
    mQentaraQp form;
    form.Timer1_Timer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.requests() == 1; }, 5000));
    QTest::qWait(100);
    EXPECT_TRUE(script_->log().empty());
    EXPECT_EQ(form.Timer1()->property("Tag").toString(), QStringLiteral("1"));
}

// A server that takes the connection and never answers must not hold the launcher: the check returns at
// once, input reaches the window meanwhile, and the answer, when it comes, is offered trimmed.
TEST_F(StartupLauncherTest, VersionCheckNeverBlocksInput) {
    EnsureBookFiles();
    TestHttpServer silent;
    silent.neverAnswer("/");
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), silent.base());
    mQentaraQp form;
    QLineEdit typing(&form);
    form.show();
    QElapsedTimer clock;
    clock.start();
    form.Timer1_Timer();
    EXPECT_LT(clock.elapsed(), 1000);
    QTest::keyClicks(&typing, QStringLiteral("abc"));
    QCoreApplication::postEvent(
        &typing, new QKeyEvent(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, QStringLiteral("d")));
    QCoreApplication::processEvents();
    EXPECT_EQ(typing.text(), QStringLiteral("abcd"));
    EXPECT_TRUE(script_->log().empty());

    VersionServer server("99.1.2 / \r\n");
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), server.base());
    mQentaraQp second;
    script_->ExpectMsgBox(vb::No);
    second.Timer1_Timer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return script_->AllConsumed(); }, 5000));
    EXPECT_EQ(script_->log().back().text, QStringLiteral("检测到新版本( 99.1.2 )是否立即升级？"));
}

TEST_F(StartupLauncherTest, CommandsStopTheVersionCheckAndOpenTheirWindows) {
    EnsureBookFiles();
    struct Command {
        void (mQentaraQp::*handler)();
        const char* form;
        int modal;
    };
    for (const Command& c : {Command{&mQentaraQp::m_recipe_Click, "dsptree", 0},
                             Command{&mQentaraQp::m_sysset_Click, "FrmSysSetup", 1},
                             Command{&mQentaraQp::b_test_Click, "FrmTest", 0},
                             Command{&mQentaraQp::online_update_Click, "FrmUpdate", 0},
                             Command{&mQentaraQp::b_connect_Click, "FrmAgent", 1},
                             Command{&mQentaraQp::m_SvrAB_Click, "FrmLittle", 1}}) {
        mQentaraQp form;
        script_->ExpectForm(QString::fromLatin1(c.form), {});  // FrmLittle cancelled: no service desk
        (form.*c.handler)();
        EXPECT_FALSE(form.Timer1()->isActive()) << c.form;
        ASSERT_TRUE(script_->AllConsumed()) << c.form;
        EXPECT_EQ(script_->log().back().text, QString::fromLatin1(c.form));
        EXPECT_EQ(script_->log().back().style, c.modal) << c.form;
    }
}

TEST_F(StartupLauncherTest, EveryItemIsEnabled) {
    EnsureBookFiles();
    mQentaraQp form;
    for (const QString& name : kMenuNames)
        EXPECT_TRUE(form.findChild<QAction*>(name)->isEnabled()) << qPrintable(name);
    EXPECT_EQ(form.findChild<QMenu*>(QStringLiteral("b_language"))->actions().size(), 2);
}

// ---- Shut-down

TEST_F(StartupLauncherTest, ClosingTheLauncherClosesEveryOtherWindow) {
    EnsureBookFiles();
    auto* form = new mQentaraQp;
    form->setAttribute(Qt::WA_DeleteOnClose);
    QWidget other;
    StubbornWindow stubborn;
    form->show();
    other.show();
    stubborn.show();

    EXPECT_TRUE(form->close());

    EXPECT_FALSE(other.isVisible());
    EXPECT_TRUE(stubborn.isVisible());  // a window that refuses stays, and the program with it
}

}  // namespace
