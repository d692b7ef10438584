#pragma once

#include <QDate>
#include <QHash>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "mainwin/forms/split_widgets.h"
#include "mainwin/split_geometry.h"
#include "platform/forms/tree_widget_nodes.h"

class Cls数据操作;
class HtmlEditView;
class MemberTreeWidget;
class PageViewer;
class QAction;
class QMenu;
class QStackedWidget;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// The main window: one tree page of the book on the left (TreeVw, with the node toolbar strip beside
// it), the selected member's page on the right (the viewer WebBrowser1, or the page editor in the same
// place), the book, main and editor toolbars across the top, one pop-up menu for the tree and the
// editor. The launcher opens it modelessly; it hides the launcher while it is open.
//
// The window is split by area, one source file each:
//   dsptree_frame.cpp         controls, start-up, layout, keys, closing
//   dsptree_toolbars.cpp      the four toolbars and their buttons
//   dsptree_menus.cpp         the pop-up menu nodemenu
//   dsptree_tree_view.cpp     node clicks, drag and drop, generation labels, the viewer's events
//   dsptree_search.cpp        the member search across pages
// and one file per command group, each with its own set-up step and its toolbar's dispatch:
//   dsptree_main_toolbar.cpp  TbarOP (page turning, on-line, edit mode)
//   dsptree_book_toolbar.cpp  TbarOpEx (book commands)
//   dsptree_node_toolbar.cpp  Toolbar1 (node commands, keys F4 F5 F6)
//   dsptree_node_commands.cpp the node_* items of the pop-up menu
//   dsptree_member_commands.cpp, dsptree_marking_commands.cpp  their commands
//   dsptree_page_editor.cpp   the page editor: edit mode, TbarEditEx, the page save
//   dsptree_editor_menu.cpp   the editor's pop-up menu and its edit_* items
// A toolbar button or menu item whose command does not exist yet stays disabled.
//
// Every handler can be called directly; controls carry their old names as object names, toolbar
// buttons and menu items their old keys.
class dsptree : public QMainWindow {
    Q_OBJECT
public:
    explicit dsptree(QWidget* parent = nullptr);
    ~dsptree() override;

    // Registers "dsptree": a new window, loaded before it is handed out.
    static void RegisterForm();

    // ---- Life (dsptree_frame.cpp)
    // The start-up sequence: page state, settings, page count, the first tree page; hides the launcher.
    void Form_Load();
    // On activation and resize; the editing buttons are disabled unless the editor is in edit mode.
    void Form_Resize();
    // False, after telling the user, while the page editor is in edit mode.
    bool Form_QueryUnload();
    // Saves "dividerpage", releases the data-operations object, shows the launcher again.
    void Form_Unload();
    // F4, F5 and F6 run the node toolbar's sibling, child and edit commands (nothing while the editor
    // has the focus in edit mode); answers the node-toolbar key run, "" for any other key.
    QString Form_KeyDown(int key);

    // ---- Window state
    // The window's own data operations, created on first use.
    Cls数据操作& DataOps();
    qint32 PageCount() const { return pageCount_; }
    void SetPageCount(qint32 pages) { pageCount_ = pages; }
    // The book's settings list as read at load (Cls数据操作::ChgPswd2).
    QString SettingsList() const { return settingsList_; }
    // TreeVw's Tag: the member whose page is on display or in the editor ("" before the first click).
    QString TreeTag() const;
    void SetTreeTag(const QString& member);
    // WebBrowser1's Tag: "0" the member's page is in ltmp.htm, "-1" the member has no stored page.
    QString ViewerTag() const;
    void SetViewerTag(const QString& tag);
    // The Tag of TbarEditEx's f_open: the HTML file opened into the page area, "" for the member's page.
    QString FOpenTag() const;
    void SetFOpenTag(const QString& path);
    // Set by every finished load of the viewer (and of the editor); cleared by handlers that wait.
    bool DocumentLoaded() const { return documentLoaded_; }
    void SetDocumentLoaded(bool loaded) { documentLoaded_ = loaded; }
    // Edit mode: TbarOP's check button b_edit pressed. Setting it runs no command.
    bool EditMode() const;
    void SetEditMode(bool pressed);
    // The launcher's caption (the product title) and the page caption built from it.
    QString LauncherCaption() const;
    QString PageCaption(qint32 page) const;
    // PageCount from the number of members, for commands that change it (dsptree_main_toolbar.cpp).
    void RecountPages();

    // ---- Controls
    MemberTreeWidget* TreeVw() const { return treeVw_; }
    TreeWidgetNodes& TreeNodes() { return *treeNodes_; }
    QTreeWidget* TreeVwTmp() const { return treeVwTmp_; }
    PageViewer* WebBrowser1() const { return webBrowser1_; }
    QWidget* DHTMLEdit1() const { return dhtmlEdit1_; }
    QStackedWidget* PageArea() const { return pageArea_; }
    QWidget* CoolBar1() const { return coolBar1_; }
    QWidget* CoolBar2() const { return coolBar2_; }
    SplitBar* Pic分屏线() const { return splitBar_; }
    QToolBar* TbarOP() const { return tbarOP_; }
    QToolBar* TbarOpEx() const { return tbarOpEx_; }
    QToolBar* TbarEditEx() const { return tbarEditEx_; }
    QToolBar* Toolbar1() const { return toolbar1_; }
    Cls分屏& Splitter() { return splitter_; }
    // The page editor takes the editor's place over the viewer (the page-editor file installs it).
    void InstallEditor(QWidget* editor);
    // Exactly one of the two is shown.
    void ShowViewer();
    void ShowEditor();

    // ---- Toolbars (dsptree_toolbars.cpp); each toolbar's dispatch is in its command file
    // A toolbar button by its key; nullptr for none.
    QAction* ToolbarButton(const QString& key) const;
    // TbarEditEx's editing buttons, 2 to 20 by index.
    void SetEditingButtonsEnabled(bool enabled);
    void TbarOP_ButtonClick(const QString& key);
    void TbarOpEx_ButtonClick(const QString& key);
    void TbarEditEx_ButtonClick(const QString& key);
    void Toolbar1_ButtonClick(const QString& key);

    // ---- Page editor (dsptree_page_editor.cpp, dsptree_editor_menu.cpp)
    // Stores the editor's document as the member's page, with its pictures, media and linked files, in
    // one transaction. False, after telling the user, when it could not be stored: the stored page
    // and files are then as they were. Nothing happens (true) for "" or an editor never given a page.
    bool SaveEditedPage(const QString& member);
    // The editing buttons that follow a command enabled as the editor offers the command now.
    void UpdateEditButtons();
    // The b_edit branch of TbarOP's handler: enters or leaves edit mode after the button flipped.
    void EditButton_Click();
    // Whether the editor offers the command (a decmd number) now.
    bool ButtonEnable(int command);
    HtmlEditView* Editor() const { return editor_; }
    // The editor's pop-up menu: the edit_* items, those that follow a command enabled as it is offered.
    void DHTMLEdit1_ContextMenu(const QPoint& globalPos);

    // ---- Pop-up menu (dsptree_menus.cpp)
    QMenu* nodemenu() const { return nodemenu_; }
    // An item or separator by its old name; nullptr for none.
    QAction* MenuItem(const QString& name) const;
    // Runs handler when the item is chosen and enables the item.
    void ConnectMenuItem(const QString& name, std::function<void()> handler);
    // The node_* items and separators get `nodeItems` as their visibility, the edit_* ones the opposite.
    void SetMenuVisible(bool nodeItems);
    void PopupNodeMenu(const QPoint& globalPos);

    // ---- Tree view (dsptree_tree_view.cpp)
    void TreeVw_NodeClick(QTreeWidgetItem* node);
    // Button 1 left, 2 right; positions in twips of the tree's viewport, as the old events gave them.
    void TreeVw_MouseDown(int button, const QPoint& pos);
    // True when the move started a drag.
    bool TreeVw_MouseMove(int button, const QPoint& pos);
    void TreeVw_DragOver(const QPoint& pos);
    void TreeVw_DragDrop();
    // Renaming a node in place is always refused: answers the cancel flag.
    bool TreeVw_BeforeLabelEdit() const { return true; }
    void WebBrowser1_DocumentComplete(const QString& address);
    // Writes (show) or removes the generation labels of a node and all its descendants.
    void WriteGenerationLabels(int nodeIndex, bool show);
    // Shows the member's stored page in the viewer (ltmp.htm, or a blank page when it has none), sets
    // the viewer's Tag and hides the editor.
    void ShowMemberPage(const QString& member);
    // The member of the selected node (its text without a generation label); "" when none.
    QString SelectedMemberName() const;
    // Fills the tree with the current page (显示世祖, then Tree分结点数展开).
    void RebuildPage();
    bool Dragging() const { return dragging_; }
    QString DragNodeKey() const { return dragNodeKey_; }
    QString DropHighlightKey() const { return dropHighlightKey_; }

    // ---- Member search (dsptree_search.cpp)
    void SeekMember(const QString& text);

    // How the pop-up menu opens and how a member drag runs; tests replace them so that nothing waits.
    std::function<void(QMenu* menu, const QPoint& globalPos)> popupMenu;
    std::function<void()> startDrag;
    // The day a backup's proposed file name carries; tests fix it.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Builds the e-book of the branch of a node whose subtree is marked with the node's index (details
    // off): buildEbook unless a test replaces it.
    std::function<void(int nodeIndex)> chmBuilder;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Construction (dsptree_frame.cpp, dsptree_toolbars.cpp, dsptree_menus.cpp).
    void buildPageArea(QWidget* central);
    void buildToolbars();
    QToolBar* addToolbar(QWidget* holder, const QString& name, void (dsptree::*dispatch)(const QString&));
    void buildNodeMenu();
    void installShortcuts();
    // Maximized over the screen's free area, its frame on the screen; a normal size inside that area
    // to come back to.
    void takeWholeScreen();
    // Each command file's own set-up, run once by the constructor after every control exists.
    void SetupMainToolbar();
    void SetupBookToolbar();
    void SetupNodeToolbar();
    void SetupNodeCommands();
    void SetupPageEditor();
    void SetupEditorMenu();

    // Page editor helpers (dsptree_page_editor.cpp, dsptree_editor_menu.cpp).
    bool editorShown() const;
    // The editing buttons from the statuses the editor holds, without running the message loop.
    void applyEditButtonStates();
    void openHtmlFile();
    void saveShownPage();
    void printShownPage();
    // The editor's selected text, trimmed; it stays on the clipboard.
    QString selectedEditorText();
    void editInsertMedia();
    void editDownloadLink();
    void editPageProperties();
    void editRenameMember();
    void editPageKeyword();

    // Tree view helpers (dsptree_tree_view.cpp).
    // Writes ltmp.htm for the member and shows it, or a blank page; sets the viewer's Tag. False, after
    // telling the user, when the stored page could not be read.
    bool showStoredPage(const QString& member);
    void runMemberDrag();
    void leaveEditModeForClick();
    void setDropHighlight(const QString& key);
    // Selects the member's node, expanding its ancestors, and shows its page as a click does.
    void selectMemberNode(const QString& member);
    int indexOfItem(const QTreeWidgetItem* item) const;

    // Main and book toolbar commands (dsptree_main_toolbar.cpp, dsptree_book_toolbar.cpp).
    // Leaves edit mode before a command replaces the page or the book, storing the edited page.
    void leaveEditModeForCommand();
    void turnPage(bool forward);
    void showTurnedPage();
    // Draws the current page again after the book changed, and counts its pages again.
    void redrawAfterBookChange();
    void backUpBranch();
    void restoreAsNewBook();
    void splitOffBranchBook();
    void runSystemSetup();
    void findMember();
    // The print command (dsptree_print_command.cpp): the print-format dialog, then the chart, the site,
    // the e-book or the printed book of the selected member's branch.
    void printBranch();
    void printChart(const QString& name, const QString& title);
    // Writes the book (style '0' document, else the biography register), shows it in the viewer and
    // opens its print preview; the viewer goes back to a blank page afterwards.
    void printBook(const QString& name, QChar style, bool vertical);
    void publishSite(const QString& name, const QString& title, bool details);
    // The e-book of the branch under the node (its subtree already flagged with the node's index).
    void buildEbook(int nodeIndex, bool details);

    // Member search helpers (dsptree_search.cpp).
    bool walkPagesTo(const QString& member);
    void repairLostMember(const QString& member);

    // Member commands (dsptree_member_commands.cpp), run by the node toolbar, F4 F5 F6 and the menu.
    void NewAncestorNode();
    void AddSiblingNode();
    void AddChildNode();
    void EditMemberNode();
    void DeleteMemberNode(bool alsoServer);
    void ResortChildren(QTreeWidgetItem* parent);
    void InsertParentNode();
    void DeleteWithDescendants();
    void MoveAcrossPages();
    void ShowOrHideRoot(bool show);
    void ColourLineOfDescent();
    // Shared by the command files: RepaginateNeeded and the page starts after keepPage dropped.
    void markPagesStale(qint32 keepPage);
    void addMemberNodes(const QString& parentKey, const QStringList& names, bool male);
    // After a delete: the page on display is no member's any more when its member is gone.
    void forgetDeletedPage();
    // Deletes the member's server copy (the member-sync change; dsptree_online_commands.cpp): false,
    // after telling the user, when it could not, and the local member then stays.
    bool DeleteOnServer(qint32 mysqlId);

    // Marking commands (dsptree_marking_commands.cpp), run by the menu.
    void NumberGenerations();
    void ClearGenerations();
    void MarkLivingOrDead();
    void SetBranchProtection();
    void AddToFamousList();
    void LoadBranchPackage();
    void ImportPageFolder();

    // On-line node commands and the book download (dsptree_online_commands.cpp).
    void UploadMemberNode();
    void UploadBranchNodes();
    void DownloadMemberNode();
    void DownloadBranchNodes();
    void DeleteNodeOnServer();
    void DownloadBookFromServer();

    // Node toolbar (dsptree_node_toolbar.cpp).
    void MoveAmongSiblings(int step);
    void StoreSiblingOrder();
    void BuildChmOfBranch();

    std::unique_ptr<Cls数据操作> ops_;
    qint32 pageCount_ = 0;
    QString settingsList_;
    bool documentLoaded_ = false;
    bool loaded_ = false;
    bool reMaximize_ = false;

    MemberTreeWidget* treeVw_ = nullptr;
    std::unique_ptr<TreeWidgetNodes> treeNodes_;
    QTreeWidget* treeVwTmp_ = nullptr;
    QWidget* coolBar1_ = nullptr;
    QWidget* coolBar2_ = nullptr;
    QWidget* splitArea_ = nullptr;
    SplitBar* splitBar_ = nullptr;
    QStackedWidget* pageArea_ = nullptr;
    PageViewer* webBrowser1_ = nullptr;
    QWidget* dhtmlEdit1_ = nullptr;
    HtmlEditView* editor_ = nullptr;
    QToolBar* tbarOP_ = nullptr;
    QToolBar* tbarOpEx_ = nullptr;
    QToolBar* tbarEditEx_ = nullptr;
    QToolBar* toolbar1_ = nullptr;
    std::vector<QAction*> editButtons_;  // TbarEditEx's buttons 1 to 24 in order, nullptr for the separator
    QMenu* nodemenu_ = nullptr;
    QHash<QString, QAction*> menuItems_;

    Cls分屏 splitter_{SplitMargins{}};
    std::unique_ptr<WidgetHost> splitHost_;
    std::vector<std::unique_ptr<WidgetPane>> panes_;  // bar, tree, strip, page area

    // Tree view state.
    QString selectedNodeImage_;     // the picture the selected node had, as text
    QString pendingSortParentKey_;  // the parent whose children node_up/node_down reordered
    bool dragging_ = false;
    QString dragNodeKey_;
    QString dropHighlightKey_;
    QPoint mouseDownTwips_;
};
