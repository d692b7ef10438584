#pragma once

#include <QString>

// A member's name is the key of its row, its page, its pictures and its tree node, and the tree and the
// old page texts take some characters as markup: "'" and "%" (quoting and field separators), line
// breaks, "{" and "}" (the generation label of a node), "\" (the path separator of a node's full path).
// Control characters (DEL and the C1 range among them) and the marks that turn the direction of text
// would make a name show as another one. Every path that creates or renames a member cleans the name
// here, once: the names a user types and the names a package brings alike.

// Names keep at most this many characters.
constexpr qsizetype kMemberNameLength = 49;

// The name without those characters, trimmed of spaces, cut to its first maxLength characters (never
// through a character outside the basic plane); a negative maxLength cuts nothing.
QString CleanMemberName(const QString& text, qsizetype maxLength = kMemberNameLength);

// One member's name, as the names field keeps it for one member: also without "/" (a path in the page
// and folder imports) and ";" (the separator of several names).
QString CleanSingleMemberName(const QString& text, qsizetype maxLength = kMemberNameLength);
