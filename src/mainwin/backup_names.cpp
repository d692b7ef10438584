#include "mainwin/backup_names.h"

QString ProposedBackupName(const QString& member, const QDate& day) {
    return member + QStringLiteral("%1%2.Mdb")
                        .arg(day.month(), 2, 10, QLatin1Char('0'))
                        .arg(day.day(), 2, 10, QLatin1Char('0'));
}

QString WithFullWidthBrackets(const QString& path) {
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    QString name = path.mid(nameStart);
    name.replace(QLatin1Char('['), QChar(0xFF3B)).replace(QLatin1Char(']'), QChar(0xFF3D));
    return path.left(nameStart) + name;
}
