#pragma once

#include <QString>
#include <QStringList>

#include "platform/pg/pg_connection.h"

// The scripts of the server's database (built into the program from server/sql/), in load order.
QStringList ServerSchemaScripts();

// Loads every script into the connection's database in one transaction: tables, procedures, page
// functions, seed rows, and the program's account with its rights. Safe to repeat on a loaded database.
// The connection must belong to an account that may create roles and extensions. "" on success, else
// what failed (and nothing is changed).
QString LoadServerSchema(PgConnection& owner);
