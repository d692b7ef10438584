#pragma once

#include <QByteArray>
#include <QString>

// Whole files written for pages: replaced at once or not at all (VbError 75 when they cannot be).

// The bytes as the file's whole content; missing folders are made.
void WriteWholeFile(const QString& path, const QByteArray& bytes);

// A page in GB18030 with CR LF line ends. A page edited in the browser may declare another character
// set, which would then be wrong: every declaration gives way to ours.
void WriteHtmlFile(const QString& path, QString text);
