#pragma once

#include <QString>
#include <QStringList>

namespace dao {
class Database;
}

// A page that comes from outside (a package, an e-book, the server) names what its sender chose. The
// book keeps it inert: nothing in it runs (page_scripts), and nothing in it leads the program, or the
// engine that shows and prints it, to a file of this computer or to an address on the web. What stays:
// the pictures the page brings with it, links to web pages (followed only by a reader's click, never by
// the program), anchors, mail addresses and data written into the page itself. Every other address
// (a web picture, background or medium, "file:", an absolute or relative path, a style sheet or a style
// that names a file) goes with its attribute; a page the user edits and saves afterwards stores only
// what the user puts in.
namespace outside_page {

// The page without what would run or lead outside. pictures: the stored references of the pictures
// the page comes with (picture_refs form, "file://_app.path_\..."); a placeholder address keeps
// working only for those, and only as long as it does not climb out of its folder.
QString Cleaned(const QString& html, const QStringList& pictures);

// The same on a stored (scrambled) page, with the pictures' paths as the picture table stores them;
// the very same text when nothing was cut.
QString StoredCleaned(const QString& storedPage, const QStringList& storedPicturePaths);

// The stored paths of a member's pictures in a picture table (as the caller names it, attached or not).
QStringList StoredPicturePaths(dao::Database& db, const QString& table, const QString& filial);

}  // namespace outside_page
