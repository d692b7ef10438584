#pragma once

#include <QDialog>

class AsyncHttpGet;
class QComboBox;
class QEventLoop;
class QLabel;
class QLineEdit;
class QPushButton;
class UpDownButtons;

// The e-book search: asks the community server for published e-books matching the criteria and stores
// the hits in newdown_eb for the library window. Shown modally; a search that ran leaves
// App().ListDialogOk as it was, Cancel (or closing the window) sets it to 0. Created afresh each time.
class FrmSearch : public QDialog {
    Q_OBJECT
public:
    explicit FrmSearch(QWidget* parent = nullptr);
    ~FrmSearch() override;

    // Registers "FrmSearch"; the instance is loaded before it is handed out.
    static void RegisterForm();

    // Refreshes the category list when it is more than a day old and fills CmbOdklj from it.
    void Form_Load();
    // Sends the search and waits for the reply with the window live; the hits replace newdown_eb and the
    // dialog closes. A request that fails is told and changes nothing.
    void CmdOK_Click();
    void CmdCancel_Click();
    void UpDown1_Click(bool up);
    void UpDown2_Click(bool up);

    void reject() override;

private:
    QLineEdit* addField(const QString& labelName, const QString& caption, const QString& name, int top);

    QLineEdit* txtEB_ = nullptr;
    QLineEdit* txtOrg_ = nullptr;
    QLineEdit* txtE_ = nullptr;
    QLineEdit* txtKey_ = nullptr;
    QComboBox* cmbOdklj_ = nullptr;
    QLineEdit* txtDownNum_ = nullptr;
    QLabel* lblGrade_ = nullptr;
    UpDownButtons* upDown1_ = nullptr;
    UpDownButtons* upDown2_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    AsyncHttpGet* request_ = nullptr;  // the search waiting for its reply
    QEventLoop* wait_ = nullptr;
    bool cancelled_ = false;
};
