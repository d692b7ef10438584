#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

// Chooses which columns of a list window are shown, and in what order. The caller sets DestTable (the
// list's name in "rowcolctrl"), sets App().ListDialogOk to 1, shows the dialog modally and rebuilds its
// list only when ListDialogOk is still 1: Apply writes the layout and leaves it, Cancel (or closing the
// window) writes nothing and sets it to 0. Shown by name, the dialog takes DestTable from
// App().FormParamString.
class FrmColSelect : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString DestTable READ DestTable WRITE setDestTable)
public:
    explicit FrmColSelect(QWidget* parent = nullptr);

    QString DestTable() const { return destTable_; }
    // Set after creation and before the dialog loads.
    void setDestTable(const QString& table) { destTable_ = table; }

    // Registers the form by name; the instance is loaded before it is handed out.
    static void RegisterForm();

    // Fills the two lists from the layout rows; runs once, at the latest when the dialog is first shown.
    void Form_Load();

    void CmdSelectOne_Click();
    void CmdUnSelectOne_Click();
    void CmdUp_Click();
    void CmdDown_Click();
    void CmdApply_Click();
    void CmdCancel_Click();

    // Closing the window is a cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Moves the selected entry of from to the end of to; an empty entry stays.
    static void moveSelected(QListWidget* from, QListWidget* to);
    void swapWith(int row, int other);

    QString destTable_;
    bool loaded_ = false;

    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QListWidget* list1_ = nullptr;
    QListWidget* list2_ = nullptr;
    QPushButton* cmdSelectOne_ = nullptr;
    QPushButton* cmdUnSelectOne_ = nullptr;
    QPushButton* cmdUp_ = nullptr;
    QPushButton* cmdDown_ = nullptr;
    QPushButton* cmdApply_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};
