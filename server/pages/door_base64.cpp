#include "pages/door_base64.h"

#include <array>
#include <cstdint>

namespace {

// Each character's six bits already in their place in a group of four (shift 18, 12, 6 or 0); a
// character outside the standard alphabet sets the top bit instead.
constexpr uint32_t kBad = 0x80000000u;
using Table = std::array<uint32_t, 256>;

constexpr Table Sextets(int shift) {
    Table table{};
    for (uint32_t& t : table) t = kBad;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (uint32_t i = 0; i < 64; ++i) table[uint8_t(alphabet[i])] = i << shift;
    return table;
}

constexpr Table kFirst = Sextets(18), kSecond = Sextets(12), kThird = Sextets(6), kFourth = Sextets(0);

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
    // A character outside the alphabet leaves the top bit in groups, one beyond Latin-1 a high bit in
    // characters; such a text goes to Qt.
    uint32_t groups = 0, characters = 0;
    const qsizetype whole = padding ? length - 4 : length;
    for (qsizetype i = 0; i < whole; i += 4) {
        const char16_t a = in[i], b = in[i + 1], c = in[i + 2], d = in[i + 3];
        const uint32_t group =
            kFirst[uint8_t(a)] | kSecond[uint8_t(b)] | kThird[uint8_t(c)] | kFourth[uint8_t(d)];
        groups |= group;
        characters |= a | b | c | d;
        *out++ = char(group >> 16);
        *out++ = char(group >> 8);
        *out++ = char(group);
    }
    if (padding) {
        const char16_t a = in[length - 4], b = in[length - 3], c = padding == 1 ? in[length - 2] : u'A';
        const uint32_t group = kFirst[uint8_t(a)] | kSecond[uint8_t(b)] | kThird[uint8_t(c)];
        groups |= group;
        characters |= a | b | c;
        *out++ = char(group >> 16);
        if (padding == 1) *out++ = char(group >> 8);
    }
    if ((groups & kBad) || characters > 0xff) return DecodedByQt(text);
    return bytes;
}
