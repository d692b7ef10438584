#pragma once

#include <QString>
#include <functional>

class QWidget;

// Runs convert over every caption of a window and its controls, in their creation order, setting only
// the texts that change: the window title; labels; buttons, check boxes and option buttons; group box
// titles; menus and their items, tool bar actions; tool tips and place-holder texts; combo and list
// items; tab titles; column and row titles. What the user types (line edits, text edits, an editable
// combo's text), tree items and table cells are data and are left alone. Child windows other than
// menus convert themselves when they load.
void ConvertWindowCaptions(QWidget* form, const std::function<QString(const QString&)>& convert);
