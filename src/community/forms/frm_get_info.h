#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// Publishing an e-book: the user picks a genealogy database file (password "586"), which is checked and
// measured; describes it; checks that the copy they put on the web is at its download address; and
// sends the publication to the community server. Opened modelessly by the library window, which leaves
// the chosen list row's e-book id in App().SelectedNodeIndex.
class FrmGetInfo : public QDialog {
    Q_OBJECT
public:
    explicit FrmGetInfo(QWidget* parent = nullptr);
    ~FrmGetInfo() override;

    // Registers "FrmGetInfo"; the instance is loaded before it is handed out.
    static void RegisterForm();

    // Starts the opening steps on Timer2 (one step per tick).
    void Form_Load();
    void Timer2_Timer();
    // 1: the chosen e-book's download folder and file name, categories, adapter; 2: the caller's address;
    // 3: done.
    void LoadStep(int step);
    void CmdSelFile_Click();
    void CheckASP_Click();
    void CmdFileExist_Click();
    void CmdTransToSQL_Click();
    void CmdCancel_Click();

    bool FileUploaded() const { return fileUploaded_; }
    int StepReached() const { return step_; }
    // The download folder that a chosen file's address starts with.
    QString DownloadFolder() const { return downloadFolder_; }

private:
    QLineEdit* addField(const QString& name, const QString& caption, int column, int row);
    void say(const QString& text, int style);

    bool fileUploaded_ = false;
    int step_ = 0;
    int checks_ = 0;          // checks made without the check page
    QString downloadFolder_;  // with Txtnetpath's tag in the old window
    QString libraryFile_;     // with Txteb_id's
    QString checkCommand_;    // with CheckASP's

    QLineEdit* txtFile_ = nullptr;
    QLineEdit* txtSize_ = nullptr;
    QLineEdit* txtNetSize_ = nullptr;
    QLabel* lblRecNum_ = nullptr;
    QLineEdit* txtPswd_ = nullptr;
    QLineEdit* txtStrgPswd_ = nullptr;
    QLineEdit* txtName_ = nullptr;
    QLineEdit* txtOrg_ = nullptr;
    QLineEdit* txtE_ = nullptr;
    QLineEdit* txtKey_ = nullptr;
    QComboBox* cmbOdklj_ = nullptr;
    QLineEdit* txtEbId_ = nullptr;
    QLineEdit* txtNetPath_ = nullptr;
    QLabel* lblIP_ = nullptr;
    QLabel* lblNetCard_ = nullptr;
    QCheckBox* checkASP_ = nullptr;
    QPushButton* cmdSelFile_ = nullptr;
    QPushButton* cmdFileExist_ = nullptr;
    QPushButton* cmdTransToSQL_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QTimer* timer2_ = nullptr;
};
