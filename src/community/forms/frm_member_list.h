#pragma once

#include <QWidget>

#include "community/member_list_rules.h"

class GroupListView;
class QPushButton;
class QTreeWidgetItem;

// The members and applicants of the logged-on user's clan association as the book mirrors them, with
// the association's commands: approve or refuse an applicant, raise a member, expel a member, leave.
// Shown modelessly from the main window's association button; its columns are the book's layout for
// "member_lst", stored again when the window closes.
class FrmMemberList : public QWidget {
    Q_OBJECT
public:
    explicit FrmMemberList(QWidget* parent = nullptr);

    // Registers the form by name; the instance is loaded before it is handed out, its list fetched from
    // the server first (none when a lapsed log-on is not renewed).
    static void RegisterForm();

    void Form_Load();
    void CmdRefresh_Click();
    void ListView1_ItemCheck(QTreeWidgetItem* item, bool checked);
    void CmdApproveInto_Click();
    void CmdEjectInto_Click();
    void CmdUpgrade_Click();
    void CmdExitOrTi_Click();
    void CmdCancel_Click();
    void ListView1_MouseDown(int button);

    GroupListView* ListView1() const { return listView1_; }
    member_list_rules::ExitMode exitMode() const { return exitMode_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FillMemberList();
    void showButtons(const member_list_rules::Buttons& buttons);
    QList<qint32> checkedMembers() const;

    member_list_rules::ExitMode exitMode_ = member_list_rules::ExitMode::Expel;
    quint8 positions_ = 0;  // the count of position titles at the last fill

    GroupListView* listView1_ = nullptr;
    QPushButton* cmdUpgrade_ = nullptr;
    QPushButton* cmdEjectInto_ = nullptr;
    QPushButton* cmdApproveInto_ = nullptr;
    QPushButton* cmdExitOrTi_ = nullptr;
    QPushButton* cmdRefresh_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};
