#pragma once

class QEvent;

#include <QRect>
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
