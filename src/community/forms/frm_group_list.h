#pragma once

#include <QWidget>

class GroupListView;
class QPushButton;
class QTreeWidgetItem;

// The clan associations of the community server as the book mirrors them, where a user who belongs to
// none asks to join one or founds one. Shown modelessly from the main window's association button; its
// columns are the book's layout for "group_lst", stored again when the window closes.
class FrmGroupList : public QWidget {
    Q_OBJECT
public:
    explicit FrmGroupList(QWidget* parent = nullptr);

    // Registers the form by name; the instance is loaded before it is handed out, its list fetched from
    // the server first (none when a lapsed log-on is not renewed).
    static void RegisterForm();

    void Form_Load();
    void CmdReFind_Click();
    void ListView1_ItemCheck(QTreeWidgetItem* item, bool checked);
    void CmdAddGroup_Click();
    void CmdNewGroup_Click();
    void CmdOK_Click();
    void ListView1_MouseDown(int button);

    GroupListView* ListView1() const { return listView1_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FillGroupList();

    GroupListView* listView1_ = nullptr;
    QPushButton* cmdNewGroup_ = nullptr;
    QPushButton* cmdAddGroup_ = nullptr;
    QPushButton* cmdReFind_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
};
