#pragma once

#include <memory>

#include "platform/pg/pg_connection.h"

// The connection to the community server database. It may hold a closed connection after a failed
// ConnectServerDb; callers test state() as before.
std::unique_ptr<PgConnection>& ServerConnection();

// Replaces the server connection with a new one opened with the built-in account; says so when it could
// not be opened.
void ConnectServerDb();
