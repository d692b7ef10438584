#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

class ChartCanvas;

// The browser's page picture: a page of paper, in twips, kept as an image that drawings go into and the
// widget shows (the page stays drawn between paints).
class ChartPicture : public QWidget {
    Q_OBJECT
public:
    static constexpr double kTwipsPerPixel = 15.0;

    explicit ChartPicture(QWidget* parent = nullptr);

    // Sizes the page (twips) and the widget; the page is white afterwards.
    void SetPageSize(double widthTwips, double heightTwips);
    double WidthTwips() const { return widthTwips_; }
    double HeightTwips() const { return heightTwips_; }
    // Runs draw with a canvas on the page, then shows the result.
    void Paint(const std::function<void(ChartCanvas&)>& draw);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    double widthTwips_ = 0;
    double heightTwips_ = 0;
};
