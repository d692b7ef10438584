#pragma once

#include <QDialog>
#include <array>

#include "mainwin/page_properties.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

// "页面属性": the page-wide properties of the page in the editor: its five colours, a background
// picture and whether the picture stays in place while the page scrolls. Each showing reads the
// document afresh; Apply and OK write into it (the title is shown only). Storing the page is the
// editor's business.
class frmProp : public QDialog {
    Q_OBJECT
public:
    explicit frmProp(PagePropertiesDocument& document, QWidget* parent = nullptr);

    static QString RGB2HTML(quint32 colour) { return page_colours::RGB2HTML(colour); }
    static quint32 HTML2RGB(const QString& text) { return page_colours::HTML2RGB(text); }

    void Form_Load();
    // Every showing: the controls from the document.
    void Form_Activate();
    void GetValue();
    void SetValue();

    void CmdApply_Click();
    void CmdOK_Click();
    void CmdCancel_Click();
    void cmdBrowse_Click();
    void ChkImage_Click();
    // Swatches 1 to 5.
    void pic_Click(int index);
    quint32 SwatchColour(int index) const { return colours_.at(size_t(index - 1)); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void paintSwatch(int index);

    PagePropertiesDocument& document_;
    bool loaded_ = false;
    QString title_;
    std::array<quint32, PageProperties::kColourCount> colours_{};
    QLineEdit* txtTitle_ = nullptr;
    std::array<QToolButton*, PageProperties::kColourCount> pic_{};
    QCheckBox* chkImage_ = nullptr;
    QLineEdit* txtBImage_ = nullptr;
    QPushButton* cmdBrowse_ = nullptr;
    QCheckBox* chkFix_ = nullptr;
};
