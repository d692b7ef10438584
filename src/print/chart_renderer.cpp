#include "print/chart_renderer.h"

#include <algorithm>
#include <cmath>

#include "frame/app_state.h"
#include "platform/codepage.h"
#include "platform/vbcompat.h"
#include "print/chart_canvas.h"

namespace {

const QString kChartFace = QStringLiteral("宋体");
const QString kWide = QStringLiteral("国");
const QString kNarrow = QStringLiteral("H");
// The cell is the measured "国" with this much room around it.
constexpr int kCellPadWidth = 12;
constexpr int kCellPadHeight = 30;
const QColor kHeaderColor(255, 0, 0);
const QColor kLineColor(0, 0, 255);

bool IsNarrow(QChar c) {
    const int code = Asc936(c);
    return code >= 1 && code <= 255;
}

bool IsBoxGlyph(QChar c) {
    return c == u'━' || c == u'┃' || c == u'┳' || c == u'┣' || c == u'┗';
}

struct CharKinds {
    int wide = 0;
    int narrow = 0;
};
CharKinds CountKinds(const QString& text) {
    CharKinds kinds;
    for (QChar c : text) ++(IsNarrow(c) ? kinds.narrow : kinds.wide);
    return kinds;
}

// Half-way values round to even, as the old conversions did.
int Round(double value) {
    return int(std::nearbyint(value));
}

// Both sides measure alike: the printer when there is one, else the target.
void SetFonts(ChartCanvas& target, ChartCanvas* printer, double size, bool bold) {
    target.SetFont(kChartFace, size, bold);
    if (printer && printer != &target) printer->SetFont(kChartFace, size, bold);
}

}  // namespace

int ChartRenderer::RowsOnPage(double pageHeight, double cellHeight) {
    const int cell = Round(cellHeight);
    if (cell <= 0) return 0;
    return Round(pageHeight - App().PreviewTopOffset) / cell;
}

int ChartRenderer::LinesPerPage(int rowsOnPage) {
    const AppState& app = App();
    const int lines = rowsOnPage - app.PreviewOffsetRow - (app.PreviewParamA < 2 ? 2 : 1) -
                      app.PreviewParamB - app.PreviewParamC - app.PreviewParamA - 1;
    // A page too small for its margins still shows one line, rather than dividing by nothing.
    return std::max(lines, 1);
}

int ChartRenderer::PageCount(int linesPerPage) const {
    const int lines = LineCount();
    if (linesPerPage < 1) return 0;
    return lines / linesPerPage + (lines % linesPerPage ? 1 : 0);
}

ChartPageKeys ChartRenderer::PageKeys(int page, int pageCount) {
    ChartPageKeys keys;
    if (pageCount <= 1) return {false, false, false, false};
    if (page <= 1) keys.first = keys.previous = false;
    if (page >= pageCount) keys.next = keys.last = false;
    return keys;
}

QString ChartRenderer::Line(int line) const {
    return line >= 1 && line <= LineCount() ? chart_.lines.at(line - 1) : QString();
}

bool ChartRenderer::IsHeader(int line) const {
    return IsGenerationHeaderLine(Line(line), App().PrintGenerationsPerRow);
}

int ChartRenderer::HeaderAtOrBefore(int line) const {
    const int generations = App().PrintGenerationsPerRow;
    if (headersFor_ != generations) {
        headers_.clear();
        for (int k = 1; k <= LineCount(); ++k)
            if (IsGenerationHeaderLine(chart_.lines.at(k - 1), generations)) headers_.push_back(k);
        headersFor_ = generations;
    }
    const auto after = std::upper_bound(headers_.begin(), headers_.end(), line);
    return after == headers_.begin() ? 0 : *(after - 1);
}

void ChartRenderer::DrawCellText(ChartCanvas& target, const QString& text, int row) {
    if (Trim(text).isEmpty()) return;
    const AppState& app = App();
    const double cellWidth = app.PreviewCellWidth;
    const double y = row * double(app.PreviewCellHeight) - app.PreviewCellHeight / 2.0;
    int wide = 0;
    int narrow = 0;
    for (QChar c : text) {
        const double x =
            cellWidth * (app.PreviewOffsetCol + 0.5) + cellWidth * wide + cellWidth * narrow / 2.0;
        if (IsBoxGlyph(c)) {
            target.DrawBoxGlyph(x, y, cellWidth, app.PreviewCellHeight, c);
        } else if (c != u' ') {
            if (IsNarrow(c))
                target.DrawNarrowText(x, y, cellWidth / 2.0, c);
            else
                target.DrawText(x, y, QString(c));
        }
        ++(IsNarrow(c) ? narrow : wide);
    }
}

int ChartRenderer::DrawChartPage(ChartCanvas& target, bool printing, ChartCanvas* printer, int page,
                                 int linesPerPage) const {
    AppState& app = App();
    if (!printing) target.Clear();
    ChartCanvas& measure = printer ? *printer : target;

    // The title is centred over the first section's header line (when there is one).
    const CharKinds reference = CountKinds(Trim(Line(2)));
    SetFonts(target, printer, app.PreviewSmallFontSize, false);
    app.PreviewCellWidth = qint16(Round(measure.TextWidth(kWide)));
    app.PreviewCellHeight = qint16(Round(measure.TextHeight(kWide)));
    const int narrowWidth = Round(measure.TextWidth(kNarrow));
    const int referenceWidth = app.PreviewCellWidth * reference.wide + narrowWidth * reference.narrow;

    SetFonts(target, printer, app.PreviewFontSize, true);
    const QString title = Trim(chart_.title);
    if (!title.isEmpty()) {
        const CharKinds kinds = CountKinds(title);
        const double titleWidth =
            target.TextWidth(kWide) * kinds.wide + target.TextWidth(kNarrow) * kinds.narrow;
        const int x = std::max(0, Round(referenceWidth / 2.0 - titleWidth / 2.0 + app.PreviewCellWidth));
        target.SetForeColor(Qt::black);
        target.DrawText(app.PreviewOffsetCol * app.PreviewCellWidth + x,
                        app.PreviewCellHeight * app.PreviewOffsetRow + 30 * app.PreviewOffsetRow, title);
    }
    // The title takes at least two rows, drawn or not.
    const int cellHeight = std::max<int>(app.PreviewCellHeight, 1);
    int row = app.PreviewOffsetRow + std::max(2, Round(target.TextWidth(kWide)) / cellHeight);

    SetFonts(target, printer, app.PreviewSmallFontSize, false);
    app.PreviewCellWidth = qint16(Round(measure.TextWidth(kWide)) + kCellPadWidth);
    app.PreviewCellHeight = qint16(Round(measure.TextHeight(kWide)) + kCellPadHeight);

    const int perPage = std::max(linesPerPage, 1);
    int first = (qint64(page) - 1) * perPage + 1 > LineCount() || page < 1 ? 1 : (page - 1) * perPage + 1;
    if (first == 1) page = 1;

    if (page > 1) {
        const int header = HeaderAtOrBefore(first);
        // The header heads this page's lines unless it is the page's own first line; on a page that
        // opens with the empty row below it, it is the header the page before could not show.
        const bool repeat =
            header >= 1 && header != first && (!Trim(Line(first)).isEmpty() || header == first - 1);
        if (repeat) {
            ++row;
            target.SetForeColor(kHeaderColor);
            DrawCellText(target, RTrim(Line(header)), row);
            target.SetForeColor(kLineColor);
        }
    }

    for (int i = 1, line = first; i <= perPage && line <= LineCount(); ++i, ++line) {
        const bool header = IsHeader(line);
        if (header && i >= perPage - 1) break;
        ++row;
        target.SetForeColor(header ? kHeaderColor : kLineColor);
        DrawCellText(target, RTrim(Line(line)), row);
    }
    return page;
}

void ChartRenderer::DrawGuideLines(ChartCanvas& picture, const QColor& color) {
    const AppState& app = App();
    const double left = double(app.PreviewCellWidth) * app.PreviewOffsetCol;
    const double top = double(app.PreviewCellHeight) * app.PreviewOffsetRow;
    const double bottom = picture.Height() - app.PreviewTopOffset;
    const auto style = ChartCanvas::LineStyle::DashDotDot;
    picture.DrawLine(left, 0, left, picture.Height(), color, style);
    picture.DrawLine(0, top, picture.Width(), top, color, style);
    picture.DrawLine(0, bottom, picture.Width(), bottom, color, style);
}
