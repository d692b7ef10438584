#include "platform/dao/work_file_list.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/disk_full.h"

namespace dao {

namespace {

QStringList Listed() {
    QFile f(WorkFileList::ListPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A list that cannot be written (a read-only book folder) leaves only the next start without a hint.
void Store(const QStringList& paths) {
    if (paths.isEmpty()) {
        QFile::remove(WorkFileList::ListPath());
        return;
    }
    QSaveFile f(WorkFileList::ListPath());
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write((paths.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    CommitWhole(f);
}

// A connection holds its file's lock file for as long as it is open, in any process.
bool HeldByAConnection(const QString& path) {
    const int fd = ::open(QFile::encodeName(path + QStringLiteral(".lck")).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace

bool WorkFileList::IsHeld(const QString& path) {
    return HeldByAConnection(path);
}

void WorkFileList::RemoveUnlessHeld(const QString& path) {
    if (!HeldByAConnection(path)) RemoveWorkFiles(path);
}

QString WorkFileList::ListPath() {
    return GetAppPath() + QStringLiteral("qentara.work");
}

void WorkFileList::Note(const QString& path) {
    QStringList paths = Listed();
    if (paths.contains(path)) return;
    paths << path;
    Store(paths);
}

void WorkFileList::Forget(const QString& path) {
    QStringList paths = Listed();
    if (paths.removeAll(path) > 0) Store(paths);
}

void WorkFileList::RemoveLeftovers() {
    const QStringList paths = Listed();
    if (paths.isEmpty()) return;
    QStringList kept;
    for (const QString& path : paths) {
        if (HeldByAConnection(path))
            kept << path;
        else
            RemoveWorkFiles(path);
    }
    Store(kept);
}

}  // namespace dao
