#include <gtest/gtest.h>
#include <utime.h>
#include <QAbstractProxyModel>
#include <QColor>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/forms/qt_interaction.h"
#include "platform/forms/qt_translations.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"

namespace {

// Installs a scripted Interaction for one test and puts the previous one back.
class InteractionTest : public ::testing::Test {
protected:
    void SetUp() override { ui = InstallScriptedInteraction(&previous_); }
    void TearDown() override { SetInteraction(std::move(previous_)); }

    ScriptedInteraction* ui = nullptr;

private:
    std::unique_ptr<Interaction> previous_;
};

std::string thrownBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const UnexpectedDialog& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST_F(InteractionTest, AnswersFromTheQueueInOrderAndRecordsEveryCall) {
    ui->ExpectMsgBox(vb::No);
    ui->ExpectInput(QStringLiteral("张三"));
    ui->ExpectInput(QStringLiteral("ignored"), true);
    ui->ExpectOpenFile(QStringLiteral("/tmp/a.mdb"));
    ui->ExpectSaveFile(QStringLiteral("/tmp/b.htm"));
    ui->ExpectFolder(QStringLiteral("/tmp/out"));
    ui->ExpectUrl(false);
    EXPECT_EQ(ui->remaining(), 7);

    EXPECT_EQ(UI().MsgBox(QStringLiteral("保存修改吗？"), vb::YesNo + vb::Question + vb::DefaultButton2,
                          QStringLiteral("提示")),
              vb::No);
    bool cancelled = true;
    EXPECT_EQ(UI().InputBox(QStringLiteral("姓名"), QStringLiteral("输入"), QStringLiteral("李"), &cancelled),
              QStringLiteral("张三"));
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(UI().InputBox(QStringLiteral("再输入"), {}, {}, &cancelled), QString());
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(
        UI().GetOpenFileName(QStringLiteral("打开"), QStringLiteral("Books (*.mdb)"), QStringLiteral("/tmp")),
        QStringLiteral("/tmp/a.mdb"));
    EXPECT_EQ(UI().GetSaveFileName(QStringLiteral("另存"), QStringLiteral("Pages (*.htm)")),
              QStringLiteral("/tmp/b.htm"));
    EXPECT_EQ(UI().BrowseForFolder(QStringLiteral("选择文件夹"), QStringLiteral("/home")),
              QStringLiteral("/tmp/out"));
    EXPECT_FALSE(UI().OpenUrl(QStringLiteral("http://example.org/")));
    EXPECT_TRUE(ui->AllConsumed());

    const auto& log = ui->log();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[0].kind, "MsgBox");
    EXPECT_EQ(log[0].text, QStringLiteral("保存修改吗？"));
    EXPECT_EQ(log[0].title, QStringLiteral("提示"));
    EXPECT_EQ(log[0].style, 4 + 32 + 256);
    EXPECT_EQ(log[1].kind, "InputBox");
    EXPECT_EQ(log[1].title, QStringLiteral("输入"));
    EXPECT_EQ(log[1].initial, QStringLiteral("李"));
    EXPECT_EQ(log[3].kind, "OpenFile");
    EXPECT_EQ(log[3].text, QStringLiteral("打开"));
    EXPECT_EQ(log[3].filter, QStringLiteral("Books (*.mdb)"));
    EXPECT_EQ(log[3].initial, QStringLiteral("/tmp"));
    EXPECT_EQ(log[4].kind, "SaveFile");
    EXPECT_EQ(log[5].kind, "Folder");
    EXPECT_EQ(log[5].initial, QStringLiteral("/home"));
    EXPECT_EQ(log[6].kind, "Url");
    EXPECT_EQ(log[6].text, QStringLiteral("http://example.org/"));
}

TEST_F(InteractionTest, RefusesDialogsTheTestDidNotQueue) {
    EXPECT_EQ(thrownBy([] { UI().MsgBox(QStringLiteral("删除吗？"), vb::YesNo); }),
              "Unexpected MsgBox \"删除吗？\": nothing queued");

    ui->ExpectInput(QStringLiteral("x"));
    EXPECT_EQ(thrownBy([] { UI().MsgBox(QStringLiteral("完成")); }),
              "Unexpected MsgBox \"完成\": InputBox queued next");
    // The mismatch leaves the expectation for the dialog that should have come.
    EXPECT_EQ(ui->remaining(), 1);
    EXPECT_FALSE(ui->AllConsumed());

    ScriptedInteraction other;
    other.ExpectForm(QStringLiteral("FrmUpdate"), [](QObject*) { return 1; });
    EXPECT_EQ(thrownBy([&] { other.ShowForm(QStringLiteral("FrmMsg_1A"), true); }),
              "Unexpected Form \"FrmMsg_1A\": Form \"FrmUpdate\" queued next");
    // Refused calls are still recorded, so a failure shows what came.
    ASSERT_EQ(other.log().size(), 1u);
    EXPECT_EQ(other.log()[0].text, QStringLiteral("FrmMsg_1A"));
}

TEST_F(InteractionTest, ColourAndPrintRangeAnswerFromTheQueueOrCancel) {
    ui->ExpectColor(0xFF8000u);
    ui->ExpectColor(std::nullopt);
    ui->ExpectPrintRange(4);
    ui->ExpectPrintRange(std::nullopt);
    EXPECT_EQ(UI().ChooseColor(QStringLiteral("底色")), std::optional<quint32>(0xFF8000u));
    EXPECT_EQ(UI().ChooseColor(), std::nullopt);
    EXPECT_EQ(UI().ChoosePrintFromPage(9), std::optional<int>(4));
    EXPECT_EQ(UI().ChoosePrintFromPage(2), std::nullopt);
    EXPECT_TRUE(ui->AllConsumed());

    const auto& log = ui->log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, "Color");
    EXPECT_EQ(log[0].title, QStringLiteral("底色"));
    EXPECT_EQ(log[2].kind, "PrintRange");
    EXPECT_EQ(log[2].text, "9");
    EXPECT_EQ(log[2].style, 9);
    EXPECT_EQ(log[3].style, 2);

    EXPECT_EQ(thrownBy([] { UI().ChooseColor(); }), "Unexpected Color \"\": nothing queued");
    ui->ExpectColor(0u);
    EXPECT_EQ(thrownBy([] { UI().ChoosePrintFromPage(5); }),
              "Unexpected PrintRange \"5\": Color queued next");
    EXPECT_EQ(ui->remaining(), 1);
    ui->ExpectPrintRange(1);
    EXPECT_EQ(thrownBy([] { UI().ChooseColor(); }), "(nothing thrown)");
    EXPECT_EQ(thrownBy([] { UI().MsgBox(QStringLiteral("好")); }),
              "Unexpected MsgBox \"好\": PrintRange queued next");
}

TEST_F(InteractionTest, FormDriverGetsTheRegisteredFormAndGivesTheResult) {
    QPointer<QDialog> created;
    FormRegistry::Register(QStringLiteral("FrmTestDriven"), [&created]() -> QObject* {
        auto* dialog = new QDialog;
        auto* edit = new QLineEdit(dialog);
        edit->setObjectName(QStringLiteral("TxtPswd"));
        created = dialog;
        return dialog;
    });

    QString typed;
    ui->ExpectForm(QStringLiteral("FrmTestDriven"), [&typed](QObject* form) {
        EXPECT_NE(form, nullptr);
        if (!form) return 0;
        auto* edit = form->findChild<QLineEdit*>(QStringLiteral("TxtPswd"));
        edit->setText(QStringLiteral("密码"));
        typed = edit->text();
        return 1;
    });
    ui->ExpectForm(QStringLiteral("FrmNotRegistered"), [](QObject* form) {
        EXPECT_EQ(form, nullptr);
        return -1;
    });

    EXPECT_EQ(UI().ShowForm(QStringLiteral("FrmTestDriven"), true), 1);
    EXPECT_EQ(typed, QStringLiteral("密码"));
    EXPECT_TRUE(created.isNull()) << "the driven form is deleted afterwards";
    EXPECT_EQ(UI().ShowForm(QStringLiteral("FrmNotRegistered"), false), -1);
    EXPECT_TRUE(ui->AllConsumed());
    EXPECT_EQ(ui->log()[0].style, 1);
    EXPECT_EQ(ui->log()[1].style, 0);
    FormRegistry::Unregister(QStringLiteral("FrmTestDriven"));
    EXPECT_EQ(FormRegistry::Create(QStringLiteral("FrmTestDriven")), nullptr);
}

TEST(InteractionDefault, WithoutAnInstalledInteractionEveryDialogThrows) {
    auto previous = SetInteraction(nullptr);
    try {
        UI().MsgBox(QStringLiteral("你好"));
        ADD_FAILURE() << "MsgBox answered without an Interaction";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "No Interaction is installed: MsgBox \"你好\"");
    }
    EXPECT_THROW(UI().ShowForm(QStringLiteral("FrmUpdate"), true), std::logic_error);
    EXPECT_THROW(UI().ChooseColor(), std::logic_error);
    EXPECT_THROW(UI().ChoosePrintFromPage(3), std::logic_error);
    SetInteraction(std::move(previous));
}

TEST(QtInteraction, BuildsMessageBoxesFromTheOldStyles) {
    auto box = QtInteraction::BuildMessageBox(QStringLiteral("<b>李</b>"),
                                              vb::YesNoCancel + vb::Exclamation + vb::DefaultButton3,
                                              QStringLiteral("标题"));
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("标题"));

    box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::AbortRetryIgnore + vb::Critical, {});
    EXPECT_EQ(box->standardButtons(), QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Abort));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);

    box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::YesNo + vb::Question + vb::DefaultButton2,
                                         {});
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    EXPECT_EQ(box->icon(), QMessageBox::Question);

    box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::RetryCancel + vb::Information, {});
    EXPECT_EQ(box->standardButtons(), QMessageBox::Retry | QMessageBox::Cancel);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::OKCancel, {});
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::OKOnly, {});
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);

    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::Ok), 1);
    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::Cancel), 2);
    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::Abort), 3);
    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::Retry), 4);
    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::Ignore), 5);
    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::Yes), 6);
    EXPECT_EQ(QtInteraction::AnswerFor(QMessageBox::No), 7);
}

TEST(QtInteraction, ColoursBecomeTheOldNumber) {
    EXPECT_EQ(QtInteraction::ToOldColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
    EXPECT_EQ(QtInteraction::ToOldColor(QColor(Qt::white)), 0xFFFFFFu);
    EXPECT_EQ(QtInteraction::ToOldColor(QColor(255, 0, 0, 10)), 0xFFu);  // no alpha byte
}

TEST(QtInteraction, TurnsOldFileFiltersIntoQtFilters) {
    EXPECT_EQ(QtInteraction::ToQtFilter(QStringLiteral("家谱文件(*.mdb)|*.mdb|所有文件 (*.*)|*.*")),
              QStringLiteral("家谱文件 (*.mdb);;所有文件 (*)"));
    EXPECT_EQ(QtInteraction::ToQtFilter(QStringLiteral("Pictures|*.jpg;*.gif")),
              QStringLiteral("Pictures (*.jpg *.gif)"));
    EXPECT_EQ(QtInteraction::ToQtFilter(QStringLiteral("Pages (*.htm);;All (*)")),
              QStringLiteral("Pages (*.htm);;All (*)"));
}

TEST(QtInteraction, ShowsRegisteredFormsAndRefusesUnknownOnes) {
    QtInteraction qt;
    EXPECT_EQ(qt.ShowForm(QStringLiteral("FrmNoSuchForm"), true), -1);
    EXPECT_EQ(qt.ShowForm(QStringLiteral("FrmNoSuchForm"), false), -1);

    int made = 0;
    QPointer<QWidget> window;
    FormRegistry::Register(QStringLiteral("FrmTestWindow"), [&]() -> QObject* {
        ++made;
        window = new QWidget;
        return window.data();
    });
    EXPECT_EQ(qt.ShowForm(QStringLiteral("FrmTestWindow"), false), 0);
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->isVisible());
    // A second show brings the open window forward rather than opening another.
    EXPECT_EQ(qt.ShowForm(QStringLiteral("FrmTestWindow"), false), 0);
    EXPECT_EQ(made, 1);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "a closed non-modal form is freed";
    FormRegistry::Unregister(QStringLiteral("FrmTestWindow"));

    // A modal dialog that accepts itself as soon as its loop runs: ShowForm gives exec()'s result.
    QPointer<QDialog> dialog;
    FormRegistry::Register(QStringLiteral("FrmTestModal"), [&]() -> QObject* {
        dialog = new QDialog;
        QTimer::singleShot(0, dialog.data(), [d = dialog.data()] { d->done(QDialog::Accepted); });
        return dialog.data();
    });
    EXPECT_EQ(qt.ShowForm(QStringLiteral("FrmTestModal"), true), 1);
    EXPECT_TRUE(dialog.isNull()) << "a modal form is freed once closed";
    FormRegistry::Unregister(QStringLiteral("FrmTestModal"));
}

// Inside a wait that shows the wait cursor, a question shows the ordinary one; the wait's comes back after.
TEST(QtInteraction, AQuestionShowsTheOrdinaryCursorInsideAWait) {
    QtInteraction qt;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Qt::CursorShape asked = Qt::WaitCursor;
    QTimer::singleShot(0, [&asked] {
        asked = QApplication::overrideCursor()->shape();
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    qt.MsgBox(QStringLiteral("问"));
    EXPECT_EQ(asked, Qt::ArrowCursor);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A window that does not place itself opens over the window the user is in, whole on the screen; one that
// places itself stays where it put itself.
TEST(QtInteraction, WindowsOpenOverTheActiveWindow) {
    QtInteraction qt;
    QWidget main;
    const QRect free = main.screen()->availableGeometry();
    QPointer<QWidget> window;
    QPoint placed;
    FormRegistry::Register(QStringLiteral("FrmTestWindow"), [&]() -> QObject* {
        window = new QWidget(nullptr, Qt::Window);
        window->resize(300, 200);
        if (!placed.isNull()) window->move(placed);
        return window.data();
    });
    for (const QPoint mainAt : {free.topLeft() + QPoint(400, 300), free.topLeft()}) {
        main.setGeometry(QRect(mainAt, QSize(500, 400)));
        main.show();
        QApplication::setActiveWindow(&main);
        ASSERT_EQ(qt.ShowForm(QStringLiteral("FrmTestWindow"), false), 0);
        const QRect shown = window->frameGeometry();
        EXPECT_TRUE(free.contains(shown));
        if (mainAt != free.topLeft())
            EXPECT_LE((shown.center() - main.frameGeometry().center()).manhattanLength(), 50);
        delete window.data();
    }
    placed = free.topLeft() + QPoint(7, 9);
    ASSERT_EQ(qt.ShowForm(QStringLiteral("FrmTestWindow"), false), 0);
    EXPECT_EQ(window->pos(), placed);
    delete window.data();
    FormRegistry::Unregister(QStringLiteral("FrmTestWindow"));
}

}  // namespace

// The standard buttons follow the interface language; the box is never narrower than its title.
TEST(QtInteraction, StandardButtonsSpeakTheInterfaceLanguage) {
    const struct {
        int language;
        const char* yes;
        const char* no;
        const char* ok;
        const char* cancel;
    } cases[] = {
        {0, "是", "否", "确定", "取消"}, {1, "是", "否", "確定", "取消"}, {0, "是", "否", "确定", "取消"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        ASSERT_TRUE(UseQtTranslations(c.language));
        auto box =
            QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::YesNoCancel, QStringLiteral("标题"));
        EXPECT_EQ(box->button(QMessageBox::Yes)->text().remove('&').left(1), QString::fromUtf8(c.yes));
        EXPECT_EQ(box->button(QMessageBox::No)->text().remove('&').left(1), QString::fromUtf8(c.no));
        EXPECT_TRUE(box->button(QMessageBox::Cancel)->text().startsWith(QString::fromUtf8(c.cancel)));
        box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::OKOnly, {});
        EXPECT_TRUE(box->button(QMessageBox::Ok)->text().startsWith(QString::fromUtf8(c.ok)));
    }
    const QString title = QStringLiteral("这是一个很长的标题，说明了为什么要问这个问题").repeated(2);
    auto box = QtInteraction::BuildMessageBox(QStringLiteral("?"), vb::OKOnly, title);
    box->adjustSize();
    EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(title));
}

// The file dialog in the interface language: its column titles, a folder's type and the dates it writes.
TEST(QtInteraction, FileDialogsSpeakTheInterfaceLanguage) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("家谱")));
    // Before ten in the morning, where an hour of two digits would show.
    const QDateTime modified(QDate(2024, 3, 5), QTime(9, 7));
    const struct utimbuf times { modified.toSecsSinceEpoch(), modified.toSecsSinceEpoch() };
    ASSERT_EQ(utime(QFile::encodeName(dir.filePath(QStringLiteral("家谱"))).constData(), &times), 0);
    const struct {
        int language;
        const char* type;
        const char* nameTitle;
        const char* locale;
    } cases[] = {{1, "資料夾", "名稱", "zh_TW"}, {0, "文件夹", "名称", "zh_CN"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        ASSERT_TRUE(UseQtTranslations(c.language));
        QFileSystemModel model;
        const QModelIndex root = model.setRootPath(dir.path());
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount(root) == 1; }, 5000));
        const QModelIndex folder = model.index(0, 2, root);
        EXPECT_EQ(model.data(folder).toString(), QString::fromUtf8(c.type));
        EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString::fromUtf8(c.nameTitle));
        EXPECT_EQ(QLocale().name(), QString::fromLatin1(c.locale));
        EXPECT_TRUE(QLocale()
                        .toString(QDate(2024, 3, 5), QLocale::LongFormat)
                        .startsWith(QStringLiteral("2024年3月5日")));
        // The dialog's date column, whatever the machine's locale.
        QAbstractProxyModel* dates = NewChineseFileDates(&model);
        dates->setSourceModel(&model);
        const QModelIndex shown = dates->mapFromSource(model.index(0, 3, root));
        EXPECT_EQ(dates->data(shown).toString(), QStringLiteral("2024/3/5 9:07"));
        EXPECT_EQ(dates->data(dates->mapFromSource(folder)).toString(), QString::fromUtf8(c.type));
    }
}
