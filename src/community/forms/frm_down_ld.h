#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class clsDownLoad;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// The e-book library ("电子文档下载"): the hits of the last search, checked ones downloaded into the
// staging file one after another and imported into the open book; the search and the publishing dialog
// are opened from here. A modeless window; the launcher's menu opens it.
class FrmDownLd : public QWidget {
    Q_OBJECT
public:
    explicit FrmDownLd(QWidget* parent = nullptr);
    ~FrmDownLd() override;

    // Registers "FrmDownLd"; the instance is loaded before it is handed out.
    static void RegisterForm();

    void Form_Load();
    void Form_Resize();
    // Writes the column layout back.
    void Form_Unload();
    // Rebuilds the columns and the rows from the layout and newdown_eb.
    void FillEbookList();

    // One batch over the checked items; returns when it has ended.
    void CmdOK_Click();
    void CmdCancel_Click();
    // Asks, then stops the running batch.
    void CmdStpDown_Click();
    void CmdReFind_Click();
    void CmdPublication_Click();
    // CmdOK follows the check boxes while no batch runs.
    void ListView1_Click();
    // The right button opens the column chooser (not during a batch).
    void ListView1_MouseDown(int button);

    bool BatchRunning() const { return running_; }
    // E-books imported by the last batch.
    int LastImported() const { return imported_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void tg_GetData(qint64 bytes);
    void tg_ErrMassage(const QString& text);
    // Whether the user confirms stopping the batch.
    // An empty list at opening: asks the server whether it answers and says what to do either way.
    void tellWhyEmpty();
    bool confirmStop();
    void setRunning(bool running);
    // Downloads and imports one e-book; false when the item must stay checked and the batch end.
    bool fetch(int index);

    bool running_ = false;
    bool stopRequested_ = false;
    bool downloadDone_ = false;
    bool closeAfterBatch_ = false;
    bool userStopped_ = false;
    int imported_ = 0;
    int missing_ = 0;  // items the server had no file for
    int failed_ = 0;   // items that failed on the way (not those the user stopped)
    qint64 contentLength_ = 0;
    QString currentBookName_;
    QString softNo_;
    QStringList columnNames_;  // the layout's names of the shown columns, in order
    clsDownLoad* tg_ = nullptr;

    QTreeWidget* listView1_ = nullptr;
    QLabel* lblState_ = nullptr;
    QProgressBar* pBar_ = nullptr;
    QFrame* frame1_ = nullptr;
    QLabel* image1_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QPushButton* cmdReFind_ = nullptr;
    QPushButton* cmdStpDown_ = nullptr;
    QPushButton* cmdPublication_ = nullptr;
};
