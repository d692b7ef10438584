#pragma once

#include <QDialog>
#include <QTime>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// Replaces the book with generated test members after two confirmations: a Yes, then the current
// minute typed in. Shown non-modally by the launcher; it has no result and closes after any answer.
class FrmTest : public QDialog {
    Q_OBJECT
public:
    explicit FrmTest(QWidget* parent = nullptr);

    // Registers the form by name for the launcher.
    static void RegisterForm();

    // Counts above this ask once more, naming the number of members.
    static constexpr qint32 kLargeCount = 1000000;

    void CmdOK_Click();
    void CmdCancel_Click();

    // Where the current minute comes from (tests fix the clock).
    void setClock(std::function<QTime()> clock) { clock_ = std::move(clock); }

private:
    void Form_Load();
    bool MinuteConfirmed(const QString& answer, bool cancelled) const;

    std::function<QTime()> clock_ = [] { return QTime::currentTime(); };

    QLabel* label1_ = nullptr;
    QComboBox* cmbTestNum_ = nullptr;
    QLabel* label3_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};
