#include "frame/forms/window_utils.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

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
