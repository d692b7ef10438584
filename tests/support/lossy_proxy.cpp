#include "support/lossy_proxy.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

namespace {

// One whole HTTP message (head and a body of Content-Length) from the socket, after what `buffer`
// already holds; "" when the connection ended first.
QByteArray ReadMessage(int fd, QByteArray& buffer) {
    for (;;) {
        const qsizetype head = buffer.indexOf("\r\n\r\n");
        if (head >= 0) {
            qsizetype length = 0;
            for (const QByteArray& line : buffer.left(head).split('\n'))
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            const qsizetype total = head + 4 + length;
            if (buffer.size() >= total) {
                const QByteArray message = buffer.left(total);
                buffer.remove(0, total);
                return message;
            }
        }
        char chunk[65536];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return {};
        buffer.append(chunk, got);
    }
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

std::mutex& LoseOnce() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

LossyProxy::LossyProxy(int targetPort, QByteArray loseAnswerTo, int answersToLose)
    : targetPort_(targetPort), loseAnswerTo_(std::move(loseAnswerTo)), answersToLose_(answersToLose) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener_, 16) != 0)
        return;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] {
        while (!stopping_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client >= 0) workers_.emplace_back([this, client] { serve(client); });
        }
    });
}

LossyProxy::~LossyProxy() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& worker : workers_) worker.join();
    if (listener_ >= 0) ::close(listener_);
}

void LossyProxy::serve(int client) {
    const int target = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(targetPort_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{10, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(target, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(target, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        QByteArray fromClient, fromTarget;
        while (!stopping_) {
            const QByteArray request = ReadMessage(client, fromClient);
            if (request.isEmpty() || !WriteAll(target, request)) break;
            const QByteArray answer = ReadMessage(target, fromTarget);
            if (answer.isEmpty()) break;
            bool lose = false;
            {
                std::lock_guard lock(LoseOnce());
                if (lost_ < answersToLose_ && request.contains(loseAnswerTo_)) {
                    lose = true;
                    ++lost_;
                }
            }
            if (lose) break;
            ++passed_;
            if (!WriteAll(client, answer)) break;
        }
    }
    ::close(target);
    ::close(client);
}
