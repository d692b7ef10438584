#pragma once

#include <QDialog>
#include <QPdfDocument>
#include <QPrinter>
#include <QTemporaryDir>
#include <optional>
#include <vector>

#include "mainwin/forms/page_print_preview.h"

class QLabel;
class QPdfView;
class QPushButton;

// The print preview (打印预览): the pages as they will print, with the stored header and footer, shown
// a few at a time as they come into view, so that a book of thousands of pages opens at once. 打印 asks
// for the pages and the printer: a PDF file gets the engine's own pages (text stays text), a printer
// gets them painted one at a time. A printer set to other paper lays the pages out afresh first.
class PdfPrintPreview : public QDialog {
    Q_OBJECT
public:
    PdfPrintPreview(QWidget* parent, PdfSource source);

    // Makes the pages for the printer's paper and shows them; false when that was cancelled or failed.
    bool Prepare();
    int PageCount() const { return pageCount_; }
    QPrinter& Printer() { return printer_; }

    void CmdPrint_Click();
    void CmdZoom_Click(bool in);

private:
    bool print();

    PdfSource source_;
    QString header_;
    QString footer_;
    QPrinter printer_{QPrinter::HighResolution};
    std::optional<QPageLayout> madeFor_;
    std::vector<pdf_book::Part> parts_;
    int pageCount_ = 0;
    QTemporaryDir shownFolder_;
    QString shownFile_;
    QPdfDocument shown_;
    QPdfView* view_ = nullptr;
    QLabel* pages_ = nullptr;
};
