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

QString LoadServerSchema(PgConnection& admin) {
    const QStringList scripts = ServerSchemaScripts();
    if (scripts.isEmpty()) return QStringLiteral("no schema scripts are built in");
    const PgResult begin = admin.exec(QStringLiteral("BEGIN"));
    if (!begin.ok) return begin.error;
    bool asOwner = false;
    for (const QString& path : scripts) {
        // The accounts' scripts (0…) need the administrator; everything else belongs to the owner.
        if (!asOwner && !QFileInfo(path).fileName().startsWith(QLatin1Char('0'))) {
            const PgResult role = admin.exec(QStringLiteral("SET LOCAL ROLE qntzp_owner"));
            if (!role.ok) {
                admin.exec(QStringLiteral("ROLLBACK"));
                return role.error;
            }
            asOwner = true;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            admin.exec(QStringLiteral("ROLLBACK"));
            return path + QStringLiteral(": cannot be read");
        }
        const PgResult loaded = admin.execScript(QString::fromUtf8(file.readAll()));
        if (!loaded.ok) {
            admin.exec(QStringLiteral("ROLLBACK"));
            return QFileInfo(path).fileName() + QStringLiteral(": ") + loaded.error;
        }
    }
    const PgResult commit = admin.exec(QStringLiteral("COMMIT"));
    return commit.ok ? QString() : commit.error;
}

QString LoadServerAccounts(PgConnection& admin) {
    for (const QString& path : ServerSchemaScripts()) {
        if (!QFileInfo(path).fileName().startsWith(QLatin1String("00_"))) continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return path + QStringLiteral(": cannot be read");
        const PgResult loaded = admin.execScript(QString::fromUtf8(file.readAll()));
        if (!loaded.ok) return QFileInfo(path).fileName() + QStringLiteral(": ") + loaded.error;
    }
    return {};
}
