#include "print/forms/chart_picture.h"

#include <QPainter>
#include <cmath>

#include "print/painter_chart_canvas.h"

ChartPicture::ChartPicture(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    SetPageSize(11904, 16832);
}

void ChartPicture::SetPageSize(double widthTwips, double heightTwips) {
    widthTwips_ = widthTwips;
    heightTwips_ = heightTwips;
    const QSize pixels(std::max(1, int(std::lround(widthTwips / kTwipsPerPixel))),
                       std::max(1, int(std::lround(heightTwips / kTwipsPerPixel))));
    image_ = QImage(pixels, QImage::Format_RGB32);
    // 15 twips to the pixel is 96 pixels to the inch; fonts given in points follow it.
    const int dotsPerMeter = int(std::lround(1440.0 / kTwipsPerPixel / 0.0254));
    image_.setDotsPerMeterX(dotsPerMeter);
    image_.setDotsPerMeterY(dotsPerMeter);
    image_.fill(Qt::white);
    resize(pixels);
    update();
}

void ChartPicture::Paint(const std::function<void(ChartCanvas&)>& draw) {
    {
        QPainter painter(&image_);
        PainterChartCanvas canvas(image_, &painter);
        draw(canvas);
    }
    update();
}

void ChartPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}
