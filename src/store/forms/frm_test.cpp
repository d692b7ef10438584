#include "store/forms/frm_test.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "frame/app_state.h"
#include "frame/forms/program_icon.h"
#include "frame/language.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/test_data_generator.h"

namespace {

const QStringList kPresets = {
    QStringLiteral("1000"),     QStringLiteral("5000"),     QStringLiteral("10000"),
    QStringLiteral("50000"),    QStringLiteral("100000"),   QStringLiteral("500000"),
    QStringLiteral("1000000"),  QStringLiteral("5000000"),  QStringLiteral("10000000"),
    QStringLiteral("50000000"), QStringLiteral("100000000")};

// The largest count a 32-bit number holds, after rounding.
constexpr double kCountLimit = 2147483647.5;

QString Trans(const QString& text) {
    return App().Translator ? App().Translator->TransLanguage(text) : text;
}

}  // namespace

FrmTest::FrmTest(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmTest"));
    setWindowTitle(QStringLiteral("生成测试数据"));

    label1_ = new QLabel(QStringLiteral("生成子女总数："), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    cmbTestNum_ = new QComboBox(this);
    cmbTestNum_->setObjectName(QStringLiteral("CmbTestNum"));
    cmbTestNum_->setEditable(true);
    cmbTestNum_->setInsertPolicy(QComboBox::NoInsert);
    cmbTestNum_->addItems(kPresets);
    cmbTestNum_->setMinimumWidth(140);
    label3_ = new QLabel(QStringLiteral("请先备份所有的数据！"), this);
    label3_->setObjectName(QStringLiteral("Label3"));
    QPalette red = label3_->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label3_->setPalette(red);

    cmdOK_ = new QPushButton(QStringLiteral("确定"), this);
    cmdOK_->setObjectName(QStringLiteral("CmdOK"));
    connect(cmdOK_, &QPushButton::clicked, this, &FrmTest::CmdOK_Click);
    cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel_->setObjectName(QStringLiteral("CmdCancel"));
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmTest::CmdCancel_Click);

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(label1_);
    countRow->addWidget(cmbTestNum_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);
    layout->addLayout(countRow);
    layout->addWidget(label3_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Form_Load();
}

void FrmTest::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmTest"), []() -> QObject* { return new FrmTest; });
}

void FrmTest::Form_Load() {
    setWindowIcon(ProgramIcon());
    if (App().Translator) App().Translator->SetLanguage(this);
}

void FrmTest::CmdOK_Click() {
    double count = 0;
    try {
        count = Val(cmbTestNum_->currentText());
    } catch (const VbError&) {
        count = HUGE_VAL;
    }
    if (count < 0) {
        cmbTestNum_->setEditText(QStringLiteral("2"));
        count = 2;
    }
    // A count no 32-bit number holds cannot be generated; the user may type another.
    if (count >= kCountLimit) {
        UI().MsgBox(Trans(QStringLiteral("生成子女总数太大，请重新输入！")), vb::Exclamation);
        return;
    }
    const qint32 n = CLng(count);

    const int destroy = UI().MsgBox(Trans(QStringLiteral("您真的下定了决心销毁所有数据，并生成测试数据吗？")),
                                    vb::YesNo + vb::Exclamation + vb::DefaultButton2);
    if (destroy == vb::Yes) {
        bool cancelled = false;
        const QString minute = UI().InputBox(Trans(QStringLiteral("即如此，请输入现在的分钟数:")), QString(),
                                             QStringLiteral("-1"), &cancelled);
        bool go = MinuteConfirmed(minute, cancelled);
        if (go && n > kLargeCount) {
            const qint64 members = 5 * (qint64(n) + 1);
            go = UI().MsgBox(
                     Trans(QStringLiteral("这将生成%1个成员，需要很长的时间和很大的磁盘空间。确定继续吗？"))
                         .arg(members),
                     vb::YesNo + vb::Exclamation + vb::DefaultButton2) == vb::Yes;
        }
        if (go) {
            try {
                ClsTest().生成测试数据(n);
            } catch (const dao::DaoError& e) {
                UI().MsgBox(
                    Trans(QStringLiteral("生成测试数据失败，原有数据没有改变。")) + u'\n' + e.Description(),
                    vb::Critical);
            }
        }
    }
    close();
}

void FrmTest::CmdCancel_Click() {
    close();
}

// A cancelled box, or an answer without any digit, never counts: its numeric value 0 would otherwise
// match every hour's minute 0.
bool FrmTest::MinuteConfirmed(const QString& answer, bool cancelled) const {
    if (cancelled) return false;
    bool hasDigit = false;
    for (const QChar c : answer) hasDigit = hasDigit || (c >= u'0' && c <= u'9');
    if (!hasDigit) return false;
    int typed = 0;
    try {
        typed = CInt(Val(answer));
    } catch (const VbError&) {
        return false;
    }
    return typed == clock_().minute();
}
