#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QString>

// The window's pictures, drawn at run time from one or two characters on a coloured tile: the program
// ships no picture files.
QIcon GlyphIcon(const QString& glyph, const QColor& colour);

// The tree's pictures in image-list order: 1 male member, 2 female member, 3 start member of a page,
// 4 the selected member.
QList<QIcon> TreeNodeImages();
