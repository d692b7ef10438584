#pragma once

#include "frame/server_connection.h"

// One on-line operation's use of the server connection: opened when the session starts (a server that
// cannot be reached raises ServerError), closed and released however the operation ends, so that no later
// operation finds a connection left over.
//
// The server acts on a call only for the account that proved itself: a session of a logged-on user
// carries the credential of the log-on with each call. A credential the server no longer knows (it
// lapsed) logs the user off and raises ServerError.
class ServerSession {
public:
    enum class Binding { LoggedOnAccount, None };

    explicit ServerSession(Binding binding = Binding::LoggedOnAccount);
    ~ServerSession() { ServerConnection().reset(); }
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    DoorConnection* connection() const { return ServerConnection().get(); }
};
