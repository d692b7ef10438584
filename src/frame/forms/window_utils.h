#pragma once

class QEvent;
class QWidget;

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

// Window helpers shared by the forms.

// Closes this program's top-level window whose title is exactly title (its close handlers run before
// this returns). True whether or not there was one.
bool CloseWindowByTitle(const QString& title);

// Enter (13, or Qt's Return and Enter keys) moves the focus on as Tab does; other keys do nothing. The
// Enter key itself is not consumed: callers that must stop it do so themselves.
void EnterToTab(int keyCode);

// For a form's event filter: when the event is the Enter key, moves the focus on as Tab does and
// answers true, so that the key is consumed and never presses a default button.
bool EnterKeyMovesFocus(QEvent* event);

// Form geometry is kept in twips, as the old forms gave it: 15 twips to a pixel, to the nearest pixel.
int TwipsToPixels(int twips);
QRect TwipsRect(int left, int top, int width, int height);

// The window manager's frame around a client area, as most managers draw it (a title bar above, thin
// borders): what a window is given room for before it is shown and its real frame is known.
inline constexpr QMargins kUsualWindowFrame(8, 40, 8, 8);

// The client area of a window `wanted` large on a screen whose free area is `available`, its frame
// (`frame` around it) counted: as large as wanted or as the free area allows, and centred there.
QRect FittedGeometry(const QRect& available, const QSize& wanted, const QMargins& frame);

// Sizes and places a top-level window so on its screen: now, with room for the usual frame, and once
// more when the window is first activated, with its real frame, if that sticks out of the free area.
void FitToScreen(QWidget* window, const QSize& wanted);

// The wait cursor over every window of the program while one lives (they nest): shown at once, without
// the message loop, for a wait the user would otherwise see nothing of.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
