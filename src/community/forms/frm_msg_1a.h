#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "mainwin/split_geometry.h"

class BoardEditor;
class BoardQueue;
class QFrame;
class QLabel;
class QPushButton;
class QTextBrowser;
class QTextEdit;
class QToolBar;
class SplitBar;
class WidgetHost;
class WidgetPane;

// The service-desk message board: the chat log above (shown without scripts), the edit toolbar and the
// editor below a splitter bar, the desk member's particulars on the right, a status bar of two panels.
// One instance, shown modally by the service desk; the conversation itself is BoardQueue's.
class FrmMsg_1A : public QDialog {
    Q_OBJECT
public:
    explicit FrmMsg_1A(QWidget* parent = nullptr);
    ~FrmMsg_1A() override;

    static void RegisterForm();

    void Form_Load();
    void Form_Activate();
    // The edit toolbar's button of that key.
    void TbarEditEx_ButtonClick(const QString& key);
    // Sends the editor's message; false when it is empty (the editor keeps it).
    bool SendMessage();
    // The display-name change behind the desk member's picture.
    void abPic_Click();
    // The edit buttons follow what the editor offers.
    void UpdateEditButtons();

    BoardQueue& Queue() const { return *queue_; }
    BoardEditor* Editor() const { return editor_; }
    QTextBrowser* View() const { return view_; }
    QString StatusPanel(int panel) const;
    // Times the arrival sound was played.
    int SoundsPlayed() const { return soundsPlayed_; }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLog();
    void playArrival();
    void relayout();

    std::unique_ptr<BoardQueue> queue_;
    QTextBrowser* view_ = nullptr;
    SplitBar* bar_ = nullptr;
    QWidget* band_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    BoardEditor* editor_ = nullptr;
    QLabel* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    QFrame* frame1_ = nullptr;
    QLabel* abPic_ = nullptr;
    QTextEdit* baseInfo_ = nullptr;
    QLabel* deskNo_ = nullptr;
    QWidget* splitArea_ = nullptr;
    std::unique_ptr<WidgetHost> host_;
    std::vector<std::unique_ptr<WidgetPane>> panes_;
    ClsV分屏 splitter_{SplitMargins{0, 0, 0}};
    bool loaded_ = false;
    int soundsPlayed_ = 0;
};
