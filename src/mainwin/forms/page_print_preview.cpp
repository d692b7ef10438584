#include "mainwin/forms/page_print_preview.h"

#include <QBuffer>
#include <QEventLoop>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfDocument>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <deque>
#include <memory>

#include "frame/progress.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/forms/pdf_part_printer.h"
#include "mainwin/forms/pdf_print_preview.h"
#include "mainwin/forms/print_progress_box.h"
#include "platform/interaction/interaction.h"
#include "print/page_setup.h"

namespace {

using mainwin::Trans;

// A long book takes a while to lay out.
constexpr int kPdfTimeoutMs = 600000;
// Pages are painted from images of at most this resolution: enough for print, small enough to hold
// one page at a time.
constexpr int kMaxDpi = 300;
constexpr int kPreviewDpi = 72;
constexpr qreal kMinMarginMm = 15;

// The pages of a document in parts, numbered through all of them.
class PdfPages {
public:
    explicit PdfPages(const std::vector<pdf_book::Part>& parts) {
        for (const pdf_book::Part& part : parts) {
            bytes_.push_back(part.pdf);
            auto buffer = std::make_unique<QBuffer>(&bytes_.back());
            buffer->open(QIODevice::ReadOnly);
            auto document = std::make_unique<QPdfDocument>();
            document->load(buffer.get());
            if (document->status() != QPdfDocument::Status::Ready) {
                readable_ = false;
                return;
            }
            for (int page = std::max(0, part.firstPage); page < document->pageCount(); ++page)
                pages_.emplace_back(document.get(), page);
            buffers_.push_back(std::move(buffer));
            documents_.push_back(std::move(document));
        }
    }
    bool Readable() const { return readable_ && !pages_.empty(); }
    int Count() const { return int(pages_.size()); }
    // Page n, counted from 1, as an image of the given resolution on white paper.
    QImage Picture(int n, int dpi, QImage::Format format) const {
        const auto& [document, page] = pages_[size_t(n - 1)];
        const QSize pixels((document->pagePointSize(page) * dpi / 72.0).toSize());
        QImage image(pixels, format);
        image.fill(Qt::white);
        QPainter onPaper(&image);
        onPaper.drawImage(0, 0, document->render(page, pixels));
        return image;
    }

private:
    std::deque<QByteArray> bytes_;
    std::vector<std::unique_ptr<QBuffer>> buffers_;
    std::vector<std::unique_ptr<QPdfDocument>> documents_;
    std::vector<std::pair<QPdfDocument*, int>> pages_;
    bool readable_ = true;
};

}  // namespace

std::optional<QByteArray> PrintPageToPdf(QWebEnginePage* page, const QPageLayout& layout, int timeoutMs) {
    // The answer may come after the wait gave up: it then lands in state that outlives this call.
    struct State {
        bool done = false;
        QByteArray pdf;
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    page->printToPdf(
        [state, waiting](const QByteArray& pdf) {
            state->pdf = pdf;
            state->done = true;
            if (waiting) waiting->quit();
        },
        layout);
    if (!state->done) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!state->done) return std::nullopt;
    return state->pdf;
}

QPageLayout PdfLayoutFor(const QPrinter& printer) {
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    QMarginsF margins = layout.margins();
    margins.setTop(std::max(margins.top(), kMinMarginMm));
    margins.setBottom(std::max(margins.bottom(), kMinMarginMm));
    margins.setLeft(std::max(margins.left(), 10.0));
    margins.setRight(std::max(margins.right(), 10.0));
    layout.setMinimumMargins(QMarginsF());
    layout.setMargins(margins);
    // A printer that has painted full-page compares equal to the one it was before.
    layout.setMode(QPageLayout::StandardMode);
    return layout;
}

std::pair<int, int> ChosenPages(const QPrinter& printer, int pageCount) {
    if (printer.printRange() != QPrinter::PageRange || printer.fromPage() < 1) return {1, pageCount};
    return {printer.fromPage(), std::min(std::max(printer.toPage(), printer.fromPage()), pageCount)};
}

bool PaintPdfPages(const std::vector<pdf_book::Part>& parts, QPrinter* printer, const QString& header,
                   const QString& footer, const pdf_book::PageReport& report) {
    const PdfPages pages(parts);
    if (!pages.Readable()) return false;
    const int count = pages.Count();
    const auto [first, last] = ChosenPages(*printer, count);
    printer->setFullPage(true);
    const QPageLayout layout = PdfLayoutFor(*printer);
    QPainter painter;
    if (!painter.begin(printer)) return false;
    const bool preview = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
    // The preview keeps every page's picture, so there a small one, so that a long book fits in memory.
    const int dpi = preview ? kPreviewDpi : std::min(printer->resolution(), kMaxDpi);
    const QImage::Format format = preview ? QImage::Format_RGB16 : QImage::Format_RGB32;
    for (int page = first; page <= last; ++page) {
        if (page > first) printer->newPage();
        const QRectF paper = painter.viewport();
        painter.drawImage(paper, pages.Picture(page, dpi, format));
        page_setup::DrawHeaderFooter(painter, paper, layout, header, footer, page, count);
        if (report && !report(page - first + 1, last - first + 1)) {
            if (!preview) printer->abort();
            painter.end();
            return false;
        }
    }
    painter.end();
    return true;
}

bool WritePdfFile(const std::vector<pdf_book::Part>& parts, const QPrinter& printer, const QString& header,
                  const QString& footer, const pdf_book::PageReport& report, QString* error) {
    const int count = pdf_book::PageCount(parts);
    if (count <= 0) {
        *error = Trans(QStringLiteral("打印页无法读取。"));
        return false;
    }
    const auto [first, last] = ChosenPages(printer, count);
    const QByteArray overlay =
        header.isEmpty() && footer.isEmpty()
            ? QByteArray()
            : pdf_book::HeaderFooterPages(PdfLayoutFor(printer), header, footer, first, last, count);
    return pdf_book::WriteDocument(parts, first, last, overlay, printer.outputFileName(), report, error);
}

void ShowPdfPrintPreview(QWidget* parent, const PdfSource& source) {
    PdfPrintPreview preview(parent, source);
    if (preview.Prepare()) preview.exec();
}

void ShowPagePrintPreview(QWebEngineView* view) {
    if (!view) return;
    ShowPdfPrintPreview(
        view->window(), [view](const QPageLayout& layout) -> std::optional<std::vector<pdf_book::Part>> {
            // A long page takes a while to lay out into pages.
            ProgressScope progress;
            const std::optional<QByteArray> pdf = PrintPageToPdf(view->page(), layout, kPdfTimeoutMs);
            if (!pdf || pdf->isEmpty()) {
                UI().MsgBox(Trans(QStringLiteral("页面未能在限定时间内排成打印页，打印已取消。")),
                            vb::Critical);
                return std::nullopt;
            }
            return std::vector<pdf_book::Part>{{*pdf, 0}};
        });
}

void ShowBookPrintPreview(QWidget* parent, const QStringList& parts) {
    if (!PageViewer::EngineEnabled() || parts.isEmpty()) return;
    ShowPdfPrintPreview(
        parent, [parent, parts](const QPageLayout& layout) -> std::optional<std::vector<pdf_book::Part>> {
            PrintProgressBox box(parent);
            const QString doing = Trans(QStringLiteral("正在排版打印页：已完成 %1/%2 部分，共 %3 页"));
            const pdf_part_printer::Result printed = pdf_part_printer::Print(
                parts, layout,
                [&](const pdf_part_printer::Progress& p) {
                    return box.Tell(doing.arg(p.partsDone).arg(p.parts).arg(p.pages), p.partsDone, p.parts);
                },
                kPdfTimeoutMs);
            if (printed.outcome == pdf_part_printer::Outcome::Done) return printed.parts;
            if (printed.outcome == pdf_part_printer::Outcome::Failed)
                UI().MsgBox(Trans(QStringLiteral("页面未能在限定时间内排成打印页，打印已取消。")),
                            vb::Critical);
            return std::nullopt;
        });
}
