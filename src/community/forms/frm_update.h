#pragma once

#include <QWidget>
#include <memory>

class clsDownLoad;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTemporaryDir;

// The on-line update ("在线升级"): asks the update server for its version, fetches the help package
// when it changed since the last fetch, checks it and loads it into the open book (or leaves it in the
// book folder), and tells when a newer program exists, which the system's package manager installs.
// Modeless; the launcher opens it.
class FrmUpdate : public QWidget {
    Q_OBJECT
public:
    explicit FrmUpdate(QWidget* parent = nullptr);
    ~FrmUpdate() override;

    static void RegisterForm();

    void Form_Load();
    // One run; returns when it has ended (the form closes itself after a completed run).
    void CmdStart_Click();
    void CmdCancel_Click();

    // What the last run did: the help package was fetched, and merged into the book.
    bool HelpFetched() const { return helpFetched_; }
    bool HelpMerged() const { return helpMerged_; }
    // The newer version the server offered ("" when none).
    QString OfferedVersion() const { return offered_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void tg_GetData(qint64 bytes);
    void tg_ErrMassage(const QString& text);
    // Fetches the help archive into the temporary folder; true when a new one arrived whole.
    bool fetchHelp(QString* fetchedPath, QString* modified);
    void installHelp(const QString& fetchedPath);

    QComboBox* txtWeb_ = nullptr;
    QComboBox* cmb100Xi_ = nullptr;
    QCheckBox* chkUpdateHelp_ = nullptr;
    QPushButton* cmdStart_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QLabel* lblState_ = nullptr;
    QProgressBar* pBar_ = nullptr;
    std::unique_ptr<clsDownLoad> tg_;
    std::unique_ptr<QTemporaryDir> work_;
    QString rememberedModified_;
    QString lastDate_, lastMinute_;
    qint64 fileSize_ = 0;
    int presses_ = 0;
    bool cancelled_ = false;
    bool fetched_ = false;
    bool running_ = false;
    bool helpFetched_ = false;
    bool helpMerged_ = false;
    QString offered_;
};
