#include "frame/forms/window_utils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

bool CloseWindowByTitle(const QString& title) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isWindow() && window->windowTitle() == title) {
            window->close();
            break;
        }
    }
    return true;
}

void EnterToTab(int keyCode) {
    if (keyCode != 13 && keyCode != Qt::Key_Return && keyCode != Qt::Key_Enter) return;
    QPointer<QWidget> target = QApplication::focusWidget();
    if (!target) return;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(target, &press);
    // The press may have moved the focus; the release goes where the press went, if it still exists.
    if (!target) return;
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(target, &release);
}

bool EnterKeyMovesFocus(QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    EnterToTab(key);
    return true;
}

int TwipsToPixels(int twips) {
    constexpr int kTwipsPerPixel = 15;
    return qRound(twips / double(kTwipsPerPixel));
}

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

QRect FittedGeometry(const QRect& available, const QSize& wanted, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    const QSize size(std::clamp(wanted.width(), 1, std::max(room.width(), 1)),
                     std::clamp(wanted.height(), 1, std::max(room.height(), 1)));
    const QSize framed = size.grownBy(frame);
    const QPoint corner(available.left() + std::max(0, (available.width() - framed.width()) / 2),
                        available.top() + std::max(0, (available.height() - framed.height()) / 2));
    return QRect(corner + QPoint(frame.left(), frame.top()), size);
}

namespace {

// Fits the window again once its manager has framed it: the frame is known by its first activation.
class RefitOnActivation : public QObject {
public:
    RefitOnActivation(QWidget* window, const QSize& wanted) : QObject(window), wanted_(wanted) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::WindowActivate) return false;
        auto* window = static_cast<QWidget*>(watched);
        window->removeEventFilter(this);
        deleteLater();
        const QScreen* screen = window->screen();
        if (!screen || window->isMaximized() || window->isFullScreen()) return false;
        const QRect available = screen->availableGeometry();
        const QRect frame = window->frameGeometry();
        if (available.contains(frame)) return false;
        const QRect client = window->geometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                               frame.right() - client.right(), frame.bottom() - client.bottom());
        window->setGeometry(FittedGeometry(available, wanted_, margins));
        return false;
    }

private:
    QSize wanted_;
};

}  // namespace

void FitToScreen(QWidget* window, const QSize& wanted) {
    const QScreen* screen = window->screen();
    if (!screen) {
        window->resize(wanted);
        return;
    }
    window->setGeometry(FittedGeometry(screen->availableGeometry(), wanted, kUsualWindowFrame));
    new RefitOnActivation(window, wanted);
}

BusyCursor::BusyCursor() {
    if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
}

// The application may have gone first, taking its cursors with it.
BusyCursor::~BusyCursor() {
    if (qApp) QApplication::restoreOverrideCursor();
}
