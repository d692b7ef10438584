#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// What the program's rules rely on from the old language runtime: its number parsing, rounding
// conversions, space trimming and splitting, each with the old run-time error numbers.

// A run-time error of the old language, numbered as there (5 invalid argument, 6 overflow,
// 11 division by zero), so that callers and messages can keep those numbers.
struct VbError : std::runtime_error {
    explicit VbError(int number);
    VbError(int number, const QString& description);
    QString Description() const { return QString::fromUtf8(what()); }
    int number;
};

// The leading number of the text; blanks, tabs and line feeds are skipped anywhere in it, "." is the
// decimal point whatever the locale, "&H"/"&O" introduce hexadecimal/octal integers, and text without a
// leading number gives 0. A number beyond the double range is an overflow (6).
double Val(const QString& text);

// Rounding half to even; a result outside the type's range is an overflow (6).
int CInt(double value);
qint32 CLng(double value);
quint8 CByte(double value);

// Only the space character is trimmed, never tabs or line breaks.
QString Trim(const QString& text);
QString LTrim(const QString& text);
QString RTrim(const QString& text);

// Empty text gives no parts at all; an empty separator gives the whole text as the one part.
QStringList Split(const QString& text, const QString& sep);

QString CStr(bool value);

// Signed code page 936 code of the first character; empty text is an invalid argument (5).
int Asc(const QString& text);
