#include "platform/dao/dao_connection.h"

#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDebug>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "platform/dao/dao_error.h"

namespace dao {

namespace {
constexpr int kMaxIdleStatements = 96;
}

void ThrowSqliteError(int rc, const QString& message, const QString& path, bool builtInKey) {
    const int primary = rc & 0xff;
    const QString name = path.isEmpty() ? QString() : path;
    // The engine's own words about a damaged file are for the log; the user reads the program's.
    const auto damaged = [&] {
        qWarning().noquote() << "damaged file" << name << ":" << message;
        return DaoError(kErrDamaged, DamagedFileText(name, QString()));
    };
    switch (primary) {
        case SQLITE_NOTADB:
            if (builtInKey) throw damaged();
            throw DaoError(kErrWrongPassword, QStringLiteral("不是有效的密码。"));
        case SQLITE_CORRUPT:
            throw damaged();
        case SQLITE_CANTOPEN:
            // An existing file that cannot be opened for a write: its journal cannot be made beside it.
            if (!name.isEmpty() && QFileInfo::exists(name))
                throw DaoError(kErrReadOnly,
                               QStringLiteral("不能写入文件 '%1'：它所在的文件夹是只读的，或没有写入的权限。")
                                   .arg(name));
            throw DaoError(kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(name));
        case SQLITE_CONSTRAINT:
            if (message.contains(QLatin1String("UNIQUE")))
                throw DaoError(kErrDuplicateKey,
                               QStringLiteral("由于将在索引、主关键字或关系中创建重复的值，请求对表的改变没有成功。"));
            break;
        case SQLITE_READONLY:
            throw DaoError(kErrReadOnly,
                           QStringLiteral("不能写入文件 '%1'：文件或它所在的磁盘是只读的。").arg(name));
        case SQLITE_FULL:
            throw DaoError(kErrGeneric, QStringLiteral("磁盘已满，不能写入文件 '%1'。").arg(name));
        case SQLITE_IOERR:
            qWarning().noquote() << "read or write failed" << name << ":" << message;
            throw DaoError(kErrGeneric, QStringLiteral("读写文件 '%1' 时出错。").arg(name));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw DaoError(kErrLocked, QStringLiteral("无法更新；当前被锁定。"));
        default:
            break;
    }
    if (message.startsWith(QLatin1String("no such table")))
        throw DaoError(kErrTableNotFound, QStringLiteral("找不到输入表或查询 (%1)。").arg(message));
    if (message.startsWith(QLatin1String("no such column")))
        throw DaoError(kErrItemNotFound, QStringLiteral("在此集合中没有找到项目 (%1)。").arg(message));
    throw DaoError(kErrGeneric, QStringLiteral("数据库错误 (%1)。").arg(message));
}

Connection::Connection(sqlite3* db, QString path, QString password, bool exclusive, int lockFd, FileId id)
    : db_(db),
      path_(std::move(path)),
      password_(std::move(password)),
      exclusive_(exclusive),
      lockFd_(lockFd),
      id_(id) {}

void Connection::checkFile() {
    CheckFileOnce(db_, QStringLiteral("main"), path_, id_);
    checked_ = true;
}

void Connection::noteAttached(const QString& alias, const QString& file, int lockFd, const FileId& id) {
    attached_.insert(alias, {file, lockFd, id});
}

void Connection::forgetAttached(const QString& alias) {
    const auto it = attached_.constFind(alias);
    if (it == attached_.constEnd()) return;
    const AttachedFile a = *it;
    attached_.erase(it);
    ForgetFileHolder(a.file, a.id);
    ReleaseFileLock(a.lockFd, a.file);
}

Connection::~Connection() { closeNow(); }

void Connection::closeNow() {
    for (auto& list : idle_)
        for (sqlite3_stmt* s : list) sqlite3_finalize(s);
    idle_.clear();
    idleCount_ = 0;
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    for (const QString& alias : attached_.keys()) forgetAttached(alias);
    if (checked_) {
        checked_ = false;
        ForgetFileHolder(path_, id_);
    }
    ReleaseFileLock(lockFd_, path_);
    lockFd_ = -1;
}

void Connection::fail(int rc, const QString& context) const {
    QString message = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString();
    if (!context.isEmpty()) message += QStringLiteral(" [") + context + QStringLiteral("]");
    // A statement on an attached file names that file (by its alias): a full disk or a read-only file
    // is told by the file the statement wrote.
    QString file = path_;
    for (auto it = attached_.constBegin(); it != attached_.constEnd(); ++it)
        if (context.contains(QLatin1Char('"') + it.key() + QStringLiteral("\"."))) file = it->file;
    const int primary = rc & 0xff;
    if (!attached_.isEmpty() &&
        (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR))
        file = damagedFile(file);
    ThrowSqliteError(rc, message, file, IsBuiltInPassword(password_));
}

// A statement over several files may meet the damage of any of them, and the engine does not say
// which: the one its check finds damaged, the file the statement named first.
QString Connection::damagedFile(const QString& named) const {
    QList<QPair<QString, QString>> files{{QStringLiteral("main"), path_}};
    for (auto it = attached_.constBegin(); it != attached_.constEnd(); ++it)
        files.append({it.key(), it->file});
    std::stable_partition(files.begin(), files.end(), [&](const auto& f) { return f.second == named; });
    for (const auto& [schema, file] : files)
        if (!EngineFindings(db_, schema).isEmpty()) return file;
    return named;
}

sqlite3_stmt* Connection::acquire(const QString& sql) {
    auto it = idle_.find(sql);
    if (it != idle_.end() && !it->isEmpty()) {
        --idleCount_;
        return it->takeLast();
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db_, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fail(rc, sql);
    }
    return stmt;
}

std::shared_ptr<const Connection::ColumnMap> Connection::columns(const QString& sql, sqlite3_stmt* stmt) {
    // A schema change re-prepares the statement underneath; a changed column count shows it.
    auto it = columnMaps_.constFind(sql);
    if (it != columnMaps_.constEnd() && (*it)->size() == sqlite3_column_count(stmt)) return *it;
    auto map = std::make_shared<ColumnMap>();
    const int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, i)).toLower();
        if (!map->contains(name)) map->insert(name, i);
    }
    if (columnMaps_.size() >= kMaxIdleStatements) columnMaps_.clear();
    columnMaps_.insert(sql, map);
    return map;
}

void Connection::release(const QString& sql, sqlite3_stmt* stmt) {
    if (!stmt) return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!db_ || idleCount_ >= kMaxIdleStatements) {
        sqlite3_finalize(stmt);
        return;
    }
    idle_[sql].append(stmt);
    ++idleCount_;
}

void Connection::bind(sqlite3_stmt* stmt, const Params& params, Binding utf8) {
    const int expected = sqlite3_bind_parameter_count(stmt);
    if (expected != params.size())
        throw DaoError(kErrGeneric, QStringLiteral("参数个数不符 (%1/%2)。").arg(params.size()).arg(expected));
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        const int pos = i + 1;
        int rc = SQLITE_OK;
        if (v.metaType() == QMetaType::fromType<Utf8Text>()) {
            const QByteArray& bytes = static_cast<const Utf8Text*>(v.constData())->bytes;
            const auto keep = utf8 == Binding::InPlace ? SQLITE_STATIC : SQLITE_TRANSIENT;
            rc = sqlite3_bind_text64(stmt, pos, bytes.constData(), sqlite3_uint64(bytes.size()), keep,
                                     SQLITE_UTF8);
        } else if (v.isNull() && v.typeId() != QMetaType::QString) {
            rc = sqlite3_bind_null(stmt, pos);
        } else {
            switch (v.typeId()) {
                case QMetaType::Bool:
                    rc = sqlite3_bind_int(stmt, pos, v.toBool() ? 1 : 0);
                    break;
                case QMetaType::Int:
                case QMetaType::UInt:
                case QMetaType::LongLong:
                case QMetaType::ULongLong:
                case QMetaType::Short:
                case QMetaType::UShort:
                case QMetaType::Char:
                case QMetaType::UChar:
                case QMetaType::SChar:
                case QMetaType::Long:
                case QMetaType::ULong:
                    rc = sqlite3_bind_int64(stmt, pos, v.toLongLong());
                    break;
                case QMetaType::Double:
                case QMetaType::Float:
                    rc = sqlite3_bind_double(stmt, pos, v.toDouble());
                    break;
                case QMetaType::QByteArray: {
                    const QByteArray bytes = v.toByteArray();
                    rc = sqlite3_bind_blob64(stmt, pos, bytes.constData(), sqlite3_uint64(bytes.size()),
                                             SQLITE_TRANSIENT);
                    break;
                }
                default: {
                    const QString text = v.toString();
                    rc = sqlite3_bind_text16(stmt, pos, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
                    break;
                }
            }
        }
        if (rc != SQLITE_OK) fail(rc);
    }
}

int Connection::execute(const QString& sql, const Params& params) {
    static const QRegularExpression schemaChange(QStringLiteral("^\\s*(CREATE|ALTER|DROP|ATTACH|DETACH)\\b"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const QChar first = sql.isEmpty() ? QChar() : sql.at(0).toUpper();
    if ((first == 'C' || first == 'A' || first == 'D' || first.isSpace()) && schemaChange.match(sql).hasMatch())
        columnMaps_.clear();
    sqlite3_stmt* stmt = acquire(sql);
    try {
        // The values stay alive until the statement is reset below.
        bind(stmt, params, Binding::InPlace);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) fail(rc, sql);
    } catch (...) {
        release(sql, stmt);
        throw;
    }
    release(sql, stmt);
    return sqlite3_changes(db_);
}

}  // namespace dao
