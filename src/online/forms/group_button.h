#pragma once

#include <QString>

// The main window's association button ("b_group" on its toolbar) says which list it opens; the log-on
// form and the association windows change its tool tip when the user's association changes. Nothing
// happens while the main window is not open.
void SetGroupButtonTip(const QString& tip);
