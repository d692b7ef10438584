#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The bytes a call sends as {"base64": text}: the standard alphabet, padded, as the program writes it,
// nullopt for text that is not base64 (QByteArray::fromBase64Encoding with
// AbortOnBase64DecodingErrors decides every text that is not written so). A picture of 12 MB is 16 MB of
// text: decoded four characters at a time, straight from the JSON's string.
std::optional<QByteArray> DecodeBase64(const QString& text);
