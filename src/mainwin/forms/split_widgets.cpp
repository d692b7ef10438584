#include "mainwin/forms/split_widgets.h"

#include <QMouseEvent>
#include <stdexcept>

#include "frame/forms/window_utils.h"

namespace {

constexpr int kTwipsPerPixel = 15;

int ToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

void RefuseNegative(int twips) {
    if (twips < 0) throw std::invalid_argument("invalid property value");
}

qint16 OldButton(Qt::MouseButtons buttons) {
    qint16 code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

}  // namespace

int WidgetPane::Left() const {
    return ToTwips(widget_->x());
}
int WidgetPane::Top() const {
    return ToTwips(widget_->y());
}
int WidgetPane::Width() const {
    return ToTwips(widget_->width());
}
int WidgetPane::Height() const {
    return ToTwips(widget_->height());
}

void WidgetPane::SetLeft(int twips) {
    widget_->move(TwipsToPixels(twips), widget_->y());
}

void WidgetPane::SetTop(int twips) {
    widget_->move(widget_->x(), TwipsToPixels(twips));
}

void WidgetPane::SetWidth(int twips) {
    RefuseNegative(twips);
    widget_->resize(TwipsToPixels(twips), widget_->height());
}

void WidgetPane::SetHeight(int twips) {
    RefuseNegative(twips);
    widget_->resize(widget_->width(), TwipsToPixels(twips));
}

void WidgetPane::BringToFront() {
    widget_->raise();
}

void WidgetPane::SetPointer(int code) {
    if (code == 9) widget_->setCursor(Qt::SizeHorCursor);
    if (code == 7) widget_->setCursor(Qt::SizeVerCursor);
}

int WidgetHost::Width() const {
    return ToTwips(widget_->width());
}
int WidgetHost::Height() const {
    return ToTwips(widget_->height());
}

SplitBar::SplitBar(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setMouseTracking(false);
}

void SplitBar::mouseMoveEvent(QMouseEvent* event) {
    if (onMouseMove) onMouseMove(OldButton(event->buttons()), ToTwips(int(event->position().x())));
}

void SplitBar::mouseReleaseEvent(QMouseEvent* event) {
    if (onMouseUp) onMouseUp(OldButton(event->button()));
}

SplitPaneLayout::~SplitPaneLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

QLayoutItem* SplitPaneLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    return items_.takeAt(index);
}

QSize SplitPaneLayout::sizeHint() const {
    return {TwipsToPixels(3 * Cls分屏::kEdgeDistance), TwipsToPixels(3 * Cls分屏::kEdgeDistance)};
}

QSize SplitPaneLayout::minimumSize() const {
    return {TwipsToPixels(2 * Cls分屏::kEdgeDistance), TwipsToPixels(Cls分屏::kEdgeDistance)};
}

void SplitPaneLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    if (onGeometry) onGeometry();
}
