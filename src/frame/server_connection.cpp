#include "frame/server_connection.h"

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "platform/interaction/interaction.h"

#include <utility>

std::unique_ptr<DoorConnection>& ServerConnection() {
    static std::unique_ptr<DoorConnection> connection;
    return connection;
}

void ConnectServerDb(const QString& credential, std::function<void()> onLapsed) {
    auto& connection = ServerConnection();
    connection = std::make_unique<DoorConnection>(BuiltInServerUrl());
    connection->setLapsedHandler(std::move(onLapsed));
    connection->open(credential);
    if (connection->state() != DoorConnection::kStateOpen) UI().MsgBox(QStringLiteral("数据库连接出错!"), 0);
}

bool RevokeServerCredential() {
    const QString credential = std::exchange(App().ServerCredential, QString());
    if (credential.isEmpty()) return true;
    DoorConnection door(BuiltInServerUrl());
    door.setCredential(credential);
    return door.close();
}
