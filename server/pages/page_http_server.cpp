#include "pages/page_http_server.h"

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

thread_local int currentSocket = -1;
thread_local bool trimAfter = false;

// Whether the socket becomes ready for the events within ms.
bool Ready(int sock, short events, int ms) {
    pollfd waiting{sock, events, 0};
    for (;;) {
        const int n = ::poll(&waiting, 1, ms);
        if (n < 0 && errno == EINTR) continue;
        return n > 0;
    }
}

void AddressOf(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

// One connection's bytes, buffered across the requests it carries (the library's own stream is made anew
// for each request and would drop what a client sent ahead of its answer).
class ConnectionStream : public httplib::Stream {
public:
    ConnectionStream(int sock, int readTimeoutMs, int writeTimeoutMs)
        : sock_(sock), readMs_(readTimeoutMs), writeMs_(writeTimeoutMs) {}

    // Waits for the next request up to ms, giving up early once stopping() says so.
    template <typename Stopping>
    bool awaitRequest(int ms, Stopping stopping) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (pos_ == end_) {
            if (stopping()) return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) return false;
            if (Ready(sock_, POLLIN, int(std::min<long long>(left, 100)))) return true;
        }
        return true;
    }

    bool is_readable() const override { return pos_ < end_ || Ready(sock_, POLLIN, readMs_); }
    bool is_writable() const override { return Ready(sock_, POLLOUT, writeMs_) && peerStillThere(); }

    ssize_t read(char* ptr, size_t size) override {
        if (pos_ < end_) {
            const size_t n = std::min(size, end_ - pos_);
            std::memcpy(ptr, buffer_ + pos_, n);
            pos_ += n;
            return ssize_t(n);
        }
        if (!Ready(sock_, POLLIN, readMs_)) return -1;
        // A large read goes straight to the caller; small ones (the head a byte at a time, a body in the
        // library's pieces of 4 KB) come from the buffer, filled as far as the socket has bytes.
        if (size >= sizeof buffer_) return receive(ptr, size);
        const ssize_t got = receive(buffer_, sizeof buffer_);
        if (got <= 0) return got;
        pos_ = 0;
        end_ = size_t(got);
        return read(ptr, size);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable()) return -1;
        for (;;) {
            const ssize_t sent = ::send(sock_, ptr, size, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            return sent;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getpeername(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            AddressOf(address, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockname(sock_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            AddressOf(address, ip, port);
    }
    socket_t socket() const override { return sock_; }

private:
    ssize_t receive(char* into, size_t size) {
        for (;;) {
            const ssize_t got = ::recv(sock_, into, size, 0);
            if (got < 0 && errno == EINTR) continue;
            return got;
        }
    }
    // Nothing to read, or something that is not the end: the peer has not closed its side.
    bool peerStillThere() const {
        if (!Ready(sock_, POLLIN, 0)) return true;
        char byte = 0;
        return ::recv(sock_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
    }

    int sock_;
    int readMs_, writeMs_;
    char buffer_[64 * 1024];
    size_t pos_ = 0, end_ = 0;
};

int Milliseconds(time_t sec, time_t usec) {
    return int(sec * 1000 + usec / 1000);
}

}  // namespace

int PageHttpServer::CurrentSocket() {
    return currentSocket;
}

void PageHttpServer::TrimAfterRequest() {
    trimAfter = true;
}

bool PageHttpServer::process_and_close_socket(socket_t sock) {
    ConnectionStream stream(sock, Milliseconds(read_timeout_sec_, read_timeout_usec_),
                            Milliseconds(write_timeout_sec_, write_timeout_usec_));
    currentSocket = sock;
    bool ok = false;
    for (size_t left = keep_alive_max_count_; left > 0; --left) {
        if (!stream.awaitRequest(Milliseconds(keep_alive_timeout_sec_, 0),
                                 [this] { return svr_sock_ == INVALID_SOCKET; }))
            break;
        bool closed = false;
        ok = process_request(stream, left == 1 || svr_sock_ == INVALID_SOCKET, closed, nullptr);
        // The request, its body and its answer are gone by now: what they took can go back.
        if (trimAfter) {
            trimAfter = false;
            malloc_trim(0);
        }
        if (!ok || closed) break;
    }
    currentSocket = -1;
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}
