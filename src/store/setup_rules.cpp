#include "store/setup_rules.h"

#include <QStringList>
#include <cmath>
#include <limits>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

// A number too large to read counts as no number at all, as everywhere else in the windows.
double NumberOf(const QString& text) {
    try {
        return Val(text);
    } catch (const VbError&) {
        return 0;
    }
}

// Rounded half to even into [low, high], without the overflow the old conversions raised.
qint32 Bounded(double value, qint32 low, qint32 high) {
    if (!(value >= low)) return low;  // also NaN
    if (value >= high) return high;
    return qint32(std::nearbyint(value));
}

QString JoinFields(const std::array<QString, SettingsRecord::kLastField + 1>& fields, int first, int last) {
    QStringList parts;
    for (int i = first; i <= last; ++i) parts << SettingsFieldText(fields[i]);
    return parts.join(QLatin1Char('%'));
}

}  // namespace

SettingsRecord SettingsRecord::Load() {
    Cls数据操作 ops;
    const QStringList parts = (ops.ChgPswd2() + QStringLiteral("%%%%%%%")).split(QLatin1Char('%'));
    SettingsRecord record;
    for (int i = kFirstField; i <= kLastField; ++i) record.fields_[i] = parts.value(i);
    return record;
}

void SettingsRecord::Save() const {
    const QString key = SettingsKey();
    Cls数据操作 ops;
    ops.SavePswd2(EncodeText(Row0List(), key), EncodeText(Row1List(), key));
}

QString SettingsRecord::field(int position) const {
    if (position < kFirstField || position > kLastField) return QString();
    return fields_[position];
}

void SettingsRecord::setField(int position, const QString& value) {
    if (position < kFirstField || position > kLastField) return;
    fields_[position] = value;
}

QString SettingsRecord::Row0List() const {
    return JoinFields(fields_, 1, kMembersPerPageField);
}

QString SettingsRecord::Row1List() const {
    return JoinFields(fields_, kMembersPerPageField + 1, kLastField);
}

QString SettingsFieldText(const QString& text) {
    QString cleaned = text;
    cleaned.remove(QLatin1Char('%'));
    return cleaned;
}

qint32 MembersPerPage(const QString& text) {
    constexpr qint32 kFewest = 5;
    return Bounded(NumberOf(text), kFewest, std::numeric_limits<qint32>::max());
}

qint32 SurnameChars(const QString& text) {
    return Bounded(NumberOf(text), 1, std::numeric_limits<qint16>::max());
}
