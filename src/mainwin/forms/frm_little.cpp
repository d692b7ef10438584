#include "mainwin/forms/frm_little.h"
#include "frame/forms/window_utils.h"
#include "mainwin/forms/main_window_shared.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <cmath>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/language.h"
#include "member/hint_lists.h"
#include "member/member_record.h"
#include "online/user_record.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/member_name.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;

constexpr int kClientWidthTwips = 4725;
constexpr int kClientHeightTwips = 1830;
constexpr int kShortHeightTwips = 1935;
constexpr int kComboMaxLength = 50;
constexpr qsizetype kBranchNameLength = 45;
// The page list stops here; a later page can still be typed.
constexpr qint64 kMostPageItems = 100000;

// The numeric value of a text as the old runtime printed it; a number too large to read counts as 0.
QString NumberText(const QString& text) {
    double value = 0;
    try {
        value = Val(text);
    } catch (const VbError&) {
        value = 0;
    }
    if (value == std::floor(value) && std::fabs(value) < 1e15) return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

// The numeric value of a text rounded to a whole number; text that is no number (or too large) is 0.
double NumberValue(const QString& text) {
    try {
        const double value = std::nearbyint(Val(text));
        return std::fabs(value) < 1e15 ? value : 0;
    } catch (const VbError&) {
        return 0;
    }
}

QStringList ProtectionLevels() {
    return {QStringLiteral("不允许修改"), QStringLiteral("不允许修改结构"),
            QStringLiteral("允许修改数据和结构")};
}

QString CleanComboText(const QString& text) {
    QString cleaned = Trim(text).left(kComboMaxLength);
    cleaned.remove(u'%');
    cleaned.remove(u'}');
    cleaned.remove(u'{');
    return cleaned;
}

}  // namespace

FrmLittle::FrmLittle(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmLittle"));
    setFixedSize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));

    lblMsg_ = new QLabel(this);
    lblMsg_->setObjectName(QStringLiteral("LblMsg"));
    lblMsg_->move(TwipsToPixels(60), TwipsToPixels(240));
    lblMsg_->installEventFilter(this);

    txtDestNode_ = new QLineEdit(this);
    txtDestNode_->setObjectName(QStringLiteral("TxtDestNode"));
    txtDestNode_->setGeometry(TwipsRect(1260, 480, 3405, 315));
    txtDestNode_->hide();
    txtDestNode_->installEventFilter(this);

    cmb_ = new QComboBox(this);
    cmb_->setObjectName(QStringLiteral("Cmb指定为"));
    cmb_->setEditable(true);
    // The dialog decides itself what joins the list.
    cmb_->setInsertPolicy(QComboBox::NoInsert);
    cmb_->move(TwipsToPixels(2430), TwipsToPixels(150));
    cmb_->resize(TwipsToPixels(1755), cmb_->sizeHint().height());
    cmb_->hide();
    cmb_->installEventFilter(this);

    optAlive_ = new QRadioButton(QStringLiteral("仍在世"), this);
    optAlive_->setObjectName(QStringLiteral("Optn在世"));
    optAlive_->setGeometry(TwipsRect(2640, 150, 945, 285));
    optAlive_->setChecked(true);
    optAlive_->hide();
    optDead_ = new QRadioButton(QStringLiteral("已过世"), this);
    optDead_->setObjectName(QStringLiteral("Optn过世"));
    optDead_->setGeometry(TwipsRect(2640, 600, 945, 285));
    optDead_->hide();

    cmdAdd_ = new QToolButton(this);
    cmdAdd_->setObjectName(QStringLiteral("CmdAdd"));
    cmdAdd_->setText(QStringLiteral("+"));
    cmdAdd_->setToolTip(QStringLiteral("新增"));
    cmdAdd_->setGeometry(TwipsRect(4200, 150, 255, 300));
    cmdAdd_->hide();
    connect(cmdAdd_, &QToolButton::clicked, this, &FrmLittle::CmdAdd_Click);
    cmdDelete_ = new QToolButton(this);
    cmdDelete_->setObjectName(QStringLiteral("CmdDelete"));
    cmdDelete_->setText(QStringLiteral("-"));
    cmdDelete_->setToolTip(QStringLiteral("删除"));
    cmdDelete_->setGeometry(TwipsRect(4470, 150, 255, 300));
    cmdDelete_->hide();
    connect(cmdDelete_, &QToolButton::clicked, this, &FrmLittle::CmdDelete_Click);

    cmdOK_ = new QPushButton(QStringLiteral("确定"), this);
    cmdOK_->setObjectName(QStringLiteral("CmdOK"));
    cmdOK_->setGeometry(TwipsRect(1260, 1140, 1035, 435));
    connect(cmdOK_, &QPushButton::clicked, this, &FrmLittle::CmdOK_Click);
    cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel_->setObjectName(QStringLiteral("CmdCancel"));
    cmdCancel_->setGeometry(TwipsRect(3180, 1140, 1035, 435));
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmLittle::CmdCancel_Click);

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(TwipsRect(240, 600, 480, 480));
}

void FrmLittle::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmLittle"), []() -> QObject* {
        auto* form = new FrmLittle;
        form->setRunType(App().LittleRunType);
        form->Form_Load();
        return form;
    });
}

void FrmLittle::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    AppState& app = App();
    setWindowIcon(QApplication::windowIcon());
    setWindowTitle(QApplication::applicationDisplayName());
    tag_ = app.FormParamString.mid(2);

    switch (runType_) {
        case 1:
            loadLiving();
            break;
        case 2:
            loadFamousList();
            break;
        case 3:
            loadMoveTarget();
            break;
        case 4:
            loadPageChoice();
            break;
        case 5:
            loadBranchName();
            break;
        case 6:
            loadStartGeneration();
            break;
        case 7:
            loadFind();
            break;
        case 8:
            loadQQNumbers();
            break;
        case 9:
            loadProtection();
            break;
        case 10:
            loadKeyword();
            break;
        default:
            // Other modes leave every optional control hidden.
            break;
    }

    if (runType_ < 10) app.FormParamString.clear();
    if (app.Translator) app.Translator->SetLanguage(this);
}

void FrmLittle::setPrompt(const QString& text) {
    lblMsg_->setText(text);
    lblMsg_->adjustSize();
}

void FrmLittle::showCombo() {
    cmb_->show();
}

void FrmLittle::showTextField(const QString& text) {
    txtDestNode_->setText(text);
    txtDestNode_->show();
}

void FrmLittle::paintRed(QWidget* field) {
    QPalette red = field->palette();
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    field->setPalette(red);
    if (field == cmb_ && cmb_->lineEdit()) cmb_->lineEdit()->setPalette(red);
}

void FrmLittle::compactLayout() {
    cmdOK_->move(cmdOK_->x(), TwipsToPixels(840));
    cmdCancel_->move(cmdCancel_->x(), TwipsToPixels(840));
    setFixedHeight(TwipsToPixels(kShortHeightTwips));
}

void FrmLittle::stretchComboFromPrompt(int gapTwips) {
    const int left = lblMsg_->x() + lblMsg_->width() + TwipsToPixels(gapTwips);
    cmb_->move(left, cmb_->y());
    cmb_->resize(qMax(TwipsToPixels(300), cmdAdd_->x() - left), cmb_->height());
}

void FrmLittle::loadLiving() {
    setWindowTitle(QStringLiteral("设置子代在世或过世"));
    setPrompt(QStringLiteral("当前结点所有后人："));
    optAlive_->show();
    optDead_->show();
}

QString FrmLittle::famousPrefix() const {
    return tag_.left(qMax(0, App().SurnameLength)) + QStringLiteral("氏");
}

void FrmLittle::fillFamousList(bool withEmptyItem) {
    QStringList items;
    Cls提示().Bind名人谱(items, famousPrefix());
    cmb_->clear();
    cmb_->addItems(items);
    if (withEmptyItem) cmb_->addItem(QString());
}

void FrmLittle::loadFamousList() {
    setWindowTitle(QStringLiteral("指定他为名人谱成员"));
    setPrompt(Trans(QStringLiteral("将 ")) + tag_ + Trans(QStringLiteral(" 纳入：")));
    showCombo();
    cmdAdd_->show();
    cmdDelete_->show();
    // Surname handling off still gives every category a one-character prefix.
    if (App().SurnameLength == 0) App().SurnameLength = 1;
    fillFamousList(true);
}

void FrmLittle::loadMoveTarget() {
    showTextField();
    setWindowTitle(QStringLiteral("跨页拖动"));
    setPrompt(Trans(QStringLiteral("将 ")) + tag_ + Trans(QStringLiteral(" 拖动到：")));
}

void FrmLittle::loadPageChoice() {
    setWindowTitle(QStringLiteral("翻页选择"));
    setPrompt(QStringLiteral("转到指定页："));
    showCombo();
    const qint64 pages = qMin<qint64>(qint64(NumberValue(App().FormParamString)), kMostPageItems);
    QStringList items;
    for (qint64 n = 1; n <= pages; ++n) items << QString::number(n);
    cmb_->addItems(items);
    // Set after the items: adding the first item would replace the text.
    cmb_->setEditText(NumberText(App().FormParamString2));
    paintRed(cmb_);
    compactLayout();
}

void FrmLittle::loadBranchName() {
    const QString name = Trim(tag_);
    showTextField(name + Trans(QStringLiteral("分支")));
    setWindowTitle(QStringLiteral("拆分为分支谱"));
    setPrompt(Trans(QStringLiteral("从 ")) + name + Trans(QStringLiteral(" 拆分为分支谱：")));
}

void FrmLittle::loadStartGeneration() {
    showTextField(QStringLiteral("1"));
    setWindowTitle(QStringLiteral("设置起始世代数"));
    setPrompt(App().FormParamString + Trans(QStringLiteral(" 的起始世代数：")));
    paintRed(txtDestNode_);
}

void FrmLittle::loadFind() {
    showTextField();
    setWindowTitle(QStringLiteral("查找"));
    setPrompt(QStringLiteral("输入您要查找的成员名："));
}

void FrmLittle::loadProtection() {
    setWindowTitle(QStringLiteral("数据保护"));
    setPrompt(QStringLiteral("数据保护级别："));
    showCombo();
    // A level is chosen, never typed: a typed text would be no level at all.
    cmb_->setEditable(false);
    cmb_->addItems(ProtectionLevels());
    const int level = App().CurrentUser ? App().CurrentUser->Protected : 0;
    cmb_->setCurrentIndex(level > 0 && level < 4 ? level - 1 : 0);
    stretchComboFromPrompt(0);
    compactLayout();
}

void FrmLittle::loadKeyword() {
    AppState& app = App();
    setWindowTitle(QStringLiteral("设置关键字"));
    setPrompt(Trans(QStringLiteral("添加页面关键字：")));
    showCombo();
    cmdAdd_->setEnabled(false);
    cmdAdd_->show();
    stretchComboFromPrompt(15);
    cmdDelete_->show();
    const QString request = app.FormParamString;
    const qsizetype mark = request.indexOf(u'%');
    QStringList items;
    // Without a "%" the request is the member alone and nothing is suggested.
    if (mark >= 0) items << request.mid(mark + 1);
    app.FormParamString = mark >= 0 ? request.left(mark) : request;
    Cls提示().BindP_Key(items, app.FormParamString);
    cmb_->addItems(items);
    cmb_->setEditText(cmb_->count() > 0 ? cmb_->itemText(0) : QString());
}

void FrmLittle::Form_Activate() {
    if (runType_ == 3 || runType_ == 5 || runType_ == 6 || runType_ == 7)
        txtDestNode_->setFocus(Qt::OtherFocusReason);
}

void FrmLittle::loadQQNumbers() {
    cmb_->show();
    const QStringList stored = Split(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%"));
    // The text before the leading "%" is not an entry.
    for (qsizetype i = 1; i < stored.size(); ++i) cmb_->addItem(stored.at(i));
    if (cmb_->count() == 0) cmb_->addItem(QStringLiteral("0"));
    // Set after the items: adding the first item would replace the text. No number proposed leaves the
    // box empty for the user's own.
    const QString proposed = Trim(App().FormParamString2);
    cmb_->setEditText(proposed.isEmpty() ? QString() : NumberText(proposed));
    paintRed(cmb_);
    compactLayout();
    txtDestNode_->hide();
    setWindowTitle(QStringLiteral("绑定客服QQ号"));
    lblMsg_->move(lblMsg_->x() + TwipsToPixels(1000), lblMsg_->y());
    setPrompt(QStringLiteral("已登录的QQ号："));
}

void FrmLittle::CmdOK_Click() {
    AppState& app = App();
    // Pressing OK takes the focus from the field first, with what leaving it does.
    if (!cmb_->isHidden()) Cmb指定为_LostFocus();
    switch (runType_) {
        case 1:
            if (optAlive_->isChecked())
                app.FormParamString = QStringLiteral("-1");
            else if (optDead_->isChecked())
                app.FormParamString = QStringLiteral("1");
            break;
        case 2:
        case 4:
            app.FormParamString = cmb_->currentText();
            break;
        case 3:
            if (!acceptMoveTarget()) return;
            break;
        case 5: {
            QString name = CleanMemberName(txtDestNode_->text(), kBranchNameLength);
            if (!name.isEmpty()) name = Cls数据操作().TongMing字(false, name, 0);
            txtDestNode_->setText(name);
            app.FormParamString = txtDestNode_->text();
            break;
        }
        case 6:
            TxtDestNode_LostFocus();
            app.FormParamString = txtDestNode_->text();
            break;
        case 7:
            app.FormParamString = txtDestNode_->text();
            break;
        case 8: {
            QString all;
            for (int i = 0; i < cmb_->count(); ++i) all += u'%' + cmb_->itemText(i);
            SaveAppSetting(QStringLiteral("MyQQ"), all);
            app.FormParamString = cmb_->currentText();
            break;
        }
        case 9: {
            const quint8 level = quint8(cmb_->currentIndex() + 1);
            if (app.CurrentUser) app.CurrentUser->Protected = level;
            app.FormParamString = QString::number(level);
            break;
        }
        case 10:
            if (!cmb_->currentText().isEmpty()) Cls提示().SaveP_Key(app.FormParamString, cmb_->currentText());
            break;
        default:
            break;
    }
    accept();
}

bool FrmLittle::acceptMoveTarget() {
    AppState& app = App();
    const QString name = CleanMemberName(txtDestNode_->text(), -1);
    if (!name.isEmpty()) {
        if (SharedMember().Find自已(name) != 0) {
            UI().MsgBox(Trans(QStringLiteral("世录中还没有此人资料！")), vb::Critical);
            txtDestNode_->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    txtDestNode_->setText(name);
    app.FormParamString = txtDestNode_->text();
    return true;
}

QString FrmLittle::famousCategory() const {
    // The prefix is cut off only when the text carries it.
    const QString text = cmb_->currentText();
    const QString prefix = famousPrefix();
    return (text.startsWith(prefix) ? text.mid(prefix.size()) : text).left(kComboMaxLength);
}

void FrmLittle::CmdAdd_Click() {
    if (runType_ != 2) return;
    const QString category = famousCategory();
    if (!category.isEmpty()) Cls提示().Add名人谱(category);
    fillFamousList(false);
}

void FrmLittle::CmdDelete_Click() {
    if (runType_ != 2) return;
    const QString category = famousCategory();
    if (!category.isEmpty()) Cls提示().Delete名人谱(category);
    fillFamousList(true);
}

void FrmLittle::TxtDestNode_LostFocus() {
    if (runType_ != 6) return;
    double value = 0;
    try {
        value = Val(txtDestNode_->text());
    } catch (const VbError&) {
        value = 1e300;  // beyond any generation
    }
    if (value > 9999)
        txtDestNode_->setText(QStringLiteral("1"));
    else if (value < -999)
        txtDestNode_->setText(QStringLiteral("-999"));
}

void FrmLittle::CmdCancel_Click() {
    reject();
}

void FrmLittle::Cmb指定为_LostFocus() {
    if (!cmb_->isEditable()) return;
    const QString cleaned = CleanComboText(cmb_->currentText());
    if (cleaned != cmb_->currentText()) cmb_->setEditText(cleaned);
    // A blank is no number to remember.
    if (runType_ == 8 && !cleaned.isEmpty() &&
        cmb_->findText(cleaned, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        cmb_->addItem(cleaned);
        cmb_->setEditText(cleaned);
    }
}

void FrmLittle::LblMsg_Click() {
    if (const QClipboard* clipboard = QApplication::clipboard()) cmb_->setEditText(Trim(clipboard->text()));
}

void FrmLittle::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
    Form_Activate();
}

bool FrmLittle::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == cmb_ || watched == txtDestNode_)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter moves on to OK; a second Enter presses it.
            cmdOK_->setFocus(Qt::TabFocusReason);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched == cmb_) {
        if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) Cmb指定为_LostFocus();
    } else if (event->type() == QEvent::FocusOut && watched == txtDestNode_) {
        TxtDestNode_LostFocus();
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblMsg_) {
        LblMsg_Click();
    }
    return QDialog::eventFilter(watched, event);
}
