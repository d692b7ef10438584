#include "community/forms/frm_msg_1a.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "community/board_queue.h"
#include "community/board_text.h"
#include "community/forms/board_editor.h"
#include "community/soft_no.h"
#include "frame/forms/cls_snd.h"
#include "frame/forms/program_icon.h"
#include "frame/http_procedures.h"
#include "mainwin/forms/split_widgets.h"
#include "platform/bookdir.h"
#include "platform/disk_full.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"

namespace {

struct ToolButton {
    const char* key;
    const char* caption;
};

constexpr ToolButton kButtons[] = {
    {"f_save", "保存记录"}, {"b_copy", "复制"}, {"b_paste", "粘贴"}, {"b_delete", "删除"},
    {"b_undo", "撤消"},     {"b_redo", "重做"}, {"b_b", "粗体"},     {"b_i", "斜体"},
    {"b_u", "下划线"},      {"b_img", "图片"},  {"b_send", "发送"},
};

// The buttons whose state follows the editor (the rest are always available).
const QStringList& StatusKeys() {
    static const QStringList keys{
        QStringLiteral("b_copy"), QStringLiteral("b_paste"), QStringLiteral("b_delete"),
        QStringLiteral("b_redo"), QStringLiteral("b_undo"),  QStringLiteral("b_b"),
        QStringLiteral("b_i"),    QStringLiteral("b_u"),     QStringLiteral("b_img")};
    return keys;
}

FrmMsg_1A* gInstance = nullptr;

}  // namespace

FrmMsg_1A::FrmMsg_1A(QWidget* parent) : QDialog(parent), queue_(std::make_unique<BoardQueue>()) {
    setObjectName(QStringLiteral("FrmMsg_1A"));
    setWindowTitle(QStringLiteral("在线客服留言"));
    resize(720, 560);
    setMinimumSize(640, 420);  // narrower, the toolbar folds "发送" away into its overflow menu

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 0);
    auto* row = new QHBoxLayout;
    outer->addLayout(row, 1);

    splitArea_ = new QWidget(this);
    auto* layout = new SplitPaneLayout(splitArea_);
    view_ = new QTextBrowser(splitArea_);
    view_->setObjectName(QStringLiteral("WebBrowser1"));
    view_->setOpenLinks(false);
    connect(view_, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            UI().OpenUrl(url.toString());
    });
    bar_ = new SplitBar(splitArea_);
    bar_->setObjectName(QStringLiteral("Pic分屏线"));
    bar_->onMouseMove = [this](qint16 button, double y) { splitter_.myMouseMove(button, y); };
    bar_->onMouseUp = [this](qint16 button) { splitter_.myMouseUp(button); };
    band_ = new QWidget(splitArea_);
    band_->setObjectName(QStringLiteral("CoolBar1"));
    auto* bandLayout = new QHBoxLayout(band_);
    bandLayout->setContentsMargins(0, 0, 0, 0);
    toolbar_ = new QToolBar(band_);
    toolbar_->setObjectName(QStringLiteral("TbarEditEx"));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (const ToolButton& button : kButtons) {
        QAction* action = toolbar_->addAction(QString::fromUtf8(button.caption));
        action->setObjectName(QString::fromLatin1(button.key));
        const QString key = QString::fromLatin1(button.key);
        connect(action, &QAction::triggered, this, [this, key] { TbarEditEx_ButtonClick(key); });
    }
    bandLayout->addWidget(toolbar_);
    band_->setFixedHeight(toolbar_->sizeHint().height());
    editor_ = new BoardEditor(splitArea_);
    editor_->setObjectName(QStringLiteral("DHTMLEdit1"));
    editor_->setMouseTracking(true);
    editor_->viewport()->setMouseTracking(true);
    editor_->viewport()->installEventFilter(this);
    // The buttons follow the text and the selection as the user types and selects, not only the mouse.
    connect(editor_, &QTextEdit::selectionChanged, this, &FrmMsg_1A::UpdateEditButtons);
    connect(editor_, &QTextEdit::currentCharFormatChanged, this, &FrmMsg_1A::UpdateEditButtons);
    connect(editor_, &QTextEdit::undoAvailable, this, &FrmMsg_1A::UpdateEditButtons);
    connect(editor_, &QTextEdit::redoAvailable, this, &FrmMsg_1A::UpdateEditButtons);
    connect(editor_, &QTextEdit::copyAvailable, this, &FrmMsg_1A::UpdateEditButtons);
    for (QWidget* w :
         {static_cast<QWidget*>(view_), static_cast<QWidget*>(bar_), band_, static_cast<QWidget*>(editor_)})
        layout->addWidget(w);
    host_ = std::make_unique<WidgetHost>(splitArea_);
    for (QWidget* w :
         {static_cast<QWidget*>(bar_), static_cast<QWidget*>(view_), band_, static_cast<QWidget*>(editor_)})
        panes_.push_back(std::make_unique<WidgetPane>(w));
    layout->onGeometry = [this] { relayout(); };
    row->addWidget(splitArea_, 1);

    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setFrameShape(QFrame::StyledPanel);
    frame1_->setFixedWidth(170);
    auto* side = new QVBoxLayout(frame1_);
    abPic_ = new QLabel(frame1_);
    abPic_->setObjectName(QStringLiteral("abPic"));
    abPic_->setPixmap(ProgramIcon().pixmap(96, 96));
    abPic_->setAlignment(Qt::AlignCenter);
    abPic_->setToolTip(QStringLiteral("更改我的显示名"));
    abPic_->setCursor(Qt::PointingHandCursor);
    abPic_->installEventFilter(this);
    side->addWidget(abPic_);
    auto* label1 = new QLabel(QStringLiteral("客服号："), frame1_);
    label1->setObjectName(QStringLiteral("Label1"));
    deskNo_ = new QLabel(frame1_);
    deskNo_->setObjectName(QStringLiteral("Lblab_no"));
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(label1);
    numberRow->addWidget(deskNo_, 1);
    side->addLayout(numberRow);
    baseInfo_ = new QTextEdit(frame1_);
    baseInfo_->setObjectName(QStringLiteral("Txtbaseinfo"));
    baseInfo_->setReadOnly(true);
    baseInfo_->setAcceptRichText(false);
    side->addWidget(baseInfo_, 1);
    auto* next = new QPushButton(QStringLiteral("关闭"), frame1_);
    next->setObjectName(QStringLiteral("CmdNext"));
    connect(next, &QPushButton::clicked, this, &QDialog::close);
    side->addWidget(next);
    row->addWidget(frame1_);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StBar1"));
    status->setSizeGripEnabled(false);
    panel1_ = new QLabel(status);
    panel2_ = new QLabel(status);
    status->addWidget(panel1_, 3);
    status->addWidget(panel2_, 1);
    outer->addWidget(status);

    connect(queue_.get(), &BoardQueue::statusText, this,
            [this](int panel, const QString& text) { (panel == 1 ? panel1_ : panel2_)->setText(text); });
    connect(queue_.get(), &BoardQueue::deskNoChanged, deskNo_, &QLabel::setText);
    connect(queue_.get(), &BoardQueue::partnerInfo, this,
            [this](const QString&, const QString& info) { baseInfo_->setPlainText(info); });
    connect(queue_.get(), &BoardQueue::logChanged, this, &FrmMsg_1A::showLog);
    connect(queue_.get(), &BoardQueue::answersReceived, this, &FrmMsg_1A::playArrival);
}

FrmMsg_1A::~FrmMsg_1A() {
    if (gInstance == this) gInstance = nullptr;
}

// One board at a time: the service desk gets the open one again.
void FrmMsg_1A::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmMsg_1A"), []() -> QObject* {
        if (!gInstance) {
            gInstance = new FrmMsg_1A;
            gInstance->setAttribute(Qt::WA_DeleteOnClose);
        }
        gInstance->Form_Load();
        return gInstance;
    });
}

void FrmMsg_1A::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    setWindowIcon(ProgramIcon());
    view_->clear();
    splitter_.myInit(*host_, *panes_[0], *panes_[1], *panes_[2], *panes_[3]);
    QString partner;
    try {
        partner = Cls数据操作().GetTeleNo();
    } catch (const std::exception&) {
        // Without a readable contact record the board talks to the service account.
    }
    queue_->Load(partner, MakeSoftNo(), QString::fromLatin1(kBuiltInServiceQQ));
    editor_->clear();
    UpdateEditButtons();
}

void FrmMsg_1A::Form_Activate() {
    view_->move(0, 0);
    queue_->Activate();
}

void FrmMsg_1A::TbarEditEx_ButtonClick(const QString& key) {
    if (key == QLatin1String("f_save")) {
        const QString path =
            UI().GetSaveFileName(QStringLiteral("保存聊天记录"), QStringLiteral("网页 (*.htm *.html)"));
        if (path.isEmpty()) return;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(queue_->LogPage().toUtf8()) < 0 ||
            !CommitWhole(file))
            UI().MsgBox(QStringLiteral("不能写入文件 '%1'。").arg(path), vb::Critical);
        return;
    }
    if (key == QLatin1String("b_send")) {
        SendMessage();
        return;
    }
    ClsDhtmlEdit().EditCmd(*editor_, key);
    UpdateEditButtons();
}

bool FrmMsg_1A::SendMessage() {
    if (!queue_->Send(BoardMessageHtml(*editor_->document()))) return false;
    editor_->clear();
    editor_->setFocus();
    return true;
}

void FrmMsg_1A::abPic_Click() {
    bool cancelled = false;
    const QString name =
        UI().InputBox(QStringLiteral("更改我的显示名："), QString(), queue_->ShownName(), &cancelled);
    if (!cancelled) queue_->Rename(name);
}

void FrmMsg_1A::UpdateEditButtons() {
    for (QAction* action : toolbar_->actions())
        if (StatusKeys().contains(action->objectName()))
            action->setEnabled(ClsDhtmlEdit::ButtonEnable(*editor_, [&] {
                for (const auto& [key, id] : ClsDhtmlEdit::StatusButtons())
                    if (key == action->objectName()) return id;
                return 0;
            }()));
}

QString FrmMsg_1A::StatusPanel(int panel) const {
    return (panel == 1 ? panel1_ : panel2_)->text();
}

void FrmMsg_1A::showLog() {
    view_->setHtml(queue_->LogPage());
    view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
}

void FrmMsg_1A::playArrival() {
    ++soundsPlayed_;
    ClsSnd().PlayWav(GetAppPath() + QStringLiteral("msg.wav"));
}

// The editor keeps its height; the message view takes what the window gains or loses, and the bar stays
// within the splitter's distances from the edges.
void FrmMsg_1A::relayout() {
    if (!loaded_) return;
    const int width = host_->Width();
    for (const auto& pane : panes_) pane->SetWidth(width);
    splitter_.myMouseUp(1);
}

void FrmMsg_1A::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QDialog::changeEvent(event);
}

void FrmMsg_1A::closeEvent(QCloseEvent* event) {
    queue_->RecTimer()->stop();
    queue_->PollTimer()->stop();
    QDialog::closeEvent(event);
}

bool FrmMsg_1A::eventFilter(QObject* watched, QEvent* event) {
    if (watched == abPic_ && event->type() == QEvent::MouseButtonRelease) {
        abPic_Click();
        return true;
    }
    if (watched == editor_->viewport() && event->type() == QEvent::MouseMove) UpdateEditButtons();
    return QDialog::eventFilter(watched, event);
}
