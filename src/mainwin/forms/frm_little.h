#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The small prompt dialog that asks for a single answer. The caller creates it afresh, writes the request
// into App().FormParamString (and FormParamString2), sets RunType, shows it modally and reads the answer
// from FormParamString; Cancel leaves that string as load left it. Mode 8 asks for the user's own QQ
// number and keeps the numbers offered in the setting "MyQQ".
class FrmLittle : public QDialog {
    Q_OBJECT
    Q_PROPERTY(int RunType READ RunType WRITE setRunType)
public:
    explicit FrmLittle(QWidget* parent = nullptr);

    int RunType() const { return runType_; }
    // Set after creation and before the dialog loads.
    void setRunType(int mode) { runType_ = quint8(mode); }

    // Registers the form by name, so that core code can show it: the instance takes its RunType from
    // App().LittleRunType and is loaded before it is handed out.
    static void RegisterForm();

    // Fills the dialog for its mode; runs once, at the latest when the dialog is first shown.
    void Form_Load();
    // The request without its first two characters (the mode digit and "%").
    QString tag() const { return tag_; }

    void CmdOK_Click();
    void CmdCancel_Click();
    // Leaving the combo: its text is cleaned; in mode 8 a new number joins the list.
    void Cmb指定为_LostFocus();
    // Clicking the prompt pastes the clipboard's text into the combo.
    void LblMsg_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadQQNumbers();

    quint8 runType_ = 0;
    bool loaded_ = false;
    QString tag_;

    QLabel* lblMsg_ = nullptr;
    QLineEdit* txtDestNode_ = nullptr;
    QComboBox* cmb_ = nullptr;
    QRadioButton* optAlive_ = nullptr;
    QRadioButton* optDead_ = nullptr;
    QToolButton* cmdAdd_ = nullptr;
    QToolButton* cmdDelete_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QLabel* image1_ = nullptr;
};
