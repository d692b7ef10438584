#include "print/painter_chart_canvas.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

PainterChartCanvas::PainterChartCanvas(QPaintDevice& device, QPainter* painter)
    : device_(device), painter_(painter) {}

QFont PainterChartCanvas::ChartFont(const QString& family, double pointSize, bool bold) {
    QFont font;
    font.setFamilies({family, QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(pointSize > 0 ? pointSize : 1.0);
    font.setBold(bold);
    return font;
}

void PainterChartCanvas::SetFont(const QString& family, double pointSize, bool bold) {
    font_ = ChartFont(family, pointSize, bold);
    if (painter_) painter_->setFont(font_);
}

double PainterChartCanvas::TextWidth(const QString& text) const {
    return QFontMetricsF(font_, &device_).horizontalAdvance(text) * kTwipsPerInch / device_.logicalDpiX();
}

double PainterChartCanvas::TextHeight(const QString&) const {
    return QFontMetricsF(font_, &device_).height() * kTwipsPerInch / device_.logicalDpiY();
}

void PainterChartCanvas::SetForeColor(const QColor& color) {
    color_ = color;
}

void PainterChartCanvas::DrawText(double x, double y, const QString& text) {
    if (!painter_) return;
    painter_->setPen(color_);
    const double ascent = QFontMetricsF(font_, &device_).ascent();
    painter_->drawText(QPointF(ToUnitsX(x), ToUnitsY(y) + ascent), text);
}

void PainterChartCanvas::DrawNarrowText(double x, double y, double halfCellWidth, QChar c) {
    if (!painter_) return;
    const QFontMetricsF metrics(font_, &device_);
    const QString text(c);
    const double advance = metrics.horizontalAdvance(text);
    const double room = ToUnitsX(x + halfCellWidth) - ToUnitsX(x);
    const double scale = advance > room && advance > 0 ? room / advance : 1.0;
    painter_->save();
    painter_->setPen(color_);
    painter_->translate(ToUnitsX(x) + (room - advance * scale) / 2, ToUnitsY(y) + metrics.ascent());
    painter_->scale(scale, 1.0);
    painter_->drawText(QPointF(0, 0), text);
    painter_->restore();
}

void PainterChartCanvas::DrawBoxGlyph(double x, double y, double cellWidth, double cellHeight, QChar glyph) {
    if (!painter_) return;
    bool left = false, right = false, up = false, down = false;
    switch (glyph.unicode()) {
        case u'━':
            left = right = true;
            break;
        case u'┃':
            up = down = true;
            break;
        case u'┳':
            left = right = down = true;
            break;
        case u'┣':
            up = down = right = true;
            break;
        case u'┗':
            up = right = true;
            break;
        default:
            DrawText(x, y, QString(glyph));
            return;
    }
    // As thick as the face's own vertical rule, level with the middle of a Chinese character.
    const QFontMetricsF metrics(font_, &device_);
    const double em = metrics.horizontalAdvance(QStringLiteral("国"));
    const double thickness = std::clamp(metrics.tightBoundingRect(QStringLiteral("┃")).width(), 1.0, em / 6);
    const double middleY =
        ToUnitsY(y) + metrics.ascent() + metrics.tightBoundingRect(QStringLiteral("国")).center().y();
    const double left0 = ToUnitsX(x);
    const double right0 = ToUnitsX(x + cellWidth);
    const double middleX = (left0 + right0) / 2;
    const double top = ToUnitsY(y);
    const double bottom = ToUnitsY(y + cellHeight);
    const double half = thickness / 2;
    painter_->save();
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(color_);
    if (left || right)
        painter_->drawRect(QRectF(QPointF(left ? left0 : middleX - half, middleY - half),
                                  QPointF(right ? right0 : middleX + half, middleY + half)));
    if (up || down)
        painter_->drawRect(QRectF(QPointF(middleX - half, up ? top : middleY - half),
                                  QPointF(middleX + half, down ? bottom : middleY + half)));
    painter_->restore();
}

void PainterChartCanvas::Clear() {
    if (!painter_) return;
    painter_->fillRect(QRectF(0, 0, device_.width(), device_.height()), Qt::white);
}

void PainterChartCanvas::DrawLine(double x1, double y1, double x2, double y2, const QColor& color,
                                  LineStyle style) {
    if (!painter_) return;
    QPen pen(color, 0);
    pen.setStyle(style == LineStyle::DashDotDot ? Qt::DashDotDotLine : Qt::SolidLine);
    painter_->setPen(pen);
    painter_->drawLine(QPointF(ToUnitsX(x1), ToUnitsY(y1)), QPointF(ToUnitsX(x2), ToUnitsY(y2)));
}

double PainterChartCanvas::Width() const {
    return device_.width() * kTwipsPerInch / device_.logicalDpiX();
}

double PainterChartCanvas::Height() const {
    return device_.height() * kTwipsPerInch / device_.logicalDpiY();
}

double PainterChartCanvas::ToUnitsX(double twips) const {
    return twips * device_.logicalDpiX() / kTwipsPerInch;
}

double PainterChartCanvas::ToUnitsY(double twips) const {
    return twips * device_.logicalDpiY() / kTwipsPerInch;
}
