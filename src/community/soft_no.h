#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The installation number: twelve decimal digits, the same on every run of this program with this book
// folder on this computer, different for another folder or computer.
QString MakeSoftNo();

// The installation's own secret (64 hex digits), made at random the first time it is asked for and kept
// in the setting "installation_secret". It goes with the board and e-book requests as a header, never in
// a query: the server ties the installation's numbers to the first secret it sees with them.
QString InstallationSecret();
// That header, for the requests that carry it.
QList<QPair<QByteArray, QByteArray>> InstallationHeaders();
