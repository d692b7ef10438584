#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "print/pdf_book.h"

class QPrinter;
class QWebEnginePage;
class QWebEngineView;
class QWidget;

// Printing a page on display, or the printed book. The engine's own printing has no header or footer,
// so the page is printed to PDF in the printer's page layout (the book in parts, side by side), and
// the stored header and footer (their "&b", "&p", "&P" codes filled in) are added, numbered through all
// parts: a PDF file and the preview get the engine's own pages, their text kept as text, with the
// header and footer laid over them as text; a printer gets the pages painted one at a time.

// The page as PDF; nothing when the engine did not answer within timeoutMs.
std::optional<QByteArray> PrintPageToPdf(QWebEnginePage* page, const QPageLayout& layout, int timeoutMs);

// The layout the PDF is made in: the printer's paper and orientation, with room for a header and a
// footer line.
QPageLayout PdfLayoutFor(const QPrinter& printer);

// The pages the printer is set to print, first and last counted from 1: all, or its page range.
std::pair<int, int> ChosenPages(const QPrinter& printer, int pageCount);

// Paints the chosen pages onto the printer (set to full-page) as pictures, the header and footer codes
// filled in with the page number and count. False when a part could not be read or `report` stopped it.
bool PaintPdfPages(const std::vector<pdf_book::Part>& parts, QPrinter* printer, const QString& header,
                   const QString& footer, const pdf_book::PageReport& report = {});

// Writes the printer's PDF file from the chosen pages: the engine's pages with the header and footer
// laid over them as text. False, with the reason in `error` ("" when stopped), when it was not written.
bool WritePdfFile(const std::vector<pdf_book::Part>& parts, const QPrinter& printer, const QString& header,
                  const QString& footer, const pdf_book::PageReport& report, QString* error);

// What is to be printed, made as PDF in the given layout: its parts, or nothing when that was cancelled
// or failed (the source has told the user).
using PdfSource = std::function<std::optional<std::vector<pdf_book::Part>>(const QPageLayout&)>;

// The print preview (PdfPrintPreview) of what the source makes, with the stored header and footer. Long
// work shows its progress and can be cancelled; the preview then does not open.
void ShowPdfPrintPreview(QWidget* parent, const PdfSource& source);
// The preview of the page on display. Nothing happens without an engine (a null view).
void ShowPagePrintPreview(QWebEngineView* view);
// The preview of the book from its parts (clsPrintZp::BookParts), printed side by side. Nothing happens
// without the engine.
void ShowBookPrintPreview(QWidget* parent, const QStringList& parts);
