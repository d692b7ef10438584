#include "frame/server_connection.h"

#include <QStringList>

#include "platform/interaction/interaction.h"
#include "platform/pg/pg_error.h"
#include "platform/settings_store.h"

std::unique_ptr<PgConnection>& ServerConnection() {
    static std::unique_ptr<PgConnection> connection;
    return connection;
}

PgParams ServerDbParams() {
    PgParams params = BuiltinServerParams();
    const QStringList fields = GetSetting(QStringLiteral("server_db")).split(QLatin1Char('%'));
    auto take = [&](int i, QString& target) {
        const QString value = fields.value(i).trimmed();
        if (!value.isEmpty()) target = value;
    };
    take(0, params.host);
    take(1, params.port);
    take(2, params.dbname);
    return params;
}

void ConnectServerDb() {
    auto& connection = ServerConnection();
    connection = std::make_unique<PgConnection>();
    if (!connection->open(ServerDbParams()))
        throw PgError(QStringLiteral("无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；"
                                     "仍然不行，请与服务器的管理员联系。（") +
                      connection->lastError() + QStringLiteral("）"));
    if (connection->state() != PgConnection::kStateOpen) UI().MsgBox(QStringLiteral("数据库连接出错!"), 0);
}
