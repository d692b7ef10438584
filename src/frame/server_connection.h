#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "platform/door/door_connection.h"

// The connection to the community server: its door, at the built-in address (BuiltInServerUrl). It may
// hold a closed connection after a failed ConnectServerDb; callers test state() as before.
std::unique_ptr<DoorConnection>& ServerConnection();

// Replaces the server connection with a new one and opens it: the door must answer, and a credential
// given must still stand (then every call of the connection carries it; onLapsed runs when the server
// says it has lapsed). A door that cannot be reached, is not trusted or refuses raises ServerError in the
// program's words; an open that returns without an error but leaves the connection closed shows
// "数据库连接出错!".
void ConnectServerDb(const QString& credential = QString(), std::function<void()> onLapsed = nullptr);

// Ends the user's log-on on the server as well (log-off, the program's exit): the credential is forgotten
// there, so that nobody who copied it can go on using it, and here. False when the server could not be
// told.
bool RevokeServerCredential();
