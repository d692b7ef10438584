#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "store/data_ops.h"

// The page save's transformation, apart from any window or database: from the edited document and
// what its DOM says (background, pictures, media, links) to the page text to store and the files to
// store with it. Every address of a file that is stored becomes the stored reference the store gives
// that file (picture_refs::StoredReference), so the page finds its copy again after a reload;
// addresses of files that are not stored are left as they are.
namespace page_save {

struct DomFacts {
    QString html;          // the document as the editor writes it out
    QString documentPath;  // the local file the document was loaded from, "" for none
    QString background;    // the body's background attribute
    QStringList images;    // the src attribute of every picture, in document order
    QStringList embeds;    // the src attribute of every embedded medium
    QStringList links;     // the href attribute of every link
};

struct Plan {
    QString html;
    QList<PageFileSource> files;  // each once, in the order the page names them
};

Plan BuildPageSave(const DomFacts& facts);

// The background's file to store ("" for none), with every quoted occurrence of the address in the
// page text rewritten to its stored reference.
QString LocalizePageBackground(const QString& background, QString& html, const QString& documentPath = {});

// The page with a GB18030 declaration, unless it declares a GB character set already: after the
// opening head tag (any letter case), in a head of its own when the page has none.
QString WithCharsetDeclaration(const QString& html);

// The media element inserted before the first closing body tag (any letter case), or at the end of a
// page without one.
QString InsertMediaBeforeBodyEnd(const QString& html, const QString& file);

}  // namespace page_save
