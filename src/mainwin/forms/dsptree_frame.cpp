#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/forms/program_icon.h"
#include "frame/language.h"
#include "mainwin/forms/band_layout.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/glyph_icons.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"

namespace {

using mainwin::Trans;

const QString kLauncherName = QStringLiteral("mQentaraQp");
const QString kBlank = QStringLiteral("about:blank");
const QString kCloseInEditMode = QStringLiteral("若要退出,请点击一下其它结点以保存所编辑的内容！");

QWidget* Launcher() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == kLauncherName) return w;
    return nullptr;
}

}  // namespace

dsptree::dsptree(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("dsptree"));
    // The shared member record serves the member form, the prompt dialog and the book printer; it
    // outlives the window.
    App().SharedMember = std::make_shared<Cls子女>();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("dsptreeClient"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    coolBar1_ = new QWidget(central);
    coolBar1_->setObjectName(QStringLiteral("CoolBar1"));
    new BandLayout(coolBar1_);
    column->addWidget(coolBar1_);
    buildPageArea(central);
    column->addWidget(splitArea_, 1);
    setCentralWidget(central);

    buildToolbars();
    buildNodeMenu();
    installShortcuts();
    startDrag = [this] { runMemberDrag(); };

    // Work tree of the commands that need one; never shown.
    treeVwTmp_ = new QTreeWidget(this);
    treeVwTmp_->setObjectName(QStringLiteral("TreeVwTmp"));
    treeVwTmp_->hide();

    SetupMainToolbar();
    SetupBookToolbar();
    SetupNodeToolbar();
    SetupNodeCommands();
    SetupPageEditor();
}

dsptree::~dsptree() = default;

void dsptree::buildPageArea(QWidget* central) {
    splitArea_ = new QWidget(central);
    splitArea_->setObjectName(QStringLiteral("SplitArea"));
    auto* layout = new SplitPaneLayout(splitArea_);

    treeVw_ = new MemberTreeWidget(this, splitArea_);
    treeNodes_ = std::make_unique<TreeWidgetNodes>(treeVw_);
    treeNodes_->SetImages(TreeNodeImages());

    coolBar2_ = new QWidget(splitArea_);
    coolBar2_->setObjectName(QStringLiteral("CoolBar2"));
    auto* strip = new QVBoxLayout(coolBar2_);
    strip->setContentsMargins(0, 0, 0, 0);

    splitBar_ = new SplitBar(splitArea_);
    splitBar_->setObjectName(QStringLiteral("Pic分屏线"));
    splitBar_->onMouseMove = [this](qint16 button, double x) { splitter_.myMouseMove(button, x); };
    // The editor shares the viewer's place in the page area, so it follows the viewer by itself.
    splitBar_->onMouseUp = [this](qint16 button) { splitter_.myMouseUp(button); };

    pageArea_ = new QStackedWidget(splitArea_);
    pageArea_->setObjectName(QStringLiteral("PageArea"));
    webBrowser1_ = new PageViewer(pageArea_);
    connect(webBrowser1_, &PageViewer::documentComplete, this,
            [this](const QString& address, bool) { WebBrowser1_DocumentComplete(address); });
    dhtmlEdit1_ = new QWidget(pageArea_);
    dhtmlEdit1_->setObjectName(QStringLiteral("DHTMLEdit1"));
    pageArea_->addWidget(webBrowser1_);
    pageArea_->addWidget(dhtmlEdit1_);
    pageArea_->setCurrentWidget(webBrowser1_);

    for (QWidget* w : {static_cast<QWidget*>(treeVw_), coolBar2_, static_cast<QWidget*>(splitBar_),
                       static_cast<QWidget*>(pageArea_)})
        layout->addWidget(w);
    splitHost_ = std::make_unique<WidgetHost>(splitArea_);
    for (QWidget* w : {static_cast<QWidget*>(splitBar_), static_cast<QWidget*>(treeVw_), coolBar2_,
                       static_cast<QWidget*>(pageArea_)})
        panes_.push_back(std::make_unique<WidgetPane>(w));
    layout->onGeometry = [this] { splitter_.Refit(); };
}

void dsptree::installShortcuts() {
    // The window sees these keys before any of its controls, as the old window's key preview did.
    for (const int key : {Qt::Key_F4, Qt::Key_F5, Qt::Key_F6}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, key] { Form_KeyDown(key); });
    }
}

void dsptree::takeWholeScreen() {
    // The window manager places the frame: asking for a client area as large as the screen's free area
    // puts the title bar above the screen, and such a window is not maximized by every manager.
    if (const QScreen* s = screen()) {
        const QRect free = s->availableGeometry();
        const QSize normal = free.size() * 9 / 10;
        resize(normal);
        move(free.topLeft() +
             QPoint((free.width() - normal.width()) / 2, (free.height() - normal.height()) / 2));
    }
    setWindowState(windowState() | Qt::WindowMaximized);
    reMaximize_ = true;
}

void dsptree::RegisterForm() {
    FormRegistry::Register(QStringLiteral("dsptree"), []() -> QObject* {
        auto* window = new dsptree;
        try {
            window->Form_Load();
        } catch (...) {
            delete window;
            throw;
        }
        return window;
    });
}

void dsptree::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    AppState& app = App();
    app.GenerationsMarked = false;
    app.CurrentPage = 1;

    takeWholeScreen();
    QWidget* launcher = Launcher();
    setWindowIcon(launcher ? launcher->windowIcon() : QApplication::windowIcon());
    setWindowTitle(PageCaption(1));

    app.RepaginateNeeded = RepaginateFromSetting(GetAppSetting(QStringLiteral("dividerpage")));
    splitter_.myInit(*splitHost_, *panes_[0], *panes_[1], *panes_[2], *panes_[3], 0);
    ShowViewer();
    webBrowser1_->Navigate(kBlank);

    Cls数据操作& ops = DataOps();
    settingsList_ = ops.ChgPswd2();
    app.NodesPerPage = NodesPerPageFromSettings(settingsList_);
    pageCount_ = PageCountFor(ops.TotalRecnNum(), app.NodesPerPage);
    ops.Test世祖();
    RebuildPage();

    app.CurrentPage = 1;
    app.SelectedNodeIndex = 0;
    app.FormParamString.clear();
    if (app.Translator) app.Translator->SetLanguage(this);
    if (launcher) launcher->hide();
    webBrowser1_->show();
}

void dsptree::Form_Resize() {
    if (!EditMode()) SetEditingButtonsEnabled(false);
}

bool dsptree::Form_QueryUnload() {
    if (!EditMode()) return true;
    UI().MsgBox(Trans(kCloseInEditMode), vb::Exclamation);
    return false;
}

void dsptree::Form_Unload() {
    SaveAppSetting(QStringLiteral("dividerpage"),
                   App().RepaginateNeeded ? QStringLiteral("True") : QStringLiteral("False"));
    ops_.reset();
    if (QWidget* launcher = Launcher()) launcher->show();
}

QString dsptree::Form_KeyDown(int key) {
    static const QHash<int, QString> kCommands{{Qt::Key_F4, QStringLiteral("node_tongbei")},
                                               {Qt::Key_F5, QStringLiteral("node_zhilu")},
                                               {Qt::Key_F6, QStringLiteral("node_edit")}};
    const QString command = kCommands.value(key);
    if (command.isEmpty()) return QString();
    // The editor keeps its own keys while a page is written.
    if (EditMode() && pageArea_->currentWidget() == dhtmlEdit1_) {
        const QWidget* focus = QApplication::focusWidget();
        if (focus && (focus == dhtmlEdit1_ || dhtmlEdit1_->isAncestorOf(focus))) return QString();
    }
    Toolbar1_ButtonClick(command);
    return command;
}

void dsptree::closeEvent(QCloseEvent* event) {
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    QMainWindow::closeEvent(event);
}

void dsptree::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && reMaximize_ &&
        !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))) {
        // The manager mapped the window without the maximized state it was shown with (openbox does,
        // for this window); asked again now that the window is managed, the state is applied.
        reMaximize_ = false;
        QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMaximized); });
    }
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // The manager has placed the window by its first activation: a later change of state is the
        // user's.
        reMaximize_ = false;
        Form_Resize();
    }
    QMainWindow::changeEvent(event);
}

void dsptree::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

Cls数据操作& dsptree::DataOps() {
    if (!ops_) ops_ = std::make_unique<Cls数据操作>();
    return *ops_;
}

QString dsptree::TreeTag() const {
    return treeVw_->property("Tag").toString();
}

void dsptree::SetTreeTag(const QString& member) {
    treeVw_->setProperty("Tag", member);
}

QString dsptree::ViewerTag() const {
    return webBrowser1_->property("Tag").toString();
}

void dsptree::SetViewerTag(const QString& tag) {
    webBrowser1_->setProperty("Tag", tag);
}

QString dsptree::FOpenTag() const {
    const QAction* open = ToolbarButton(QStringLiteral("f_open"));
    return open ? open->property("Tag").toString() : QString();
}

void dsptree::SetFOpenTag(const QString& path) {
    if (QAction* open = ToolbarButton(QStringLiteral("f_open"))) open->setProperty("Tag", path);
}

bool dsptree::EditMode() const {
    const QAction* edit = ToolbarButton(QStringLiteral("b_edit"));
    return edit && edit->isChecked();
}

void dsptree::SetEditMode(bool pressed) {
    if (QAction* edit = ToolbarButton(QStringLiteral("b_edit"))) {
        const QSignalBlocker quiet(edit);
        edit->setChecked(pressed);
    }
}

QString dsptree::LauncherCaption() const {
    const QWidget* launcher = Launcher();
    return launcher ? launcher->windowTitle() : ProgramCaption();
}

QString dsptree::PageCaption(qint32 page) const {
    return LauncherCaption() + Trans(QStringLiteral(" 第 ")) + QString::number(page) +
           Trans(QStringLiteral(" 页"));
}

void dsptree::InstallEditor(QWidget* editor) {
    const bool editing = pageArea_->currentWidget() == dhtmlEdit1_;
    pageArea_->removeWidget(dhtmlEdit1_);
    dhtmlEdit1_->deleteLater();
    dhtmlEdit1_ = editor;
    dhtmlEdit1_->setObjectName(QStringLiteral("DHTMLEdit1"));
    pageArea_->addWidget(dhtmlEdit1_);
    pageArea_->setCurrentWidget(editing ? dhtmlEdit1_ : static_cast<QWidget*>(webBrowser1_));
}

void dsptree::ShowViewer() {
    pageArea_->setCurrentWidget(webBrowser1_);
}

void dsptree::ShowEditor() {
    pageArea_->setCurrentWidget(dhtmlEdit1_);
}
