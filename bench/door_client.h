#pragma once

// A client of the door as small as a load needs: one TLS connection (OpenSSL, blocking) from a source
// address of its own choosing, requests written by hand, answers read by Content-Length. Thousands of
// them fit in one benchmark process, where the program's own connection class (a network manager and
// an event loop each) would not.

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace door_client {

struct Answer {
    int status = 0;  // 0: the connection failed or closed
    std::string body;
};

class Connection {
public:
    Connection() = default;
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // TLS to 127.0.0.1:port from the source address, trusting the authority of caFile. A receive time-out
    // of timeoutSec bounds every wait.
    bool open(int port, const std::string& source, const std::string& caFile, int timeoutSec = 60) {
        close();
        port_ = port;
        source_ = source;
        caFile_ = caFile;
        timeoutSec_ = timeoutSec;
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) return false;
        timeval limit{timeoutSec, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) return false;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return false;
        return handshake(caFile);
    }
    // A plain TCP connection that sends nothing (an idle client).
    bool openIdle(int port, const std::string& source) {
        close();
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
               ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    void close() {
        buffer_.clear();
        if (ssl_) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
        if (ctx_) {
            SSL_CTX_free(ctx_);
            ctx_ = nullptr;
        }
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool write(const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const int n = SSL_write(ssl_, bytes.data() + sent, int(bytes.size() - sent));
            if (n <= 0) return false;
            sent += size_t(n);
        }
        return true;
    }

    // One request on the kept connection and its answer; a connection the door ended after its last
    // answer ("Connection: close", as after 1,000 requests) is opened again first.
    Answer request(const std::string& method, const std::string& target, const std::string& body = {},
                   const std::string& credential = {}) {
        if (!ssl_ && port_ != 0 && !open(port_, source_, caFile_, timeoutSec_)) return {};
        std::string head = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        if (!credential.empty()) head += "Authorization: Bearer " + credential + "\r\n";
        if (method == "POST")
            head +=
                "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
        if (!ssl_ || !write(head + "\r\n" + body)) return {};
        return read();
    }
    Answer post(const std::string& path, const std::string& json, const std::string& credential = {}) {
        return request("POST", path, json, credential);
    }
    // A request written whole by the caller, head and body, on the open connection, and its answer.
    Answer send(const std::string& whole) {
        if (!ssl_ || !write(whole)) return {};
        return read();
    }

private:
    bool handshake(const std::string& caFile) {
        ctx_ = SSL_CTX_new(TLS_client_method());
        if (!ctx_ || SSL_CTX_load_verify_locations(ctx_, caFile.c_str(), nullptr) != 1) return false;
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
        ssl_ = SSL_new(ctx_);
        SSL_set_fd(ssl_, fd_);
        return SSL_connect(ssl_) == 1;
    }
    Answer read() {
        Answer answer;
        char chunk[65536];
        size_t head = std::string::npos;
        size_t total = std::string::npos;
        while (total == std::string::npos || buffer_.size() < total) {
            if (head == std::string::npos && (head = buffer_.find("\r\n\r\n")) != std::string::npos) {
                std::string lower = buffer_.substr(0, head);
                for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
                const size_t at = lower.find("content-length:");
                total = head + 4 + (at == std::string::npos ? 0 : std::stoul(lower.substr(at + 15)));
                continue;
            }
            const int n = SSL_read(ssl_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, size_t(n));
        }
        answer.status = buffer_.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(buffer_.c_str() + 9) : 0;
        answer.body = buffer_.substr(head + 4, total - head - 4);
        std::string lower = buffer_.substr(0, head);
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        buffer_.erase(0, total);
        if (lower.find("connection: close") != std::string::npos) close();
        return answer;
    }

    int port_ = 0;
    std::string source_, caFile_;
    int timeoutSec_ = 60;
    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string buffer_;
};

// The source address of client i: 127.1.x.y, a client of its own for the door's per-address limits.
inline std::string SourceAddress(int i) {
    return "127.1." + std::to_string(1 + i / 250) + "." + std::to_string(1 + i % 250);
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace door_client
