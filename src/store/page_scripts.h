#pragma once

#include <QString>

// Pages that come from outside (a folder, the server, a package, an e-book) are stored without what would
// run in a browser: a page the program shows, edits or prints runs nothing of its own, and neither does
// one the user publishes from the book.
namespace page_scripts {

// The page without its <script> elements (one without its end tag takes the rest of the page) and
// without the event-handler attributes (on...=) of its tags, as a browser reads the tags.
QString WithoutScripts(const QString& html);

// The same for a page in its stored (scrambled) form; the very same text when nothing was cut.
QString StoredWithoutScripts(const QString& stored);

}  // namespace page_scripts
