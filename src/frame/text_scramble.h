#pragma once

#include <QString>

// The keyed character shift that conceals stored and exchanged texts, and the derivation of its keys.
// Every UTF-16 unit is shifted on its own; the result always has the length of the text. An empty key
// with a non-empty text is a division by zero (VbError 11).

// Three ranges, shift 0..9 by the key digit: everything kept in the local stores.
QString EncodeText(const QString& text, const QString& key);
QString DecodeText(const QString& text, const QString& key);

// Six ranges, shift 48..66 for a digit key: texts exchanged with the community server.
QString EncodeTextEx(const QString& text, const QString& key);
QString DecodeTextEx(const QString& text, const QString& key);

// 10 to 20 decimal digits built from the code page 936 codes of the seed.
QString DeriveKey(const QString& seed);
