// The chart browser's keys, mouse placement of the chart on the page, scroll bars and layout.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <cmath>

#include "frame/app_state.h"
#include "print/forms/chart_picture.h"
#include "print/forms/pxt_brw.h"
#include "print/painter_chart_canvas.h"

namespace {

constexpr double kTwips = ChartPicture::kTwipsPerPixel;
constexpr int kPageScroll = 5000;
constexpr int kLineScroll = 500;
constexpr int kMaxOffset = 30;

int ToTwips(int pixels) {
    return int(pixels * kTwips);
}
int ToPixels(double twips) {
    return int(std::lround(twips / kTwips));
}

void Step(QScrollBar* bar, int by) {
    bar->setValue(std::clamp(bar->value() + by, bar->minimum(), bar->maximum()));
}

}  // namespace

bool Pxt_Brw::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        // A key the focused control passes on reaches the window again: it is handled once.
        QWidget* focus = QApplication::focusWidget();
        if (watched != focus && !(watched == this && (!focus || !isAncestorOf(focus)))) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        Form_KeyDown(key);
        if (key == Qt::Key_Escape) return true;
        if (watched == picture_) Picture1_KeyDown(key);
        const bool inList = watched == zoomText_ || watched == paperText_ ||
                            watched == zoomText_->lineEdit() || watched == paperText_->lineEdit();
        if (inList) return true;  // a zoom or paper is chosen only by picking it
        if ((watched == pageText_ || watched == pageLines_) &&
            (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            picture_->setFocus();
            return true;
        }
        return false;
    }
    if (type == QEvent::FocusOut) {
        if (watched == pageText_) PageText_LostFocus();
        if (watched == pageLines_) PageLines_LostFocus();
        return false;
    }
    if (watched == picture_) {
        if (type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
            type == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const double x = mouse->position().x() * kTwips;
            const double y = mouse->position().y() * kTwips;
            if (type == QEvent::MouseMove) Picture1_MouseMove(x, y);
            if (type == QEvent::MouseButtonPress) Picture1_MouseDown(mouse->button(), x, y);
            if (type == QEvent::MouseButtonRelease) Picture1_MouseUp(x, y);
        }
        if (type == QEvent::Resize) ArrangeBrowser();
    }
    return QDialog::eventFilter(watched, event);
}

void Pxt_Brw::Form_KeyDown(int key) {
    switch (key) {
        case Qt::Key_Escape:
            reject();
            break;
        case Qt::Key_PageUp:
            Step(vScroll_, -kPageScroll);
            break;
        case Qt::Key_PageDown:
            Step(vScroll_, kPageScroll);
            break;
        case Qt::Key_Home:
            hScroll_->setValue(hScroll_->minimum());
            break;
        case Qt::Key_End:
            hScroll_->setValue(hScroll_->maximum());
            break;
        case Qt::Key_Left:
            Step(hScroll_, -kLineScroll);
            break;
        case Qt::Key_Right:
            Step(hScroll_, kLineScroll);
            break;
        case Qt::Key_Up:
            Step(vScroll_, -kLineScroll);
            break;
        case Qt::Key_Down:
            Step(vScroll_, kLineScroll);
            break;
        default:
            break;
    }
}

void Pxt_Brw::Picture1_KeyDown(int key) {
    AppState& app = App();
    DrawGuideLines(Qt::white);
    // The arrows move the chart's edge: Left moves the chart right, as the margin grows.
    switch (key) {
        case Qt::Key_Up:
            app.PreviewOffsetRow = qint16(std::max(0, app.PreviewOffsetRow - 1));
            break;
        case Qt::Key_Down:
            app.PreviewOffsetRow = qint16(std::min(kMaxOffset, app.PreviewOffsetRow + 1));
            break;
        case Qt::Key_Right:
            app.PreviewOffsetCol = qint16(std::max(0, app.PreviewOffsetCol - 1));
            break;
        case Qt::Key_Left:
            app.PreviewOffsetCol = qint16(std::min(kMaxOffset, app.PreviewOffsetCol + 1));
            break;
        default:
            break;
    }
    DrawGuideLines(Qt::black);
}

void Pxt_Brw::Picture1_MouseMove(double x, double y) {
    const AppState& app = App();
    const double w = app.PreviewCellWidth;
    const double h = app.PreviewCellHeight;
    const bool nearLeft = x > (app.PreviewOffsetCol - 1) * w && x < (app.PreviewOffsetCol + 1) * w;
    const bool nearTop = y > (app.PreviewOffsetRow - 1) * h && y < (app.PreviewOffsetRow + 1) * h;
    movePointer_ = nearLeft || nearTop;
    if (movePointer_)
        picture_->setCursor(Qt::SizeAllCursor);
    else
        picture_->unsetCursor();
}

void Pxt_Brw::Picture1_MouseDown(Qt::MouseButton button, double x, double y) {
    if (button != Qt::LeftButton) return;
    const AppState& app = App();
    // "On" an edge is within the pixel that shows it: a pointer never lands on a twip.
    const double left = double(app.PreviewCellWidth) * app.PreviewOffsetCol;
    const double top = double(app.PreviewCellHeight) * app.PreviewOffsetRow;
    const bool onLeft = std::fabs(x - left) < kTwips;
    const bool onTop = std::fabs(y - top) < kTwips;
    if (!onLeft && !onTop) return;
    movePointer_ = true;
    picture_->setCursor(Qt::SizeAllCursor);
    picture_->Paint([&](ChartCanvas& canvas) {
        const auto solid = ChartCanvas::LineStyle::Solid;
        if (onLeft) canvas.DrawLine(left, 0, left, canvas.Height(), Qt::black, solid);
        if (onTop) canvas.DrawLine(0, top, canvas.Width(), top, Qt::black, solid);
    });
}

void Pxt_Brw::Picture1_MouseUp(double x, double y) {
    if (!movePointer_) return;
    AppState& app = App();
    DrawGuideLines(Qt::white);
    const int cellWidth = std::max<int>(app.PreviewCellWidth, 1);
    const int cellHeight = std::max<int>(app.PreviewCellHeight, 1);
    // Never more than three quarters of the page's cells in, never off the page.
    const int columns = int(picture_->WidthTwips()) / cellWidth;
    const int rows = int(picture_->HeightTwips()) / cellHeight;
    app.PreviewOffsetCol = qint16(std::clamp(int(std::lround(x)) / cellWidth, 0, columns * 3 / 4 + 1));
    app.PreviewOffsetRow = qint16(std::clamp(int(std::lround(y)) / cellHeight, 0, rows * 3 / 4 + 1));
    DrawPage();
    DrawGuideLines(Qt::black);
    movePointer_ = false;
    picture_->unsetCursor();
}

void Pxt_Brw::ArrangeBrowser() {
    if (arranging_ || isMinimized() || !picture_) return;
    arranging_ = true;
    const int innerWidth = ToTwips(width());
    const int innerHeight = ToTwips(height());
    coolBar_->setGeometry(0, 0, width(), coolBar_->sizeHint().height());
    const int bandHeight = ToTwips(coolBar_->height());
    const int barThickness = ToTwips(style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    picture11_->resize(ToPixels(barThickness), ToPixels(barThickness));
    const int cornerWidth = ToTwips(picture11_->width());
    const int cornerHeight = ToTwips(picture11_->height());

    hScroll_->setGeometry(0, ToPixels(innerHeight - barThickness), ToPixels(innerWidth - cornerWidth),
                          ToPixels(barThickness));
    vScroll_->setGeometry(ToPixels(innerWidth - barThickness), ToPixels(bandHeight), ToPixels(barThickness),
                          ToPixels(innerHeight - cornerHeight - bandHeight));
    picture11_->move(hScroll_->width(), coolBar_->height() + vScroll_->height());

    const double pictureWidth = picture_->WidthTwips();
    const double pictureHeight = picture_->HeightTwips();
    int left = 0;
    if (innerWidth - 1000 > pictureWidth) {
        hScroll_->setMaximum(0);
        left = int((innerWidth - pictureWidth - barThickness) / 2);
    } else {
        hScroll_->setMaximum(int(std::lround(pictureWidth - innerWidth + 1000 + cornerWidth)));
        left = 200 - hScroll_->value();
    }
    int top = 0;
    if (innerHeight - 1000 > pictureHeight) {
        vScroll_->setMaximum(0);
        top = int((innerHeight - pictureHeight) / 2);
    } else {
        vScroll_->setMaximum(int(std::lround(pictureHeight - innerHeight + 1000 + cornerHeight)));
        top = bandHeight - vScroll_->value() + 200;
    }
    picture_->move(ToPixels(left), ToPixels(top));
    picture_->lower();
    arranging_ = false;
}
