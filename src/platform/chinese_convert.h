#pragma once

#include <QString>

// Simplified/Traditional Chinese conversion. When the conversion tables cannot be loaded the text comes
// back unchanged (and a warning is logged once), so a missing table never loses the user's text.
QString ToTraditional(const QString& text);
QString ToSimplified(const QString& text);
