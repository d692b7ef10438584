#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "print/chart_renderer.h"

class ChartPicture;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QScrollBar;
class QToolBar;

// The chart browser "世系图浏览器": the chart that the generator left in the chart table, page by page,
// at several zoom levels and paper sizes; prints a range of pages and exports the chart as HTML; empties
// the chart table when it closes. Shown modally after the print command has set the preview state.
// Controls carry their old names as object names; the handlers can be called without exec().
class Pxt_Brw : public QDialog {
    Q_OBJECT
public:
    explicit Pxt_Brw(QWidget* parent = nullptr);
    ~Pxt_Brw() override;

    static void RegisterForm();

    // Reads the chart, sizes the page for the paper and measures the cell; runs once, at the latest when
    // the window is first shown, which then draws the first page.
    void Form_Load();
    void Form_Activate();

    void ZoomText_Click(int index);
    void PaperText_Click(int index);
    // The key of a toolbar button ("firstpage", "preview", "b_print", ...).
    void Toolbar1_ButtonClick(const QString& key);
    void PageText_LostFocus();
    void PageLines_LostFocus();
    // Keys reach the window before its controls; the page picture's own keys move the chart on the page.
    void Form_KeyDown(int key);
    void Picture1_KeyDown(int key);
    // Positions in twips on the page picture.
    void Picture1_MouseMove(double x, double y);
    void Picture1_MouseDown(Qt::MouseButton button, double x, double y);
    void Picture1_MouseUp(double x, double y);
    void ArrangeBrowser();

    // State the tests read.
    int AcceptedPage() const { return page_; }
    int AcceptedLines() const { return lines_; }
    int PageCount() const { return pageCount_; }
    bool InPreviewMode() const;
    ChartPicture* picture() const { return picture_; }

    // Base metrics (twips, points), recorded at load; every zoom step is computed from them.
    struct Base {
        double cellWidth = 0;
        double cellHeight = 0;
        double pageWidth = 0;
        double pageHeight = 0;
        double smallFont = 0;
        double largeFont = 0;
    };
    const Base& base() const { return base_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void BuildControls();
    QAction* Key(const QString& key) const;
    void ComputePagination();
    void UpdatePageKeys();
    void DrawPage();
    void DrawGuideLines(const QColor& color);
    void ShowPage(int page);
    void SetPictureSize(double widthTwips, double heightTwips);
    // The paper's size (twips) at load or when chosen, for the row of the paper list.
    QSizeF PaperSize(int row, bool atLoad);
    void PrintPages();

    std::unique_ptr<ChartRenderer> renderer_;
    bool loaded_ = false;
    bool activated_ = false;
    bool printerAvailable_ = false;
    std::unique_ptr<QPrinter> printer_;  // measures the cell while a printer is there
    Base base_;
    float zoom_ = 1.0f;
    int page_ = 1;              // accepted value of PageText
    int lines_ = 1;             // accepted value of PageLines
    int pageCount_ = 0;         // AllPageText
    bool movePointer_ = false;  // the four-way pointer is shown over a chart edge
    bool arranging_ = false;

    QWidget* coolBar_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QComboBox* zoomText_ = nullptr;
    QComboBox* paperText_ = nullptr;
    QLineEdit* pageText_ = nullptr;
    QLineEdit* allPageText_ = nullptr;
    QLineEdit* pageLines_ = nullptr;
    QLabel* text4_ = nullptr;
    QLabel* text5_ = nullptr;
    ChartPicture* picture_ = nullptr;
    QWidget* picture11_ = nullptr;
    QScrollBar* hScroll_ = nullptr;
    QScrollBar* vScroll_ = nullptr;
};
