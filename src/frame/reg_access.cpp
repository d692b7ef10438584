#include "frame/reg_access.h"

#include <QSettings>
#include <QStringList>
#include <QUrl>

namespace {

const QString kOrganisation = QStringLiteral("QentaraZp");
const QString kApplication = QStringLiteral("QentaraZpRegistry");

bool IsRoot(qint32 root) {
    const quint32 r = static_cast<quint32>(root);
    return r >= ClsRegAccess::kClassesRoot && r <= ClsRegAccess::kCurrentConfig && r != 0x80000004u;
}

// Every part is escaped so that "/", "\" and "%" in names cannot reach the settings' own separators.
QString Escape(const QString& part) {
    return QString::fromLatin1(QUrl::toPercentEncoding(part.toLower()));
}

// The settings path of one value; "" when the root does not exist.
QString ValuePath(qint32 root, const QString& subkey, const QString& name) {
    if (!IsRoot(root)) return {};
    QStringList parts{QString::number(static_cast<quint32>(root), 16)};
    for (const QString& part : subkey.split(u'\\', Qt::SkipEmptyParts)) parts << Escape(part);
    // A constant prefix keeps the unnamed (default) value a valid key.
    parts << QStringLiteral("v") + Escape(name);
    return parts.join(u'/');
}

}  // namespace

bool ClsRegAccess::WriteValue(qint32 root, const QString& subkey, const QString& name, ValueType type,
                              const QVariant& data) {
    const QString path = ValuePath(root, subkey, name);
    if (path.isEmpty()) return false;
    QVariant stored;
    switch (type) {
        case kRegSz:
        case kRegExpandSz:
            stored = data.toString();
            break;
        case kRegDword:
            stored = static_cast<quint32>(data.toLongLong());
            break;
        case kRegBinary:
            stored = data.toByteArray();
            break;
        default:
            return false;
    }
    QSettings settings(kOrganisation, kApplication);
    settings.setValue(path + QStringLiteral("/type"), static_cast<int>(type));
    settings.setValue(path + QStringLiteral("/data"), stored);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool ClsRegAccess::UpdateKey(qint32 root, const QString& subkey, const QString& name, QString& value) {
    if (!IsRoot(root)) return false;
    if (value.isEmpty()) value = QStringLiteral(" ");
    return WriteValue(root, subkey, name, kRegSz, value);
}

QString ClsRegAccess::GetKeyValue(qint32 root, const QString& subkey, const QString& name) {
    const QString path = ValuePath(root, subkey, name);
    if (path.isEmpty()) return {};
    QSettings settings(kOrganisation, kApplication);
    const QVariant type = settings.value(path + QStringLiteral("/type"));
    const QVariant data = settings.value(path + QStringLiteral("/data"));
    if (!type.isValid() || !data.isValid()) return {};
    switch (type.toInt()) {
        case kRegSz:
        case kRegExpandSz: {
            // Stored text ends at its first zero character, as the old buffer read did.
            const QString text = data.toString();
            const qsizetype zero = text.indexOf(QChar(0));
            return zero < 0 ? text : text.left(zero);
        }
        case kRegDword:
            return QString::number(data.toUInt());
        default:
            return {};
    }
}
