#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Code page 936 (GBK, as Windows has it) and GB18030, through Qt's ICU converters.

// The signed 16-bit code page 936 code of one UTF-16 unit: a double-byte character gives
// lead * 256 + trail - 65536, a single byte its value, and a unit the code page cannot represent
// (a lone surrogate among them) gives 63, the code of "?".
int Asc936(QChar c);

// True when the unit's code page 936 code is one byte; an unrepresentable unit counts as "?".
bool IsSingleByte936(QChar c);

QByteArray ToGbk(const QString& text);
QString FromGbk(const QByteArray& bytes);
QByteArray ToGb18030(const QString& text);
QString FromGb18030(const QByteArray& bytes);
