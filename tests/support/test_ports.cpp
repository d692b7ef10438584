#include "support/test_ports.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder of the locks: one file a port, shared by every test run of every clone.
const char kLocks[] = "/tmp/qentara-test-ports";

// The ports outgoing connections do not take: below the kernel's ephemeral range (from 10000 up).
void FreeRange(int* low, int* high) {
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    int ephemeral = 32768;
    if (range.open(QIODevice::ReadOnly)) ephemeral = range.readAll().simplified().split(' ').value(0).toInt();
    *low = 10000;
    *high = ephemeral > 11000 ? ephemeral - 1 : 10999;
}

bool Bindable(int port) {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) return false;
    const int one = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return bound;
}

}  // namespace

ReservedPort::ReservedPort() {
    ::mkdir(kLocks, 0777);
    ::chmod(kLocks, 01777);
    int low = 0, high = 0;
    FreeRange(&low, &high);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int port = low + int(QRandomGenerator::global()->bounded(high - low + 1));
        const QByteArray path = QByteArray(kLocks) + '/' + QByteArray::number(port) + ".lock";
        const int lock = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (lock < 0) continue;
        ::fchmod(lock, 0666);  // for runs of other accounts too
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0 && Bindable(port)) {
            port_ = port;
            lock_ = lock;
            return;
        }
        ::close(lock);
    }
}

ReservedPort::~ReservedPort() {
    if (lock_ >= 0) ::close(lock_);
}
