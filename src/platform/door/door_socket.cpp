#include "platform/door/door_socket.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <functional>
#include <optional>

#include "platform/http/tls_trust.h"

namespace {

DoorExchange::Failure FailureOf(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
        case QAbstractSocket::NetworkError:
        case QAbstractSocket::ProxyConnectionRefusedError:
        case QAbstractSocket::ProxyNotFoundError:
            return DoorExchange::Failure::Refused;
        case QAbstractSocket::HostNotFoundError:
            return DoorExchange::Failure::NotFound;
        case QAbstractSocket::SocketTimeoutError:
            return DoorExchange::Failure::TimedOut;
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            return DoorExchange::Failure::Tls;
        default:
            return DoorExchange::Failure::Closed;
    }
}

// The answer in `buffer` once it is whole: head parsed, body (Content-Length or chunked) complete.
// Returns false while more must come; *close says whether the door ends the connection after it.
bool TakeAnswer(QByteArray& buffer, bool ended, DoorExchange& outcome, bool* close) {
    const qsizetype head = buffer.indexOf("\r\n\r\n");
    if (head < 0) return false;
    const QList<QByteArray> lines = buffer.left(head).split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    qsizetype length = -1;
    bool chunked = false;
    *close = !status.value(0).startsWith("HTTP/1.1");
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0) continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed().toLower();
        if (name == "content-length") length = value.toLongLong();
        if (name == "transfer-encoding" && value.contains("chunked")) chunked = true;
        if (name == "connection" && value == "close") *close = true;
    }
    const QByteArray rest = buffer.mid(head + 4);
    QByteArray body;
    if (chunked) {
        qsizetype at = 0;
        for (;;) {
            const qsizetype lineEnd = rest.indexOf("\r\n", at);
            if (lineEnd < 0) return false;
            bool ok = false;
            const qsizetype size =
                rest.mid(at, lineEnd - at).split(';').value(0).trimmed().toLongLong(&ok, 16);
            if (!ok) return false;
            if (size == 0) break;
            if (rest.size() < lineEnd + 2 + size + 2) return false;
            body += rest.mid(lineEnd + 2, size);
            at = lineEnd + 2 + size + 2;
        }
    } else if (length >= 0) {
        if (rest.size() < length) return false;
        body = rest.left(length);
    } else {
        // An answer whose end is the end of the connection.
        if (!ended) return false;
        body = rest;
        *close = true;
    }
    outcome.status = status.value(1).toInt();
    outcome.body = body;
    return true;
}

}  // namespace

DoorSocket::DoorSocket() = default;

DoorSocket::~DoorSocket() {
    close();
}

void DoorSocket::close() {
    if (!socket_) return;
    socket_->disconnect();
    socket_->abort();
    socket_.reset();
}

DoorExchange DoorSocket::post(const QUrl& url, const QByteArray& headers, const QByteArray& body,
                              int timeoutMs) {
    DoorExchange outcome;
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    const bool encrypted = url.scheme() == QLatin1String("https");
    const int port = url.port(encrypted ? 443 : 80);
    const bool sameDoor = socket_ && host_ == url.host() && port_ == port && encrypted_ == encrypted &&
                          socket_->state() == QAbstractSocket::ConnectedState;
    if (!sameDoor) close();

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    std::optional<QAbstractSocket::SocketError> failed;
    bool ended = false;
    // Runs the loop (the window repaints, the user waits) until done() holds, the socket fails or ends,
    // or the time is up; whether done() holds.
    const auto waitUntil = [&](const std::function<bool()>& done) {
        while (!done() && !failed) {
            if (deadline.hasExpired()) return false;
            timer.start(int(qMax<qint64>(1, deadline.remainingTime())));
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        return done();
    };

    if (!socket_) {
        socket_ = std::make_unique<QSslSocket>();
        host_ = url.host();
        port_ = port;
        encrypted_ = encrypted;
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        if (encrypted) {
            socket_->setSslConfiguration(ServerTlsConfiguration());
            socket_->connectToHostEncrypted(host_, quint16(port_));
        } else {
            socket_->connectToHost(host_, quint16(port_));
        }
    } else {
        outcome.reused = true;
    }
    QSslSocket& socket = *socket_;
    QObject context;
    const auto wake = [&loop] { loop.quit(); };
    QObject::connect(&socket, &QSslSocket::encrypted, &context, wake);
    QObject::connect(&socket, &QAbstractSocket::connected, &context, wake);
    QObject::connect(&socket, &QIODevice::readyRead, &context, wake);
    QObject::connect(&socket, &QIODevice::bytesWritten, &context, wake);
    QObject::connect(&socket, &QAbstractSocket::disconnected, &context, [&] {
        ended = true;
        loop.quit();
    });
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &context, [&](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            ended = true;
        else
            failed = e;
        loop.quit();
    });
    QObject::connect(&socket, &QSslSocket::sslErrors, &context,
                     [&](const QList<QSslError>& errors) { outcome.sslErrors = errors; });

    const auto fail = [&](DoorExchange::Failure failure) {
        outcome.failure = failure;
        close();
        return outcome;
    };
    const bool ready = waitUntil(
        [&] { return encrypted ? socket.isEncrypted() : socket.state() == QAbstractSocket::ConnectedState; });
    if (!ready) {
        if (!outcome.sslErrors.isEmpty()) return fail(DoorExchange::Failure::Tls);
        if (failed) return fail(FailureOf(*failed));
        return fail(ended ? DoorExchange::Failure::Closed : DoorExchange::Failure::TimedOut);
    }

    const QByteArray request =
        "POST " + url.path(QUrl::FullyEncoded).toLatin1() +
        " HTTP/1.1\r\nHost: " + url.host(QUrl::FullyEncoded).toLatin1() + ':' + QByteArray::number(port_) +
        "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
        headers + "\r\n" + body;
    socket.write(request);
    QByteArray buffer;
    bool closeAfter = false;
    const bool whole = waitUntil([&] {
        if (socket.bytesAvailable() > 0) {
            buffer += socket.readAll();
            outcome.answered = true;
        }
        return TakeAnswer(buffer, ended, outcome, &closeAfter) || ended;
    });
    if (!whole || outcome.status == 0) {
        if (failed) return fail(FailureOf(*failed));
        return fail(ended ? DoorExchange::Failure::Closed : DoorExchange::Failure::TimedOut);
    }
    if (closeAfter || ended) close();
    return outcome;
}
