#pragma once

// Ports for what a test starts that cannot take a port of its own choosing while it listens (nginx,
// `./dev server`'s stack): ports of 127.0.0.1 outside the range the kernel hands to outgoing connections,
// free when reserved, and held by a lock that every test run on this machine respects (also
// tests/server/dev_server_stack_test.sh), so that two runs side by side never take the same one.

class ReservedPort {
public:
    ReservedPort();
    ~ReservedPort();
    ReservedPort(const ReservedPort&) = delete;
    ReservedPort& operator=(const ReservedPort&) = delete;

    int port() const { return port_; }  // 0 when none could be reserved

private:
    int port_ = 0;
    int lock_ = -1;
};
