#pragma once

#include <QColor>
#include <QString>

// Where a chart page is drawn: the browser's page picture, the printer, or a recording fake in tests.
// Every length is in twips, font sizes in points; a text is placed by the top-left corner of its line.
class ChartCanvas {
public:
    enum class LineStyle { Solid, DashDotDot };

    virtual ~ChartCanvas() = default;
    virtual void SetFont(const QString& family, double pointSize, bool bold) = 0;
    virtual double TextWidth(const QString& text) const = 0;
    virtual double TextHeight(const QString& text) const = 0;
    virtual void SetForeColor(const QColor& color) = 0;
    virtual void DrawText(double x, double y, const QString& text) = 0;
    // A box-drawing glyph (┳ ┣ ┗ ━ ┃) in the cell of that size at x, y. By default the glyph as text;
    // a canvas may draw it to the cell's edges, so that the lines of neighbouring cells join.
    virtual void DrawBoxGlyph(double x, double y, double cellWidth, double cellHeight, QChar glyph) {
        (void)cellWidth;
        (void)cellHeight;
        DrawText(x, y, QString(glyph));
    }
    // A character of the half-width kind (Latin letters, digits) in the half cell of that width at x, y.
    // By default the character as text; a canvas may fit it into its half cell, so that a face's wider
    // glyphs do not run into the next character.
    virtual void DrawNarrowText(double x, double y, double halfCellWidth, QChar c) {
        (void)halfCellWidth;
        DrawText(x, y, QString(c));
    }
    // Paints the whole surface white.
    virtual void Clear() = 0;
    virtual void DrawLine(double x1, double y1, double x2, double y2, const QColor& color,
                          LineStyle style) = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
};
