#include "store/forms/frm_set_pswd.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "frame/app_state.h"
#include "frame/db_connections.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/strong_password.h"

namespace {

constexpr int kWidthTwips = 5880;
constexpr int kBackupHeight = 3630;
constexpr int kBackupStrongHeight = 4410;
constexpr int kRestoreHeight = 3130;
constexpr int kRestoreStrongHeight = 3910;
// Restore mode has no second password row: what lies below it moves up by one row.
constexpr int kRestoreShift = 500;
constexpr int kImage4RestoreTop = 2770;
constexpr int kPasswordLength = 11;
constexpr int kStrongLength = 100;
constexpr int kStrongMinimum = 6;
constexpr int kMaxWrongStrong = 5;

const QString kRestoreMode = QStringLiteral("?");
const QString kWideCharacters =
    QStringLiteral("强力密码只能使用英文字母、数字和半角符号，不能含有汉字或全角字符！请重新输入。");

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

QLineEdit* PasswordBox(QWidget* parent, const QString& name, int maxLength, const QRect& geometry) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    box->setMaxLength(maxLength);
    box->setGeometry(geometry);
    return box;
}

QLabel* Picture(QWidget* parent, const QString& name, QStyle::StandardPixmap pixmap, const QRect& geometry) {
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(geometry);
    image->setPixmap(parent->style()->standardIcon(pixmap).pixmap(geometry.size()));
    return image;
}

// Closes the package again on every way out of the check: it must not stay locked behind the dialog.
struct ExclusiveCloser {
    ~ExclusiveCloser() { App().ExclusiveDb.Close(); }
};

}  // namespace

FrmSetPswd::FrmSetPswd(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmSetPswd"));
    setWindowTitle(QStringLiteral("备份->设置密码保护"));

    label1_ = new QLabel(QStringLiteral("数据库文件："), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(TwipsRect(240, 270, 1500, 255));
    txtFile_ = new QLineEdit(this);
    txtFile_->setObjectName(QStringLiteral("Txtfile"));
    txtFile_->setGeometry(TwipsRect(1800, 225, 3840, 315));
    // The caller reads the file it named itself: the path checked here must be that one.
    txtFile_->setReadOnly(true);

    label2First_ = new QLabel(QStringLiteral("请输入密码："), this);
    label2First_->setObjectName(QStringLiteral("Label2(0)"));
    label2First_->setGeometry(TwipsRect(240, 750, 1500, 255));
    txtPswd1_ =
        PasswordBox(this, QStringLiteral("TxtPswd1"), kPasswordLength, TwipsRect(1800, 705, 2160, 315));
    txtPswd1_->installEventFilter(this);

    label2Second_ = new QLabel(QStringLiteral("请再次输入密码："), this);
    label2Second_->setObjectName(QStringLiteral("Label2(1)"));
    label2Second_->setGeometry(TwipsRect(240, 1230, 1500, 255));
    txtPswd2_ =
        PasswordBox(this, QStringLiteral("TxtPswd2"), kPasswordLength, TwipsRect(1800, 1185, 2160, 315));
    txtPswd2_->installEventFilter(this);

    chkStrgPswd_ = new QCheckBox(QStringLiteral("启用强力加密"), this);
    chkStrgPswd_->setObjectName(QStringLiteral("ChkStrgPswd"));
    chkStrgPswd_->setGeometry(TwipsRect(240, 1740, 5400, 315));
    // toggled, not clicked: ticking the box from code must show the boxes as well.
    connect(chkStrgPswd_, &QCheckBox::toggled, this, &FrmSetPswd::ChkStrgPswd_Click);

    cmdOK_ = new QPushButton(QStringLiteral("确  认"), this);
    cmdOK_->setObjectName(QStringLiteral("CmdOK"));
    cmdOK_->setGeometry(TwipsRect(1200, 2340, 1335, 435));
    connect(cmdOK_, &QPushButton::clicked, this, &FrmSetPswd::CmdOK_Click);
    cmdCancel_ = new QPushButton(QStringLiteral("取  消"), this);
    cmdCancel_->setObjectName(QStringLiteral("CmdCancel"));
    cmdCancel_->setGeometry(TwipsRect(3240, 2340, 1335, 435));
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmSetPswd::CmdCancel_Click);

    txtStrgPswd_ =
        PasswordBox(this, QStringLiteral("Txtstrgpswd"), kStrongLength, TwipsRect(1800, 3000, 2880, 315));
    txtStrgPswd_->hide();
    txtStrgPswd2_ =
        PasswordBox(this, QStringLiteral("TxtStrgPswd2"), kStrongLength, TwipsRect(1800, 3420, 2880, 315));
    txtStrgPswd2_->hide();

    image1_ = Picture(this, QStringLiteral("Image1"), QStyle::SP_DriveHDIcon, TwipsRect(4200, 660, 480, 480));
    image2_ =
        Picture(this, QStringLiteral("Image2"), QStyle::SP_DialogApplyButton, TwipsRect(4920, 660, 480, 480));
    image3_ = Picture(this, QStringLiteral("Image3"), QStyle::SP_DialogApplyButton,
                      TwipsRect(4200, 1140, 480, 480));
    image4_ = Picture(this, QStringLiteral("Image4"), QStyle::SP_MessageBoxWarning,
                      TwipsRect(4920, 3270, 480, 480));

    setTabOrder(txtPswd1_, txtPswd2_);
    setTabOrder(txtPswd2_, chkStrgPswd_);
    setTabOrder(chkStrgPswd_, txtStrgPswd_);
    setTabOrder(txtStrgPswd_, txtStrgPswd2_);
    setTabOrder(txtStrgPswd2_, cmdOK_);
    setTabOrder(cmdOK_, cmdCancel_);
    setHeightTwips(kBackupHeight);
}

void FrmSetPswd::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmSetPswd"), []() -> QObject* {
        auto* form = new FrmSetPswd;
        form->Form_Load();
        return form;
    });
}

void FrmSetPswd::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    AppState& app = App();
    setWindowIcon(QApplication::windowIcon());
    modeValue_ = app.FormParamString;
    setHeightTwips(kBackupHeight);
    txtFile_->setText(app.FormParamString2);

    if (IsRestoreMode()) {
        setWindowTitle(QStringLiteral("恢复->验证密码"));
        txtPswd2_->hide();
        label2Second_->hide();
        for (QWidget* w : {static_cast<QWidget*>(cmdOK_), static_cast<QWidget*>(cmdCancel_),
                           static_cast<QWidget*>(chkStrgPswd_), static_cast<QWidget*>(txtStrgPswd_),
                           static_cast<QWidget*>(txtStrgPswd2_)})
            w->move(w->x(), w->y() - TwipsToPixels(kRestoreShift));
        chkStrgPswd_->setText(QStringLiteral("启用强力解密"));
        setHeightTwips(kRestoreHeight);
    }

    // Closing the window without OK reads as cancel; no digest of an earlier showing may outlive it.
    app.FormParamString.clear();
    app.FormParamString2.clear();
    app.StrgPswdDigest.clear();

    if (app.Translator) app.Translator->SetLanguage(this);
}

void FrmSetPswd::ChkStrgPswd_Click() {
    const bool on = chkStrgPswd_->isChecked();
    const bool restore = IsRestoreMode();
    QString caption;
    if (restore)
        caption = on ? QStringLiteral("启用强力解密，请输入强力密码：") : QStringLiteral("启用强力解密");
    else
        caption = on ? QStringLiteral("启用强力加密，请输入强力密码：") : QStringLiteral("启用强力加密");
    chkStrgPswd_->setText(Trans(caption));
    if (restore)
        setHeightTwips(on ? kRestoreStrongHeight : kRestoreHeight);
    else
        setHeightTwips(on ? kBackupStrongHeight : kBackupHeight);
    txtStrgPswd_->setVisible(on);
    txtStrgPswd2_->setVisible(on);
    if (restore) image4_->move(image4_->x(), TwipsToPixels(kImage4RestoreTop));
}

void FrmSetPswd::CmdOK_Click() {
    AppState& app = App();
    QString digest;
    if (chkStrgPswd_->isChecked()) {
        const QString strong = txtStrgPswd_->text();
        // A backup made with a password of blanks would open with an empty box, so only there the
        // blanks do not count; restore takes what older packages were made with.
        if (strong.size() < kStrongMinimum || (!IsRestoreMode() && Trim(strong).size() < kStrongMinimum)) {
            critical(QStringLiteral("强力密码太短。"));
            return;
        }
        if (strong != txtStrgPswd2_->text()) {
            critical(QStringLiteral("强力密码不一致！请再试一次。"));
            txtStrgPswd2_->clear();
            txtStrgPswd2_->setFocus();
            return;
        }
        if (refuseWideCharacters(strong)) return;
        digest = strong_password::Digest(txtStrgPswd2_->text());
    }

    if (!IsRestoreMode()) {
        if (txtPswd1_->text() != txtPswd2_->text()) {
            txtPswd2_->clear();
            txtPswd2_->setFocus();
            critical(QStringLiteral("密码不一致！请再试一次。"));
            return;
        }
    } else if (!verifyPackage(digest)) {
        return;
    }

    app.FormParamString = modeValue_;
    app.FormParamString2 = txtPswd1_->text();
    app.StrgPswdDigest = digest;
    accept();
}

bool FrmSetPswd::verifyPackage(QString& digest) {
    QString description;
    if (TryOpenDbExclusive(txtFile_->text(), txtPswd1_->text(), &description) != 0) {
        critical(description);
        txtPswd1_->setFocus();
        return false;
    }
    ExclusiveCloser closer;
    int answer = 0;
    if (strong_password::HasRecord(App().ExclusiveDb)) {
        chkStrgPswd_->setChecked(true);
    } else if (chkStrgPswd_->isChecked()) {
        answer = UI().MsgBox(Trans(QStringLiteral("并未发现强力加密记录，是否下定决心强制执行强力解密？")),
                             vb::YesNo + vb::DefaultButton2);
        if (answer != vb::Yes) {
            chkStrgPswd_->setChecked(false);
            return false;
        }
        if (UI().MsgBox(
                Trans(QStringLiteral("强力解密前需备份所有数据，否则可能导致系统不能运行!,已做好了吗？")),
                vb::YesNo + vb::Exclamation + vb::DefaultButton2) != vb::Yes)
            return false;
    }

    if (!chkStrgPswd_->isChecked()) {
        digest.clear();
        return true;
    }
    // The box may have been ticked just now, over text typed while it was hidden.
    if (refuseWideCharacters(txtStrgPswd_->text())) return false;
    digest = strong_password::Digest(txtStrgPswd_->text());
    if (answer == vb::Yes) return true;  // no record to check against: the user insisted
    if (wrongStrong_ >= kMaxWrongStrong) {
        critical(QStringLiteral("强力密码不正确！再试一次吧。"));
        return false;
    }
    if (digest != strong_password::StoredDigest(App().ExclusiveDb)) {
        ++wrongStrong_;
        critical(QStringLiteral("强力密码不正确！再试一次吧。"));
        txtStrgPswd_->setFocus();
        return false;
    }
    return true;
}

bool FrmSetPswd::refuseWideCharacters(const QString& strong) {
    if (strong_password::IsSingleByteText(strong) && !strong_password::Digest(strong).isEmpty()) return false;
    critical(kWideCharacters);
    txtStrgPswd_->setFocus();
    return true;
}

void FrmSetPswd::CmdCancel_Click() {
    AppState& app = App();
    app.FormParamString2.clear();
    app.FormParamString.clear();
    app.StrgPswdDigest.clear();
    reject();
}

void FrmSetPswd::critical(const QString& text) {
    UI().MsgBox(Trans(text), vb::Critical);
}

void FrmSetPswd::setHeightTwips(int twips) {
    heightTwips_ = twips;
    setFixedSize(TwipsToPixels(kWidthTwips), TwipsToPixels(twips));
}

void FrmSetPswd::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
}

bool FrmSetPswd::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == txtPswd1_ || watched == txtPswd2_) && EnterKeyMovesFocus(event)) return true;
    return QDialog::eventFilter(watched, event);
}
