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

// The query that claims this installation's numbers for its secret: the board number (`softNo` itself)
// and the installation number as e-book publishing sends it. The server ties each number to the first
// secret it sees with it, so the program claims them before it sends anything under them.
QList<QPair<QString, QString>> InstallationClaimQuery(const QString& softNo);
// That claim, sent now to the community server ("/flsh/claim.asp", the secret as a header): true when
// the server holds both numbers for this installation.
bool ClaimInstallationNumbers(const QString& softNo);
