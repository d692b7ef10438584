#include "online/forms/frm_logon.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

#include "frame/app_state.h"
#include "frame/credential_lapse.h"
#include "frame/forms/window_utils.h"
#include "frame/http_procedures.h"
#include "frame/language.h"
#include "frame/server_connection.h"
#include "online/adv_pswd.h"
#include "online/forms/group_button.h"
#include "online/forms/message_page_view.h"
#include "online/latency_probe.h"
#include "online/logon_gate.h"
#include "online/user_record.h"
#include "platform/door/server_error.h"
#include "platform/http/http_client.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

constexpr int kWindowWidthTwips = 5715;
constexpr int kInitialHeight = 430;
constexpr int kMinimumHeight = 300;
constexpr int kPageTop = 142;  // the message page and the book-root list
constexpr int kDescriptTop = 192;
constexpr int kLabelLeft = 8, kLabelWidth = 72, kFieldLeft = 80, kFieldWidth = 200, kRowHeight = 24;
constexpr int kAccountTop = 12;
constexpr int kAgainTop = 72, kSecondTop = 102, kLevelTop = 162;
constexpr int kOptionLeft = 300, kOptionTop = 8, kOptionStep = 22;
constexpr int kButtonWidth = 70, kButtonHeight = 28;
constexpr int kFrameLeft = 290;
constexpr int kProgressMaximum = 100;
constexpr int kProgressIntervalMs = 500;
constexpr int kProbeIntervalMs = 3000;
constexpr int kProbeTimeoutMs = 2500;
constexpr int kLastProbeTick = 15;  // the timer stops after the sixteenth probe

// Where a mode puts the rows and buttons; a label sits 4 pixels below its field's top. No caption and
// no buttons: the mode leaves them where they are.
struct ModeLayout {
    const char* caption;
    int frameTop, passwordTop, nicknameTop;
    bool movesButtons;
    int okTop, okLeft, cancelTop, cancelLeft;
};
constexpr ModeLayout kLayouts[4] = {
    {"登录", 120, 72, 42, true, 106, 96, 106, 194},
    {"注册", 180, 42, 132, true, 110, 306, 148, 306},
    {"下载", 120, 72, 42, true, 106, 96, 106, 194},
    {nullptr, 120, 72, 42, false, 0, 0, 0, 0},
};

const char* const kModeNames[4] = {"登录", "注册", "下载", "退出"};

// Bars of a signal meter: the better the connection, the more bars lit.
QPixmap LatencyPixmap(int picture) {
    static const QColor colours[] = {QColor(0x2e, 0x9d, 0x3a), QColor(0x8d, 0xb8, 0x22),
                                     QColor(0xe0, 0x8a, 0x12), QColor(0xcc, 0x2b, 0x2b)};
    QPixmap pixmap(22, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const int lit = 5 - picture;
    for (int bar = 0; bar < 4; ++bar) {
        const int height = 4 + bar * 4;
        painter.fillRect(QRect(1 + bar * 5, 16 - height, 4, height),
                         bar < lit ? colours[picture - 1] : QColor(0xc8, 0xc8, 0xc8));
    }
    return pixmap;
}

}  // namespace

FrmLogon::FrmLogon(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::fromLatin1(kLogonFormName));
    setWindowTitle(QStringLiteral("登录"));
    setFixedWidth(TwipsToPixels(kWindowWidthTwips));
    setMinimumHeight(kMinimumHeight);
    resize(width(), kInitialHeight);

    for (int i = 0; i < 4; ++i) {
        optLogon_[i] = new QRadioButton(QString::fromUtf8(kModeNames[i]), this);
        optLogon_[i]->setObjectName(QStringLiteral("OptLogon%1").arg(i));
        optLogon_[i]->setGeometry(kOptionLeft, kOptionTop + i * kOptionStep, 76, kOptionStep);
        connect(optLogon_[i], &QRadioButton::clicked, this, [this, i] { OptLogon_Click(i); });
    }

    txtAccNo_ = addField(QStringLiteral("Lblacc_no"), QStringLiteral("帐    号："),
                         QStringLiteral("TxtAcc_No"), &lblAccNo_);
    txtAccNo_->setToolTip(QStringLiteral("不显示，不可更改"));
    // No longer than the server keeps, so that a registration is never turned down for its length.
    txtAccNo_->setMaxLength(LogonRules::kMaxAccountChars);
    placeRow(lblAccNo_, txtAccNo_, kAccountTop + 4, kAccountTop);
    txtPswd_ = addField(QStringLiteral("Lblpswd"), QStringLiteral("密    码："), QStringLiteral("TxtPswd"),
                        &lblPswd_);
    txtPswd1_ = addField(QStringLiteral("Lblpswd1"), QStringLiteral("验证密码："), QStringLiteral("TxtPswd1"),
                         &lblPswd1_);
    placeRow(lblPswd1_, txtPswd1_, kAgainTop + 4, kAgainTop);
    txtPswd2_ = addField(QStringLiteral("Lblpswd2"), QStringLiteral("二级密码："), QStringLiteral("TxtPswd2"),
                         &lblPswd2_);
    txtPswd2_->setToolTip(QStringLiteral("修改密码的唯一凭证"));
    placeRow(lblPswd2_, txtPswd2_, kSecondTop + 4, kSecondTop);
    for (QLineEdit* secret : {txtPswd_, txtPswd1_, txtPswd2_}) secret->setEchoMode(QLineEdit::Password);
    txtNick_ = addField(QStringLiteral("LblNick"), QStringLiteral("昵    称："), QStringLiteral("TxtNick"),
                        &lblNick_);
    txtNick_->setToolTip(QStringLiteral("对外显示名，不能更改"));
    txtNick_->setMaxLength(LogonRules::kMaxNicknameChars);
    showRegistrationRows(false);

    lblRight_ = new QLabel(QStringLiteral("数据开放："), this);
    lblRight_->setObjectName(QStringLiteral("LblRight"));
    lblRight_->setGeometry(kLabelLeft, kLevelTop + 4, kLabelWidth, kRowHeight - 4);
    cmbRight_ = new QComboBox(this);
    cmbRight_->setObjectName(QStringLiteral("CmbRight"));
    cmbRight_->setGeometry(kFieldLeft, kLevelTop, kFieldWidth, kRowHeight);
    lblRight_->hide();
    cmbRight_->hide();

    // Below the page and the list, which cover it wherever they show.
    lblDescript_ = new QLabel(QStringLiteral("自我简介："), this);
    lblDescript_->setObjectName(QStringLiteral("Lbldescript"));
    lblDescript_->setGeometry(kLabelLeft, kDescriptTop + 4, kLabelWidth, kRowHeight - 4);
    txtDescript_ = new QPlainTextEdit(this);
    txtDescript_->setObjectName(QStringLiteral("TxtDescript"));
    lblDescript_->hide();
    txtDescript_->hide();

    lstZpRoot_ = new QTreeWidget(this);
    lstZpRoot_->setObjectName(QStringLiteral("Lst_ZpRoot"));
    lstZpRoot_->setRootIsDecorated(false);
    lstZpRoot_->setProperty("Tag", QString());
    lstZpRoot_->hide();
    connect(lstZpRoot_, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item) { Lst_ZpRoot_ItemCheck(item); });

    webMessage_ = new MessagePageView(this);
    webMessage_->setObjectName(QStringLiteral("WebMessage"));
    webMessage_->hide();

    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(kFrameLeft, kLayouts[0].frameTop, 88, 20);
    image1_ = new QLabel(frame1_);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setToolTip(QStringLiteral("网络状态"));
    image1_->setGeometry(2, 2, 22, 16);
    pbarT2_ = new QProgressBar(frame1_);
    pbarT2_->setObjectName(QStringLiteral("PBarT2"));
    pbarT2_->setTextVisible(false);
    pbarT2_->setGeometry(28, 5, 56, 10);
    pbarT2_->hide();

    cmdOK_ = new QPushButton(QStringLiteral("确认"), this);
    cmdOK_->setObjectName(QStringLiteral("CmdOK"));
    cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel_->setObjectName(QStringLiteral("CmdCancel"));
    for (QPushButton* button : {cmdOK_, cmdCancel_}) {
        button->setAutoDefault(false);
        button->resize(kButtonWidth, kButtonHeight);
    }
    connect(cmdOK_, &QPushButton::clicked, this, &FrmLogon::CmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmLogon::CmdCancel_Click);

    t2_ = new QTimer(this);
    t2_->setObjectName(QStringLiteral("T2"));
    t2_->setInterval(kProgressIntervalMs);
    connect(t2_, &QTimer::timeout, this, &FrmLogon::T2_Timer);
    t2_->start();
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(kProbeIntervalMs);
    timer1_->setProperty("Tag", QString());
    connect(timer1_, &QTimer::timeout, this, &FrmLogon::Timer1_Timer);
    probe_ = new LatencyProbe(this);
    connect(probe_, &LatencyProbe::measured, this, &FrmLogon::ShowLatency);
}

FrmLogon::~FrmLogon() = default;

void FrmLogon::RegisterForm() {
    FormRegistry::Register(QString::fromLatin1(kLogonFormName), []() -> QObject* {
        // The first opening of a run sets up the network, which can take a second.
        BusyCursor busy;
        auto* form = new FrmLogon;
        form->Form_Load();
        return form;
    });
}

QLineEdit* FrmLogon::addField(const QString& labelName, const QString& caption, const QString& name,
                              QLabel** label) {
    *label = new QLabel(caption, this);
    (*label)->setObjectName(labelName);
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->installEventFilter(this);
    return field;
}

void FrmLogon::placeRow(QLabel* label, QLineEdit* field, int labelTop, int fieldTop) {
    label->setGeometry(kLabelLeft, labelTop, kLabelWidth, kRowHeight - 4);
    field->setGeometry(kFieldLeft, fieldTop, kFieldWidth, kRowHeight);
}

void FrmLogon::showRegistrationRows(bool shown) {
    for (QWidget* widget : std::initializer_list<QWidget*>{lblPswd1_, txtPswd1_, lblPswd2_, txtPswd2_})
        widget->setVisible(shown);
}

QString FrmLogon::ShownText(const QString& text) const {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

void FrmLogon::say(const QString& text, int style) {
    UI().MsgBox(ShownText(text), style);
}

void FrmLogon::Form_Load() {
    pbarT2_->setMaximum(kProgressMaximum);
    webMessage_->show();
    webMessage_->clear();
    const QUrl page = QUrl(GetServerBaseUrl() + QStringLiteral("/public_message/pmessage.htm"));
    messageRequest_ = new AsyncHttpGet(this);
    connect(messageRequest_, &AsyncHttpGet::finished, this, [this, page](const QString&, bool ok) {
        if (ok) webMessage_->ShowPage(messageRequest_->body(), page);
    });
    messageRequest_->start(page, HttpTimeoutMs());
    timer1_->start();

    cmbRight_->clear();
    cmbRight_->addItems(LogonRules::LevelNames());
    const int level = CurrentUserRecord().OpenLevel;
    cmbRight_->setCurrentIndex(level < cmbRight_->count() ? level : -1);

    optLogon_[LogonRules::kLogon]->setChecked(true);
    OptLogon_Click(LogonRules::kLogon);
    if (App().Translator) App().Translator->SetLanguage(this);
}

void FrmLogon::OptLogon_Click(int index) {
    if (index < 0 || index > 3) return;
    mode_ = index;
    if (!optLogon_[index]->isChecked()) optLogon_[index]->setChecked(true);
    const Cls_User& user = CurrentUserRecord();
    const bool loggedOn = user.Logoned;
    if (loggedOn) txtNick_->setText(user.NickName);
    for (QLabel* label : {lblAccNo_, lblPswd_, lblPswd1_, lblPswd2_, lblNick_}) label->setEnabled(!loggedOn);

    const ModeLayout& layout = kLayouts[index];
    if (layout.caption) setWindowTitle(ShownText(QString::fromUtf8(layout.caption)));
    for (QWidget* widget :
         std::initializer_list<QWidget*>{lblAccNo_, txtAccNo_, lblPswd_, txtPswd_, lblNick_, txtNick_})
        widget->show();
    txtAccNo_->setEnabled(!loggedOn);
    txtPswd_->setEnabled(!loggedOn);
    const bool registering = index == LogonRules::kRegister;
    showRegistrationRows(registering);
    if (registering) {
        for (QLineEdit* field : {txtPswd1_, txtPswd2_, txtNick_}) field->setEnabled(!loggedOn);
        lblRight_->show();
        cmbRight_->show();
    } else {
        lblNick_->setEnabled(false);
        txtNick_->setEnabled(false);
    }
    if (index == LogonRules::kDownload) {
        lblDescript_->show();
        txtDescript_->show();
    }
    if (index != LogonRules::kLogoff) lstZpRoot_->setVisible(index == LogonRules::kDownload);
    webMessage_->setVisible(index == LogonRules::kLogon || index == LogonRules::kLogoff);

    frame1_->move(kFrameLeft, layout.frameTop);
    placeRow(lblPswd_, txtPswd_, layout.passwordTop + 4, layout.passwordTop);
    placeRow(lblNick_, txtNick_, layout.nicknameTop + 4, layout.nicknameTop);
    if (layout.movesButtons) {
        cmdOK_->move(layout.okLeft, layout.okTop);
        cmdCancel_->move(layout.cancelLeft, layout.cancelTop);
    }
    if (index == LogonRules::kDownload) fillBookRoots();
}

void FrmLogon::fillBookRoots() {
    try {
        if (Val(lstZpRoot_->property("Tag").toString()) > 0) return;  // filled once per showing
    } catch (const VbError&) {
    }
    const QSignalBlocker quiet(lstZpRoot_);
    lstZpRoot_->clear();
    lstZpRoot_->setColumnCount(1);
    lstZpRoot_->setHeaderLabels({ShownText(QStringLiteral("选中可下载正在编修的族谱"))});
    lstZpRoot_->setColumnWidth(0, lstZpRoot_->width() - 6);
    // Before the log-on only what is open to the world can be listed: the account recalled from the last
    // run proves nothing.
    const Cls_User& user = CurrentUserRecord();
    const LogonRules::BookRoots list = LogonRules::ParseBookRoots(
        HttpGetTextAsUser(LogonRules::BookRootsUrl(user.Logoned ? user.acc_id : 0)));
    for (const LogonRules::BookRoot& root : list.roots) {
        auto* item = new QTreeWidgetItem(lstZpRoot_, {root.text});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, Qt::UserRole, root.id);
    }
    if (list.complete) lstZpRoot_->setProperty("Tag", QStringLiteral("1"));
    bookRootsShown_ = true;
    backToLogonIfLapsed();
}

bool FrmLogon::backToLogonIfLapsed() {
    if (!TakeCredentialLapse()) return false;
    say(kLogonLapsedMessage, vb::Exclamation);
    OptLogon_Click(LogonRules::kLogon);
    return true;
}

void FrmLogon::Lst_ZpRoot_ItemCheck(QTreeWidgetItem* item) {
    if (!item || item->checkState(0) != Qt::Checked) return;
    QStringList texts;
    QList<bool> ticked;
    for (int i = 0; i < lstZpRoot_->topLevelItemCount(); ++i) {
        texts << lstZpRoot_->topLevelItem(i)->text(0);
        ticked << (lstZpRoot_->topLevelItem(i)->checkState(0) == Qt::Checked);
    }
    const QSignalBlocker quiet(lstZpRoot_);
    for (int i : LogonRules::ItemsToUntick(texts, ticked, lstZpRoot_->indexOfTopLevelItem(item)))
        lstZpRoot_->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
}

void FrmLogon::cleanField(QLineEdit* field) {
    const QString cleaned =
        field == txtNick_ ? LogonRules::CleanNickname(field->text()) : LogonRules::CleanField(field->text());
    if (cleaned != field->text()) field->setText(cleaned);
}

void FrmLogon::cleanFields() {
    for (QLineEdit* field : {txtAccNo_, txtPswd_, txtPswd1_, txtPswd2_, txtNick_}) cleanField(field);
}

bool FrmLogon::eventFilter(QObject* watched, QEvent* event) {
    if (EnterKeyMovesFocus(event)) return true;
    if (event->type() == QEvent::FocusOut) {
        if (auto* field = qobject_cast<QLineEdit*>(watched);
            field && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            cleanField(field);
    }
    return QDialog::eventFilter(watched, event);
}

void FrmLogon::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int below = qMax(0, height() - kPageTop);
    lstZpRoot_->setGeometry(0, kPageTop, width(), below);
    webMessage_->setGeometry(0, kPageTop, width(), below);
    txtDescript_->setGeometry(kFieldLeft, kDescriptTop, width() - kFieldLeft - kLabelLeft,
                              qMax(0, height() - kDescriptTop));
}

bool FrmLogon::registrationAccepted() {
    const auto refusal = LogonRules::CheckRegistration(
        {txtAccNo_->text(), txtPswd_->text(), txtPswd1_->text(), txtPswd2_->text(), txtNick_->text()});
    if (!refusal) return true;
    say(refusal->message, refusal->style);
    QLineEdit* field = nullptr;
    switch (refusal->field) {
        case LogonRules::Field::Account:
            field = txtAccNo_;
            break;
        case LogonRules::Field::Password:
            field = txtPswd_;
            break;
        case LogonRules::Field::PasswordAgain:
            field = txtPswd1_;
            field->clear();
            break;
        case LogonRules::Field::SecondPassword:
            field = txtPswd2_;
            break;
        case LogonRules::Field::Nickname:
            field = txtNick_;
            break;
    }
    field->setFocus();
    return false;
}

void FrmLogon::setBusy(bool busy) {
    pbarT2_->setVisible(busy);
    // The bar is small: the cursor says it too.
    if (!busy) {
        busyCursor_.reset();
        return;
    }
    if (!busyCursor_) busyCursor_.emplace();
    if (!t2_->isActive()) t2_->start();
    DoEvents();  // the bar shows before the window waits for the server
}

void FrmLogon::CmdOK_Click() {
    cleanFields();
    Cls_User& user = CurrentUserRecord();
    if (mode_ == LogonRules::kLogoff) {
        user.OpenLevel = 0;
        user.Logoned = false;
        setBusy(true);
        RevokeServerCredential();
        setBusy(false);
        say(QStringLiteral("已成功退出登录。"), vb::Information);
        accept();
        return;
    }
    const int level = LogonRules::LevelOf(cmbRight_->currentText());
    if (user.Logoned) {
        // Every mode but the log-off sends the level the list shows. Only where the list is shown can a
        // level it lacks be chosen again; elsewhere there is then nothing to send.
        if (level < 0 && mode_ == LogonRules::kRegister) {
            cmbRight_->setFocus();
            return;
        }
        if (level >= 0 && !changeLevel(level)) return;
        if (mode_ == LogonRules::kDownload) takeBookRoot();
        accept();
        return;
    }
    if (mode_ == LogonRules::kDownload) return;
    if (mode_ == LogonRules::kRegister && !registrationAccepted()) return;
    if (level < 0 && mode_ == LogonRules::kRegister) {
        cmbRight_->setFocus();
        return;
    }
    logOnOrRegister(qMax(level, 0));
}

void FrmLogon::logOnOrRegister(int level) {
    Cls_User& user = CurrentUserRecord();
    setBusy(true);
    if (!digests_) digests_ = std::make_unique<ClsAdvPswd>();
    LogonRules::Answer answer;
    try {
        answer = LogonRules::TryLogon(*digests_, txtAccNo_->text(), txtPswd_->text(), txtPswd2_->text(),
                                      txtNick_->text(), level, mode_ == LogonRules::kRegister);
    } catch (const ServerError& e) {
        // Nothing was decided: the form stays for another try.
        setBusy(false);
        say(e.Description(), vb::Critical);
        return;
    }
    const bool accepted = answer.state == LogonRules::kLoggedOn || answer.state == LogonRules::kRegistered;
    if (accepted) {
        LogonRules::ApplyLogon(answer, user);
        // The log-on stands even when the book cannot keep its account for the next start.
        try {
            Cls数据操作().SaveLastLogonAcc_id();
        } catch (const std::exception&) {
        }
    }
    SetGroupButtonTip(ShownText(LogonRules::GroupButtonTip(user.curGroup_Id)));
    setBusy(false);
    switch (answer.state) {
        case LogonRules::kLoggedOn:
            say(user.NickName + QStringLiteral(" 您已成功登入！"), vb::Information);
            break;
        case LogonRules::kRegistered:
            say(user.NickName + QStringLiteral(" 您已成功注册，并登入！"), vb::Information);
            break;
        case LogonRules::kBusy:
            say(QStringLiteral("服务器忙！稍候再试。"), vb::Information);
            return;
        default:
            say(QStringLiteral("密码错！请查正再试。"), vb::Information);
            return;
    }
    // A user who looked at the book roots before logging on gets the account's own list to tick.
    if (bookRootsShown_ && !rootTicked()) {
        lstZpRoot_->setProperty("Tag", QString());
        OptLogon_Click(LogonRules::kDownload);
        return;
    }
    takeBookRoot();
    accept();
}

bool FrmLogon::changeLevel(int level) {
    Cls_User& user = CurrentUserRecord();
    setBusy(true);
    const quint8 answer = user.ChangeProtected(user.acc_id, quint8(level));
    setBusy(false);
    if (answer == 1) {
        user.Protected = quint8(level);
        user.OpenLevel = quint8(level);
        if (mode_ == LogonRules::kRegister)
            say(user.NickName + QStringLiteral(" 成功修改保护级别！"), vb::Information);
        return true;
    }
    if (backToLogonIfLapsed()) return false;
    switch (mode_) {
        case LogonRules::kRegister:
            say(QStringLiteral("数据开放级别未能修改！请稍候再试。"), vb::Exclamation);
            return false;
        case LogonRules::kDownload:
            return true;  // the book ticked is taken all the same
        default:
            // As the log-on's own answers are told.
            if (answer == LogonRules::kBusy) say(QStringLiteral("服务器忙！稍候再试。"), vb::Information);
            if (answer == LogonRules::kWrongPassword)
                say(QStringLiteral("密码错！请查正再试。"), vb::Information);
            return answer != LogonRules::kBusy && answer != LogonRules::kWrongPassword;
    }
}

bool FrmLogon::rootTicked() const {
    for (int i = 0; i < lstZpRoot_->topLevelItemCount(); ++i)
        if (lstZpRoot_->topLevelItem(i)->checkState(0) == Qt::Checked) return true;
    return false;
}

void FrmLogon::takeBookRoot() {
    for (int i = 0; i < lstZpRoot_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lstZpRoot_->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked) continue;
        CurrentUserRecord().Tag = item->data(0, Qt::UserRole).toString();
        return;
    }
}

void FrmLogon::CmdCancel_Click() {
    reject();
}

void FrmLogon::T2_Timer() {
    pbarT2_->setValue(pbarT2_->value() < pbarT2_->maximum() ? pbarT2_->value() + 1 : 0);
}

void FrmLogon::Timer1_Timer() {
    probe_->start(GetSiteUrl().toString(), kProbeTimeoutMs);
    ++probes_;
    timer1_->setProperty("Tag", QString::number(probes_));
    if (probes_ > kLastProbeTick) timer1_->stop();
}

void FrmLogon::ShowLatency(double ms) {
    const int picture = LogonRules::LatencyPicture(ms);
    if (picture == 0) return;
    picture_ = picture;
    image1_->setPixmap(LatencyPixmap(picture));
}
