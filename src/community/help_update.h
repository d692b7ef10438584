#pragma once

#include <QString>

// The on-line update without its window: the setting "web_hlp_prg_sys", the help archive's address,
// the check of a fetched help package and its merge into the open book.
namespace help_update {

// The six "%"-separated fields of "web_hlp_prg_sys".
struct UpdateSetting {
    QString web;           // the update server's base address ("" reads as the built-in one)
    QString helpModified;  // Last-Modified of the help archive at its last fetch
    QString lastDate;      // the day files were last fetched (short date)
    QString lastMinute;    // minutes since midnight of that fetch
};
UpdateSetting ReadUpdateSetting();
// Writes all six fields; the program's own files (fields 2 and 3) are never fetched here.
void SaveUpdateSetting(const UpdateSetting& setting);

// "/zip/zphelp.rar" for Simplified (0), "/zip/fthelp.rar" for Traditional (1).
QString HelpArchivePath(int languageId);
// Where an accepted help package is kept: the book folder's "帮助文件.mdb".
QString HelpFilePath();
// The name of the help book's root member in the interface language.
QString HelpRootName();

// Whether a fetched file is a help package: as long as the server said (expectedLength -1: not
// known), opens with the package password, holds the four package tables and the help root. "" when
// it is, else the reason in the interface language.
QString CheckHelpPackage(const QString& path, qint64 expectedLength);

// Replaces the book's help branch by the package's: the old branch is kept as a package in the book
// folder, taken out, and the package merged; when the merge fails the old branch is put back. 0, or the
// merge's error number with *error.
qint32 MergeHelpPackage(const QString& path, QString* error = nullptr);
// After an update that was cut off (the kept copy of the old branch still in the book folder): puts the
// old branch back when the book has no help branch, and drops the copy.
void FinishInterruptedUpdate();

}  // namespace help_update
