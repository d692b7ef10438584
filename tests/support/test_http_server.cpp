#include "support/test_http_server.h"

#include <QTcpSocket>

TestHttpServer::TestHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRead(socket); });
        }
    });
}

QString TestHttpServer::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void TestHttpServer::answer(const QByteArray& prefix, const QByteArray& status, const QByteArray& body,
                            const QByteArray& contentType) {
    answerWith(
        prefix, status, [body](const QByteArray&) { return body; }, contentType);
}

void TestHttpServer::answerWith(const QByteArray& prefix, const QByteArray& status, MakeBody body,
                                const QByteArray& contentType) {
    routes_[prefix] = Route{status, std::move(body), contentType};
}

void TestHttpServer::neverAnswer(const QByteArray& prefix) {
    routes_[prefix] = Route{{}, {}, {}, true};
}

void TestHttpServer::forgetRequests() {
    lastRequestLine_.clear();
    requests_ = 0;
}

quint16 ClosedLocalPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void TestHttpServer::onRead(QTcpSocket* socket) {
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    if (!buffer.contains("\r\n\r\n")) return;
    const QByteArray line = buffer.left(buffer.indexOf("\r\n"));
    buffer.clear();
    lastRequestLine_ = line;
    ++requests_;
    const QByteArray target = lastTarget();

    const Route* route = nullptr;
    qsizetype matched = -1;
    for (const auto& [prefix, candidate] : routes_)
        if (target.startsWith(prefix) && prefix.size() > matched) {
            route = &candidate;
            matched = prefix.size();
        }
    if (route && route->silent) return;
    const QByteArray status = route ? route->status : QByteArray("200 OK");
    const QByteArray body = route ? route->body(target) : line;
    const QByteArray contentType = route ? route->contentType : kPlainText;
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + contentType + "\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->flush();
    socket->disconnectFromHost();
}
