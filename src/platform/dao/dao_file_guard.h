#pragma once

#include <QString>
#include <QtGlobal>

struct sqlite3;

namespace dao {

// Which file a path stands for right now: a file replaced on disk has another identity.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    bool valid() const { return device != 0 || inode != 0; }
    bool operator==(const FileId& o) const { return device == o.device && inode == o.inode; }
};
FileId IdentityOf(const QString& path);

// Another program sees our opens through an advisory lock on "<file>.lck". Throws 3045 (exclusive asked)
// or 3356 (held exclusively elsewhere); -1 when the folder takes no lock file (read-only medium).
int TakeFileLock(const QString& file, bool exclusive);
// Drops the lock and removes the lock file when nobody else holds it.
void ReleaseFileLock(int fd, const QString& file);

// Runs the engine's quick check on schema once per file until the file changes behind our back; a file
// this process has open is not checked again. Throws kErrDamaged naming the file.
void CheckFileOnce(sqlite3* db, const QString& schema, const QString& file, const FileId& id);
// The process lets go of a checked file: its size and time are kept to notice a later change.
void ForgetFileHolder(const QString& file, const FileId& id);

// The message of a damaged or foreign file; a detail in the program's words follows (the engine's own
// text goes to the log, not to the user).
QString DamagedFileText(const QString& file, const QString& detail);

// The engine's quick check of one file of a connection (by schema): its findings, empty when sound.
QString EngineFindings(sqlite3* db, const QString& schema);

// Passwords built into the program: a file keyed with one that does not open is damaged or foreign,
// never "a wrong password" the user could retype.
void DeclareBuiltInPassword(const QString& password);
bool IsBuiltInPassword(const QString& password);

}  // namespace dao
