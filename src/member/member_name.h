#pragma once

#include <QString>

// A member's name is the key of its row, its page, its pictures and its tree node, and the tree and the
// old page texts take some characters as markup: "'" and "%" (quoting and field separators), line
// breaks, "{" and "}" (the generation label of a node), "\" (the path separator of a node's full path).
// Every path that creates or renames a member cleans the name here, once.

// Names keep at most this many characters.
constexpr qsizetype kMemberNameLength = 49;

// The name without those characters, trimmed of spaces, cut to its first maxLength characters (never
// through a character outside the basic plane); a negative maxLength cuts nothing.
QString CleanMemberName(const QString& text, qsizetype maxLength = kMemberNameLength);
