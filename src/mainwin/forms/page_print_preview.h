#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <optional>

class QPrinter;
class QWebEnginePage;
class QWebEngineView;

// Printing a page on display. The engine's own printing has no header or footer, so the page is
// printed to PDF in the printer's page layout and each PDF page is painted onto the printer, one at a
// time, with the stored header and footer (their "&b", "&p", "&P" codes filled in).

// The page as PDF; nothing when the engine did not answer within timeoutMs.
std::optional<QByteArray> PrintPageToPdf(QWebEnginePage* page, const QPageLayout& layout, int timeoutMs);

// The layout the PDF is made in: the printer's paper and orientation, with room for a header and a
// footer line.
QPageLayout PdfLayoutFor(const QPrinter& printer);

// Paints every page of the PDF onto the printer (set to full-page), the header and footer codes filled
// in with the page number and count. False when the PDF could not be read.
bool PaintPdfPages(const QByteArray& pdf, QPrinter* printer, const QString& header, const QString& footer);

// The print preview of the page on display, with the stored header and footer. Nothing happens without
// an engine (a null view); a PDF that does not come in time is reported.
void ShowPagePrintPreview(QWebEngineView* view);
