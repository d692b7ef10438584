#pragma once

#include <QColor>
#include <QString>
#include <vector>

#include "print/chart_text.h"

class ChartCanvas;

// Which of the four page keys may be pressed.
struct ChartPageKeys {
    bool first = true;
    bool previous = true;
    bool next = true;
    bool last = true;
    bool operator==(const ChartPageKeys&) const = default;
};

// Cuts the chart into pages and draws a page cell by cell: every Chinese character or glyph takes one
// cell, any other character half a cell, whatever the font's own widths. Reads the preview state of
// AppState (margins, font sizes, PrintGenerationsPerRow) and writes the cell size there.
class ChartRenderer {
public:
    explicit ChartRenderer(ChartText chart) : chart_(std::move(chart)) {}

    const ChartText& chart() const { return chart_; }
    int LineCount() const { return int(chart_.lines.size()); }

    // Cell rows on a page of that height with cells of that height, after the bottom margin.
    static int RowsOnPage(double pageHeight, double cellHeight);
    // Chart lines per page for that many rows: what the title and margins leave, at least 1.
    static int LinesPerPage(int rowsOnPage);
    int PageCount(int linesPerPage) const;
    static ChartPageKeys PageKeys(int page, int pageCount);

    // Draws page `page` of `linesPerPage` lines onto target; `printer`, when a printer is there, is
    // where the cell is measured (the target itself while printing). The screen is cleared first, the
    // printer never. A header never stands in the last two lines of a page: the next page repeats it at
    // its top. Returns the page drawn: 1 when the page asked for lies beyond the chart.
    int DrawChartPage(ChartCanvas& target, bool printing, ChartCanvas* printer, int page,
                      int linesPerPage) const;
    // One chart line in cell row `row` (from 1), character by character.
    static void DrawCellText(ChartCanvas& target, const QString& text, int row);
    // The chart's left and top edges and the bottom margin, dash-dot-dot; white erases them.
    static void DrawGuideLines(ChartCanvas& picture, const QColor& color);

private:
    bool IsHeader(int line) const;  // line from 1
    // The last header line at or before line, 0 when there is none.
    int HeaderAtOrBefore(int line) const;
    QString Line(int line) const;  // "" beyond the chart

    ChartText chart_;
    // The header lines, found once for the section width they were found with.
    mutable std::vector<int> headers_;
    mutable int headersFor_ = -1;
};
