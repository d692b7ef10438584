#pragma once

#include "frame/server_connection.h"

// One on-line operation's use of the server connection: opened when the session starts (a server that
// cannot be reached raises PgError), closed and released however the operation ends, so that no later
// operation finds a connection left over.
class ServerSession {
public:
    ServerSession() {
        try {
            ConnectServerDb();
        } catch (...) {
            ServerConnection().reset();
            throw;
        }
    }
    ~ServerSession() { ServerConnection().reset(); }
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    PgConnection* connection() const { return ServerConnection().get(); }
};
