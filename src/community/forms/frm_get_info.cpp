#include "community/forms/frm_get_info.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "community/ebook_publishing.h"
#include "community/ebook_search.h"
#include "community/ebook_tables.h"
#include "community/soft_no.h"
#include "community/translated.h"
#include "frame/app_settings.h"
#include "frame/forms/program_icon.h"
#include "frame/forms/window_utils.h"
#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "member/hint_lists.h"
#include "online/net_card.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"

namespace {

constexpr int kWidth = 9000;
constexpr int kHeight = 6990;
constexpr int kRowHeight = 440;
constexpr int kTop = 200;
// Two columns of captions and fields.
constexpr int kCaptionLeft[] = {120, 4620};
constexpr int kFieldLeft[] = {1320, 5820};
constexpr int kFieldWidth = 3000;
const QString kSeekSetting = QStringLiteral("seekexist");
// Files this large are always checked through their headers: fetching them whole would take too long.
constexpr double kProbeThresholdMb = 5;

QRect FieldRect(int column, int row, int width = kFieldWidth) {
    return TwipsRect(kFieldLeft[column], kTop + row * kRowHeight, width, 315);
}

QLabel* Caption(QWidget* parent, const QString& caption, int column, int row) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(TwipsRect(kCaptionLeft[column], kTop + row * kRowHeight + 30, 1150, 255));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QRect& rect) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

FrmGetInfo::FrmGetInfo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmGetInfo"));
    setWindowTitle(QStringLiteral("发布电子文档"));
    setFixedSize(TwipsToPixels(kWidth), TwipsToPixels(kHeight));

    txtFile_ = addField(QStringLiteral("Txtfile"), QStringLiteral("文件名："), 0, 0);
    txtFile_->setGeometry(TwipsRect(kFieldLeft[0], kTop, 6300, 315));
    txtFile_->setReadOnly(true);
    cmdSelFile_ = Button(this, QStringLiteral("CmdSelFile"), QStringLiteral("选择"),
                         TwipsRect(7740, kTop - 20, 1000, 360));
    txtSize_ = addField(QStringLiteral("Txtsize"), QStringLiteral("文件大小："), 0, 1);
    txtNetSize_ = addField(QStringLiteral("TxtNetSize"), QStringLiteral("占用空间："), 1, 1);
    txtPswd_ = addField(QStringLiteral("TxtPswd"), QStringLiteral("密码："), 0, 2);
    txtStrgPswd_ = addField(QStringLiteral("Txtstrgpswd"), QStringLiteral("强力密码："), 1, 2);
    for (QLineEdit* shown : {txtSize_, txtNetSize_, txtPswd_, txtStrgPswd_}) shown->setReadOnly(true);
    Caption(this, QStringLiteral("成员数："), 0, 3);
    lblRecNum_ = new QLabel(this);
    lblRecNum_->setObjectName(QStringLiteral("Lblrecnum"));
    lblRecNum_->setGeometry(FieldRect(0, 3));
    txtName_ = addField(QStringLiteral("Txtname"), QStringLiteral("文档名称："), 0, 4);
    Caption(this, QStringLiteral("分类："), 1, 4);
    cmbOdklj_ = new QComboBox(this);
    cmbOdklj_->setObjectName(QStringLiteral("Cmb_odklj"));
    cmbOdklj_->setGeometry(FieldRect(1, 4));
    txtOrg_ = addField(QStringLiteral("Txt_org"), QStringLiteral("原创者："), 0, 5);
    txtE_ = addField(QStringLiteral("Txt_e"), QStringLiteral("辑录者："), 1, 5);
    txtKey_ = addField(QStringLiteral("Txtkey"), QStringLiteral("简要说明："), 0, 6);
    txtKey_->setGeometry(TwipsRect(kFieldLeft[0], kTop + 6 * kRowHeight, 7500, 315));
    txtEbId_ = addField(QStringLiteral("Txteb_id"), QStringLiteral("内部编号："), 0, 7);
    txtEbId_->setText(QStringLiteral("0"));
    txtNetPath_ = addField(QStringLiteral("Txtnetpath"), QStringLiteral("下载路径："), 0, 8);
    txtNetPath_->setGeometry(TwipsRect(kFieldLeft[0], kTop + 8 * kRowHeight, 7500, 315));
    Caption(this, QStringLiteral("你的IP："), 0, 9);
    lblIP_ = new QLabel(this);
    lblIP_->setObjectName(QStringLiteral("LblIP"));
    lblIP_->setGeometry(FieldRect(0, 9));
    Caption(this, QStringLiteral("你的网卡："), 1, 9);
    lblNetCard_ = new QLabel(this);
    lblNetCard_->setObjectName(QStringLiteral("Lbl_netcard"));
    lblNetCard_->setGeometry(FieldRect(1, 9));

    const int buttonsTop = kTop + 11 * kRowHeight;
    checkASP_ = new QCheckBox(QStringLiteral("用ASP检测"), this);
    checkASP_->setObjectName(QStringLiteral("CheckASP"));
    checkASP_->setToolTip(QStringLiteral("速度最快"));
    checkASP_->setGeometry(TwipsRect(kFieldLeft[0], buttonsTop + 40, 1600, 315));
    cmdFileExist_ = Button(this, QStringLiteral("CmdFileExist"), QStringLiteral("检测"),
                           TwipsRect(3000, buttonsTop, 1300, 400));
    cmdFileExist_->setToolTip(QStringLiteral("没有上传进行检测将很慢。"));
    cmdFileExist_->setEnabled(false);
    cmdTransToSQL_ = Button(this, QStringLiteral("CmdTransToSQL"), QStringLiteral("发送下载控制"),
                            TwipsRect(4500, buttonsTop, 1800, 400));
    cmdCancel_ = Button(this, QStringLiteral("CmdCancel"), QStringLiteral("取  消"),
                        TwipsRect(6500, buttonsTop, 1300, 400));

    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(300);
    connect(timer2_, &QTimer::timeout, this, &FrmGetInfo::Timer2_Timer);
    connect(cmdSelFile_, &QPushButton::clicked, this, &FrmGetInfo::CmdSelFile_Click);
    connect(checkASP_, &QCheckBox::clicked, this, &FrmGetInfo::CheckASP_Click);
    connect(cmdFileExist_, &QPushButton::clicked, this, &FrmGetInfo::CmdFileExist_Click);
    connect(cmdTransToSQL_, &QPushButton::clicked, this, &FrmGetInfo::CmdTransToSQL_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmGetInfo::CmdCancel_Click);
}

FrmGetInfo::~FrmGetInfo() = default;

void FrmGetInfo::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmGetInfo"), [] {
        auto* form = new FrmGetInfo;
        form->Form_Load();
        return form;
    });
}

QLineEdit* FrmGetInfo::addField(const QString& name, const QString& caption, int column, int row) {
    Caption(this, caption, column, row);
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setGeometry(FieldRect(column, row));
    return field;
}

void FrmGetInfo::say(const QString& text, int style) {
    UI().MsgBox(Translated(text), style);
}

void FrmGetInfo::Form_Load() {
    setWindowIcon(ProgramIcon());
    if (const auto& translator = App().Translator) translator->SetLanguage(this);
    timer2_->start();
}

void FrmGetInfo::Timer2_Timer() {
    LoadStep(++step_);
}

void FrmGetInfo::LoadStep(int step) {
    timer2_->stop();
    if (step == 1) {
        QStringList categories;
        try {
            const auto address =
                ebook_publishing::SplitAddress(ebook_publishing::LibraryAddress(App().SelectedNodeIndex));
            // Without a chosen e-book the files go to the community server's own e-book folder.
            downloadFolder_ =
                address.folder.isEmpty() ? GetServerBaseUrl() + QStringLiteral("/ebook/") : address.folder;
            libraryFile_ = address.fileName;
            // The list may never have been fetched in this book: the search is not the only way here.
            ebook_search::RefreshCategoriesIfDue();
            Cls提示().BindEbook_Odklj(categories);
        } catch (const dao::DaoError& e) {
            UI().MsgBox(e.Description(), vb::Critical);
        }
        cmbOdklj_->clear();
        cmbOdklj_->addItems(categories);
        lblNetCard_->setText(ClsNetCard().NetCardAddress());
        timer2_->start();
    } else if (step == 2) {
        {
            ProgressScope progress;
            lblIP_->setText(ebook_publishing::CallerAddress());
        }
        timer2_->start();
    }
}

void FrmGetInfo::CmdSelFile_Click() {
    const QString path = UI().GetOpenFileName(
        QString(), Translated(QStringLiteral("族谱(*.Mdb;*.Rar)|*.mdb;*.rar|所有文件（*.*）|*.*")));
    if (path.isEmpty()) return;
    txtFile_->setText(path);
    if (!QFileInfo(path).isFile()) return;
    cmdFileExist_->setEnabled(true);

    ebook_publishing::PackageInfo info;
    {
        ProgressScope progress;
        info = ebook_publishing::InspectPackage(path);
    }
    if (!info.ok) {
        UI().MsgBox(info.message, vb::Critical);
        return;
    }
    txtPswd_->setText(QStringLiteral("586"));
    txtSize_->setText(ebook_publishing::SizeText(info.bytes));
    txtNetSize_->setText(ebook_publishing::NetSizeText(info.bytes));
    // A file without the record has none: the previous file's must not stay.
    txtStrgPswd_->setText(info.strongRecord);
    lblRecNum_->setText(QString::number(info.members));

    const QString fileName = QFileInfo(path).fileName();
    txtNetPath_->setText(downloadFolder_ + fileName);
    txtName_->setText(ebook_publishing::BookNameOf(fileName));
    txtEbId_->setText(!libraryFile_.isEmpty() && txtNetPath_->text().contains(libraryFile_)
                          ? QString::number(App().SelectedNodeIndex)
                          : QStringLiteral("0"));
}

void FrmGetInfo::CheckASP_Click() {
    if (!checkASP_->isChecked()) return;
    checkCommand_ = UI().InputBox(Translated(QStringLiteral("检测命令：")),
                                  QStringLiteral("如http://x.x.x/abc/xyz.asp?fname=\\dir\\"),
                                  GetAppSetting(kSeekSetting));
    SaveAppSetting(kSeekSetting, checkCommand_);
    cmdFileExist_->setEnabled(true);
    if (txtNetPath_->text().isEmpty()) {
        checkASP_->setChecked(false);
        cmdFileExist_->setEnabled(false);
    }
}

void FrmGetInfo::CmdFileExist_Click() {
    fileUploaded_ = false;
    const QString netpath = txtNetPath_->text();
    qint64 result = 0;
    QString failure;
    {
        ProgressScope progress;
        if (checkASP_->isChecked()) {
            result = ebook_publishing::CheckWithPage(checkCommand_, netpath);
        } else {
            ++checks_;
            if (checks_ % 2 == 1 || LeadingNumber(txtSize_->text()) >= kProbeThresholdMb)
                result = ebook_publishing::ProbeNetFile(netpath, &failure);
            else
                result = HttpUrlOk(netpath);
            cmdFileExist_->setEnabled(false);
        }
    }
    if (result != 0) {
        say(QStringLiteral("文件已上传，可以发送下载控制信息了。"), vb::Information);
        fileUploaded_ = true;
        downloadFolder_ = ebook_publishing::SplitAddress(netpath).folder;
        cmdFileExist_->setEnabled(false);
    } else if (!failure.isEmpty()) {
        UI().MsgBox(failure, vb::Exclamation);
    } else {
        say(QStringLiteral("文件未上传，请先上传文件。"), vb::Exclamation);
    }
}

void FrmGetInfo::CmdTransToSQL_Click() {
    if (!fileUploaded_) {
        say(QStringLiteral("文件未上传，请先上传文件。或先进行检测。"), vb::Critical);
        return;
    }
    if (App().SoftNo.isEmpty()) App().SoftNo = MakeSoftNo();
    ebook_publishing::Publication p;
    p.softNo = App().SoftNo;
    p.strongRecord = txtStrgPswd_->text();
    p.netpath = txtNetPath_->text();
    p.name = txtName_->text();
    p.author = txtOrg_->text();
    p.compiler = txtE_->text();
    p.description = txtKey_->text();
    p.category = cmbOdklj_->currentText();
    p.replacedId = txtEbId_->text();
    p.size = txtSize_->text();
    p.ip = lblIP_->text();
    p.netcard = lblNetCard_->text();
    bool published = false;
    {
        ProgressScope progress;
        published = ebook_publishing::Publish(p);
    }
    say(published ? QStringLiteral("上传成功！") : QStringLiteral("上传失败！"),
        published ? vb::Information : vb::Exclamation);
}

void FrmGetInfo::CmdCancel_Click() {
    close();
}
