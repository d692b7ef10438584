#include "mainwin/forms/pdf_print_preview.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPdfView>
#include <QPushButton>
#include <QVBoxLayout>

#include "frame/forms/window_utils.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/print_progress_box.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/page_setup.h"
#include "store/page_file.h"

namespace {

using mainwin::Trans;

constexpr qreal kZoomStep = 1.25;

QPushButton* Button(QWidget* parent, QBoxLayout* bar, const QString& name, const QString& caption) {
    auto* button = new QPushButton(Trans(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    bar->addWidget(button);
    return button;
}

// Tells a box how far the work on the pages is.
pdf_book::PageReport Telling(PrintProgressBox& box, const QString& doing) {
    return [&box, doing = Trans(doing)](int page, int pages) {
        return box.Tell(doing.arg(page).arg(pages), page, pages);
    };
}

}  // namespace

PdfPrintPreview::PdfPrintPreview(QWidget* parent, PdfSource source)
    : QDialog(parent),
      source_(std::move(source)),
      header_(page_setup::Value(QStringLiteral("header"))),
      footer_(page_setup::Value(QStringLiteral("footer"))) {
    setObjectName(QStringLiteral("PdfPrintPreview"));
    setWindowTitle(Trans(QStringLiteral("打印预览")));
    // Pages are read best tall; on a smaller screen the window takes the screen's free area.
    FitToScreen(this, QSize(900, 1000));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);
    connect(Button(this, bar, QStringLiteral("CmdPrint"), QStringLiteral("打印")), &QPushButton::clicked,
            this, &PdfPrintPreview::CmdPrint_Click);
    connect(Button(this, bar, QStringLiteral("CmdZoomIn"), QStringLiteral("放大")), &QPushButton::clicked,
            this, [this] { CmdZoom_Click(true); });
    connect(Button(this, bar, QStringLiteral("CmdZoomOut"), QStringLiteral("缩小")), &QPushButton::clicked,
            this, [this] { CmdZoom_Click(false); });
    connect(Button(this, bar, QStringLiteral("CmdClose"), QStringLiteral("关闭")), &QPushButton::clicked,
            this, &QDialog::reject);
    pages_ = new QLabel(this);
    pages_->setObjectName(QStringLiteral("LblPages"));
    bar->addWidget(pages_);
    bar->addStretch();
    view_ = new QPdfView(this);
    view_->setObjectName(QStringLiteral("PdfView"));
    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view_->setDocument(&shown_);
    layout->addWidget(view_, 1);
}

bool PdfPrintPreview::Prepare() {
    const QPageLayout layout = PdfLayoutFor(printer_);
    std::optional<std::vector<pdf_book::Part>> made = source_(layout);
    if (!made) return false;
    const int count = pdf_book::PageCount(*made);
    if (count <= 0) {
        UI().MsgBox(Trans(QStringLiteral("打印页无法读取。")), vb::Critical);
        return false;
    }
    // The pages shown carry their header and footer as they will print.
    PrintProgressBox box(this);
    const QByteArray overlay = header_.isEmpty() && footer_.isEmpty()
                                   ? QByteArray()
                                   : pdf_book::HeaderFooterPages(layout, header_, footer_, 1, count, count);
    shown_.close();
    const QString file = shownFolder_.filePath(QStringLiteral("preview.pdf"));
    QString error;
    if (!pdf_book::WriteDocument(*made, 1, count, overlay, file,
                                 Telling(box, QStringLiteral("正在准备预览：第 %1/%2 页")), &error)) {
        if (!error.isEmpty()) UI().MsgBox(Trans(QStringLiteral("打印页无法读取。")) + error, vb::Critical);
        return false;
    }
    shown_.load(file);
    shownFile_ = file;
    parts_ = std::move(*made);
    madeFor_ = layout;
    pageCount_ = count;
    pages_->setText(Trans(QStringLiteral("共 %1 页")).arg(count));
    return true;
}

void PdfPrintPreview::CmdPrint_Click() {
    if (print()) accept();
}

void PdfPrintPreview::CmdZoom_Click(bool in) {
    const qreal factor = view_->zoomFactor();
    view_->setZoomMode(QPdfView::ZoomMode::Custom);
    view_->setZoomFactor(in ? factor * kZoomStep : factor / kZoomStep);
}

bool PdfPrintPreview::print() {
    const std::optional<std::pair<int, int>> chosen = UI().ChoosePrintPages(printer_, pageCount_);
    if (!chosen) return false;
    printer_.setPrintRange(QPrinter::PageRange);
    printer_.setFromTo(chosen->first, chosen->second);
    // Other paper or orientation: the pages are laid out afresh.
    if (!(PdfLayoutFor(printer_) == *madeFor_) && !Prepare()) return false;
    // Laid out afresh, the book may have fewer pages than the range chosen for the old paper.
    const auto [first, last] = ChosenPages(printer_, pageCount_);
    if (first > last) {
        UI().MsgBox(Trans(QStringLiteral("所选的页不在打印页中：共 %1 页。")).arg(pageCount_),
                    vb::Exclamation);
        return false;
    }
    PrintProgressBox box(this);
    if (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty()) {
        // The file gets the pages as shown, which already carry their header and footer: all of them
        // as they are.
        QFile shown(shownFile_);
        const QByteArray pages = shown.open(QIODevice::ReadOnly) ? shown.readAll() : QByteArray();
        QString error;
        if (first == 1 && last == pageCount_ && !pages.isEmpty()) {
            try {
                WriteWholeFile(printer_.outputFileName(), pages);
                return true;
            } catch (const VbError& e) {
                error = e.Description();
            }
        } else if (pdf_book::WriteDocument({{pages, 0}}, first, last, QByteArray(), printer_.outputFileName(),
                                           Telling(box, QStringLiteral("正在写入 PDF 文件：第 %1/%2 页")),
                                           &error)) {
            return true;
        }
        if (!error.isEmpty()) UI().MsgBox(Trans(QStringLiteral("PDF 文件未能写入：")) + error, vb::Critical);
        return false;
    }
    if (PaintPdfPages(parts_, &printer_, header_, footer_,
                      Telling(box, QStringLiteral("正在打印：第 %1/%2 页"))))
        return true;
    if (!box.Cancelled()) UI().MsgBox(Trans(QStringLiteral("打印页无法读取。")), vb::Critical);
    return false;
}
