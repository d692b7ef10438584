#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "online/member_exchange.h"

class ServerCommand;

namespace member_exchange {

// A member to read from the server, with or without its page and its pictures.
struct Wanted {
    qint32 id = 0;
    bool page = true;
    bool pictures = true;
};

// A member as the server answered: its page when asked for and the server holds one, its pictures
// when asked for. A member the server does not hold (id below 1) comes without either.
struct ServerCopy {
    ServerMember member;
    std::optional<QString> page;
    QList<Picture> pictures;
};

// Reads the wanted members, several to a request to the door: the fetches of a batch's members come
// first, then their pages and pictures under the names those fetches answer. `got` receives each member
// with what was wanted of it, in the order wanted, once its batch is answered. A call that fails throws the
// ServerError it would have thrown alone, and nothing of its batch is given.
void ReadMembers(ServerCommand& cmd, const QList<Wanted>& wanted,
                 const std::function<void(const Wanted&, ServerCopy&)>& got);

}  // namespace member_exchange
