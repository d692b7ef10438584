#pragma once

#include <QList>
#include <QString>

#include "db/pg_connection.h"

// The desk side of the message board, for the server's desk command and for tests: a desk member reads
// what users wrote to it and answers them. Texts are plain HTML here; the server keeps them scrambled
// as the program does.

struct DeskMessage {
    QString userNo;
    QString shownName;
    QString stamp;
    QString html;
};

// The answer's stamp; "" with *error set when the desk member is unknown or the database failed.
QString DeskAnswer(PgConnection& db, const QString& deskNo, const QString& userNo, const QString& html,
                   QString* error = nullptr);
// Lets a board number go, with the installation number the program makes from it, so that the
// installation can claim them again with its secret: how many of the two were held; 0 with *error set
// when the database failed.
int DeskRelease(PgConnection& db, const QString& boardNo, QString* error = nullptr);
// Users' messages the desk member has not read, oldest first; they count as read afterwards.
QList<DeskMessage> DeskWaiting(PgConnection& db, const QString& deskNo, QString* error = nullptr);

// What the desk command prints for these messages, one line each ("Nothing new." for none), names and
// messages as PrintableText shows them.
QString DeskListing(const QList<DeskMessage>& messages);
