#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QString>

class QAction;

// The window's pictures, drawn at run time from one or two characters on a coloured tile: the program
// ships no picture files.
QIcon GlyphIcon(const QString& glyph, const QColor& colour);

// Gives a button the picture of a glyph, and keeps the picture in the script its caption is converted
// to: a glyph taken from the caption follows the caption's character, any other the language in force.
// The glyph drawn is kept in the button's property "glyph", its tile's colour in "glyphColour".
void SetGlyphIcon(QAction* action, const QString& glyph, const QColor& colour);

// The tree's pictures in image-list order: 1 male member, 2 female member, 3 start member of a page,
// 4 the selected member; drawn in the interface language.
QList<QIcon> TreeNodeImages();
