#include "platform/dao/dao_types.h"

#include <cstdint>
#include <cstring>

namespace dao {

namespace {

// The engine's UTF-8 of units that hold no byte-order mark at their start; `to` has room for three
// bytes a unit. Returns the end of what was written.
char* EncodeUnits(const char16_t* in, const char16_t* const end, char* to) {
    while (in < end) {
        // Runs of ASCII (the blanks of a chart line) four units at a time.
        while (end - in >= 4) {
            std::uint64_t four;
            std::memcpy(&four, in, sizeof four);
            if (four & 0xFF80FF80FF80FF80u) break;
            for (int i = 0; i < 4; ++i) to[i] = char(in[i]);
            in += 4;
            to += 4;
        }
        if (in == end) break;
        char32_t c = *in++;
        if (c < 0x80) {
            *to++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xE000 && in < end) {
            const char32_t c2 = *in++;
            c = (c2 & 0x03FF) + ((c & 0x003F) << 10) + (((c & 0x03C0) + 0x0040) << 10);
        }
        if (c < 0x800) {
            *to++ = char(0xC0 | (c >> 6));
            *to++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *to++ = char(0xE0 | (c >> 12));
            *to++ = char(0x80 | ((c >> 6) & 0x3F));
            *to++ = char(0x80 | (c & 0x3F));
        } else {
            *to++ = char(0xF0 | (c >> 18));
            *to++ = char(0x80 | ((c >> 12) & 0x3F));
            *to++ = char(0x80 | ((c >> 6) & 0x3F));
            *to++ = char(0x80 | (c & 0x3F));
        }
    }
    return to;
}

}  // namespace

void AppendEngineUtf8(std::string& out, QStringView text) {
    const char16_t* in = text.utf16();
    const char16_t* end = in + text.size();
    std::u16string swapped;
    if (in < end && *in == 0xFEFF) {
        ++in;
    } else if (in < end && *in == 0xFFFE) {
        swapped.assign(in + 1, end);
        for (char16_t& unit : swapped) unit = char16_t((unit >> 8) | (unit << 8));
        in = swapped.data();
        end = in + swapped.size();
    }
    const size_t start = out.size();
    out.resize(start + 3 * size_t(end - in));
    out.resize(size_t(EncodeUnits(in, end, out.data() + start) - out.data()));
}

}  // namespace dao
