#include "mainwin/forms/page_print_preview.h"

#include <QBuffer>
#include <QEventLoop>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfDocument>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <memory>

#include "frame/progress.h"
#include "mainwin/forms/main_window_shared.h"
#include "platform/interaction/interaction.h"
#include "print/page_setup.h"

namespace {

// A long book takes a while to lay out.
constexpr int kPdfTimeoutMs = 600000;
// Pages are painted from images of at most this resolution: enough for print, small enough to hold
// one page at a time.
constexpr int kMaxDpi = 300;
constexpr int kPreviewDpi = 72;
constexpr qreal kMinMarginMm = 15;

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
    return layout;
}

bool PaintPdfPages(const QByteArray& pdf, QPrinter* printer, const QString& header, const QString& footer) {
    QByteArray bytes = pdf;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() == 0) return false;

    printer->setFullPage(true);
    const QPageLayout layout = PdfLayoutFor(*printer);
    QPainter painter;
    if (!painter.begin(printer)) return false;
    const int count = document.pageCount();
    const bool preview = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
    const int dpi = preview ? kPreviewDpi : std::min(printer->resolution(), kMaxDpi);
    for (int page = 0; page < count; ++page) {
        if (page > 0) printer->newPage();
        const QRectF paper = painter.viewport();
        const QSizeF points = document.pagePointSize(page);
        const QSize pixels((points * dpi / 72.0).toSize());
        // On white paper; the preview keeps every page's picture, so there a small one, so that a long
        // book fits in memory.
        QImage image(pixels, preview ? QImage::Format_RGB16 : QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter onPaper(&image);
            onPaper.drawImage(0, 0, document.render(page, pixels));
        }
        painter.drawImage(paper, image);

        // Header and footer sit in the middle of the top and bottom margins.
        const qreal perMm = paper.height() / layout.fullRect(QPageLayout::Millimeter).height();
        const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
        const QRectF inner(paper.left() + margins.left() * perMm, paper.top(),
                           paper.width() - (margins.left() + margins.right()) * perMm, paper.height());
        QFont font(QStringLiteral("宋体"));
        font.setPointSizeF(9);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const auto drawLine = [&](const QString& codes, const QRectF& band) {
            if (codes.isEmpty()) return;
            const page_setup::Line line = page_setup::Expand(codes, page + 1, count);
            painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, line.left);
            painter.drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, line.centre);
            painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, line.right);
        };
        drawLine(header, QRectF(inner.left(), paper.top(), inner.width(), margins.top() * perMm));
        drawLine(footer, QRectF(inner.left(), paper.bottom() - margins.bottom() * perMm, inner.width(),
                                margins.bottom() * perMm));
    }
    painter.end();
    return true;
}

void ShowPagePrintPreview(QWebEngineView* view) {
    if (!view) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, view->window());
    const QString header = page_setup::Value(QStringLiteral("header"));
    const QString footer = page_setup::Value(QStringLiteral("footer"));
    bool reported = false;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, view, [&](QPrinter* target) {
        // A long book takes a while to lay out into pages.
        ProgressScope progress;
        const std::optional<QByteArray> pdf =
            PrintPageToPdf(view->page(), PdfLayoutFor(*target), kPdfTimeoutMs);
        if ((!pdf || !PaintPdfPages(*pdf, target, header, footer)) && !reported) {
            reported = true;
            UI().MsgBox(mainwin::Trans(QStringLiteral("页面未能在限定时间内排成打印页，打印已取消。")),
                        vb::Critical);
        }
    });
    dialog.exec();
}
