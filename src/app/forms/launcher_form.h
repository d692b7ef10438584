#pragma once

#include <QMainWindow>

class QAction;
class QMenu;
class QTimer;

// The launcher the user starts from and comes back to: a menu bar of the program's commands over a
// painted background. One instance for the run, shown by the entry procedure and again by the main
// window when that closes. Closing it closes every other window, which ends the program.
class mQentaraQp : public QMainWindow {
    Q_OBJECT
public:
    explicit mQentaraQp(QWidget* parent = nullptr);

    // Makes the launcher available under its form name (entry procedure, main window).
    static void Register();

    // The handlers, callable as their events call them.
    void Form_Load();
    void Form_Activate();
    // The once-per-run check for a newer version, which does not wait for the server; the timer's Tag
    // "1" means it has run. An answer that offers a newer version asks whether to update.
    void Timer1_Timer();
    static constexpr int kVersionCheckTimeoutMs = 10000;
    void m_recipe_Click();
    void m_sysset_Click();
    void b_test_Click();
    void online_update_Click();
    void m_SvrAB_Click();
    void b_china_Click();
    void b_taiwan_Click();
    void b_connect_Click();
    void m_ebook_Click();

    QTimer* Timer1() const { return timer1_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Once per run: the shared language and user objects, the last account, the members database.
    void Form_Initialize();
    QAction* addCommand(QMenu* menu, const QString& name, const QString& caption,
                        void (mQentaraQp::*handler)());
    void chooseLanguage(qint32 languageId);
    void applyLanguage();
    void offerNewVersion(const QString& reply);

    QTimer* timer1_ = nullptr;
};
