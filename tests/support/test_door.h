#pragma once

// The community server's door for a test: nginx from the same configuration as `./dev server`
// (server/door/nginx.conf.in), unprivileged, on a free port of 127.0.0.1, with TLS under a test
// certificate authority (made once per test program by server/door/make_certificates.sh), in front of
// the page services given. Stopped when the object goes.

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class QProcess;

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

private:
    QTemporaryDir prefix_;
    std::unique_ptr<QProcess> nginx_;
    int port_ = 0;
};
