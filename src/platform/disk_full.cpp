#include "platform/disk_full.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <cerrno>

namespace {

// Less than this is no room: the system keeps some for itself, and a program fills a disk in pieces.
constexpr qint64 kTooLittleRoom = 256 * 1024;

// The nearest existing folder at or above path: a file not yet made has its folder's room.
QString ExistingPlace(const QString& path) {
    QFileInfo at(path);
    while (!at.exists() && !at.absolutePath().isEmpty() && at.absolutePath() != at.absoluteFilePath())
        at = QFileInfo(at.absolutePath());
    return at.absoluteFilePath();
}

}  // namespace

bool IsNoRoomError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

bool NoRoomLeftAt(const QString& path) {
    const QStorageInfo storage(ExistingPlace(path));
    if (!storage.isValid() || storage.isReadOnly()) return false;
    const qint64 available = storage.bytesAvailable();
    return available >= 0 && available < kTooLittleRoom;
}

QString DiskFullText(const QString& file) {
    return QStringLiteral("磁盘已满，不能写入文件 '%1'。").arg(file);
}

CopyFailure CopyWholeFile(const QString& from, const QString& to) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return CopyFailure::Reading;
    const QByteArray target = QFile::encodeName(to);
    const int out = ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        const bool noRoom = IsNoRoomError(errno) || NoRoomLeftAt(to);
        ::close(in);
        return noRoom ? CopyFailure::NoRoom : CopyFailure::Writing;
    }
    CopyFailure failure = CopyFailure::None;
    char buffer[64 * 1024];
    while (failure == CopyFailure::None) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failure = CopyFailure::Reading;
        if (got <= 0) break;
        for (ssize_t done = 0; done < got && failure == CopyFailure::None;) {
            const ssize_t put = ::write(out, buffer + done, size_t(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0)
                failure =
                    IsNoRoomError(errno) || NoRoomLeftAt(to) ? CopyFailure::NoRoom : CopyFailure::Writing;
            else
                done += put;
        }
    }
    if (::close(out) != 0 && failure == CopyFailure::None)
        failure = IsNoRoomError(errno) || NoRoomLeftAt(to) ? CopyFailure::NoRoom : CopyFailure::Writing;
    ::close(in);
    if (failure != CopyFailure::None) ::unlink(target.constData());
    return failure;
}

bool CommitWhole(QSaveFile& file) {
    // The last buffered bytes are handed on while committing, and a write the system refuses then does not
    // stop the commit: the file would be put in place cut short. Handed on first, a refused write is seen.
    if (!file.flush()) return false;
    return file.commit();
}
