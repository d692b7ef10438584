#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>

#include "db/pg_connection.h"

// The program's calls of the server's procedures, as the door passes them on: JSON bodies POSTed to
// /door/open, /door/describe, /door/call and /door/calls, several calls in order (server/README.md, "The
// door"). Each runs on a connection of the page service's pool with the rights of the program
// (qntzpsvr01) and for the account the request's credential proves; a call is one transaction, and
// nothing of it stays on the connection.
struct DoorRequest {
    QString path;           // exactly as sent: "/door/call", ...
    QByteArray credential;  // of "Authorization: Bearer", empty for none
    QString remoteAddress;  // the caller's, as the door saw it
    QJsonObject json;       // the body, read (door_body.h)
    bool sendsBytes = false;  // a value of the body is bytes ({"base64": ...})
    // False when the body's text holds no NUL, raw or escaped: no value needs looking through for one.
    bool mayHoldNul = true;
    // Whether the request was stopped (its caller gone, its time up): a batch runs no further round trip.
    std::function<bool()> stopped;
};

struct DoorReply {
    int status = 200;
    QByteArray body;  // JSON

    // {"code": code, "message": message}: what went wrong, in words the program can show.
    static DoorReply Failed(int status, const char* code, const QString& message = QString());
};

// The paths of the door's requests, each in the one spelling the program sends.
bool IsDoorPath(const QString& path);

// The answer to one request, its body read (ReadDoorRequest). A database failure that took the connection with it is thrown as PgError
// with the connection's state as it was left, so that the service can tell whether anything may have
// been committed; every other failure is an answer.
DoorReply AnswerDoor(const DoorRequest& request, PgConnection& db);
