#include "member/forms/frm_sys_setup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "member/hint_lists.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

namespace {

constexpr int kEthnicGroupMaxLength = 50;

QString Shown(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : ClsLanguage().TransLanguage(text);
}

QLabel* AddLabel(QWidget* parent, const QString& caption, const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return label;
}

// No button of this window takes Enter: in a field it moves on, as in every input window.
QPushButton* AddButton(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

QComboBox* AddCombo(QWidget* parent, const QString& name, bool editable, const QRect& geometry) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(editable);
    // What joins a list is decided by the window, never by Enter in the box.
    if (editable) combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setGeometry(geometry);
    return combo;
}

}  // namespace

FrmSysSetup::FrmSysSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmSysSetup"));
    setWindowTitle(QStringLiteral("系统设置"));
    setFixedSize(420, 352);

    AddLabel(this, QStringLiteral("分页显示子女数："), QRect(20, 18, 130, 26));
    txt子女数_ = new QLineEdit(this);
    txt子女数_->setObjectName(QStringLiteral("Txt子女数"));
    txt子女数_->setGeometry(150, 18, 90, 26);

    AddLabel(this, QStringLiteral("输入模板："), QRect(20, 56, 130, 26));
    cmbInput_ = AddCombo(this, QStringLiteral("CmbInput"), true, QRect(150, 56, 140, 26));
    cmdDelTemp_ = AddButton(this, QStringLiteral("CmdDelTemp"), QStringLiteral("删除输入模板"),
                            QRect(298, 55, 102, 28));

    frame1_ = new QGroupBox(QStringLiteral("新增子代时默认动作"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(12, 96, 396, 194);

    chkGetX_ = new QCheckBox(QStringLiteral("取得父姓       字"), frame1_);
    chkGetX_->setObjectName(QStringLiteral("ChkGetX"));
    chkGetX_->setGeometry(16, 30, 170, 26);
    txt姓字_ = new QLineEdit(frame1_);
    txt姓字_->setObjectName(QStringLiteral("Txt姓字"));
    txt姓字_->setAlignment(Qt::AlignCenter);
    // A thin frame, so that one or two digits fit the gap the caption leaves.
    txt姓字_->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(mid); padding: 0; }"));
    chk在世_ = new QCheckBox(QStringLiteral("默认在世"), frame1_);
    chk在世_->setObjectName(QStringLiteral("Chk在世"));
    chk在世_->setGeometry(220, 30, 150, 26);

    AddLabel(frame1_, QStringLiteral("称："), QRect(16, 68, 56, 26));
    cmb称_ = AddCombo(frame1_, QStringLiteral("Cmb称"), true, QRect(72, 68, 132, 26));
    cmb加称_ = AddCombo(frame1_, QStringLiteral("Cmb加称"), false, QRect(212, 68, 132, 26));

    AddLabel(frame1_, QStringLiteral("民族："), QRect(16, 106, 56, 26));
    cmb民族_ = AddCombo(frame1_, QStringLiteral("Cmb民族"), true, QRect(72, 106, 132, 26));
    cmdAdd_ = AddButton(frame1_, QStringLiteral("CmdAdd"), QStringLiteral("新增"), QRect(212, 105, 64, 28));
    cmdDelte_ =
        AddButton(frame1_, QStringLiteral("CmdDelte"), QStringLiteral("删除"), QRect(282, 105, 64, 28));

    optn1_ = new QRadioButton(QStringLiteral("输入方式1"), frame1_);
    optn1_->setObjectName(QStringLiteral("Optn1"));
    optn1_->setToolTip(QStringLiteral("[父][母][母信息][子][子信息]"));
    optn1_->setGeometry(16, 150, 150, 26);
    optn2_ = new QRadioButton(QStringLiteral("输入方式2"), frame1_);
    optn2_->setObjectName(QStringLiteral("Optn2"));
    optn2_->setToolTip(QStringLiteral("[父][父信息][母][母信息][子]"));
    optn2_->setGeometry(220, 150, 150, 26);

    cmdOK_ = AddButton(this, QStringLiteral("CmdOK"), QStringLiteral("确定"), QRect(104, 304, 96, 32));
    cmdCancel_ =
        AddButton(this, QStringLiteral("CmdCancel"), QStringLiteral("取消"), QRect(220, 304, 96, 32));

    connect(chkGetX_, &QCheckBox::clicked, this, &FrmSysSetup::ChkGetX_Click);
    connect(cmdAdd_, &QPushButton::clicked, this, &FrmSysSetup::CmdAdd_Click);
    connect(cmdDelte_, &QPushButton::clicked, this, &FrmSysSetup::CmdDelte_Click);
    connect(cmdDelTemp_, &QPushButton::clicked, this, &FrmSysSetup::CmdDelTemp_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &FrmSysSetup::CmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmSysSetup::CmdCancel_Click);

    for (QWidget* field :
         std::initializer_list<QWidget*>{txt子女数_, cmbInput_, txt姓字_, cmb称_, cmb加称_, cmb民族_})
        field->installEventFilter(this);
    placeSurnameBox();
}

void FrmSysSetup::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmSysSetup"), []() -> QObject* {
        auto* form = new FrmSysSetup;
        form->Form_Load();
        return form;
    });
}

void FrmSysSetup::placeSurnameBox() {
    // The caption's run of blanks is the gap the box fills, between "取得父姓" and "字".
    QStyleOptionButton option;
    option.initFrom(chkGetX_);
    const int indicator = chkGetX_->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, chkGetX_) +
                          chkGetX_->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, chkGetX_);
    const QString caption = chkGetX_->text();
    const qsizetype gapStart = caption.indexOf(QLatin1Char(' '));
    const qsizetype gapEnd = caption.lastIndexOf(QLatin1Char(' ')) + 1;
    if (gapStart < 0) return;
    const QFontMetrics metrics = chkGetX_->fontMetrics();
    const int left = indicator + metrics.horizontalAdvance(caption.left(gapStart)) + 1;
    const int right = indicator + metrics.horizontalAdvance(caption.left(gapEnd)) - 1;
    const int height = metrics.height() + 4;
    txt姓字_->setGeometry(chkGetX_->x() + left, chkGetX_->y() + (chkGetX_->height() - height) / 2,
                          qMax(16, right - left), height);
    chkGetX_->resize(qMax(chkGetX_->width(), indicator + metrics.horizontalAdvance(caption) + 8),
                     chkGetX_->height());
    txt姓字_->raise();
}

void FrmSysSetup::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    AppState& app = App();
    setWindowIcon(QApplication::windowIcon());

    recordRead_ = guarded([this] {
        record_ = SettingsRecord::Load();
        Cls提示 hints;
        QStringList groups;
        hints.Bind民族(groups);
        cmb民族_->addItems(groups);
        QStringList templates;
        hints.Bind输入模板(templates);
        cmbInput_->addItems(templates);
    });
    // Without the record there is nothing OK could write back but blanks.
    cmdOK_->setEnabled(recordRead_);

    cmb称_->addItems({QString(), QStringLiteral("世祖"), QStringLiteral("世"), Shown(QStringLiteral("远祖")),
                      QStringLiteral("本世祖"), QStringLiteral("始祖"), QStringLiteral("房")});
    cmb加称_->addItems({QString(), QStringLiteral("姓加[公]"), QStringLiteral("名加[公]"),
                        QStringLiteral("全名加[公]"), Shown(QStringLiteral("世祖庙"))});

    txt子女数_->setText(record_.field(SettingsRecord::kMembersPerPageField));
    chkGetX_->setChecked(app.SurnameLength != 0);
    txt姓字_->setText(QString::number(app.SurnameLength));
    chk在世_->setChecked(app.DefaultAlive);
    cmb称_->setCurrentText(app.DefaultTitle);
    if (const int at = cmb加称_->findText(app.DefaultTitleSuffix); at >= 0) cmb加称_->setCurrentIndex(at);
    cmb民族_->setCurrentText(app.DefaultFolk);
    (app.ChildInputStyle == 1 ? optn1_ : optn2_)->setChecked(true);
    cmbInput_->setCurrentText(GetAppSetting(QStringLiteral("curinput")));

    if (app.Translator) app.Translator->SetLanguage(this);
    placeSurnameBox();
    app.FormParamString2.clear();
}

void FrmSysSetup::Txt子女数_LostFocus() {
    txt子女数_->setText(QString::number(MembersPerPage(txt子女数_->text())));
}

void FrmSysSetup::ChkGetX_Click() {
    if (chkGetX_->isChecked()) txt姓字_->setText(QStringLiteral("1"));
}

void FrmSysSetup::fillEthnicGroups() {
    cmb民族_->clear();
    QStringList groups;
    Cls提示().Bind民族(groups);
    cmb民族_->addItems(groups);
}

void FrmSysSetup::fillTemplates() {
    cmbInput_->clear();
    QStringList templates;
    Cls提示().Bind输入模板(templates);
    cmbInput_->addItems(templates);
}

void FrmSysSetup::CmdAdd_Click() {
    // Stored trimmed, as the list shows it, so that Delete finds it again.
    const QString name = Trim(cmb民族_->currentText()).left(kEthnicGroupMaxLength);
    if (name.isEmpty()) return;
    guarded([&] {
        Cls提示().Add民族(name);
        fillEthnicGroups();
    });
    cmb民族_->setCurrentText(name);
}

void FrmSysSetup::CmdDelte_Click() {
    const QString name = Trim(cmb民族_->currentText());
    guarded([&] {
        Cls提示().Delete民族(name);
        fillEthnicGroups();
    });
}

void FrmSysSetup::CmdDelTemp_Click() {
    const QString name = cmbInput_->currentText();
    // The built-in template is the form's own design and has nothing to delete.
    if (name == Cls提示::kBuiltInTemplate) return;
    guarded([&] {
        Cls提示().DeleteInputTemp(name);
        fillTemplates();
    });
    cmbInput_->setCurrentText(GetAppSetting(QStringLiteral("curinput")));
}

void FrmSysSetup::CmdOK_Click() {
    if (!recordRead_) return;
    AppState& app = App();
    // The box's own rule holds whether or not the focus ever left it.
    const qint32 perPage = MembersPerPage(txt子女数_->text());
    txt子女数_->setText(QString::number(perPage));
    SettingsRecord record = record_;
    record.setField(SettingsRecord::kMembersPerPageField, txt子女数_->text());
    // Nothing else changes unless the record was written.
    if (!guarded([&] { record.Save(); })) return;
    record_ = record;
    SaveAppSetting(QStringLiteral("curinput"), cmbInput_->currentText());

    if (perPage != app.NodesPerPage) {
        app.RepaginateNeeded = true;
        app.NodesPerPage = perPage;
        app.FormParamString2 = QStringLiteral("1");
    } else {
        app.FormParamString2.clear();
    }
    if (chkGetX_->isChecked()) {
        const qint32 chars = SurnameChars(txt姓字_->text());
        txt姓字_->setText(QString::number(chars));
        app.SurnameLength = chars;
    } else {
        app.SurnameLength = 0;
    }
    app.DefaultTitle = cmb称_->currentText();
    app.DefaultTitleSuffix = cmb加称_->currentText();
    app.DefaultFolk = cmb民族_->currentText();
    app.DefaultAlive = chk在世_->isChecked();
    if (optn1_->isChecked())
        app.ChildInputStyle = 1;
    else if (optn2_->isChecked())
        app.ChildInputStyle = 2;
    accept();
}

void FrmSysSetup::CmdCancel_Click() {
    App().FormParamString2.clear();
    reject();
}

bool FrmSysSetup::guarded(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
        return false;
    }
}

void FrmSysSetup::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
}

bool FrmSysSetup::eventFilter(QObject* watched, QEvent* event) {
    if (EnterKeyMovesFocus(event)) return true;
    if (event->type() == QEvent::FocusOut && watched == txt子女数_) {
        // A context menu takes the focus only for a moment.
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) Txt子女数_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}
