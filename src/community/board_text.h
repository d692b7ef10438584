#pragma once

#include <QString>

class QTextDocument;

// The texts of the service-desk message board: what may be shown of a received body, what is sent of
// the editor's document, the chat log's entries and its file.

// Keeps only harmless markup of a received body: b, i, u, em, strong, br, p, font (color, size, face),
// span and div without attributes, img with an http(s) or data source. Scripts, styles, frames, objects
// and forms go with their content; every other tag goes and leaves its text; entities stay.
QString SanitizeBoardHtml(const QString& html);

// The editor's document as a message: paragraphs joined by "<BR>", bold, italic and underlined runs in
// B/I/U, images as IMG, text escaped. "" when the document holds neither text nor an image.
QString BoardMessageHtml(const QTextDocument& document);

// A log entry: the sender's name (escaped), the time part of the stamp (what follows its first blank;
// the whole stamp when it has none) and the body.
QString BoardLogEntry(const QString& sender, const QString& stamp, const QString& body);

// The chat log's file: one per pair of numbers in the book folder, "x" + partner + own + ".htm", with
// every character but 0-9, A-Z, a-z and "-" left out of the numbers.
QString BoardLogPath(const QString& partnerNo, const QString& ownNo);
// The whole log page around its entries (no script: the view scrolls to the end itself).
QString BoardLogPage(const QString& entries);
