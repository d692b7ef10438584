#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

#include "frame/forms/window_utils.h"
#include "online/logon_rules.h"

class AsyncHttpGet;
class ClsAdvPswd;
class LatencyProbe;
class MessagePageView;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// The log-on window: log on, register, tick a book being edited on the server for download, change the
// account's data-openness level, log off. Shown modally by every on-line command that needs a logged-on
// user; the outcome is left in App().CurrentUser. Created afresh for every showing.
class FrmLogon : public QDialog {
    Q_OBJECT
public:
    explicit FrmLogon(QWidget* parent = nullptr);
    ~FrmLogon() override;

    // Registers the form under its name; the instance is loaded before it is handed out.
    static void RegisterForm();

    void Form_Load();
    void OptLogon_Click(int index);
    void CmdOK_Click();
    void CmdCancel_Click();
    void Lst_ZpRoot_ItemCheck(QTreeWidgetItem* item);
    void T2_Timer();
    void Timer1_Timer();
    // The connection picture for a measured round-trip time (what each probe reports).
    void ShowLatency(double ms);

    int Mode() const { return mode_; }
    // The picture shown (1-4), 0 before any.
    int LatencyPictureShown() const { return picture_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* addField(const QString& labelName, const QString& caption, const QString& name,
                        QLabel** label);
    void placeRow(QLabel* label, QLineEdit* field, int labelTop, int fieldTop);
    void showRegistrationRows(bool shown);
    void fillBookRoots();
    // Trims the fields as leaving them does.
    void cleanField(QLineEdit* field);
    void cleanFields();
    // Registration checks; false (with the message shown and the focus moved) on the first failure.
    bool registrationAccepted();
    void logOnOrRegister(int level);
    // Sends the data-openness level for the logged-on account; false when the form stays open (a
    // refusal told in this mode's words, or a lapsed log-on).
    bool changeLevel(int level);
    void takeBookRoot();
    bool rootTicked() const;
    // A credential the server answered as lapsed: the user is told, and the form turns to the log-on.
    bool backToLogonIfLapsed();
    void setBusy(bool busy);
    void say(const QString& text, int style);
    QString ShownText(const QString& text) const;

    int mode_ = LogonRules::kLogon;
    int picture_ = 0;
    int probes_ = 0;
    bool bookRootsShown_ = false;          // the book-root list has been asked for in this showing
    std::unique_ptr<ClsAdvPswd> digests_;  // made on first use
    std::optional<BusyCursor> busyCursor_;  // while a request to the server runs

    QRadioButton* optLogon_[4] = {};
    QLabel* lblAccNo_ = nullptr;
    QLineEdit* txtAccNo_ = nullptr;
    QLabel* lblPswd_ = nullptr;
    QLineEdit* txtPswd_ = nullptr;
    QLabel* lblPswd1_ = nullptr;
    QLineEdit* txtPswd1_ = nullptr;
    QLabel* lblPswd2_ = nullptr;
    QLineEdit* txtPswd2_ = nullptr;
    QLabel* lblNick_ = nullptr;
    QLineEdit* txtNick_ = nullptr;
    QLabel* lblRight_ = nullptr;
    QComboBox* cmbRight_ = nullptr;
    QFrame* frame1_ = nullptr;
    QLabel* image1_ = nullptr;
    QProgressBar* pbarT2_ = nullptr;
    QLabel* lblDescript_ = nullptr;
    QPlainTextEdit* txtDescript_ = nullptr;
    QTreeWidget* lstZpRoot_ = nullptr;
    MessagePageView* webMessage_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QTimer* t2_ = nullptr;
    QTimer* timer1_ = nullptr;
    LatencyProbe* probe_ = nullptr;
    AsyncHttpGet* messageRequest_ = nullptr;
};
