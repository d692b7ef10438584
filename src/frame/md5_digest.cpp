#include "frame/md5_digest.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/codepage.h"

namespace {

constexpr quint32 kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr qint32 kMaxBytes = std::numeric_limits<qint32>::max() / 8;  // bits must fit in 32 signed bits

quint32 Rotl(quint32 x, int n) {
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

}  // namespace

ClsMD5_1::ClsMD5_1() {
    MD5Init();
}

QString ClsMD5_1::RegisterA() const {
    return QString::number(qint32(state_[0]));
}

QString ClsMD5_1::RegisterB() const {
    return QString::number(qint32(state_[1]));
}

QString ClsMD5_1::RegisterC() const {
    return QString::number(qint32(state_[2]));
}

QString ClsMD5_1::RegisterD() const {
    return QString::number(qint32(state_[3]));
}

QString ClsMD5_1::DigestFileToHexStr(const QString& path) {
    MD5Init();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failed_ = true;
        return QString();
    }
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0) failed_ = true;
        if (got <= 0 || failed_) break;
        // A file too long for the 32-bit bit count would only fail at the end; stop reading now.
        if (got > qint64(kMaxBytes) - counter_) {
            failed_ = true;
            break;
        }
        MD5Update(qint32(got), reinterpret_cast<const uchar*>(chunk.constData()));
    }
    if (failed_) return QString();
    MD5Final();
    return failed_ ? QString() : GetValues();
}

QString ClsMD5_1::DigestStrToHexStr(const QString& text) {
    MD5Init();
    if (text.size() > kMaxBytes) {
        failed_ = true;
        return QString();
    }
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int code = Asc936(text[i]);
        if (code < 0) {  // a double-byte character has no one-byte code
            failed_ = true;
            return QString();
        }
        bytes[i] = char(code);
    }
    MD5Update(qint32(bytes.size()), bytes);
    MD5Final();
    return failed_ ? QString() : GetValues();
}

QString ClsMD5_1::GetValues() const {
    static const char kHex[] = "0123456789ABCDEF";
    QString hex(32, Qt::Uninitialized);
    QChar* out = hex.data();
    for (quint32 word : state_) {
        for (int byte = 0; byte < 4; ++byte) {
            const uint v = (word >> (8 * byte)) & 0xFF;
            *out++ = QLatin1Char(kHex[v >> 4]);
            *out++ = QLatin1Char(kHex[v & 0xF]);
        }
    }
    return hex;
}

void ClsMD5_1::MD5Init() {
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    std::memset(buffer_, 0, sizeof buffer_);
    counter_ = 0;
    failed_ = false;
}

void ClsMD5_1::MD5Final() {
    if (failed_ || counter_ < 0 || counter_ > kMaxBytes) {
        failed_ = true;
        return;
    }
    const qint32 bits = counter_ * 8;
    const qint32 b = counter_ % 64;
    uchar padding[64] = {0x80};
    // Beyond 56 the count goes negative once the first block is passed: nothing is padded, the counter
    // drops back to 56 mod 64, and the length bytes below overwrite the end of the waiting block.
    MD5Update(b <= 56 ? 56 - b : 120 - counter_, padding);
    const uchar length[8] = {uchar(bits), uchar(bits >> 8), uchar(bits >> 16), uchar(bits >> 24), 0, 0, 0, 0};
    MD5Update(8, length);
}

void ClsMD5_1::MD5Update(qint32 len, const QByteArray& bytes) {
    if (len > bytes.size()) {  // more than the array holds
        failed_ = true;
        return;
    }
    MD5Update(len, reinterpret_cast<const uchar*>(bytes.constData()));
}

void ClsMD5_1::MD5Update(qint32 len, const uchar* bytes) {
    if (failed_) return;
    const qint64 total = qint64(counter_) + len;
    if (total > std::numeric_limits<qint32>::max() || total < std::numeric_limits<qint32>::min() ||
        (len > 0 && counter_ < 0)) {
        failed_ = true;
        return;
    }
    int b = counter_ % 64;
    counter_ = qint32(total);
    qint32 done = 0;
    while (done < len) {
        const int take = std::min(64 - b, len - done);
        std::memcpy(buffer_ + b, bytes + done, size_t(take));
        done += take;
        b += take;
        if (b == 64) {
            Transform();
            b = 0;
        }
    }
}

qint32 ClsMD5_1::LongLeftRotate(qint32 value, int bits) const {
    return qint32(Rotl(quint32(value), ((bits % 32) + 32) % 32));
}

void ClsMD5_1::Transform() {
    quint32 x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = quint32(buffer_[4 * i]) | quint32(buffer_[4 * i + 1]) << 8 |
               quint32(buffer_[4 * i + 2]) << 16 | quint32(buffer_[4 * i + 3]) << 24;
    }
    quint32 a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        quint32 f;
        int g;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                g = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                g = (5 * i + 1) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
                break;
        }
        const quint32 next = b + Rotl(a + f + kSine[i] + x[g], kShift[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}
