#pragma once

#include <QByteArray>
#include <QList>
#include <QSslError>
#include <QString>
#include <QUrl>

#include <memory>

class QSslSocket;

// What one request to the door came to.
struct DoorExchange {
    enum class Failure { None, Refused, NotFound, Closed, TimedOut, Tls };
    Failure failure = Failure::None;
    int status = 0;  // HTTP status, 0 when no whole answer came
    QByteArray body;
    QList<QSslError> sslErrors;
    bool reused = false;    // it went out on a connection kept from an earlier request
    bool answered = false;  // any byte of an answer came
};

// One connection to the door, kept between requests: HTTP/1.1 written whole in one go with the
// network's small-packet delay turned off, so that a call waits for nothing but its answer (a general
// client writes the head and the body apart and then waits on the other side's acknowledgement). TLS for
// "https" with the program's trust (ServerTlsConfiguration), plain TCP for "http". The window repaints
// while it waits; the user's input waits.
class DoorSocket {
public:
    DoorSocket();
    ~DoorSocket();
    DoorSocket(const DoorSocket&) = delete;
    DoorSocket& operator=(const DoorSocket&) = delete;

    // POSTs body (JSON) to url's path, with headers added to the request (whole lines, each ending in
    // "\r\n"), and reads the answer; everything within timeoutMs.
    DoorExchange post(const QUrl& url, const QByteArray& headers, const QByteArray& body, int timeoutMs);
    void close();

private:
    std::unique_ptr<QSslSocket> socket_;
    QString host_;
    int port_ = 0;
    bool encrypted_ = false;
};
