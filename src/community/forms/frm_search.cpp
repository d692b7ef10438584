#include "community/forms/frm_search.h"

#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "community/ebook_search.h"
#include "community/forms/up_down_buttons.h"
#include "community/translated.h"
#include "frame/forms/program_icon.h"
#include "frame/forms/window_utils.h"
#include "frame/http_procedures.h"
#include "member/hint_lists.h"
#include "platform/dao/dao_error.h"
#include "platform/http/http_client.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"

namespace {

constexpr int kLabelLeft = 240;
constexpr int kFieldLeft = 1500;
constexpr int kFieldWidth = 3300;
constexpr int kRow = 420;

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& caption, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(TwipsRect(kLabelLeft, top + 40, kFieldLeft - kLabelLeft - 60, 255));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

FrmSearch::FrmSearch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmSearch"));
    setWindowTitle(QStringLiteral("查找电子文档"));
    setFixedSize(TwipsToPixels(5300), TwipsToPixels(3900));

    txtEB_ = addField(QStringLiteral("Label1"), QStringLiteral("电子档名称："), QStringLiteral("TxtEB"), 200);
    txtOrg_ =
        addField(QStringLiteral("Label2"), QStringLiteral("原作者："), QStringLiteral("Txt_org"), 200 + kRow);
    txtE_ = addField(QStringLiteral("Label3"), QStringLiteral("辑录者："), QStringLiteral("Txt_e"),
                     200 + 2 * kRow);
    txtKey_ = addField(QStringLiteral("Label4"), QStringLiteral("关键字："), QStringLiteral("Txt_key"),
                       200 + 3 * kRow);

    AddLabel(this, QStringLiteral("Label5"), QStringLiteral("分类："), 200 + 4 * kRow);
    cmbOdklj_ = new QComboBox(this);
    cmbOdklj_->setObjectName(QStringLiteral("CmbOdklj"));
    cmbOdklj_->setEditable(true);
    cmbOdklj_->setGeometry(TwipsRect(kFieldLeft, 200 + 4 * kRow, kFieldWidth, 315));

    AddLabel(this, QStringLiteral("Label6"), QStringLiteral("下载次数≥："), 200 + 5 * kRow);
    txtDownNum_ = new QLineEdit(QStringLiteral("0"), this);
    txtDownNum_->setObjectName(QStringLiteral("Txt_downNum"));
    txtDownNum_->setGeometry(TwipsRect(kFieldLeft, 200 + 5 * kRow, 1200, 315));
    upDown2_ = new UpDownButtons(QStringLiteral("UpDown2"), this);
    upDown2_->setGeometry(TwipsRect(kFieldLeft + 1200, 200 + 5 * kRow, 255, 315));

    AddLabel(this, QStringLiteral("Label7"), QStringLiteral("等级："), 200 + 6 * kRow);
    lblGrade_ = new QLabel(QStringLiteral("0"), this);
    lblGrade_->setObjectName(QStringLiteral("Lbl_grade"));
    lblGrade_->setFrameShape(QFrame::StyledPanel);
    lblGrade_->setGeometry(TwipsRect(kFieldLeft, 200 + 6 * kRow, 1200, 315));
    upDown1_ = new UpDownButtons(QStringLiteral("UpDown1"), this);
    upDown1_->setGeometry(TwipsRect(kFieldLeft + 1200, 200 + 6 * kRow, 255, 315));

    cmdOK_ = new QPushButton(QStringLiteral("查找"), this);
    cmdOK_->setObjectName(QStringLiteral("CmdOK"));
    cmdOK_->setGeometry(TwipsRect(2200, 3250, 1200, 400));
    cmdOK_->setDefault(true);
    cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel_->setObjectName(QStringLiteral("CmdCancel"));
    cmdCancel_->setGeometry(TwipsRect(3600, 3250, 1200, 400));
    cmdCancel_->setAutoDefault(false);

    connect(cmdOK_, &QPushButton::clicked, this, &FrmSearch::CmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmSearch::CmdCancel_Click);
    connect(upDown1_, &UpDownButtons::up, this, [this] { UpDown1_Click(true); });
    connect(upDown1_, &UpDownButtons::down, this, [this] { UpDown1_Click(false); });
    connect(upDown2_, &UpDownButtons::up, this, [this] { UpDown2_Click(true); });
    connect(upDown2_, &UpDownButtons::down, this, [this] { UpDown2_Click(false); });
}

FrmSearch::~FrmSearch() = default;

void FrmSearch::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmSearch"), [] {
        auto* form = new FrmSearch;
        form->Form_Load();
        return form;
    });
}

QLineEdit* FrmSearch::addField(const QString& labelName, const QString& caption, const QString& name,
                               int top) {
    AddLabel(this, labelName, caption, top);
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setGeometry(TwipsRect(kFieldLeft, top, kFieldWidth, 315));
    return field;
}

void FrmSearch::Form_Load() {
    setWindowIcon(ProgramIcon());
    QStringList categories;
    try {
        ebook_search::RefreshCategoriesIfDue();
        Cls提示().BindEbook_Odklj(categories);
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    }
    // The empty entry searches every category.
    cmbOdklj_->addItem(QString());
    cmbOdklj_->addItems(categories);
    if (const auto& translator = App().Translator) translator->SetLanguage(this);
}

void FrmSearch::CmdOK_Click() {
    if (request_) return;
    ebook_search::Criteria criteria;
    criteria.name = txtEB_->text();
    criteria.author = txtOrg_->text();
    criteria.compiler = txtE_->text();
    criteria.keyword = txtKey_->text();
    criteria.category = cmbOdklj_->currentText();
    criteria.downNum = txtDownNum_->text();

    QPointer<FrmSearch> self(this);
    AsyncHttpGet request;
    QEventLoop loop;
    connect(&request, &AsyncHttpGet::finished, &loop, &QEventLoop::quit);
    request_ = &request;
    wait_ = &loop;
    cmdOK_->setEnabled(false);
    request.start(ebook_search::SearchUrl(criteria), HttpTimeoutMs());
    // The window stays live while the reply is on its way; Cancel ends the dialog without storing.
    if (!request.isDone()) loop.exec();
    if (!self) return;
    request_ = nullptr;
    wait_ = nullptr;
    cmdOK_->setEnabled(true);
    if (cancelled_) return;
    if (!request.ok()) {
        UI().MsgBox(Translated(QStringLiteral("查找失败：服务器没有回答，请稍候再试。")), vb::Exclamation);
        return;
    }
    try {
        ebook_search::StoreHits(ebook_search::ParseReply(request.text()));
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
        return;
    }
    accept();
}

void FrmSearch::CmdCancel_Click() {
    reject();
}

void FrmSearch::reject() {
    App().ListDialogOk = 0;
    cancelled_ = true;
    // A search still waiting is given up, so that the caller goes on at once.
    if (wait_) wait_->quit();
    QDialog::reject();
}

void FrmSearch::UpDown1_Click(bool up) {
    lblGrade_->setNum(ebook_search::GradeStep(lblGrade_->text().toInt(), up));
}

void FrmSearch::UpDown2_Click(bool up) {
    txtDownNum_->setText(ebook_search::DownNumStep(txtDownNum_->text(), up));
}
