#pragma once

#include <memory>

#include "platform/pg/pg_connection.h"

// The connection to the community server database. It may hold a closed connection after a failed
// ConnectServerDb; callers test state() as before.
std::unique_ptr<PgConnection>& ServerConnection();

// Where the server database is: the built-in account, with host, port and database name taken from the
// fields of the setting "server_db" ("host%port%database") where they are not empty.
PgParams ServerDbParams();

// Replaces the server connection with a new one opened with the built-in account. A server that cannot
// be reached or refuses the log-in raises PgError; an open that returns without an error but leaves the
// connection closed shows "数据库连接出错!".
void ConnectServerDb();
