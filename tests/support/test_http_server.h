#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <functional>
#include <map>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 (a free port) for tests. Each route answers the targets that start
// with its prefix; the longest matching prefix wins. A target that no route matches gets "200 OK" with
// the request line as its body. Every answer closes the connection.
class TestHttpServer : public QObject {
public:
    static inline const QByteArray kPlainText = "text/plain; charset=utf-8";
    // The body of an answer made from the request target (path and query, as sent).
    using MakeBody = std::function<QByteArray(const QByteArray& target)>;

    TestHttpServer();

    QString base() const;  // "http://127.0.0.1:<port>", without a closing "/"
    QString url(const QString& path) const { return base() + path; }

    // Adds a route, or replaces the one with the same prefix. status is e.g. "404 Not Found".
    void answer(const QByteArray& prefix, const QByteArray& status, const QByteArray& body,
                const QByteArray& contentType = kPlainText);
    void answerWith(const QByteArray& prefix, const QByteArray& status, MakeBody body,
                    const QByteArray& contentType = kPlainText);
    // Reads the request and never answers: the client must give up by itself.
    void neverAnswer(const QByteArray& prefix);

    // What the last complete request asked for, and how many complete requests came.
    QByteArray lastRequestLine() const { return lastRequestLine_; }
    QByteArray lastTarget() const { return lastRequestLine_.split(' ').value(1); }
    int requests() const { return requests_; }
    void forgetRequests();

private:
    struct Route {
        QByteArray status;
        MakeBody body;
        QByteArray contentType;
        bool silent = false;
    };

    void onRead(QTcpSocket* socket);

    QTcpServer server_;
    std::map<QByteArray, Route> routes_;
    QHash<QTcpSocket*, QByteArray> buffers_;
    QByteArray lastRequestLine_;
    int requests_ = 0;
};

// A port on 127.0.0.1 that nothing listens on.
quint16 ClosedLocalPort();
