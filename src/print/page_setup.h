#pragma once

#include <QRectF>
#include <QString>

class QPageLayout;
class QPainter;

// The page set-up of printed pages: a header and a footer in the old page codes ("&b" separates the
// left, centre and right parts, "&p" is the page number, "&P" the page count). They are kept in our own
// settings scope, under "header" and "footer".
namespace page_setup {

QString Value(const QString& name);
// Stores the value exactly (an empty value stays empty). False when it could not be written.
bool Store(const QString& name, const QString& value);

// The page-number text "第 &p/&P 页" in the interface language.
QString PageText();
// The footer for the page-number settings: "" without page numbers; the page text for 靠左 (and any
// unknown alignment), "&b" + text for 靠右, "&b" + text + "&b" for 居中. Alignment words are compared
// in the interface language.
QString FooterFor(bool pageNumbers, const QString& alignment);
// The alignment a stored footer shows (in the interface language): 靠左 unless it begins with "&b";
// then 靠右, or 居中 when it also ends with "&b".
QString AlignmentOf(const QString& footer);

// One header or footer line of a page, its codes filled in.
struct Line {
    QString left;
    QString centre;
    QString right;
};
Line Expand(const QString& codes, int page, int pageCount);

// Draws the header and footer of one page, each in the middle of its margin of `layout`, on `paper`
// (the whole sheet in the painter's coordinates).
void DrawHeaderFooter(QPainter& painter, const QRectF& paper, const QPageLayout& layout,
                      const QString& header, const QString& footer, int page, int pageCount);

}  // namespace page_setup
