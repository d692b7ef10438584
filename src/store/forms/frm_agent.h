#pragma once

#include <QDialog>

#include "store/setup_rules.h"

class QLineEdit;
class QPushButton;

// The dealer-contact window: web site, telephone, dealer name, QQ or MSN account and two payment-account
// lines, kept in the settings record beside the members per tree page, which it writes back unchanged.
class FrmAgent : public QDialog {
    Q_OBJECT
public:
    explicit FrmAgent(QWidget* parent = nullptr);

    // Registers the form by name; the instance is loaded before it is handed out.
    static void RegisterForm();

    // Shows the record; runs once, at the latest when the window is first shown.
    void Form_Load();

    void CmdOK_Click();
    void CmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* addField(const QString& name, const QString& caption, int top);

    bool loaded_ = false;
    // OK may write the record back only when it was read: a failed read must not blank it.
    bool recordRead_ = false;
    SettingsRecord record_;

    QLineEdit* txtWeb_ = nullptr;
    QLineEdit* txtTel_ = nullptr;
    QLineEdit* txtGs_ = nullptr;
    QLineEdit* txtQQ_ = nullptr;
    QLineEdit* txtMhtkgn1_ = nullptr;
    QLineEdit* txtMhtkgn2_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};
