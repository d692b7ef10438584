#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "store/setup_rules.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The system set-up window: members per tree page, the input template in use, and the defaults the
// member form gives new children. It also keeps the ethnic-group pick list and deletes input templates.
// Created for each showing; when it closes, App().FormParamString2 is "1" if OK changed the members per
// page and "" otherwise.
class FrmSysSetup : public QDialog {
    Q_OBJECT
public:
    explicit FrmSysSetup(QWidget* parent = nullptr);

    // Registers the form by name; the instance is loaded before it is handed out.
    static void RegisterForm();

    // Fills the controls from the settings record and the module values; runs once, at the latest when
    // the window is first shown.
    void Form_Load();

    void Txt子女数_LostFocus();
    void ChkGetX_Click();
    void CmdAdd_Click();
    void CmdDelte_Click();
    void CmdDelTemp_Click();
    void CmdOK_Click();
    void CmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillEthnicGroups();
    void fillTemplates();
    // The surname box sits in the gap that the check box's caption leaves for it.
    void placeSurnameBox();
    // A database error is said in a message box; false then.
    bool guarded(const std::function<void()>& step);

    bool loaded_ = false;
    // OK may write the record back only when it was read: a failed read must not blank it.
    bool recordRead_ = false;
    // The settings record as read: the dealer-contact fields this window does not show go back
    // unchanged.
    SettingsRecord record_;

    QLineEdit* txt子女数_ = nullptr;
    QComboBox* cmbInput_ = nullptr;
    QPushButton* cmdDelTemp_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QCheckBox* chkGetX_ = nullptr;
    QLineEdit* txt姓字_ = nullptr;
    QCheckBox* chk在世_ = nullptr;
    QComboBox* cmb称_ = nullptr;
    QComboBox* cmb加称_ = nullptr;
    QComboBox* cmb民族_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* cmdDelte_ = nullptr;
    QRadioButton* optn1_ = nullptr;
    QRadioButton* optn2_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};
