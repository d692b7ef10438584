#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/forms/progress_window.h"
#include "frame/progress.h"
#include "mainwin/forms/frm_little.h"
#include "platform/interaction/form_registry.h"

namespace {

int VisibleWaitWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmPBar*>(w) && w->isVisible()) ++count;
    return count;
}

}  // namespace

TEST(ProgressWindowTest, ShowingTwiceLeavesOneWindowWithTheBarRestarted) {
    ProgressWindowSink sink;
    EXPECT_FALSE(sink.IsShown());
    sink.Show();
    FrmPBar* window = sink.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(sink.IsShown());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(window->size(), QSize(320, 17));
    window->Timer1_Timer();
    window->Timer1_Timer();
    EXPECT_EQ(window->bar()->value(), 6);

    sink.Show();
    EXPECT_EQ(sink.window(), window);
    EXPECT_EQ(VisibleWaitWindows(), 1);
    EXPECT_EQ(window->bar()->value(), 0);

    // The wait cursor shows with the window, once however often it is shown, and goes with it.
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    sink.Hide();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(sink.IsShown());
    EXPECT_EQ(VisibleWaitWindows(), 0);
    // Hidden between uses, never re-created.
    sink.Show();
    EXPECT_EQ(sink.window(), window);
}

TEST(ProgressWindowTest, BarCyclesByThreeWrappingAtTheMaximum) {
    FrmPBar window;
    QProgressBar* bar = window.bar();
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(window.timer()->interval(), 15);
    EXPECT_TRUE(window.timer()->isActive());
    bar->setValue(99);
    window.Timer1_Timer();
    EXPECT_EQ(bar->value(), 2);

    // A maximum of 0 stops the bar instead of dividing by it, and activation repairs it.
    bar->setMaximum(0);
    window.Timer1_Timer();
    window.Form_Activate();
    EXPECT_EQ(bar->maximum(), 10);
    EXPECT_EQ(bar->value(), 0);
    QList<int> seen;
    for (int i = 0; i < 4; ++i) {
        window.Timer1_Timer();
        seen << bar->value();
    }
    EXPECT_EQ(seen, (QList<int>{3, 6, 9, 2}));
}

TEST(ProgressWindowTest, TimerMovesTheBarWhileEventsRun) {
    ProgressWindowSink sink;
    sink.Show();
    // A loaded machine (or a sanitizer build) may take longer than a few ticks to show the window.
    QElapsedTimer waited;
    waited.start();
    while (sink.window()->bar()->value() == 0 && waited.elapsed() < 5000) QTest::qWait(15);
    EXPECT_GT(sink.window()->bar()->value(), 0);
}

TEST(ProgressWindowTest, InstalledSinkServesProgressScopes) {
    auto previous = SetProgressSink(std::make_unique<ProgressWindowSink>());
    {
        ProgressScope scope;
        EXPECT_TRUE(Progress().IsShown());
        EXPECT_EQ(VisibleWaitWindows(), 1);
    }
    EXPECT_FALSE(Progress().IsShown());
    SetProgressSink(std::move(previous));
}

TEST(ProgressWindowTest, AnInnerOperationLeavesTheWindowToTheOuterOne) {
    auto counting = std::make_unique<CountingProgress>();
    CountingProgress* sink = counting.get();
    auto previous = SetProgressSink(std::move(counting));
    {
        ProgressScope outer;
        { ProgressScope inner; }
        EXPECT_TRUE(sink->IsShown());
    }
    EXPECT_FALSE(sink->IsShown());
    EXPECT_EQ(sink->shows, 1);
    EXPECT_EQ(sink->hides, 1);
    SetProgressSink(std::move(previous));
}

namespace {

class FrmLittleTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override { ResetAppState(); }

    // A mode-8 dialog as OpenServiceChat gets it: by name, loaded.
    std::unique_ptr<FrmLittle> openQQPrompt(const QString& stored, const QString& preselect) {
        SaveAppSetting(QStringLiteral("MyQQ"), stored);
        App().FormParamString = QStringLiteral("left over");
        App().FormParamString2 = preselect;
        App().LittleRunType = 8;
        FrmLittle::RegisterForm();
        std::unique_ptr<FrmLittle> form(
            qobject_cast<FrmLittle*>(FormRegistry::Create(QStringLiteral("FrmLittle"))));
        return form;
    }
    static QComboBox* combo(FrmLittle* form) {
        return form->findChild<QComboBox*>(QStringLiteral("Cmb指定为"));
    }
    static QStringList items(FrmLittle* form) {
        QStringList out;
        for (int i = 0; i < combo(form)->count(); ++i) out << combo(form)->itemText(i);
        return out;
    }
    static void press(FrmLittle* form, const char* button) {
        form->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }
};

}  // namespace

TEST_F(FrmLittleTest, QQModeOffersTheStoredNumbersAndWritesThemBack) {
    auto form = openQQPrompt(QStringLiteral("%111%222"), QStringLiteral("333abc"));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->RunType(), 8);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("绑定客服QQ号"));
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("LblMsg"))->text(), QStringLiteral("已登录的QQ号："));
    EXPECT_TRUE(combo(form.get())->isVisibleTo(form.get()));
    EXPECT_FALSE(form->findChild<QWidget*>(QStringLiteral("TxtDestNode"))->isVisibleTo(form.get()));
    EXPECT_EQ(items(form.get()), (QStringList{"111", "222"}));
    EXPECT_EQ(combo(form.get())->currentText(), QStringLiteral("333"));
    EXPECT_EQ(combo(form.get())->lineEdit()->palette().color(QPalette::Text), QColor(255, 0, 0));
    // Loading empties the answer, so a cancel answers "".
    EXPECT_EQ(App().FormParamString, QString());

    press(form.get(), "CmdOK");
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(App().FormParamString, QStringLiteral("333"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%111%222%333"));
}

// With nothing stored and no number proposed, the list offers "0" and the box is left for the user's own.
TEST_F(FrmLittleTest, QQModeWithNothingStoredOffersZeroAndAnEmptyBox) {
    auto form = openQQPrompt(QString(), QString());
    EXPECT_EQ(items(form.get()), QStringList{"0"});
    EXPECT_EQ(combo(form.get())->currentText(), QString());
    press(form.get(), "CmdOK");
    EXPECT_EQ(App().FormParamString, QString());
    EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%0"));
}

TEST_F(FrmLittleTest, TypedNumberIsCleanedAndJoinsTheListOnce) {
    auto form = openQQPrompt(QStringLiteral("%111%222"), QStringLiteral("111"));
    combo(form.get())->setEditText(QStringLiteral("  4{5}6% "));
    form->Cmb指定为_LostFocus();
    EXPECT_EQ(combo(form.get())->currentText(), QStringLiteral("456"));
    EXPECT_EQ(items(form.get()), (QStringList{"111", "222", "456"}));
    combo(form.get())->setEditText(QStringLiteral("222"));
    press(form.get(), "CmdOK");
    EXPECT_EQ(App().FormParamString, QStringLiteral("222"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%111%222%456"));
}

TEST_F(FrmLittleTest, CancelLeavesTheAnswerAndTheStoredListAlone) {
    auto form = openQQPrompt(QStringLiteral("%111"), QStringLiteral("999"));
    App().FormParamString = QStringLiteral("unchanged");
    press(form.get(), "CmdCancel");
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(App().FormParamString, QStringLiteral("unchanged"));
    EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%111"));
}

TEST_F(FrmLittleTest, ClickingThePromptPastesTheClipboard) {
    auto form = openQQPrompt(QStringLiteral("%111"), QString());
    QApplication::clipboard()->setText(QStringLiteral("  54321 "));
    if (QApplication::clipboard()->text() != QStringLiteral("  54321 ")) GTEST_SKIP() << "no clipboard";
    form->LblMsg_Click();
    EXPECT_EQ(combo(form.get())->currentText(), QStringLiteral("54321"));
}

// The wait window stays on top: while an operation tells the user something it must be out of the way
// of the message box's buttons, and back afterwards; a pause outside any operation shows nothing.
TEST(ProgressWindowTest, APauseTakesTheWaitWindowAwayOnlyWhileItLasts) {
    std::unique_ptr<ProgressSink> previous = SetProgressSink(std::make_unique<ProgressWindowSink>());
    {
        ProgressScope operation;
        EXPECT_EQ(VisibleWaitWindows(), 1);
        {
            ProgressPause pause;
            EXPECT_EQ(VisibleWaitWindows(), 0);
        }
        EXPECT_EQ(VisibleWaitWindows(), 1);
    }
    EXPECT_EQ(VisibleWaitWindows(), 0);
    {
        ProgressPause pause;
        EXPECT_EQ(VisibleWaitWindows(), 0);
    }
    EXPECT_EQ(VisibleWaitWindows(), 0);
    SetProgressSink(std::move(previous));
}
