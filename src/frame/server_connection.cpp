#include "frame/server_connection.h"

#include "platform/interaction/interaction.h"

std::unique_ptr<PgConnection>& ServerConnection() {
    static std::unique_ptr<PgConnection> connection;
    return connection;
}

void ConnectServerDb() {
    auto& connection = ServerConnection();
    connection = std::make_unique<PgConnection>();
    connection->open(BuiltinServerParams());
    if (connection->state() != PgConnection::kStateOpen) UI().MsgBox(QStringLiteral("数据库连接出错!"), 0);
}
