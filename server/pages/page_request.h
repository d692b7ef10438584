#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

#include "db/pg_connection.h"

// One GET (or HEAD) of a page: its path and its query values, percent-decoded from UTF-8.
struct PageRequest {
    QString path;
    QList<QPair<QString, QString>> query;
    QString remoteAddress;  // the caller's address as this service sees it, IPv4 dotted
    // The account whose log-on issued the credential the request carries ("Authorization: Bearer ...");
    // 0 without one, or for one that is unknown or has lapsed.
    qint32 provenAccount = 0;
    // The secret of the installation that sends the request (board and e-book pages); "" without one.
    QString installationSecret;

    // The first value whose key matches without regard to case (as the old pages read them); "" when
    // there is none.
    QString value(const QString& key) const;
    // The value as a whole 32-bit number, blanks around it allowed; false when missing or not one.
    bool number(const QString& key, qint32* out) const;
    // The account a page acts for: the proven one, when the value under `key` is missing or names it.
    // Nothing without a proven account, or for an id (or anything else) that is not it.
    std::optional<qint32> actingAccount(const QString& key) const;
};

// What a page answers: plain text, UTF-8.
struct PageReply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "text/plain; charset=utf-8";

    static PageReply Text(const QString& text) { return {200, text.toUtf8()}; }
    static PageReply Number(qint64 value) { return Text(QString::number(value)); }
    // Input the page cannot use: status 400 with the body the program reads as "not done".
    static PageReply Bad(const QByteArray& body) { return {400, body}; }
    // A request that does not prove the account it would act for: status 403, the same "not done" body.
    static PageReply Refused(const QByteArray& body) { return {403, body}; }
};

// The page that tells callers their own address.
PageReply CallerAddress(const PageRequest& request, PgConnection&);

// Records each ended by "@~", fields separated by "%!" (book roots, e-book search).
QString RecordsReply(const QList<QStringList>& records);

// Whether a failure took the connection with it (the database went away or ended the session).
bool LostConnection(const QString& sqlState, const PgConnection& db);

// Runs one statement for a page; a failure throws PgError, which the service answers with status 500.
PgResult PageQuery(PgConnection& db, const QString& sql, const QList<QVariant>& params = {});
