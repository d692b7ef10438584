#pragma once

#include <QString>
#include <QStringList>

#include "db/pg_connection.h"

// The scripts of the server's database (built into the program from server/sql/), in load order.
QStringList ServerSchemaScripts();

// Loads every script into the connection's database in one transaction: the accounts and their rights,
// tables, procedures, page functions, seed rows. Safe to repeat on a loaded database. The connection must
// be the cluster's administrator (a superuser); the scripts from 10_ on run as the schema's owner
// qntzp_owner. "" on success, else what failed (and nothing is changed).
QString LoadServerSchema(PgConnection& admin);

// The cluster's accounts alone (the scripts 00_…), for a cluster whose databases are loaded at once by
// several loaders: run once under a lock first, it leaves the loads nothing to change on the accounts.
QString LoadServerAccounts(PgConnection& admin);
