#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <functional>
#include <vector>

// A printed document as the engine made it, in one or more PDF parts, and the PDF file written from
// them: the engine's own pages (their text stays text) with the header and footer laid over them as
// text.
namespace pdf_book {

// One PDF of the engine; its pages from `firstPage` (counted from 0) on belong to the document.
struct Part {
    QByteArray pdf;
    int firstPage = 0;
};

// The pages of one PDF; -1 when it cannot be read.
int PageCount(const QByteArray& pdf);
// The pages of the document over all its parts; -1 when a part cannot be read.
int PageCount(const std::vector<Part>& parts);

// A PDF of pages first..last (counted from 1) of a document of `pageCount` pages, each as large as
// the layout's paper, that hold only the header and the footer (see page_setup::DrawHeaderFooter).
QByteArray HeaderFooterPages(const QPageLayout& layout, const QString& header, const QString& footer,
                             int first, int last, int pageCount);

// Told after each page written (page, of how many); false stops the writing.
using PageReport = std::function<bool(int page, int pages)>;

// Writes pages first..last (counted from 1) of the document to `path` (whole or not at all), with the
// page of `overlay` of the same position laid over each (no overlay when it is empty), every font's
// text read as printed and a subset named as one. False when stopped or failed; `error` then says why
// ("" when stopped).
bool WriteDocument(const std::vector<Part>& parts, int first, int last, const QByteArray& overlay,
                   const QString& path, const PageReport& report, QString* error);

}  // namespace pdf_book
