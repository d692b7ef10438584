#include "platform/bookdir.h"

#include <QDir>
#include <QStandardPaths>

QString GetAppPath() {
    QString dir = qEnvironmentVariable("QENTARA_HOME");
    if (dir.isEmpty()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/QentaraZp");
    }
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    QDir().mkpath(dir);
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

QString ToLocalSeparators(const QString& storedPath) {
    QString p = storedPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}
