#include "pages/door_base64.h"

#include <array>
#include <cstdint>

namespace {

// Each character's six bits, -1 for one outside the standard alphabet.
constexpr std::array<int8_t, 256> Sextets() {
    std::array<int8_t, 256> table{};
    for (int8_t& t : table) t = -1;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) table[uint8_t(alphabet[i])] = int8_t(i);
    return table;
}

constexpr std::array<int8_t, 256> kSextets = Sextets();

std::optional<QByteArray> DecodedByQt(const QString& text) {
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return std::move(*decoded);
}

}  // namespace

std::optional<QByteArray> DecodeBase64(const QString& text) {
    const qsizetype length = text.size();
    if (length == 0 || length % 4 != 0) return DecodedByQt(text);
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    const int padding = in[length - 1] != u'=' ? 0 : in[length - 2] != u'=' ? 1 : 2;
    QByteArray bytes(length / 4 * 3 - padding, Qt::Uninitialized);
    char* out = bytes.data();
    // Any character outside the alphabet (or beyond Latin-1) sets a bit here; such a text goes to Qt.
    int bad = 0;
    const auto sextet = [&bad](char16_t c) {
        bad |= c >> 8;
        const int value = kSextets[uint8_t(c)];
        bad |= value & 0x100;  // -1 has every bit set
        return value & 63;
    };
    const qsizetype whole = padding ? length - 4 : length;
    for (qsizetype i = 0; i < whole; i += 4) {
        const uint32_t group = uint32_t(sextet(in[i])) << 18 | uint32_t(sextet(in[i + 1])) << 12 |
                               uint32_t(sextet(in[i + 2])) << 6 | uint32_t(sextet(in[i + 3]));
        *out++ = char(group >> 16);
        *out++ = char(group >> 8);
        *out++ = char(group);
    }
    if (padding) {
        const qsizetype i = length - 4;
        uint32_t group = uint32_t(sextet(in[i])) << 18 | uint32_t(sextet(in[i + 1])) << 12;
        if (padding == 1) group |= uint32_t(sextet(in[i + 2])) << 6;
        *out++ = char(group >> 16);
        if (padding == 1) *out++ = char(group >> 8);
    }
    if (bad) return DecodedByQt(text);
    return bytes;
}
