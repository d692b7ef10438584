#include "store/style_names.h"

#include <QStringList>
#include <algorithm>

StyleNames ParseStyleNames(const QString& field) {
    const QStringList parts = (field + QStringLiteral("%%%%%")).split(QLatin1Char('%'));
    StyleNames names{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
    if (names.title.isEmpty())
        names.title = QStringLiteral("世祖");
    else if (!names.title.startsWith(u'世'))
        names.title.prepend(u'世');
    return names;
}

QString HeadingName(const StyleNames& names, const QString& name, qsizetype surnameLength) {
    // The surname cannot be longer than the name, nor shorter than nothing.
    const qsizetype surname = std::clamp<qsizetype>(surnameLength, 0, name.size());
    if (names.code == QLatin1String("1"))
        return name.left(surname) + QStringLiteral("公") + name.mid(surname);
    if (names.code == QLatin1String("2")) return name.mid(surname) + QStringLiteral("公");
    if (names.code == QLatin1String("3")) return name + QStringLiteral("公");
    if (names.code == QLatin1String("4"))
        return QStringLiteral("世祖庙讳 ") + (names.wei.isEmpty() ? name : names.wei);
    return name;
}
