#include "platform/dao/dao_file_guard.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDebug>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>

#include "platform/dao/dao_error.h"

namespace dao {

namespace {

struct Seen {
    int holders = 0;
    qint64 size = -1;
    qint64 mtimeNs = -1;
};

using IdKey = QPair<quint64, quint64>;

// Never destroyed: cached connections close during the program's static clean-up and still report here.
QHash<IdKey, Seen>& seenFiles() {
    static auto* files = new QHash<IdKey, Seen>;
    return *files;
}

QSet<QString>& builtInPasswords() {
    static QSet<QString> passwords;
    return passwords;
}

bool StatPath(const QString& path, struct stat& st) {
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

qint64 MtimeNs(const struct stat& st) {
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

QString EngineText(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The engine's own findings, at most a few lines; empty when the file is sound.
QString QuickCheck(sqlite3* db, const QString& schema) {
    const QByteArray sql = "PRAGMA \"" + schema.toUtf8() + "\".quick_check(3)";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = EngineText(db);
        sqlite3_finalize(stmt);
        return text;
    }
    QStringList findings;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        if (line != QLatin1String("ok")) findings << line;
    }
    if (rc != SQLITE_DONE) findings << EngineText(db);
    sqlite3_finalize(stmt);
    return findings.join(QStringLiteral("; "));
}

// The engine's check sizes its memory by the page count the file's header claims: a damaged header that
// claims billions of pages in a small file would have it clear gigabytes before it finds the damage.
// Empty when the claim fits the file; the engine's text when the header cannot be read.
QString ClaimedSizeBeyondFile(sqlite3* db, const QString& schema, qint64 fileBytes, bool& engineText) {
    engineText = false;
    const auto pragma = [&](const char* name) -> qint64 {
        const QByteArray sql = "PRAGMA \"" + schema.toUtf8() + "\"." + name;
        sqlite3_stmt* stmt = nullptr;
        qint64 value = -1;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return value;
    };
    const qint64 pages = pragma("page_count");
    const qint64 pageSize = pragma("page_size");
    if (pages < 0 || pageSize <= 0) {
        engineText = true;
        return EngineText(db);
    }
    if (pages > fileBytes / pageSize)
        return QStringLiteral("%1 页，文件只有 %2 字节").arg(pages).arg(fileBytes);
    return QString();
}

}  // namespace

QString EngineFindings(sqlite3* db, const QString& schema) {
    return QuickCheck(db, schema);
}

FileId IdentityOf(const QString& path) {
    struct stat st {};
    if (!StatPath(path, st)) return {};
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

QString DamagedFileText(const QString& file, const QString& detail) {
    QString text =
        QStringLiteral("文件 '%1' 已损坏，或不是本程序的数据库文件。程序没有改动它；请先为它保留一份副本。")
            .arg(file);
    if (!detail.isEmpty()) text += QStringLiteral(" (%1)").arg(detail);
    return text;
}

int TakeFileLock(const QString& file, bool exclusive) {
    const QByteArray lockPath = QFile::encodeName(file + QStringLiteral(".lck"));
    // A lock file removed by its last holder between our open and our lock is no lock: take the new one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;  // a read-only folder: no other writer can use it either
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            ::close(fd);
            if (exclusive)
                throw DaoError(kErrFileInUse, QStringLiteral("不能使用 '%1'；文件已在使用中。").arg(file));
            throw DaoError(kErrOpenedExclusively,
                           QStringLiteral("您试图打开的数据库 '%1' 已被其他用户以独占方式打开。").arg(file));
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(lockPath.constData(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            return fd;
        ::close(fd);
    }
    return -1;
}

void ReleaseFileLock(int fd, const QString& file) {
    if (fd < 0) return;
    // Nobody else holds it when we can have it alone: then the file goes with our hold.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(QFile::encodeName(file + QStringLiteral(".lck")).constData());
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

void CheckFileOnce(sqlite3* db, const QString& schema, const QString& file, const FileId& id) {
    struct stat st {};
    if (!StatPath(file, st)) return;
    if (st.st_size == 0) throw DaoError(kErrDamaged, DamagedFileText(file, QStringLiteral("0 字节")));
    const IdKey key{id.device, id.inode};
    auto& files = seenFiles();
    auto it = files.find(key);
    if (it != files.end() && (it->holders > 0 || (it->size == st.st_size && it->mtimeNs == MtimeNs(st)))) {
        ++it->holders;
        return;
    }
    bool engineText = false;
    const QString claimed = ClaimedSizeBeyondFile(db, schema, qint64(st.st_size), engineText);
    if (!claimed.isEmpty() && !engineText) throw DaoError(kErrDamaged, DamagedFileText(file, claimed));
    const QString findings = !claimed.isEmpty() ? claimed : QuickCheck(db, schema);
    if (!findings.isEmpty()) {
        qWarning().noquote() << "damaged file" << file << ":" << findings;
        throw DaoError(kErrDamaged, DamagedFileText(file, QString()));
    }
    ++files[key].holders;
}

void ForgetFileHolder(const QString& file, const FileId& id) {
    auto& files = seenFiles();
    auto it = files.find(IdKey{id.device, id.inode});
    if (it == files.end() || --it->holders > 0) return;
    it->holders = 0;
    struct stat st {};
    if (!StatPath(file, st) || !(IdentityOf(file) == id)) {
        files.erase(it);
        return;
    }
    it->size = st.st_size;
    it->mtimeNs = MtimeNs(st);
}

void DeclareBuiltInPassword(const QString& password) {
    if (!password.isEmpty()) builtInPasswords().insert(password);
}

bool IsBuiltInPassword(const QString& password) {
    return builtInPasswords().contains(password);
}

}  // namespace dao
