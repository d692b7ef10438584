#include "platform/vbcompat.h"

#include <cmath>
#include <limits>

#include "platform/codepage.h"

namespace {

QString StandardText(int number) {
    switch (number) {
        case 5:
            return QStringLiteral("无效的过程调用或参数");
        case 6:
            return QStringLiteral("溢出");
        case 11:
            return QStringLiteral("除数为零");
        default:
            return QStringLiteral("应用程序定义的错误或对象定义的错误");
    }
}

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Hexadecimal and octal literals are 16-bit when they fit, else 32-bit, signed either way (&HFFFF is -1).
double RadixValue(const QByteArray& digits, int radix) {
    quint64 value = 0;
    for (char c : digits) {
        int d;
        if (IsDigit(c)) {
            d = c - '0';
        } else if (radix == 16 && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            break;
        }
        if (d >= radix) break;
        value = value * radix + quint64(d);
        if (value > 0xFFFFFFFFull) throw VbError(6);
    }
    if (value <= 0xFFFF) return double(qint16(quint16(value)));
    return double(qint32(quint32(value)));
}

}  // namespace

VbError::VbError(int number) : VbError(number, StandardText(number)) {}

VbError::VbError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), number(number) {}

double Val(const QString& text) {
    QByteArray s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (IsBlank(c)) continue;
        // Anything beyond ASCII ends a number anyway.
        s.append(c.unicode() < 128 ? char(c.unicode()) : '\x01');
    }
    if (s.startsWith('&')) {
        const QByteArray rest = s.mid(1).toUpper();
        if (rest.startsWith('H')) return RadixValue(rest.mid(1), 16);
        if (rest.startsWith('O')) return RadixValue(rest.mid(1), 8);
        return RadixValue(rest, 8);
    }
    qsizetype i = 0;
    const qsizetype n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    qsizetype mantissaDigits = 0;
    const auto skipDigits = [&] {
        while (i < n && IsDigit(s[i])) {
            ++i;
            ++mantissaDigits;
        }
    };
    skipDigits();
    if (i < n && s[i] == '.') {
        ++i;
        skipDigits();
    }
    if (mantissaDigits == 0) return 0;
    QByteArray number = s.left(i);
    if (i < n && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
        const qsizetype expStart = j;
        while (j < n && IsDigit(s[j])) ++j;
        if (j > expStart) number += 'e' + s.mid(i + 1, j - i - 1);
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value)) throw VbError(6);
    return value;
}

namespace {

template <typename T>
T RoundChecked(double value) {
    const double r = std::nearbyint(value);  // the default rounding mode is half to even
    if (!(r >= double(std::numeric_limits<T>::min()) && r <= double(std::numeric_limits<T>::max()))) {
        throw VbError(6);
    }
    return T(r);
}

}  // namespace

int CInt(double value) {
    return RoundChecked<qint16>(value);
}

qint32 CLng(double value) {
    return RoundChecked<qint32>(value);
}

quint8 CByte(double value) {
    return RoundChecked<quint8>(value);
}

QString LTrim(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    return text.mid(i);
}

QString RTrim(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ') --n;
    return text.left(n);
}

QString Trim(const QString& text) {
    return LTrim(RTrim(text));
}

QStringList Split(const QString& text, const QString& sep) {
    if (text.isEmpty()) return {};
    if (sep.isEmpty()) return {text};
    return text.split(sep, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString CStr(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

int Asc(const QString& text) {
    if (text.isEmpty()) throw VbError(5);
    return Asc936(text[0]);
}
