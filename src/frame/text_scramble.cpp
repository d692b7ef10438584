#include "frame/text_scramble.h"

#include <QVarLengthArray>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/vbcompat.h"

namespace {

// The two filler runs that lengthen short seeds. Every book, package and settings record depends on
// them: they must never change.
constexpr qint64 kFirstFiller = 58203917462851LL;  // 14 digits
constexpr qint64 kSecondFiller = 9071364285317LL;  // 13 digits
constexpr int kMaxKeyDigits = 20;

struct Range {
    int low;
    int high;
};

// The plain ranges in unsigned form: U+8000..U+9FA5, "!".."~", U+5208..U+7D00.
constexpr Range kPlainRanges[] = {{0x8000, 0x9FA5}, {33, 126}, {21000, 32000}};
constexpr Range kExRanges[] = {{33, 126},      {300, 12300},   {12800, 20000},
                               {20500, 32000}, {32500, 40500}, {41000, 65500}};

int DigitValue(QChar c) {
    return (c >= u'0' && c <= u'9') ? c.unicode() - u'0' : 0;
}

// With digit keys the shift is below every range's size and wraps at most once. A reduction modulo the
// size gives the same result there and keeps any other key inside the range, so that such text still
// decodes instead of leaving its range for good.
template <size_t N>
ushort Shift(ushort c, int k, const Range (&ranges)[N]) {
    for (const Range& r : ranges) {
        if (c < r.low || c > r.high) continue;
        const int size = r.high - r.low + 1;
        int offset = (c - r.low + k) % size;
        if (offset < 0) offset += size;
        return ushort(r.low + offset);
    }
    return c;
}

enum class Variant { Plain, Ex };

QString Scramble(const QString& text, const QString& key, Variant variant, bool encode) {
    if (text.isEmpty()) return QString();
    if (key.isEmpty()) throw VbError(11);

    const qsizetype n = key.size();
    QVarLengthArray<int, 64> shifts(n);  // keys are a few dozen digits: no list on the heap per text
    for (qsizetype p = 0; p < n; ++p) {
        const QChar c = key[p];
        const int k = variant == Variant::Plain ? DigitValue(c) : qint16(c.unicode()) + DigitValue(c);
        shifts[p] = encode ? k : -k;
    }

    QString result(text.size(), Qt::Uninitialized);
    QChar* out = result.data();
    const QChar* in = text.constData();
    qsizetype keyPos = n > 1 ? 1 : 0;  // the first text unit takes the second key character
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int k = shifts[keyPos];
        const ushort c = in[i].unicode();
        out[i] = QChar(variant == Variant::Plain ? Shift(c, k, kPlainRanges) : Shift(c, k, kExRanges));
        if (++keyPos == n) keyPos = 0;
    }
    return result;
}

void AppendNumber(std::string& digits, qint64 value) {
    digits += std::to_string(value);
}

}  // namespace

QString EncodeText(const QString& text, const QString& key) {
    return Scramble(text, key, Variant::Plain, true);
}

QString DecodeText(const QString& text, const QString& key) {
    return Scramble(text, key, Variant::Plain, false);
}

QString EncodeTextEx(const QString& text, const QString& key) {
    return Scramble(text, key, Variant::Ex, true);
}

QString DecodeTextEx(const QString& text, const QString& key) {
    return Scramble(text, key, Variant::Ex, false);
}

QString DeriveKey(const QString& seed) {
    qsizetype n = seed.size();
    while (n > 0 && seed[n - 1] == u' ') --n;

    std::string s;
    s.reserve(size_t(n) * 5 + 27);
    char buffer[8];
    for (qsizetype i = 0; i < n; ++i) {
        int code = std::abs(Asc936(seed[i]));
        int len = 0;
        do {
            buffer[len++] = char('0' + code % 10);
            code /= 10;
        } while (code > 0);
        while (len > 0) s += buffer[--len];
    }
    if (s.size() < kMaxKeyDigits) AppendNumber(s, kFirstFiller);
    if (s.size() < kMaxKeyDigits) AppendNumber(s, kSecondFiller);

    // Fold the halves onto each other, adding from the right; the new string holds the rightmost sum
    // first and the last carry is dropped.
    while (s.size() > kMaxKeyDigits) {
        const size_t h = s.size() / 2;
        std::string folded;
        folded.reserve(h);
        int carry = 0;
        for (size_t j = h; j >= 1; --j) {
            const int t = (s[h + j - 1] - '0') + (s[j - 1] - '0') + carry;
            folded += char('0' + t % 10);
            carry = t / 10;
        }
        s.swap(folded);
    }
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}
