#include "platform/codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <array>

namespace {

using CodeTable = std::array<qint16, 65536>;

// Key derivation and the digest ask for one unit's code in tight loops, so every unit is encoded once,
// on first use (a few milliseconds), and looked up afterwards.
CodeTable BuildCodeTable() {
    CodeTable table{};
    QStringEncoder encoder("GBK");
    for (int u = 0; u < 65536; ++u) {
        const char16_t unit = char16_t(u);
        // A high surrogate would otherwise stay pending and join the next unit.
        encoder.resetState();
        const QByteArray bytes = encoder.encode(QStringView(&unit, 1));
        if (bytes.size() == 1) {
            table[u] = qint16(uchar(bytes[0]));
        } else if (bytes.size() == 2) {
            table[u] = qint16(uchar(bytes[0]) * 256 + uchar(bytes[1]) - 65536);
        } else {
            table[u] = 63;  // lone surrogates, and units ICU drops silently (U+200B, U+FEFF, ...)
        }
    }
    return table;
}

const CodeTable& Codes() {
    static const CodeTable table = BuildCodeTable();
    return table;
}

QByteArray Encode(const char* name, const QString& text) {
    QStringEncoder encoder(name);
    return encoder.encode(text);
}

QString Decode(const char* name, const QByteArray& bytes) {
    QStringDecoder decoder(name);
    return decoder.decode(bytes);
}

}  // namespace

int Asc936(QChar c) {
    return Codes()[c.unicode()];
}

bool IsSingleByte936(QChar c) {
    return Asc936(c) >= 0;
}

QByteArray ToGbk(const QString& text) {
    return Encode("GBK", text);
}

QString FromGbk(const QByteArray& bytes) {
    return Decode("GBK", bytes);
}

QByteArray ToGb18030(const QString& text) {
    return Encode("GB18030", text);
}

QString FromGb18030(const QByteArray& bytes) {
    return Decode("GB18030", bytes);
}
