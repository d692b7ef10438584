#include "store/forms/frm_agent.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"

namespace {

constexpr int kLabelLeft = 20;
constexpr int kFieldLeft = 130;
constexpr int kFieldWidth = 290;
constexpr int kRowHeight = 26;

QPushButton* AddButton(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in a box moves on; it never presses a button here.
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

FrmAgent::FrmAgent(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmAgent"));
    setWindowTitle(QStringLiteral("联络信息设置"));
    setFixedSize(444, 290);

    txtWeb_ = addField(QStringLiteral("TxtWeb"), QStringLiteral("网站："), 18);
    txtTel_ = addField(QStringLiteral("TxtTel"), QStringLiteral("电话："), 54);
    txtGs_ = addField(QStringLiteral("TxtGs"), QStringLiteral("代理："), 90);
    txtQQ_ = addField(QStringLiteral("TxtQQ"), QStringLiteral("QQ或Msn："), 126);
    txtMhtkgn1_ = addField(QStringLiteral("TxtMhtkgn1"), QStringLiteral("购买付款帐号："), 162);
    // The second payment line sits under the first, under the same caption.
    txtMhtkgn2_ = addField(QStringLiteral("TxtMhtkgn2"), QString(), 194);

    cmdOK_ = AddButton(this, QStringLiteral("CmdOK"), QStringLiteral("确定"), QRect(116, 240, 96, 32));
    cmdCancel_ =
        AddButton(this, QStringLiteral("CmdCancel"), QStringLiteral("取消"), QRect(232, 240, 96, 32));
    connect(cmdOK_, &QPushButton::clicked, this, &FrmAgent::CmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmAgent::CmdCancel_Click);
}

QLineEdit* FrmAgent::addField(const QString& name, const QString& caption, int top) {
    if (!caption.isEmpty()) {
        auto* label = new QLabel(caption, this);
        label->setGeometry(kLabelLeft, top, kFieldLeft - kLabelLeft - 4, kRowHeight);
    }
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setGeometry(kFieldLeft, top, kFieldWidth, kRowHeight);
    edit->installEventFilter(this);
    return edit;
}

void FrmAgent::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmAgent"), []() -> QObject* {
        auto* form = new FrmAgent;
        form->Form_Load();
        return form;
    });
}

void FrmAgent::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    setWindowIcon(QApplication::windowIcon());
    try {
        record_ = SettingsRecord::Load();
        recordRead_ = true;
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    }
    // Without the record there is nothing OK could write back but blanks.
    cmdOK_->setEnabled(recordRead_);
    txtWeb_->setText(record_.field(1));
    txtTel_->setText(record_.field(2));
    txtGs_->setText(record_.field(3));
    txtQQ_->setText(record_.field(5));
    txtMhtkgn1_->setText(record_.field(6));
    txtMhtkgn2_->setText(record_.field(7));
    if (const auto& translator = App().Translator) translator->SetLanguage(this);
}

void FrmAgent::CmdOK_Click() {
    if (!recordRead_) return;
    SettingsRecord record = record_;  // field 4 stays as it was read
    record.setField(1, txtWeb_->text());
    record.setField(2, txtTel_->text());
    record.setField(3, txtGs_->text());
    record.setField(5, txtQQ_->text());
    record.setField(6, txtMhtkgn1_->text());
    record.setField(7, txtMhtkgn2_->text());
    try {
        record.Save();
    } catch (const dao::DaoError& e) {
        // The window stays open with what was typed.
        UI().MsgBox(e.Description(), vb::Critical);
        return;
    }
    record_ = record;
    accept();
}

void FrmAgent::CmdCancel_Click() {
    reject();
}

void FrmAgent::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
}

bool FrmAgent::eventFilter(QObject* watched, QEvent* event) {
    if (EnterKeyMovesFocus(event)) return true;
    return QDialog::eventFilter(watched, event);
}
