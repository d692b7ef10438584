// Printing a range of the chart browser's pages.
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include "frame/app_state.h"
#include "frame/system_utils.h"
#include "platform/bookdir.h"
#include "platform/interaction/interaction.h"
#include "print/chart_html_export.h"
#include "print/forms/pxt_brw.h"
#include "print/painter_chart_canvas.h"
#include "print/print_messages.h"

namespace {

using print::Trans;

constexpr int kA3Landscape = 6;
constexpr int kA4Landscape = 7;

}  // namespace

void Pxt_Brw::PrintPages() {
    if (!renderer_ || pageCount_ < 1) return;
    AppState& app = App();
    QPrinter printer(QPrinter::HighResolution);
    // Without a printer the chart still goes to paper later: the dialog offers a PDF file.
    if (!PrinterAvailable()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(GetAppPath() + ChartFileName(renderer_->chart().title,
                                                               QStringLiteral("tmpExcel"),
                                                               QStringLiteral(".pdf")));
    }
    const auto pages = UI().ChoosePrintPages(printer, pageCount_);
    if (!pages) return;

    if (!InPreviewMode()) {
        app.PreviewCellWidth = qint16(base_.cellWidth);
        app.PreviewCellHeight = qint16(base_.cellHeight);
        app.PreviewSmallFontSize = float(base_.smallFont);
        app.PreviewFontSize = float(base_.largeFont);
    }
    // Twips are paper coordinates: no margins of the printer's own.
    printer.setFullPage(true);
    const int row = app.PreviewPaperKind;
    if (row == kA3Landscape || row == kA4Landscape) {
        printer.setPageSize(QPageSize(row == kA3Landscape ? QPageSize::A3 : QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Landscape);
    } else {
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setPageSize(QPageSize(QSizeF(base_.pageWidth / 20, base_.pageHeight / 20), QPageSize::Point,
                                      QString(), QPageSize::ExactMatch));
    }
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);

    QPainter painter;
    if (!painter.begin(&printer)) {
        UI().MsgBox(Trans(QStringLiteral("不能打印到：")) + printer.printerName() + printer.outputFileName(),
                    vb::Critical);
        return;
    }
    const int shown = page_;
    PainterChartCanvas canvas(printer, &painter);
    // A new sheet only between pages: none is left blank after the last.
    for (int page = pages->first; page <= pages->second; ++page) {
        if (page > pages->first) printer.newPage();
        page_ = page;
        renderer_->DrawChartPage(canvas, true, &canvas, page, lines_);
    }
    painter.end();
    ShowPage(shown);
}
