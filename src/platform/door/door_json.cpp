#include "platform/door/door_json.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <array>
#include <cstring>

namespace door_json {

namespace {

char HexDigit(unsigned v) {
    return char(v < 10 ? '0' + v : 'a' + v - 10);
}

// \uXXXX in lower-case hex, as QJsonDocument writes a control character or a lone surrogate.
char* Escaped(char* out, char16_t u) {
    *out++ = '\\';
    *out++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4) *out++ = HexDigit((u >> shift) & 0xf);
    return out;
}

// The letter of a two-character escape, 0 for a character that has none.
char ShortEscape(char16_t u) {
    switch (u) {
        case u'"':
            return '"';
        case u'\\':
            return '\\';
        case u'\b':
            return 'b';
        case u'\f':
            return 'f';
        case u'\n':
            return 'n';
        case u'\r':
            return 'r';
        case u'\t':
            return 't';
        default:
            return 0;
    }
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12 bits: half the look-ups and stores of one character at a time.
const std::array<std::array<char, 2>, 4096>& Base64Pairs() {
    static const auto pairs = [] {
        std::array<std::array<char, 2>, 4096> p{};
        for (unsigned v = 0; v < 4096; ++v) p[v] = {kBase64[v >> 6], kBase64[v & 63]};
        return p;
    }();
    return pairs;
}

// Straight into the body: the bytes of a picture are most of what a batch carries.
void AppendBase64(QByteArray& json, const QByteArray& bytes) {
    const auto& pairs = Base64Pairs();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    const qsizetype start = json.size();
    json.resize(start + (n + 2) / 3 * 4);
    char* out = json.data() + start;
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3, out += 4) {
        const unsigned v = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
        std::memcpy(out, pairs[v >> 12].data(), 2);
        std::memcpy(out + 2, pairs[v & 0xfff].data(), 2);
    }
    if (i < n) {
        const unsigned v = unsigned(in[i]) << 16 | (i + 1 < n ? unsigned(in[i + 1]) << 8 : 0u);
        out[0] = kBase64[v >> 18];
        out[1] = kBase64[(v >> 12) & 63];
        out[2] = i + 1 < n ? kBase64[(v >> 6) & 63] : '=';
        out[3] = '=';
    }
}

}  // namespace

void AppendString(QByteArray& json, QStringView text) {
    const qsizetype start = json.size();
    // At most six bytes a code unit (an escape); a character of UTF-8 takes at most three a unit.
    json.resize(start + 2 + 6 * text.size());
    char* out = json.data() + start;
    *out++ = '"';
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p != end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            if (u >= 0x20 && u != u'"' && u != u'\\') {
                *out++ = char(u);
                continue;
            }
            if (const char letter = ShortEscape(u)) {
                *out++ = '\\';
                *out++ = letter;
            } else {
                out = Escaped(out, u);
            }
        } else if (u < 0x800) {
            *out++ = char(0xc0 | (u >> 6));
            *out++ = char(0x80 | (u & 0x3f));
        } else if (!QChar::isSurrogate(u)) {
            *out++ = char(0xe0 | (u >> 12));
            *out++ = char(0x80 | ((u >> 6) & 0x3f));
            *out++ = char(0x80 | (u & 0x3f));
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            const char32_t c = QChar::surrogateToUcs4(u, *p++);
            *out++ = char(0xf0 | (c >> 18));
            *out++ = char(0x80 | ((c >> 12) & 0x3f));
            *out++ = char(0x80 | ((c >> 6) & 0x3f));
            *out++ = char(0x80 | (c & 0x3f));
        } else {
            out = Escaped(out, u);
        }
    }
    *out++ = '"';
    json.resize(out - json.constData());
}

void AppendValue(QByteArray& json, const QVariant& value, const QString& kind) {
    if (value.isNull()) {
        json += "null";
        return;
    }
    if (kind == QLatin1String("bytes")) {
        json += "{\"base64\":\"";
        AppendBase64(json,
                     value.typeId() == QMetaType::QString ? value.toString().toUtf8() : value.toByteArray());
        json += "\"}";
        return;
    }
    // Yes/No fields may hold the old True (-1) as well as 1.
    if (kind == QLatin1String("bool") || value.typeId() == QMetaType::Bool) {
        json += value.toBool() ? "\"true\"" : "\"false\"";
        return;
    }
    switch (value.typeId()) {
        case QMetaType::QDateTime:
            return AppendString(json, value.toDateTime().toString(Qt::ISODateWithMs));
        case QMetaType::QDate:
            return AppendString(json, value.toDate().toString(Qt::ISODate));
        case QMetaType::QTime:
            return AppendString(json, value.toTime().toString(Qt::ISODateWithMs));
        case QMetaType::QByteArray:
            return AppendString(json, QString::fromUtf8(value.toByteArray()));
        default:
            return AppendString(json, value.toString());
    }
}

QByteArray Call(const QString& procedure, const QString& key, const std::map<QString, CallValue>& values) {
    QByteArray json;
    json += "{\"key\":";
    AppendString(json, key);
    json += ",\"procedure\":";
    AppendString(json, procedure);
    json += ",\"values\":{";
    bool first = true;
    for (const auto& [name, v] : values) {
        if (!first) json += ',';
        first = false;
        AppendString(json, name);
        json += ':';
        if (v.from >= 0) {
            json += "{\"from\":";
            json += QByteArray::number(v.from);
            json += ",\"out\":";
            AppendString(json, v.out);
            json += '}';
        } else if (v.value) {
            AppendValue(json, *v.value, v.kind);
        } else {
            json += "null";
        }
    }
    json += "}}";
    return json;
}

}  // namespace door_json
