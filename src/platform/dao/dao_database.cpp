#include "platform/dao/dao_database.h"
#include "platform/dao/work_file_list.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/dao/combined_writes.h"
#include "platform/dao/dao_connection.h"

namespace dao {

struct Database::Handle {
    explicit Handle(std::shared_ptr<Connection> c) : conn(std::move(c)) { ++conn->handles; }
    ~Handle() { --conn->handles; }
    std::shared_ptr<Connection> conn;
};

namespace {

// Shared connections stay cached after their last handle goes; exclusive ones close with it.
struct Registry {
    QHash<QString, std::shared_ptr<Connection>> shared;
    QHash<QString, std::weak_ptr<Connection>> exclusive;
};

Registry& registry() {
    static Registry r;
    return r;
}

// A file about to be created has no canonical path yet, but its folder may be reached through a link:
// the key must be the one the file gets once it exists, or two entries would stand for one file.
QString CanonicalPath(const QString& path) {
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    const QString folder = fi.absoluteDir().canonicalPath();
    return folder.isEmpty() ? fi.absoluteFilePath() : QDir(folder).filePath(fi.fileName());
}

// Takes the registry's own reference: that is one; every handle or record set adds another.
bool ConnectionBusy(const std::shared_ptr<Connection>& c) {
    return c && (c->handles > 0 || c.use_count() > 1);
}

std::shared_ptr<Connection> LiveExclusive(const QString& key) {
    auto it = registry().exclusive.find(key);
    if (it == registry().exclusive.end()) return nullptr;
    auto c = it->lock();
    if (!c) registry().exclusive.erase(it);
    return c;
}

// PBKDF2 with HMAC-SHA1, as the engine derives a file's key. The keyed inner and outer digests are
// prepared once and copied for each of the 64,000 rounds: a general HMAC call a round costs twice as
// much, and Qt's digestor more again.
QByteArray DerivePbkdf2Sha1(const QByteArray& password, const QByteArray& salt, int iterations, int length) {
    constexpr int kBlock = 64;
    constexpr int kDigest = 20;
    unsigned char key[kBlock] = {};
    unsigned int n = 0;
    if (password.size() > kBlock)
        EVP_Digest(password.constData(), size_t(password.size()), key, &n, EVP_sha1(), nullptr);
    else
        std::memcpy(key, password.constData(), size_t(password.size()));
    unsigned char inPad[kBlock], outPad[kBlock];
    for (int i = 0; i < kBlock; ++i) {
        inPad[i] = key[i] ^ 0x36;
        outPad[i] = key[i] ^ 0x5c;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> inner(EVP_MD_CTX_new(), EVP_MD_CTX_free),
        outer(EVP_MD_CTX_new(), EVP_MD_CTX_free), work(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!inner || !outer || !work || !EVP_DigestInit_ex(inner.get(), EVP_sha1(), nullptr) ||
        !EVP_DigestUpdate(inner.get(), inPad, kBlock) || !EVP_DigestInit_ex(outer.get(), EVP_sha1(), nullptr) ||
        !EVP_DigestUpdate(outer.get(), outPad, kBlock))
        return {};
    // One round: u = HMAC(password, data).
    const auto hmac = [&](const unsigned char* data, size_t size, const unsigned char* tail, size_t tailSize,
                          unsigned char* u) {
        return EVP_MD_CTX_copy_ex(work.get(), inner.get()) && EVP_DigestUpdate(work.get(), data, size) &&
               (tailSize == 0 || EVP_DigestUpdate(work.get(), tail, tailSize)) &&
               EVP_DigestFinal_ex(work.get(), u, &n) && EVP_MD_CTX_copy_ex(work.get(), outer.get()) &&
               EVP_DigestUpdate(work.get(), u, kDigest) && EVP_DigestFinal_ex(work.get(), u, &n);
    };
    QByteArray out;
    for (quint32 block = 1; out.size() < length; ++block) {
        const unsigned char index[4] = {uchar(block >> 24), uchar(block >> 16), uchar(block >> 8), uchar(block)};
        unsigned char u[kDigest], t[kDigest];
        if (!hmac(reinterpret_cast<const unsigned char*>(salt.constData()), size_t(salt.size()), index, 4, u))
            return {};
        std::memcpy(t, u, kDigest);
        for (int round = 1; round < iterations; ++round) {
            if (!hmac(u, kDigest, nullptr, 0, u)) return {};
            for (int k = 0; k < kDigest; ++k) t[k] ^= u[k];
        }
        out.append(reinterpret_cast<const char*>(t), qMin(kDigest, length - int(out.size())));
    }
    return out;
}

// The engine derives a file's key from its password and the salt in the file's first 16 bytes, at a
// cost of tens of milliseconds. The same derivation done here once per file and password (the salt
// tells the file, whatever path reaches it) and handed over as a raw key makes every later open or
// attach of that file in this process cheap. New (empty) files keep the plain password.
QByteArray EngineKey(const QString& path, const QString& password) {
    const QByteArray pw = password.toUtf8();
    if (pw.isEmpty()) return pw;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return pw;
    const QByteArray salt = file.read(16);
    if (salt.size() < 16 || salt.startsWith("SQLite format 3")) return pw;
    // Readers on other threads open their own connections.
    static std::mutex cacheLock;
    static QHash<QByteArray, QByteArray> cache;
    const QByteArray cacheKey = salt + '\0' + pw;
    {
        const std::lock_guard lock(cacheLock);
        auto it = cache.constFind(cacheKey);
        if (it != cache.constEnd()) return *it;
    }
    constexpr int kIterations = 64000;  // the engine's default for this file format
    const QByteArray derived = DerivePbkdf2Sha1(pw, salt, kIterations, 32);
    if (derived.isEmpty()) return pw;  // the engine derives it itself
    const QByteArray raw = "x'" + derived.toHex().toUpper() + "'";
    const std::lock_guard lock(cacheLock);
    if (cache.size() > 64) cache.clear();
    cache.insert(cacheKey, raw);
    return raw;
}

// A connection keyed and probed: a wrong key only shows at the first read.
std::shared_ptr<Connection> OpenKeyed(const QString& key, const QString& password, int flags, bool exclusive,
                                      int lockFd, FileId id) {
    sqlite3* db = nullptr;
    UseCombinedWrites();
    int rc = sqlite3_open_v2(QFile::encodeName(key).constData(), &db, flags, nullptr);
    auto conn = std::make_shared<Connection>(db, key, password, exclusive, lockFd, id);
    if (rc != SQLITE_OK) conn->fail(rc);
    if (!password.isEmpty()) {
        const QByteArray engineKey = EngineKey(key, password);
        rc = sqlite3_key(db, engineKey.constData(), int(engineKey.size()));
        if (rc != SQLITE_OK) conn->fail(rc);
    }
    sqlite3_busy_timeout(db, 5000);
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) conn->fail(rc);
    return conn;
}

// An existing file is checked by the engine before anything is read from it or written to it.
std::shared_ptr<Connection> OpenPhysical(const QString& key, const QString& password, bool exclusive,
                                         bool existing) {
    const int lockFd = TakeFileLock(key, exclusive);
    const FileId id = IdentityOf(key);
    // Attached files take the main file's flags, and an export attaches a new file: always allow creation.
    // Open() has already refused a missing main file.
    auto conn = OpenKeyed(key, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                          exclusive, lockFd, id);
    // A new file exists from that first read on.
    conn->sameFile(IdentityOf(key));
    sqlite3_exec(conn->raw(), "PRAGMA cache_size=-16000", nullptr, nullptr, nullptr);
    if (existing) conn->checkFile();
    return conn;
}

}  // namespace

QString QuoteIdent(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

Database Database::Open(const QString& path, const QString& password, bool exclusive) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw DaoError(kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    const QString key = CanonicalPath(path);
    Registry& r = registry();
    if (LiveExclusive(key)) {
        if (exclusive)
            throw DaoError(kErrFileInUse, QStringLiteral("不能使用 '%1'；文件已在使用中。").arg(key));
        throw DaoError(kErrOpenedExclusively,
                       QStringLiteral("您试图打开的数据库 '%1' 已被其他用户以独占方式打开。").arg(key));
    }
    Database result;
    if (!exclusive) {
        // A file replaced on disk (a restored copy) is another file: its cached connection still reads
        // the old one, so it is not reused; handles still on it keep it until they let go.
        auto cached = r.shared.value(key);
        if (cached && cached->password() == password && cached->sameFile(IdentityOf(key))) {
            result.handle_ = std::make_shared<Handle>(cached);
            return result;
        }
        auto conn = OpenPhysical(key, password, false, true);
        r.shared.insert(key, conn);
        result.handle_ = std::make_shared<Handle>(conn);
        return result;
    }
    if (auto it = r.shared.find(key); it != r.shared.end()) {
        if (ConnectionBusy(*it))
            throw DaoError(kErrFileInUse, QStringLiteral("不能使用 '%1'；文件已在使用中。").arg(key));
        r.shared.erase(it);
    }
    auto conn = OpenPhysical(key, password, true, true);
    r.exclusive.insert(key, conn);
    result.handle_ = std::make_shared<Handle>(conn);
    return result;
}

Database Database::Create(const QString& path, const QString& password) {
    if (QFileInfo::exists(path))
        throw DaoError(kErrDatabaseExists, QStringLiteral("数据库 '%1' 已存在。").arg(path));
    const QString key = CanonicalPath(path);
    auto conn = OpenPhysical(key, password, false, false);
    registry().shared.insert(key, conn);
    Database result;
    result.handle_ = std::make_shared<Handle>(conn);
    return result;
}

Database Database::OpenReader(const QString& path, const QString& password) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        throw DaoError(kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    auto conn = OpenKeyed(CanonicalPath(path), password, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, false,
                          -1, FileId{});
    Database result;
    result.handle_ = std::make_shared<Handle>(conn);
    return result;
}

QString Database::path() const {
    return handle_ ? handle_->conn->path() : QString();
}
bool Database::exclusive() const {
    return handle_ && handle_->conn->exclusive();
}
void Database::Close() {
    handle_.reset();
}

std::shared_ptr<Connection> Database::connection() const {
    return handle_ ? handle_->conn : nullptr;
}

Connection& Database::conn() const {
    if (!handle_) throw DaoError(3420, QStringLiteral("对象无效或不再设置。"));
    return *handle_->conn;
}

int Database::Execute(const QString& sql, const Params& params) {
    return conn().execute(sql, params);
}

bool Database::Done(const QString& what) const {
    return conn().done.contains(what);
}

void Database::NoteDone(const QString& what) {
    conn().done.insert(what);
}

Recordset Database::OpenRecordset(const QString& sql, const Params& params) {
    conn();
    return Recordset(handle_->conn, sql, params);
}

QVariant Database::Scalar(const QString& sql, const Params& params) {
    Recordset rs = OpenRecordset(sql, params);
    return rs.hasRow() ? rs.value(0) : QVariant();
}

qint64 Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(conn().raw());
}

Transaction Database::BeginTrans() {
    conn();
    return Transaction(handle_->conn);
}

void Database::Attach(const QString& path, const QString& alias, const QString& password) {
    if (!QFileInfo(path).isFile())
        throw DaoError(kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    const QString file = CanonicalPath(path);
    Connection& c = conn();
    // An attached file is in use as much as an opened one: another copy of the program sees it.
    const int lockFd = TakeFileLock(file, false);
    const FileId id = IdentityOf(file);
    // What goes wrong here goes wrong with the file being attached: its errors name it.
    {
        const QByteArray sql = "ATTACH DATABASE ? AS " + QuoteIdent(alias).toUtf8() + " KEY ?";
        const QByteArray name = file.toUtf8();
        const QByteArray key = EngineKey(file, password);
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(c.raw(), sql.constData(), int(sql.size()), &stmt, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_STATIC);
        if (rc == SQLITE_OK) rc = sqlite3_bind_text(stmt, 2, key.constData(), int(key.size()), SQLITE_STATIC);
        if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
        const QString message = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(c.raw()));
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            ReleaseFileLock(lockFd, file);
            ThrowSqliteError(rc, message, file, IsBuiltInPassword(password));
        }
    }
    const auto detach = [&] {
        sqlite3_exec(c.raw(), ("DETACH DATABASE " + QuoteIdent(alias)).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
        ReleaseFileLock(lockFd, file);
    };
    // A wrong key shows only at the first read of the attached file; its errors name that file.
    const QByteArray probe = "SELECT count(*) FROM " + QuoteIdent(alias).toUtf8() + ".sqlite_master";
    const int rc = sqlite3_exec(c.raw(), probe.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(c.raw()));
        detach();
        ThrowSqliteError(rc, message, file, IsBuiltInPassword(password));
    }
    try {
        CheckFileOnce(c.raw(), alias, file, id);
    } catch (...) {
        detach();
        throw;
    }
    c.noteAttached(alias, file, lockFd, id);
}

AttachGuard::~AttachGuard() {
    for (auto it = aliases_.crbegin(); it != aliases_.crend(); ++it) {
        try {
            db_.Detach(*it);
        } catch (const DaoError&) {
        }
    }
}

FreeWithoutOverwriting::FreeWithoutOverwriting(Database& db)
    : db_(db), before_(db.Scalar(QStringLiteral("PRAGMA main.secure_delete")).toInt()) {
    db.Execute(QStringLiteral("PRAGMA main.secure_delete=0"));
}

FreeWithoutOverwriting::~FreeWithoutOverwriting() {
    try {
        db_.Execute(QStringLiteral("PRAGMA main.secure_delete=") + QString::number(before_));
    } catch (...) {
        // A connection already gone has nothing left to restore.
    }
}

void AttachGuard::Attach(const QString& path, const QString& alias, const QString& password) {
    db_.Attach(path, alias, password);
    aliases_ << alias;
}

void Database::Detach(const QString& alias) {
    conn().execute("DETACH DATABASE " + QuoteIdent(alias), {});
    conn().forgetAttached(alias);
}

bool Database::TableExists(const QString& table, const QString& schema) {
    return Scalar("SELECT count(*) FROM " + QuoteIdent(schema) +
                      ".sqlite_master WHERE type='table' AND name=? COLLATE NOCASE",
                  {table})
               .toLongLong() > 0;
}

QStringList Database::TableNames(const QString& schema) {
    QStringList names;
    for (Recordset rs =
             OpenRecordset("SELECT name FROM " + QuoteIdent(schema) +
                           ".sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid");
         rs.hasRow(); rs.MoveNext())
        names << rs.value(0).toString();
    return names;
}

QStringList Database::FieldNames(const QString& table, const QString& schema) {
    QStringList names;
    for (Recordset rs =
             OpenRecordset("PRAGMA " + QuoteIdent(schema) + ".table_info(" + QuoteIdent(table) + ")");
         rs.hasRow(); rs.MoveNext())
        names << rs.Text("name");
    return names;
}

void Database::ExportTo(const QString& target, const QString& newPassword) {
    if (QFileInfo::exists(target))
        throw DaoError(kErrDatabaseExists, QStringLiteral("数据库 '%1' 已存在。").arg(target));
    Connection& c = conn();
    c.execute(QStringLiteral("ATTACH DATABASE ? AS qexport KEY ?"), {target, newPassword});
    try {
        c.execute(QStringLiteral("SELECT sqlcipher_export('qexport')"), {});
        const QVariant version = Scalar(QStringLiteral("PRAGMA user_version"));
        c.execute("PRAGMA qexport.user_version=" + QString::number(version.toLongLong()), {});
    } catch (...) {
        sqlite3_exec(c.raw(), "DETACH DATABASE qexport", nullptr, nullptr, nullptr);
        QFile::remove(target);
        throw;
    }
    c.execute(QStringLiteral("DETACH DATABASE qexport"), {});
}

bool IsFileInUse(const QString& path) {
    const QString key = CanonicalPath(path);
    if (LiveExclusive(key)) return true;
    auto it = registry().shared.find(key);
    return it != registry().shared.end() && ConnectionBusy(*it);
}

void ReleaseIdleConnections(const QString& path) {
    const QString key = CanonicalPath(path);
    auto it = registry().shared.find(key);
    if (it != registry().shared.end() && !ConnectionBusy(*it)) registry().shared.erase(it);
}

void ReleaseAllIdleConnections() {
    auto& shared = registry().shared;
    for (auto it = shared.begin(); it != shared.end();) {
        if (!ConnectionBusy(*it))
            it = shared.erase(it);
        else
            ++it;
    }
}

QString RewriteWorkFile(const QString& path) {
    return CanonicalPath(path) + QStringLiteral(".rewrite~");
}

void RemoveWorkFiles(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm", ".lck"})
        QFile::remove(path + QLatin1String(suffix));
    RemoveSuperJournals(path);
}

void RemoveSuperJournals(const QString& path) {
    const QFileInfo fi(path);
    for (const QString& name :
         fi.absoluteDir().entryList({fi.fileName() + QStringLiteral("-mj*")}, QDir::Files | QDir::Hidden))
        QFile::remove(fi.absoluteDir().filePath(name));
}

void RewriteFile(const QString& path, const QString& password, const QString& newPassword) {
    if (!QFileInfo(path).isFile())
        throw DaoError(kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    const QString key = CanonicalPath(path);
    if (IsFileInUse(key))
        throw DaoError(kErrFileInUse, QStringLiteral("不能使用 '%1'；文件已在使用中。").arg(key));
    ReleaseIdleConnections(key);
    const QString temporary = RewriteWorkFile(key);
    // A run killed half-way left its copy; it is only ever ours. Beside a file outside the book folder
    // it is listed there while it exists, for the next start to remove.
    RemoveWorkFiles(temporary);
    // The new file replaces the old one while the old one is still held exclusively, so another
    // program cannot open (and write to) the old file in between.
    Database source = Database::Open(key, password, true);
    WorkFileList::Note(temporary);
    const auto dropCopy = [&] {
        RemoveWorkFiles(temporary);
        WorkFileList::Forget(temporary);
    };
    try {
        source.ExportTo(temporary, newPassword);
    } catch (...) {
        dropCopy();
        throw;
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(key).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        dropCopy();
        throw DaoError(kErrGeneric, QStringLiteral("不能替换文件 '%1' (%2)。").arg(key, reason));
    }
    dropCopy();
    source.Close();
}

}  // namespace dao
