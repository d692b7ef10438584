#include "mainwin/forms/frm_prop.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "frame/app_state.h"
#include "frame/file_services.h"
#include "frame/language.h"

namespace {

// Background, text, link, visited link and active link: the usual page colours until the document
// says otherwise.
constexpr std::array<quint32, PageProperties::kColourCount> kDesignColours{0xFFFFFF, 0x000000, 0xFF0000,
                                                                           0x800080, 0x0000FF};
constexpr const char* kSwatchLabels[] = {
    "字体背景颜色(&C):", "字体前景颜色(&T):", "超链接(&H):", "已访问过的超链接(&V):", "当前超链接(&A):"};

const QString kPictureFilter = QStringLiteral(
    "GIF、JPEG和PNG(*.gif;*.jpg;*.png)|*.gif;*.jpg;*.png|Kodak PhotoCD(*.pcd)|*.pcd|位图(*.Bmp)|*.bmp|"
    "所有文件(*.*)|*.*");

QWidget* Launcher() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("mQentaraQp")) return w;
    return nullptr;
}

}  // namespace

frmProp::frmProp(PagePropertiesDocument& document, QWidget* parent)
    : QDialog(parent), document_(document), colours_(kDesignColours) {
    setObjectName(QStringLiteral("frmProp"));
    setWindowTitle(QStringLiteral("页面属性"));
    auto* column = new QVBoxLayout(this);

    auto* titleBox = new QGroupBox(QStringLiteral("标题"), this);
    auto* titleRow = new QHBoxLayout(titleBox);
    txtTitle_ = new QLineEdit(titleBox);
    txtTitle_->setObjectName(QStringLiteral("txtTitle"));
    txtTitle_->setReadOnly(true);
    titleRow->addWidget(txtTitle_);
    column->addWidget(titleBox);

    auto* grid = new QGridLayout;
    for (int i = 0; i < PageProperties::kColourCount; ++i) {
        auto* swatch = new QToolButton(this);
        swatch->setObjectName(QStringLiteral("pic%1").arg(i + 1));
        swatch->setFixedSize(48, 20);
        auto* label = new QLabel(QString::fromUtf8(kSwatchLabels[i]), this);
        label->setBuddy(swatch);
        grid->addWidget(label, i, 0);
        grid->addWidget(swatch, i, 1);
        connect(swatch, &QToolButton::clicked, this, [this, i] { pic_Click(i + 1); });
        pic_[size_t(i)] = swatch;
    }
    column->addLayout(grid);

    auto* imageRow = new QHBoxLayout;
    chkImage_ = new QCheckBox(QStringLiteral("背景图片"), this);
    chkImage_->setObjectName(QStringLiteral("ChkImage"));
    txtBImage_ = new QLineEdit(this);
    txtBImage_->setObjectName(QStringLiteral("txtBImage"));
    cmdBrowse_ = new QPushButton(QStringLiteral("浏览"), this);
    cmdBrowse_->setObjectName(QStringLiteral("cmdBrowse"));
    imageRow->addWidget(chkImage_);
    imageRow->addWidget(txtBImage_, 1);
    imageRow->addWidget(cmdBrowse_);
    column->addLayout(imageRow);
    chkFix_ = new QCheckBox(QStringLiteral("水印"), this);
    chkFix_->setObjectName(QStringLiteral("chkFix"));
    column->addWidget(chkFix_);
    connect(chkImage_, &QCheckBox::clicked, this, &frmProp::ChkImage_Click);
    connect(cmdBrowse_, &QPushButton::clicked, this, &frmProp::cmdBrowse_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const auto button = [this, buttons](const char* text, const char* name, void (frmProp::*handler)()) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    button("确定", "CmdOK", &frmProp::CmdOK_Click)->setDefault(true);
    button("取消", "CmdCancel", &frmProp::CmdCancel_Click);
    button("应用", "CmdApply", &frmProp::CmdApply_Click);
    column->addLayout(buttons);

    for (int i = 1; i <= PageProperties::kColourCount; ++i) paintSwatch(i);
    ChkImage_Click();
}

void frmProp::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    const QWidget* launcher = Launcher();
    setWindowIcon(launcher ? launcher->windowIcon() : QApplication::windowIcon());
    if (App().Translator) App().Translator->SetLanguage(this);
}

void frmProp::showEvent(QShowEvent* event) {
    Form_Load();
    Form_Activate();
    QDialog::showEvent(event);
}

void frmProp::Form_Activate() {
    GetValue();
}

void frmProp::GetValue() {
    const PageProperties properties = document_.ReadPageProperties();
    title_ = properties.title;
    txtTitle_->setText(properties.title);
    for (int i = 0; i < PageProperties::kColourCount; ++i) {
        // A colour the page does not set shows as the page shows it, not as black.
        const QString& colour = properties.colours[size_t(i)];
        colours_[size_t(i)] = page_colours::IsColour(colour) ? HTML2RGB(colour) : kDesignColours[size_t(i)];
        paintSwatch(i + 1);
    }
    txtBImage_->setText(properties.background);
    chkFix_->setChecked(properties.fixedBackground);
    chkImage_->setChecked(!properties.background.isEmpty());
    ChkImage_Click();
}

void frmProp::SetValue() {
    PageProperties properties;
    properties.title = title_;
    for (int i = 0; i < PageProperties::kColourCount; ++i)
        properties.colours[size_t(i)] = RGB2HTML(colours_[size_t(i)]);
    if (chkImage_->isChecked()) {
        properties.background = txtBImage_->text();
        properties.fixedBackground = chkFix_->isChecked();
    }
    document_.WritePageProperties(properties);
}

void frmProp::CmdApply_Click() {
    SetValue();
}

void frmProp::CmdOK_Click() {
    SetValue();
    accept();
}

void frmProp::CmdCancel_Click() {
    reject();
}

void frmProp::cmdBrowse_Click() {
    const QString path =
        ClsCmDialog().CmDgSelectFile(kPictureFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (path.isEmpty()) return;  // a cancelled dialog keeps the picture there was
    txtBImage_->setText(path);
    chkImage_->setChecked(true);
    ChkImage_Click();
}

void frmProp::ChkImage_Click() {
    const bool on = chkImage_->isChecked();
    txtBImage_->setEnabled(on);
    chkFix_->setEnabled(on);
}

void frmProp::pic_Click(int index) {
    if (index < 1 || index > PageProperties::kColourCount) return;
    const QVariant chosen = ClsCmDialog().CmDgSelectFile(QString(), QString(), ClsCmDialog::kColor);
    if (chosen.isNull()) return;  // cancelled: the colour stays
    colours_[size_t(index - 1)] = quint32(chosen.toLongLong()) & 0xFFFFFF;
    paintSwatch(index);
}

void frmProp::paintSwatch(int index) {
    const quint32 c = colours_[size_t(index - 1)];
    pic_[size_t(index - 1)]->setStyleSheet(
        QStringLiteral("background-color: %1; border: 1px solid gray;").arg(RGB2HTML(c)));
}
