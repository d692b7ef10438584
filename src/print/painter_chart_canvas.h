#pragma once

#include <QFont>

#include "print/chart_canvas.h"

class QPaintDevice;
class QPainter;

// A chart canvas over a paint device: an image for the screen, a printer for paper. Without a painter it
// only measures (the printer's metrics while the page is drawn on screen). Twips become device units by
// the device's resolution, so a chart measures alike on screen and on paper.
class PainterChartCanvas : public ChartCanvas {
public:
    PainterChartCanvas(QPaintDevice& device, QPainter* painter);

    void SetFont(const QString& family, double pointSize, bool bold) override;
    double TextWidth(const QString& text) const override;
    double TextHeight(const QString& text) const override;
    void SetForeColor(const QColor& color) override;
    void DrawText(double x, double y, const QString& text) override;
    // Drawn as strokes to the cell's edges: a face's box glyphs fill only its em square, which leaves
    // gaps between rows and cells.
    void DrawBoxGlyph(double x, double y, double cellWidth, double cellHeight, QChar glyph) override;
    // Centred in its half cell and, where the face draws it wider (a serif "C" or "M"), narrowed to fit.
    void DrawNarrowText(double x, double y, double halfCellWidth, QChar c) override;
    void Clear() override;
    void DrawLine(double x1, double y1, double x2, double y2, const QColor& color, LineStyle style) override;
    double Width() const override;
    double Height() const override;

    // "宋体" as the chart asks for it: the CJK serif face that stands in for it here.
    static QFont ChartFont(const QString& family, double pointSize, bool bold);

private:
    double ToUnitsX(double twips) const;
    double ToUnitsY(double twips) const;

    QPaintDevice& device_;
    QPainter* painter_;
    QFont font_;
    QColor color_ = Qt::black;
};
