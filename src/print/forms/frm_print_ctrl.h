#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The print-format dialog "打印格式选择": the chart (standard, HTML site, CHM e-book) or the book (document
// style or biography register, optionally vertical), the chart widths, the surname length, the book's
// page numbers and the title. Load takes the title from App().FormParamString and empties it; OK leaves
// the print command string there ("0" kind, format or style digit, details or vertical digit, "%",
// title), Cancel leaves it "".
class FrmPrintCtrl : public QDialog {
    Q_OBJECT
public:
    explicit FrmPrintCtrl(QWidget* parent = nullptr);

    // Registers the form by name; the instance is loaded before it is handed out.
    static void RegisterForm();

    void Form_Load();
    // index 0 the chart, 3 the book.
    void Opt_Click(int index);
    void PrintStyle_Click(int index);
    void Chk_FontStyle_Click();
    void ChkPageNo_Click();
    void CmdOk_Click();
    void CmdCancel_Click();

    // The controls, by their old names and indices.
    QRadioButton* Opt(int index) const { return index == 0 ? optChart_ : optBook_; }
    QRadioButton* Opt_PXStyle(int index) const { return chartFormat_[index]; }
    QRadioButton* PrintStyle(int index) const { return bookStyle_[index]; }
    QCheckBox* Chk_Detail() const { return chkDetail_; }
    QCheckBox* Chk_FontStyle() const { return chkVertical_; }
    QCheckBox* ChkPageNo() const { return chkPageNo_; }
    QComboBox* CmbPageNoAlignment() const { return cmbAlignment_; }
    QLineEdit* TxtNameLen() const { return txtNameLen_; }
    QLineEdit* TxtPerLineSdn() const { return txtPerLineSdn_; }
    QLineEdit* Txt姓字() const { return txtSurname_; }
    QLineEdit* TxtRptName() const { return txtTitle_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildChartFrame();
    void buildBookFrame();
    void buildSamples();
    void writePageSetup();
    QString commandString() const;

    bool loaded_ = false;
    QRadioButton* optChart_ = nullptr;
    QRadioButton* optBook_ = nullptr;
    QRadioButton* chartFormat_[3] = {};
    QRadioButton* bookStyle_[2] = {};
    QCheckBox* chkDetail_ = nullptr;
    QCheckBox* chkVertical_ = nullptr;
    QCheckBox* chkPageNo_ = nullptr;
    QComboBox* cmbAlignment_ = nullptr;
    QLineEdit* txtNameLen_ = nullptr;
    QLineEdit* txtPerLineSdn_ = nullptr;
    QLineEdit* txtSurname_ = nullptr;
    QLineEdit* txtTitle_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame4_ = nullptr;
    QPushButton* cmdOk_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};
