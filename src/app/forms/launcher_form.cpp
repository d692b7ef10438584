#include "app/forms/launcher_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <exception>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/forms/program_icon.h"
#include "frame/http_procedures.h"
#include "frame/language.h"
#include "online/service_chat.h"
#include "online/user_record.h"
#include "platform/forms/qt_translations.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

const char* const kTag = "Tag";

}  // namespace

mQentaraQp::mQentaraQp(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mQentaraQp"));
    setWindowTitle(ProgramCaption());
    setWindowIcon(ProgramIcon());
    resize(640, 420);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

    QMenuBar* bar = menuBar();
    addCommand(nullptr, QStringLiteral("m_recipe"), QStringLiteral("我的族谱"), &mQentaraQp::m_recipe_Click);
    addCommand(nullptr, QStringLiteral("m_sysset"), QStringLiteral("系统设置"), &mQentaraQp::m_sysset_Click);
    addCommand(nullptr, QStringLiteral("b_test"), QStringLiteral("测试"), &mQentaraQp::b_test_Click);
    addCommand(nullptr, QStringLiteral("online_update"), QStringLiteral("在线升级"),
               &mQentaraQp::online_update_Click);
    addCommand(nullptr, QStringLiteral("m_SvrAB"), QStringLiteral("在线客服"), &mQentaraQp::m_SvrAB_Click);
    addCommand(nullptr, QStringLiteral("m_ebook"), QStringLiteral("电子文档下载"),
               &mQentaraQp::m_ebook_Click);
    QMenu* language = bar->addMenu(QStringLiteral("Language"));
    language->setObjectName(QStringLiteral("b_language"));
    language->menuAction()->setObjectName(QStringLiteral("b_language"));
    addCommand(language, QStringLiteral("b_china"), QStringLiteral("Simplified Chinese"),
               &mQentaraQp::b_china_Click);
    addCommand(language, QStringLiteral("b_taiwan"), QStringLiteral("Traditional Chinese"),
               &mQentaraQp::b_taiwan_Click);
    addCommand(nullptr, QStringLiteral("b_connect"), QStringLiteral("联络信息"),
               &mQentaraQp::b_connect_Click);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(5000);
    timer1_->setProperty(kTag, QString());
    connect(timer1_, &QTimer::timeout, this, &mQentaraQp::Timer1_Timer);

    Form_Initialize();
    Form_Load();
    timer1_->start();
}

void mQentaraQp::Register() {
    FormRegistry::Register(QStringLiteral("mQentaraQp"), [] { return new mQentaraQp; });
}

QAction* mQentaraQp::addCommand(QMenu* menu, const QString& name, const QString& caption,
                                void (mQentaraQp::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    if (menu)
        menu->addAction(action);
    else
        menuBar()->addAction(action);
    return action;
}

void mQentaraQp::Form_Initialize() {
    AppState& state = App();
    // Shown again after it was closed, the launcher finds the run's objects in place.
    if (state.Translator && state.CurrentUser) return;
    state.Translator = std::make_shared<ClsLanguage>();
    state.CurrentUser = std::make_shared<Cls_User>();
    state.CurrentUser->Logoned = false;
    // A missing, locked or foreign members database is not reported here: the launcher opens without it,
    // and each book command reports its own failure.
    try {
        Cls数据操作 ops;
        ops.GetLastLogonAcc_id();
        OpenDataDb(DataDbPath(), BookDbPassword());
    } catch (const std::exception&) {
    }
}

void mQentaraQp::Form_Load() {
    AppState& state = App();
    state.RepaginateNeeded = GetAppSetting(QStringLiteral("dividerpage")) == QLatin1String("True");
    try {
        state.LanguageId = CByte(Val(GetAppSetting(QStringLiteral("Language"))));
    } catch (const VbError& e) {
        // A stored language beyond 0 to 255: said once, and the interface stays as written.
        UI().MsgBox(e.Description(), vb::Critical);
        return;
    }
    applyLanguage();
}

void mQentaraQp::Form_Activate() {
    setWindowTitle(ProgramCaption());
    applyLanguage();
}

void mQentaraQp::applyLanguage() {
    UseQtTranslations(App().LanguageId);
    if (const auto& translator = App().Translator) translator->SetLanguage(this);
    update();  // the background shows the caption
}

// The check runs while the launcher goes on taking input: a server that accepts and never answers
// costs the offer, not the window.
void mQentaraQp::Timer1_Timer() {
    timer1_->stop();
    if (Val(timer1_->property(kTag).toString()) > 0) return;
    timer1_->setProperty(kTag, QStringLiteral("1"));
    CheckNewVersionAsync(this, kVersionCheckTimeoutMs,
                         [this](const QString& reply) { offerNewVersion(reply); });
}

void mQentaraQp::offerNewVersion(const QString& reply) {
    if (Val(reply) <= 0) return;
    // The user may have opened the update while the answer was on its way.
    for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("FrmUpdate") && window->isVisible()) return;
    const auto& translator = App().Translator;
    const auto trans = [&](const QString& text) {
        return translator ? translator->TransLanguage(text) : text;
    };
    const QString prompt = trans(QStringLiteral("检测到新版本( ")) + OfferedVersionText(reply) +
                           trans(QStringLiteral(" )是否立即升级？"));
    if (UI().MsgBox(prompt, vb::YesNo + vb::Information) == vb::Yes) online_update_Click();
}

void mQentaraQp::m_recipe_Click() {
    timer1_->stop();
    UI().ShowForm(QStringLiteral("dsptree"), false);
}

void mQentaraQp::m_sysset_Click() {
    timer1_->stop();
    UI().ShowForm(QStringLiteral("FrmSysSetup"), true);
}

void mQentaraQp::b_test_Click() {
    timer1_->stop();
    UI().ShowForm(QStringLiteral("FrmTest"), false);
}

void mQentaraQp::online_update_Click() {
    timer1_->stop();
    UI().ShowForm(QStringLiteral("FrmUpdate"), false);
}

void mQentaraQp::m_SvrAB_Click() {
    timer1_->stop();
    OpenServiceChat();
}

void mQentaraQp::b_china_Click() {
    chooseLanguage(0);
}

void mQentaraQp::b_taiwan_Click() {
    chooseLanguage(1);
}

void mQentaraQp::b_connect_Click() {
    timer1_->stop();
    UI().ShowForm(QStringLiteral("FrmAgent"), true);
}

// The e-book library, which no other window opens.
void mQentaraQp::m_ebook_Click() {
    timer1_->stop();
    UI().ShowForm(QStringLiteral("FrmDownLd"), false);
}

// The language items leave the version check alone.
void mQentaraQp::chooseLanguage(qint32 languageId) {
    AppState& state = App();
    state.PrevLanguageId = state.LanguageId;
    state.LanguageId = languageId;
    SaveAppSetting(QStringLiteral("Language"), QString::number(languageId));
    // The language already in force converts nothing, now and until another one is chosen.
    if (state.PrevLanguageId != state.LanguageId) applyLanguage();
}

void mQentaraQp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int top = menuBar()->isVisible() ? menuBar()->geometry().bottom() + 1 : 0;
    const QRectF area(0, top, width(), height() - top);

    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0.0, QColor(0xfb, 0xf4, 0xe4));
    sky.setColorAt(0.65, QColor(0xf1, 0xdf, 0xb8));
    sky.setColorAt(1.0, QColor(0xd9, 0xbc, 0x86));
    p.fillRect(area, sky);

    // A double frame in seal red, as on the cover of a printed family book.
    const QColor seal(0x9c, 0x1f, 0x1f);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(seal, 3));
    p.drawRect(area.adjusted(18, 18, -18, -18));
    p.setPen(QPen(seal, 1));
    p.drawRect(area.adjusted(26, 26, -26, -26));

    // The caption, which follows the interface language.
    QFont title(QStringLiteral("Noto Serif CJK SC"));
    title.setPixelSize(qMax(24, int(area.height() / 7)));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x5a, 0x12, 0x12));
    const QRectF titleArea(area.left(), area.top() + area.height() * 0.28, area.width(),
                           area.height() * 0.25);
    p.drawText(titleArea, Qt::AlignCenter, windowTitle());

    // A seal stamp under the title, with the title's last character.
    const qreal side = qMax(36.0, area.height() / 7);
    const QRectF stamp(area.center().x() - side / 2, titleArea.bottom() + side * 0.4, side, side);
    p.setPen(Qt::NoPen);
    p.setBrush(seal);
    p.drawRoundedRect(stamp, side / 8, side / 8);
    QFont mark(QStringLiteral("Noto Serif CJK SC"));
    mark.setPixelSize(int(side * 0.62));
    mark.setBold(true);
    p.setFont(mark);
    p.setPen(QColor(0xfb, 0xf4, 0xe4));
    p.drawText(stamp, Qt::AlignCenter, windowTitle().right(1));
}

void mQentaraQp::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QMainWindow::changeEvent(event);
}

void mQentaraQp::closeEvent(QCloseEvent* event) {
    // Every other window goes first, in turn; one that refuses to close stays open and keeps the
    // program running.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == this) continue;
        const Qt::WindowType type = window->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop) continue;
        window->close();
    }
    event->accept();
}
