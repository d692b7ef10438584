#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the passwords of a package file. The caller puts the file path in App().FormParamString2 and
// the mode in FormParamString ("?" restore, any other non-empty text backup), shows a new instance
// modally, and reads afterwards: FormParamString (the mode, or "" when cancelled), FormParamString2 (the
// database password) and StrgPswdDigest (the strong password's digest, "" when none). Restore mode tries
// the password on the file and checks the strong password against the package's record.
class FrmSetPswd : public QDialog {
    Q_OBJECT
public:
    explicit FrmSetPswd(QWidget* parent = nullptr);

    // Registers the form by name; the instance is loaded before it is handed out.
    static void RegisterForm();

    // Takes the mode and path from the dialog parameters; runs once, at the latest when first shown.
    void Form_Load();

    void CmdOK_Click();
    void CmdCancel_Click();
    // Shows or hides the strong-password boxes as the box is ticked; also runs when code ticks it.
    void ChkStrgPswd_Click();

    bool IsRestoreMode() const { return modeValue_ == QStringLiteral("?"); }
    // The form's height in twips, as the layout is given.
    int HeightTwips() const { return heightTwips_; }
    int WrongStrongPasswords() const { return wrongStrong_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHeightTwips(int twips);
    // Restore mode: the password tried on the file, the strong password against its record. False
    // stops the OK; digest is the strong password's digest to answer with.
    bool verifyPackage(QString& digest);
    // Refuses a strong password the digest cannot take; true when refused.
    bool refuseWideCharacters(const QString& strong);
    void critical(const QString& text);

    bool loaded_ = false;
    QString modeValue_;
    int wrongStrong_ = 0;
    int heightTwips_ = 0;

    QLabel* label1_ = nullptr;
    QLineEdit* txtFile_ = nullptr;
    QLabel* label2First_ = nullptr;
    QLineEdit* txtPswd1_ = nullptr;
    QLabel* label2Second_ = nullptr;
    QLineEdit* txtPswd2_ = nullptr;
    QCheckBox* chkStrgPswd_ = nullptr;
    QLineEdit* txtStrgPswd_ = nullptr;
    QLineEdit* txtStrgPswd2_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QLabel* image1_ = nullptr;
    QLabel* image2_ = nullptr;
    QLabel* image3_ = nullptr;
    QLabel* image4_ = nullptr;
};
