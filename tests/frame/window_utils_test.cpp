#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include "frame/forms/window_utils.h"

namespace {

TEST(WindowUtils, AWindowFitsTheScreensFreeAreaWithItsFrame) {
    struct Case {
        const char* what;
        QRect available;
        QSize wanted;
        QRect client;
    };
    const Case cases[] = {
        {"1280x800: the print preview loses height, not width", QRect(0, 0, 1280, 800), QSize(900, 1000),
         QRect(190, 40, 900, 752)},
        {"1920x1080: the preview as tall as it asks", QRect(0, 0, 1920, 1080), QSize(900, 1000),
         QRect(510, 56, 900, 1000)},
        {"a panel above the free area", QRect(0, 30, 1280, 770), QSize(900, 1000), QRect(190, 70, 900, 722)},
        {"a second screen to the right", QRect(1920, 0, 1280, 800), QSize(900, 1000),
         QRect(2110, 40, 900, 752)},
        {"a small window, centred", QRect(0, 0, 1280, 800), QSize(600, 420), QRect(340, 206, 600, 420)},
        {"a screen narrower than the window", QRect(0, 0, 800, 600), QSize(1120, 760),
         QRect(8, 40, 784, 552)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect client = FittedGeometry(c.available, c.wanted, kUsualWindowFrame);
        EXPECT_EQ(client, c.client);
        EXPECT_TRUE(c.available.contains(client.marginsAdded(kUsualWindowFrame)));
    }
}

TEST(WindowUtils, AWindowPlacedOffTheScreenIsFittedAgainWhenActivated) {
    QWidget window;
    FitToScreen(&window, QSize(5000, 5000));
    const QRect available = window.screen()->availableGeometry();
    EXPECT_TRUE(available.contains(window.geometry().marginsAdded(kUsualWindowFrame)));

    // The manager put it elsewhere; the first activation brings it back with the frame it has.
    window.setGeometry(QRect(available.topLeft() + QPoint(100, 100), QSize(5000, 5000)));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    EXPECT_TRUE(available.contains(window.frameGeometry()));
    // Only once: what the user does with the window later is the user's.
    window.setGeometry(QRect(available.topLeft() + QPoint(100, 100), QSize(5000, 5000)));
    QApplication::sendEvent(&window, &activate);
    EXPECT_EQ(window.geometry().size(), QSize(5000, 5000));
}

}  // namespace
