#pragma once

#include <QString>

class QSaveFile;

// Writes refused for want of room, told as the disk being full and naming the file the user knows
// (never a work file of the program's own).

// The old runtime's number for a full disk.
constexpr int kErrDiskFull = 61;

// Whether a failed write's errno means there was no room for it: the disk or the user's quota is full,
// or the file reached the largest size the system lets this process write.
bool IsNoRoomError(int error);

// Whether the file system that holds path (a file or a folder, which need not exist yet) has next to
// no room left: a write that failed there failed for want of room, whatever the call said.
bool NoRoomLeftAt(const QString& path);

// "磁盘已满，不能写入文件 '…'。"
QString DiskFullText(const QString& file);

// What stopped a copy: nothing, the source, the target's lack of room, or the target otherwise.
enum class CopyFailure { None, Reading, NoRoom, Writing };

// Copies a whole file to a new file (an existing target is replaced), telling which side failed and why.
// Whatever was written of a failed copy is removed.
CopyFailure CopyWholeFile(const QString& from, const QString& to);

// Puts a QSaveFile in place only when every byte reached it (see the source); false, with the earlier
// file left as it was and errno telling why, when one did not.
bool CommitWhole(QSaveFile& file);
