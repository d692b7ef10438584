#pragma once

#include <QDate>
#include <QString>

// File names of branch backups.

// The name proposed for a backup of the member's branch on a day: the member, the month and the day
// as two digits each, ".Mdb" (张三 on 5 March: "张三0305.Mdb").
QString ProposedBackupName(const QString& member, const QDate& day);

// A chosen package path with the brackets of its file name made full-width ("[" "［", "]" "］"), as
// package names are written; the folders keep their names, or the path would lead elsewhere.
QString WithFullWidthBrackets(const QString& path);
