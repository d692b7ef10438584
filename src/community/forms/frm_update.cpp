#include "community/forms/frm_update.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTime>

#include "community/cls_download.h"
#include "community/forms/main_tree_refresh.h"
#include "community/help_update.h"
#include "community/translated.h"
#include "frame/app_state.h"
#include "frame/forms/program_icon.h"
#include "frame/http_procedures.h"
#include "frame/language.h"
#include "mainwin/tree_pages.h"
#include "member/hint_lists.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

namespace {

QString ConnectingText() {
    return Translated(QStringLiteral("正在连接到升级服务器..."));
}
QString DownloadingText() {
    return Translated(QStringLiteral("正在下载..."));
}
const QString kHelpCaption = QStringLiteral("帮助文件");

}  // namespace

FrmUpdate::FrmUpdate(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmUpdate"));
    setWindowTitle(QStringLiteral("在线升级"));
    setWindowFlag(Qt::Window);
    resize(460, 220);

    auto* grid = new QGridLayout(this);
    auto* label1 = new QLabel(QStringLiteral("升级服务器："), this);
    label1->setObjectName(QStringLiteral("Label1"));
    txtWeb_ = new QComboBox(this);
    txtWeb_->setObjectName(QStringLiteral("TxtWeb"));
    txtWeb_->setEditable(true);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(txtWeb_, 0, 1, 1, 2);
    cmb100Xi_ = new QComboBox(this);
    cmb100Xi_->setObjectName(QStringLiteral("Cmb100Xi"));
    grid->addWidget(cmb100Xi_, 1, 1, 1, 2);
    chkUpdateHelp_ = new QCheckBox(QStringLiteral("把新的帮助文件装入族谱"), this);
    chkUpdateHelp_->setObjectName(QStringLiteral("ChkUpdateHelp"));
    chkUpdateHelp_->setChecked(true);
    grid->addWidget(chkUpdateHelp_, 2, 1, 1, 2);
    lblState_ = new QLabel(this);
    lblState_->setObjectName(QStringLiteral("Lblstate"));
    lblState_->setWordWrap(true);
    grid->addWidget(lblState_, 3, 0, 1, 3);
    pBar_ = new QProgressBar(this);
    pBar_->setObjectName(QStringLiteral("PBar"));
    pBar_->setTextVisible(false);
    pBar_->hide();
    grid->addWidget(pBar_, 4, 0, 1, 3);
    cmdStart_ = new QPushButton(QStringLiteral("开始升级"), this);
    cmdStart_->setObjectName(QStringLiteral("CmdStart"));
    cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel_->setObjectName(QStringLiteral("CmdCancel"));
    grid->addWidget(cmdStart_, 5, 1);
    grid->addWidget(cmdCancel_, 5, 2);
    grid->setColumnStretch(1, 1);
    connect(cmdStart_, &QPushButton::clicked, this, &FrmUpdate::CmdStart_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmUpdate::CmdCancel_Click);
}

FrmUpdate::~FrmUpdate() = default;

void FrmUpdate::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmUpdate"), []() -> QObject* {
        auto* form = new FrmUpdate;
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->Form_Load();
        return form;
    });
}

void FrmUpdate::Form_Load() {
    tg_ = std::make_unique<clsDownLoad>();
    connect(tg_.get(), &clsDownLoad::GetData, this, &FrmUpdate::tg_GetData);
    connect(tg_.get(), &clsDownLoad::ErrMassage, this, &FrmUpdate::tg_ErrMassage);
    connect(tg_.get(), &clsDownLoad::DownLoadOver, this, [this] { fetched_ = true; });
    setWindowIcon(ProgramIcon());
    QStringList items;
    try {
        Cls提示().Bind100xi(items);
    } catch (const dao::DaoError&) {
        // The list is for show only; the update does not read it.
    }
    cmb100Xi_->addItems(items);
    const help_update::UpdateSetting setting = help_update::ReadUpdateSetting();
    txtWeb_->addItem(BuiltInServerUrl());
    txtWeb_->setEditText(setting.web.isEmpty() ? BuiltInServerUrl() : setting.web);
    rememberedModified_ = setting.helpModified;
    lastDate_ = setting.lastDate;
    lastMinute_ = setting.lastMinute;
    if (const auto& translator = App().Translator) translator->SetLanguage(this);
}

void FrmUpdate::CmdStart_Click() {
    if (running_) return;
    ++presses_;
    lblState_->clear();
    lblState_->show();
    helpFetched_ = helpMerged_ = false;
    offered_.clear();
    if (presses_ < 6) {
        const QString reply = CheckNewVersion(0);
        if (reply.size() < 3 || !reply.at(2).isDigit()) {
            UI().MsgBox(Translated(QStringLiteral("网络连接失败，请检查后再试！")), vb::Critical);
            return;
        }
        if (Val(reply) == 0) {
            lblState_->setText(Translated(QStringLiteral("现在已是最新版，此时不需要升级！")));
            return;
        }
        offered_ = OfferedVersionText(reply);
    }
    cancelled_ = false;
    running_ = true;
    cmdStart_->setEnabled(false);

    QString fetchedPath, modified;
    const bool attempted = fetchHelp(&fetchedPath, &modified);
    pBar_->hide();
    running_ = false;
    if (cancelled_) {
        lblState_->hide();
        return;
    }
    if (attempted) {
        const QTime now = QTime::currentTime();
        lastDate_ = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        lastMinute_ = QString::number(qRound(now.msecsSinceStartOfDay() / 1000.0) / 60);
        lblState_->setText(Translated(QStringLiteral("升级完成。")));
    } else {
        lblState_->setText(Translated(QStringLiteral("没有需要更新的文件。")));
    }
    cmdStart_->setEnabled(true);
    if (helpFetched_) installHelp(fetchedPath);
    // A package that failed its check is fetched again next time.
    if (helpFetched_) rememberedModified_ = modified;
    help_update::SaveUpdateSetting(
        {txtWeb_->currentText().trimmed(), rememberedModified_, lastDate_, lastMinute_});
    if (!offered_.isEmpty())
        UI().MsgBox(Translated(QStringLiteral("有新版本 %1 可用。程序的新版本请通过系统的软件包管理器安装。"))
                        .arg(offered_),
                    vb::Information);
    close();
}

// The archive goes to a temporary file first; the book folder's copy and the book change only after
// the package has passed its check.
bool FrmUpdate::fetchHelp(QString* fetchedPath, QString* modified) {
    work_ = std::make_unique<QTemporaryDir>(QDir(GetAppPath()).filePath(QStringLiteral("update-XXXXXX")));
    if (!work_->isValid()) {
        tg_ErrMassage(Translated(QStringLiteral("不能建立临时文件夹。")));
        return false;
    }
    *fetchedPath = work_->filePath(QStringLiteral("help.mdb"));
    QString base = txtWeb_->currentText().trimmed();
    while (base.endsWith(u'/')) base.chop(1);
    tg_->setURL(base + help_update::HelpArchivePath(App().LanguageId));
    tg_->setSaveFile(*fetchedPath);
    lblState_->setText(ConnectingText());
    DoEvents();
    fetched_ = false;
    tg_->CloseAll();
    tg_->Execute();
    DoEvents();
    if (cancelled_) return false;
    // A file the server does not have (404 and the like) is passed over.
    if (!tg_->StatusOk()) {
        tg_->CloseAll();
        return false;
    }
    *modified = tg_->GetHeader(QStringLiteral("Last-Modified"));
    if (*modified == rememberedModified_) {
        tg_->CloseAll();
        return false;
    }
    fileSize_ = qMax<qint64>(0, tg_->ContentLength());
    lblState_->setText(DownloadingText() + kHelpCaption + u'(' + QString::number(fileSize_ / 1024) +
                       QStringLiteral("K)"));
    pBar_->setMaximum(int(qMin<qint64>(fileSize_ + 1, INT_MAX)));
    pBar_->setValue(0);
    pBar_->show();
    tg_->StartDownLoad();
    DoEvents();
    helpFetched_ = fetched_ && !cancelled_;
    return true;
}

void FrmUpdate::installHelp(const QString& fetchedPath) {
    const QString problem = help_update::CheckHelpPackage(fetchedPath, tg_->ContentLength());
    if (!problem.isEmpty()) {
        helpFetched_ = false;
        UI().MsgBox(problem, vb::Critical);
        return;
    }
    const QString kept = help_update::HelpFilePath();
    QFile::remove(kept);
    if (!QFile::rename(fetchedPath, kept) && !QFile::copy(fetchedPath, kept)) {
        helpFetched_ = false;
        UI().MsgBox(Translated(QStringLiteral("不能写入文件 '%1'。")).arg(kept), vb::Critical);
        return;
    }
    if (!chkUpdateHelp_->isChecked()) {
        UI().MsgBox(Translated(QStringLiteral("新的帮助文件存放在：")) + kept, vb::Information);
        return;
    }
    QString error;
    TreeChangeMark changing;
    const qint32 result = help_update::MergeHelpPackage(kept, &error);
    if (result != 0) {
        UI().MsgBox(Translated(QStringLiteral("帮助文件未能装入，原有的帮助文件未作改动：")) + error,
                    vb::Critical);
        return;
    }
    helpMerged_ = true;
    RebuildMainTreesAfterImport();
}

void FrmUpdate::CmdCancel_Click() {
    if (!cmdStart_->isEnabled()) {
        if (UI().MsgBox(Translated(QStringLiteral("您是否已下定决心停止升级？")),
                        vb::YesNo + vb::Exclamation + vb::DefaultButton2) == vb::Yes) {
            tg_->CloseAll();
            cancelled_ = true;
            cmdStart_->setEnabled(true);
        }
        return;
    }
    close();
}

void FrmUpdate::tg_GetData(qint64 bytes) {
    pBar_->setValue(int(qMin<qint64>(bytes, pBar_->maximum())));
    lblState_->setText(DownloadingText() + kHelpCaption + QStringLiteral(" ( ") +
                       QString::number(bytes / 1024) + u'/' + QString::number(fileSize_ / 1024) +
                       QStringLiteral("K )"));
}

void FrmUpdate::tg_ErrMassage(const QString& text) {
    fetched_ = false;
    cancelled_ = true;
    UI().MsgBox(text, vb::Critical);
}

void FrmUpdate::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run winds down through Cancel first.
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
