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
// from FormParamString; Cancel leaves that string as load left it ("" in modes 1 to 9, the member name
// in mode 10). The modes: 1 descendants living or dead, 2 famous-person list, 3 destination of a
// cross-page move, 4 page to turn to, 5 name of a branch book, 6 starting generation, 7 member to find,
// 8 the user's QQ number (kept in the setting "MyQQ"), 9 protection level, 10 page keyword.
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

    // The text field takes the focus in the modes that ask for a typed answer.
    void Form_Activate();
    void CmdOK_Click();
    void CmdCancel_Click();
    // Famous-person categories, in mode 2 only.
    void CmdAdd_Click();
    void CmdDelete_Click();
    // Leaving the combo: its text is cleaned; in mode 8 a new number joins the list.
    void Cmb指定为_LostFocus();
    // Leaving the text field: in mode 6 the generation is kept within -999 to 9999.
    void TxtDestNode_LostFocus();
    // Clicking the prompt pastes the clipboard's text into the combo.
    void LblMsg_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadLiving();
    void loadFamousList();
    void loadMoveTarget();
    void loadPageChoice();
    void loadBranchName();
    void loadStartGeneration();
    void loadFind();
    void loadQQNumbers();
    void loadProtection();
    void loadKeyword();
    // Mode 2's list: the categories after their prefix (surname and "氏").
    QString famousPrefix() const;
    void fillFamousList(bool withEmptyItem);
    QString famousCategory() const;
    // Mode 3: false when the typed member is not in the book (the dialog stays open).
    bool acceptMoveTarget();
    void setPrompt(const QString& text);
    void showCombo();
    void showTextField(const QString& text = QString());
    void paintRed(QWidget* field);
    // OK and Cancel up, the dialog shorter: the layout of the one-line modes.
    void compactLayout();
    // The combo from right of the prompt (plus a gap) to the left edge of CmdAdd.
    void stretchComboFromPrompt(int gapTwips);

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
