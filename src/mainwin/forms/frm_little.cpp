#include "mainwin/forms/frm_little.h"
#include "frame/forms/window_utils.h"

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
#include "platform/interaction/form_registry.h"
#include "platform/vbcompat.h"

namespace {

constexpr int kClientWidthTwips = 4725;
constexpr int kClientHeightTwips = 1830;
constexpr int kShortHeightTwips = 1935;
constexpr int kComboMaxLength = 50;

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
    cmdDelete_ = new QToolButton(this);
    cmdDelete_->setObjectName(QStringLiteral("CmdDelete"));
    cmdDelete_->setText(QStringLiteral("-"));
    cmdDelete_->setToolTip(QStringLiteral("删除"));
    cmdDelete_->setGeometry(TwipsRect(4470, 150, 255, 300));
    cmdDelete_->hide();

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
        case 8:
            loadQQNumbers();
            break;
        default:
            // Other modes leave every optional control hidden.
            break;
    }

    if (runType_ < 10) app.FormParamString.clear();
    if (app.Translator) app.Translator->SetLanguage(this);
}

void FrmLittle::loadQQNumbers() {
    cmb_->show();
    const QStringList stored = Split(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%"));
    // The text before the leading "%" is not an entry.
    for (qsizetype i = 1; i < stored.size(); ++i) cmb_->addItem(stored.at(i));
    if (cmb_->count() == 0) cmb_->addItem(QStringLiteral("0"));
    // Set after the items: adding the first item would replace the text.
    cmb_->setEditText(NumberText(App().FormParamString2));
    QPalette red = cmb_->palette();
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    cmb_->setPalette(red);
    if (cmb_->lineEdit()) cmb_->lineEdit()->setPalette(red);

    cmdOK_->move(cmdOK_->x(), TwipsToPixels(840));
    cmdCancel_->move(cmdCancel_->x(), TwipsToPixels(840));
    setFixedHeight(TwipsToPixels(kShortHeightTwips));
    txtDestNode_->hide();
    setWindowTitle(QStringLiteral("绑定客服QQ号"));
    lblMsg_->move(lblMsg_->x() + TwipsToPixels(1000), lblMsg_->y());
    lblMsg_->setText(QStringLiteral("已登录的QQ号："));
    lblMsg_->adjustSize();
}

void FrmLittle::CmdOK_Click() {
    AppState& app = App();
    switch (runType_) {
        case 8: {
            // Pressing OK takes the focus from the combo first, so a typed number is in the list.
            Cmb指定为_LostFocus();
            QString all;
            for (int i = 0; i < cmb_->count(); ++i) all += u'%' + cmb_->itemText(i);
            SaveAppSetting(QStringLiteral("MyQQ"), all);
            app.FormParamString = cmb_->currentText();
            break;
        }
        default:
            break;
    }
    accept();
}

void FrmLittle::CmdCancel_Click() {
    reject();
}

void FrmLittle::Cmb指定为_LostFocus() {
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
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblMsg_) {
        LblMsg_Click();
    }
    return QDialog::eventFilter(watched, event);
}
