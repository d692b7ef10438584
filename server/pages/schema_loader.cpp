#include "pages/schema_loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kScriptFolder = QStringLiteral(":/server/sql");
}

QStringList ServerSchemaScripts() {
    QStringList names = QDir(kScriptFolder).entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    for (QString& name : names) name = kScriptFolder + QLatin1Char('/') + name;
    return names;
}

QString LoadServerSchema(PgConnection& owner) {
    const QStringList scripts = ServerSchemaScripts();
    if (scripts.isEmpty()) return QStringLiteral("no schema scripts are built in");
    const PgResult begin = owner.exec(QStringLiteral("BEGIN"));
    if (!begin.ok) return begin.error;
    for (const QString& path : scripts) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            owner.exec(QStringLiteral("ROLLBACK"));
            return path + QStringLiteral(": cannot be read");
        }
        const PgResult loaded = owner.execScript(QString::fromUtf8(file.readAll()));
        if (!loaded.ok) {
            owner.exec(QStringLiteral("ROLLBACK"));
            return QFileInfo(path).fileName() + QStringLiteral(": ") + loaded.error;
        }
    }
    const PgResult commit = owner.exec(QStringLiteral("COMMIT"));
    return commit.ok ? QString() : commit.error;
}
