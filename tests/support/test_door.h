#pragma once

// The community server's door for a test: nginx from the same configuration as `./dev server`
// (server/door/nginx.conf.in), unprivileged, on a port of 127.0.0.1 reserved for it (test_ports.h), with TLS under a test
// certificate authority (made once per test program by server/door/make_certificates.sh), in front of
// the page services given. Stopped when the object goes.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class QProcess;
class ReservedPort;

class TestDoor {
public:
    TestDoor();
    ~TestDoor();
    TestDoor(const TestDoor&) = delete;
    TestDoor& operator=(const TestDoor&) = delete;

    // Starts nginx in front of the page services on these ports of 127.0.0.1; "" on success, else why not.
    QString start(const QList<int>& pagePorts);
    void stop();

    int port() const { return port_; }
    QString url() const;  // "https://127.0.0.1:port"
    // The test authority's certificate, which the program must be told to trust.
    static QString authorityFile();
    // The folder of the door's certificates (ca.crt, ca.key, door.crt, door.key); "" when they could not
    // be made.
    static QString certificateFolder();
    QString errorLog() const;
    // The requests the door has answered so far (the lines of its access log).
    int requestsLogged() const;
    // Its access log as written so far.
    QString accessLog() const;

private:
    QTemporaryDir prefix_;
    std::unique_ptr<QProcess> nginx_;
    std::unique_ptr<ReservedPort> reserved_;
    int port_ = 0;
};

// A reply as it came over the wire.
struct RawReply {
    int status = 0;                        // 0 when no whole head came
    QMap<QByteArray, QByteArray> headers;  // lower-case names
    QByteArray body;
};
RawReply ParseRawReply(const QByteArray& all);

// Sends the request exactly as written (head and body) over TLS to the door on this port, trusting the
// test authority, from the source address given (any of 127.0.0.0/8: each is a client of its own for
// the door's per-address limits), and reads until the door closes or waitMs pass without a byte.
RawReply DoorExchange(int port, const QByteArray& request,
                      const QString& source = QStringLiteral("127.0.0.1"), int waitMs = 5000);
