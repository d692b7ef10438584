#include "print/forms/frm_print_ctrl.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/forms/gap_radio_button.h"
#include "print/page_setup.h"
#include "print/print_messages.h"

namespace {

using print::Trans;

const QString kSongTi = QStringLiteral("宋体");

// The leading number of a box, rounded half to even; nothing when it does not fit 16 bits.
std::optional<qint16> BoxNumber(const QLineEdit* box) {
    try {
        const int value = CInt(Val(box->text()));
        if (value < -32768 || value > 32767) return std::nullopt;
        return qint16(value);
    } catch (const VbError&) {
        return std::nullopt;
    }
}

QRadioButton* Radio(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

QCheckBox* Check(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QLineEdit* Box(QWidget* parent, const QString& name, const QString& text, const QRect& geometry) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QLabel* Label(QWidget* parent, const QString& caption, const QRect& geometry, const QString& name = {}) {
    auto* label = new QLabel(caption, parent);
    if (!name.isEmpty()) label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);  // Enter moves on; it never presses a button
    button->setGeometry(geometry);
    return button;
}

}  // namespace

FrmPrintCtrl::FrmPrintCtrl(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmPrintCtrl"));
    setWindowTitle(QStringLiteral("打印格式选择"));
    setFixedSize(600, 420);
    buildChartFrame();
    buildBookFrame();
    buildSamples();

    auto* kinds = new QButtonGroup(this);
    kinds->addButton(optChart_, 0);
    kinds->addButton(optBook_, 3);
    optChart_->setChecked(true);
    connect(optChart_, &QRadioButton::clicked, this, [this] { Opt_Click(0); });
    connect(optBook_, &QRadioButton::clicked, this, [this] { Opt_Click(3); });

    Label(this, QStringLiteral("名称"), QRect(20, 334, 60, 26), QStringLiteral("Label2"));
    txtTitle_ = Box(this, QStringLiteral("TxtRptName"), QString(), QRect(80, 334, 500, 26));
    cmdOk_ = Button(this, QStringLiteral("CmdOk"), QStringLiteral("确定"), QRect(380, 374, 96, 32));
    cmdCancel_ = Button(this, QStringLiteral("CmdCancel"), QStringLiteral("取消"), QRect(484, 374, 96, 32));
    connect(cmdOk_, &QPushButton::clicked, this, &FrmPrintCtrl::CmdOk_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmPrintCtrl::CmdCancel_Click);

    for (QWidget* w :
         std::initializer_list<QWidget*>{optChart_, optBook_, bookStyle_[0], bookStyle_[1], chkPageNo_,
                                         cmbAlignment_, txtNameLen_, txtPerLineSdn_, txtTitle_, txtSurname_})
        w->installEventFilter(this);
}

void FrmPrintCtrl::buildChartFrame() {
    frame1_ = new QGroupBox(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(12, 8, 280, 196);
    optChart_ = Radio(frame1_, QStringLiteral("Opt_0"), QStringLiteral("世系图"), QRect(10, 6, 120, 24));
    auto* formats = new QButtonGroup(this);
    const QString captions[3] = {QStringLiteral("标准格式"), QStringLiteral("可再发布Html格式"),
                                 QStringLiteral("静态已集成Chm格式")};
    for (int i = 0; i < 3; ++i) {
        chartFormat_[i] = Radio(frame1_, QStringLiteral("Opt_PXStyle_%1").arg(i), captions[i],
                                QRect(24, 34 + i * 26, 180, 24));
        formats->addButton(chartFormat_[i], i);
    }
    chartFormat_[0]->setChecked(true);
    chkDetail_ =
        Check(frame1_, QStringLiteral("Chk_Detail"), QStringLiteral("显示细节"), QRect(24, 112, 120, 24));
    Label(frame1_, QStringLiteral("名字中文字数"), QRect(24, 138, 120, 24));
    txtNameLen_ = Box(frame1_, QStringLiteral("TxtNameLen"), QStringLiteral("3"), QRect(150, 138, 60, 24));
    Label(frame1_, QStringLiteral("横排显示的世代数"), QRect(24, 164, 120, 24));
    txtPerLineSdn_ =
        Box(frame1_, QStringLiteral("TxtPerLineSdn"), QStringLiteral("12"), QRect(150, 164, 60, 24));
    txtPerLineSdn_->setToolTip(QStringLiteral("大于1，最好大于5。"));
}

void FrmPrintCtrl::buildBookFrame() {
    frame4_ = new QGroupBox(this);
    frame4_->setObjectName(QStringLiteral("Frame4"));
    frame4_->setGeometry(304, 8, 284, 196);
    optBook_ = Radio(frame4_, QStringLiteral("Opt_3"), QStringLiteral("传记谱"), QRect(10, 6, 120, 24));
    auto* styles = new QButtonGroup(this);
    bookStyle_[0] =
        Radio(frame4_, QStringLiteral("PrintStyle_0"), QStringLiteral("文件风格"), QRect(24, 34, 180, 24));
    auto* surnameStyle = new GapRadioButton(QStringLiteral("分拆姓      字"), frame4_);
    surnameStyle->setObjectName(QStringLiteral("PrintStyle_1"));
    surnameStyle->setGeometry(24, 60, 180, 24);
    bookStyle_[1] = surnameStyle;
    styles->addButton(bookStyle_[0], 0);
    styles->addButton(bookStyle_[1], 1);
    bookStyle_[1]->setChecked(true);
    // The surname box sits in the gap of its option's caption, which is drawn wide enough for a box
    // of two digits with a little room on either side.
    constexpr int kRoom = 3;
    txtSurname_ = Box(frame4_, QStringLiteral("Txt姓字"), QStringLiteral("1"), QRect());
    const int boxWidth = txtSurname_->fontMetrics().horizontalAdvance(QStringLiteral("00")) + 14;
    surnameStyle->SetGapWidth(boxWidth + 2 * kRoom);
    const QRect gap = surnameStyle->GapRect().translated(surnameStyle->pos());
    txtSurname_->setGeometry(gap.left() + kRoom, 60, boxWidth, 24);
    txtSurname_->raise();
    chkVertical_ =
        Check(frame4_, QStringLiteral("Chk_FontStyle"), QStringLiteral("竖排文字"), QRect(24, 90, 120, 24));
    chkPageNo_ =
        Check(frame4_, QStringLiteral("ChkPageNo"), QStringLiteral("打印页码"), QRect(24, 116, 120, 24));
    chkPageNo_->setChecked(true);
    cmbAlignment_ = new QComboBox(frame4_);
    cmbAlignment_->setObjectName(QStringLiteral("CmbPageNoAlignment"));
    cmbAlignment_->setEditable(true);
    cmbAlignment_->addItems({QStringLiteral("居中"), QStringLiteral("靠左"), QStringLiteral("靠右")});
    cmbAlignment_->setGeometry(150, 116, 100, 24);

    for (int i = 0; i < 2; ++i)
        connect(bookStyle_[i], &QRadioButton::clicked, this, [this, i] { PrintStyle_Click(i); });
    connect(chkVertical_, &QCheckBox::clicked, this, &FrmPrintCtrl::Chk_FontStyle_Click);
    connect(chkPageNo_, &QCheckBox::clicked, this, &FrmPrintCtrl::ChkPageNo_Click);
}

void FrmPrintCtrl::buildSamples() {
    // Font samples only: nothing reads them.
    const QString labels[3] = {QStringLiteral("世祖字体："), QStringLiteral("名字字体："),
                               QStringLiteral("正文字体：")};
    const QString texts[3] = {QStringLiteral("三十七世祖大始祖"), QStringLiteral("昌意公"),
                              QStringLiteral("号 轩辕氏")};
    for (int i = 0; i < 3; ++i) {
        Label(this, labels[i], QRect(20, 214 + i * 38, 80, 30));
        QLineEdit* sample =
            Box(this, QStringLiteral("Text%1").arg(i + 1), texts[i], QRect(100, 214 + i * 38, 300, 30));
        sample->setFont(QFont(kSongTi, 12));
    }
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(420, 214, 160, 110);
    image->setPixmap(QApplication::windowIcon().pixmap(96, 96));
    image->setAlignment(Qt::AlignCenter);
}

void FrmPrintCtrl::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmPrintCtrl"), []() -> QObject* {
        auto* form = new FrmPrintCtrl;
        form->Form_Load();
        return form;
    });
}

void FrmPrintCtrl::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    setWindowIcon(QApplication::windowIcon());
    AppState& app = App();
    txtTitle_->setText(app.FormParamString);
    app.FormParamString.clear();
    const QString footer = page_setup::Value(QStringLiteral("footer"));
    chkPageNo_->setChecked(true);  // it starts ticked whatever the footer holds
    cmbAlignment_->setEditText(page_setup::AlignmentOf(footer));
    if (const auto& translator = app.Translator) translator->SetLanguage(this);
    Opt_Click(0);
}

void FrmPrintCtrl::Opt_Click(int index) {
    // The chart's title is the member's name with the word after it, however often the chart is chosen.
    const QString word = Trans(QStringLiteral("世系图"));
    if (index == 0 && !txtTitle_->text().endsWith(word)) txtTitle_->setText(txtTitle_->text() + word);
}

void FrmPrintCtrl::PrintStyle_Click(int) {
    optBook_->setChecked(true);
}

void FrmPrintCtrl::Chk_FontStyle_Click() {
    if (chkVertical_->isChecked()) optBook_->setChecked(true);
}

void FrmPrintCtrl::ChkPageNo_Click() {
    if (chkPageNo_->isChecked()) optBook_->setChecked(true);
}

void FrmPrintCtrl::CmdOk_Click() {
    AppState& app = App();
    const bool chart = optChart_->isChecked();
    if (chart) {
        const std::optional<qint16> nameLength = BoxNumber(txtNameLen_);
        const std::optional<qint16> perRow = BoxNumber(txtPerLineSdn_);
        if (!nameLength || *nameLength < 2 || *nameLength > 50) {
            UI().MsgBox(Trans(QStringLiteral("名字字数最大=50，最小=2")), vb::Critical);
            return;
        }
        if (!perRow || *perRow < 2 || *perRow > 20) {
            UI().MsgBox(Trans(QStringLiteral("世代数最大=20，最小=2")), vb::Critical);
            return;
        }
        // Kept only once both are accepted: the chart and the site read them unchecked.
        app.PrintNameLength = *nameLength;
        app.PrintGenerationsPerRow = *perRow;
    } else if (optBook_->isChecked()) {
        writePageSetup();
    }
    if (const std::optional<qint16> surname = BoxNumber(txtSurname_)) app.SurnameLength = *surname;
    app.FormParamString = commandString();
    accept();
}

void FrmPrintCtrl::writePageSetup() {
    if (!page_setup::Value(QStringLiteral("header")).isEmpty())
        page_setup::Store(QStringLiteral("header"), QString());
    const QString footer = page_setup::FooterFor(chkPageNo_->isChecked(), cmbAlignment_->currentText());
    if (footer != page_setup::Value(QStringLiteral("footer")))
        page_setup::Store(QStringLiteral("footer"), footer);
}

QString FrmPrintCtrl::commandString() const {
    QString command;
    if (optChart_->isChecked()) {
        const QString details = chkDetail_->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        if (chartFormat_[0]->isChecked())
            command = QStringLiteral("000");
        else if (chartFormat_[1]->isChecked())
            command = QStringLiteral("01") + details;
        else
            command = QStringLiteral("02") + details;
    } else {
        command = QStringLiteral("3");
        command += bookStyle_[0]->isChecked() ? u'0' : u'1';
        command += chkVertical_->isChecked() ? u'1' : u'0';
    }
    return command + u'%' + Trim(txtTitle_->text());
}

void FrmPrintCtrl::CmdCancel_Click() {
    App().FormParamString.clear();
    reject();
}

void FrmPrintCtrl::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
}

bool FrmPrintCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (EnterKeyMovesFocus(event)) return true;
    return QDialog::eventFilter(watched, event);
}
