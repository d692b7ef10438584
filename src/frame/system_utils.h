#pragma once

#include <QString>

// Questions the program asks of the system it runs on.

// The operating system's name and version as people know it ("Debian GNU/Linux 12 (bookworm)").
QString GetWindowsName();

// Where the program keeps system-wide components that its updates install: a folder of the book folder
// ("system/"), created when missing, always ending in "/". The system's own library folders are not ours
// to write.
QString GetSystemDir();

// The round-trip time to host ("name", "address", "name:port" or a site address without its scheme) in
// milliseconds, 0 when there is none. One echo request through the system's ping program, started with an
// argument list and read after it ends; without a ping program, the time a TCP connection to the port
// (80 unless given) takes to open. Returns within about timeoutMs; a host that is not a plain host name
// or address is never probed.
float PingAverageMs(const QString& host, int timeoutMs = 3000);

// False when no default printer is known or it is the fax ("传真"): $LPDEST or $PRINTER, else the
// print system's default destination.
bool PrinterAvailable();
