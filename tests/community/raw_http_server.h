#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

// Answers every request with `reply`, then closes the connection or (hold) keeps it open, silent.
class RawHttpServer {
public:
    RawHttpServer(QByteArray reply, bool hold) : reply_(std::move(reply)), hold_(hold) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n")) return;
                    socket->write(reply_);
                    socket->flush();
                    if (!hold_) socket->disconnectFromHost();
                });
            }
        });
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }

private:
    QTcpServer server_;
    QByteArray reply_;
    bool hold_;
};

// A 200 status line and headers that promise contentLength bytes.
inline QByteArray OkHeader(qint64 contentLength) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           QByteArray::number(contentLength) + "\r\n\r\n";
}
