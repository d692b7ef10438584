#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_file_guard.h"
#include "platform/dao/dao_function.h"
#include "platform/disk_full.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/package_format.h"
#include "store/package_walk.h"
#include "store/outside_page.h"
#include "store/reserved_names.h"
#include "store/strong_password.h"

namespace {

using package_format::kKeywords;
using package_format::kMembers;
using package_format::kPages;
using package_format::kPictures;

constexpr int kMembersPerRun = 20000;
constexpr qint64 kEventsEveryMs = 100;

// Aliases of the package copy and of the picture and page files while attached to the members database.
const QString kPackage = QStringLiteral("rl_pkg");
const QString kImages = QStringLiteral("rl_img");
const QString kStories = QStringLiteral("rl_stry");

// The member fields a package brings; the walk sets the name and the father, the book the rest.
const char* const kCopiedFields[] = {
    "mother",      "mother_birthday", "mother_death", "m_education",   "m_position",   "Mother_active",
    "mother_folk", "boy_birthday",    "boy_death",    "boy_education", "boy_position", "boy_active",
    "boy_folk",    "Boy_Sex",         "c_jc_w_z_h",   "boy_sort",      "mysql_id",     "myacc_id"};

QString In(const QString& schema, const QString& table) {
    return dao::QuoteIdent(schema) + QLatin1Char('.') + dao::QuoteIdent(table);
}

[[noreturn]] void Refuse(int number, const QString& description) {
    throw dao::DaoError(number, description);
}

// Checks the package copy and places its members in memory; nothing is restored before the strong
// password has been checked.
PackageWalk ReadPackage(const QString& copy, const QString& password, const QString& digest) {
    const QString notAPackage =
        QStringLiteral("文件 '%1' 不是本程序的族谱包，没有导入。").arg(QFileInfo(copy).canonicalFilePath());
    dao::Database db;
    try {
        db = dao::Database::Open(copy, password, true);
    } catch (const dao::DaoError& e) {
        // A database file without a password takes none: a password typed for it is not what is wrong.
        if (e.Number() != dao::kErrWrongPassword || password.isEmpty() || !package_format::IsPlainDatabase(copy))
            throw;
        dao::Database plain = dao::Database::Open(copy, QString(), true);
        if (!package_format::HasDataTables(plain)) Refuse(dao::kErrTableNotFound, notAPackage);
        throw;
    }
    if (!package_format::HasDataTables(db)) Refuse(dao::kErrTableNotFound, notAPackage);
    if (strong_password::HasRecord(db) && strong_password::StoredDigest(db) != digest)
        Refuse(dao::kErrWrongPassword, QStringLiteral("强力密码不正确！再试一次吧。"));
    return PackageWalk::Read(db, package_format::MakeKeys(digest), copy);
}

// What the walk gives each member: its name in the book, and its father there: the attach-under member
// for the root, its parent's new name. The walk reaches a loop in the father links from its first member
// (by row), whose parent therefore comes no earlier: the loop is opened before him and he stands as a
// root, as the merge of a download opens its loops; a member who names himself his father is a loop of one.
// A member whose father is neither in the package nor in the book stands as a root too: under a father
// nobody bears, the tree would never reach him.
class Placed {
public:
    Placed(const PackageWalk& walk, const QString& attachUnder) : walk_(walk), attachUnder_(attachUnder) {
        std::vector<QString> asked;
        asked.reserve(walk.members.size());
        for (const PackageWalk::Member& m : walk.members) asked.push_back(PackageWalk::Incoming(m.name));
        BatchUniqueNames unique(App().DataDb, asked);
        std::vector<QString>().swap(asked);
        names_.resize(walk.members.size());
        place_.resize(walk.members.size());
        fatherInBook_.resize(walk.members.size());
        QElapsedTimer sinceEvents;
        sinceEvents.start();
        // Each parent is named before its children, so that each child takes its own parent's new name.
        for (qint32 p = 0; p < qint32(walk.order.size()); ++p) {
            const qint32 i = walk.order[size_t(p)];
            const PackageWalk::Member& m = walk.members[size_t(i)];
            names_[size_t(i)] = unique.Give(PackageWalk::Incoming(m.name));
            place_[size_t(i)] = p;
            // Asked before anything is written: the book as it was.
            if (m.parent < 0 && !m.father.isEmpty()) fatherInBook_[size_t(i)] = InBook(m.father);
            if (sinceEvents.elapsed() >= kEventsEveryMs) {
                DoEvents();
                sinceEvents.restart();
            }
        }
    }
    const QString& Name(qint32 member) const { return names_[size_t(member)]; }
    QVariant Father(qint32 member) const {
        const PackageWalk::Member& m = walk_.members[size_t(member)];
        if (!attachUnder_.isEmpty() && member == walk_.root) return attachUnder_;
        if (OpensLoop(member)) return QString("");
        if (m.parent >= 0) return names_[size_t(m.parent)];
        if (m.father.isEmpty()) return m.fatherNull ? QVariant() : QVariant(QString(""));
        return fatherInBook_[size_t(member)] ? QVariant(m.father) : QVariant(QString(""));
    }

private:
    bool OpensLoop(qint32 member) const {
        const qint32 parent = walk_.members[size_t(member)].parent;
        return parent >= 0 && place_[size_t(parent)] >= place_[size_t(member)];
    }
    // "No_Display" marks a hidden root: it names no father the tree shows.
    static bool InBook(const QString& father) {
        if (father.compare(QLatin1String("No_Display"), Qt::CaseInsensitive) == 0) return false;
        return !App()
                    .DataDb
                    .Scalar(QStringLiteral("SELECT 1 FROM main.\"本姓成员\" WHERE \"filial\" = ? LIMIT 1"),
                            {father})
                    .isNull();
    }

    const PackageWalk& walk_;
    const QString attachUnder_;
    std::vector<QString> names_;      // by member
    std::vector<qint32> place_;       // by member: its place in the walk
    std::vector<bool> fatherInBook_;  // by member without a parent in the package
};

// Appends the members in the order of the walk, runs of them at a time, each row copied by the engine
// with its name and father given by the walk.
void AppendMembers(dao::Database& db, const PackageWalk& walk, const Placed& placed, const QString& copy) {
    const QStringList packageFields = db.FieldNames(kMembers, kPackage);
    QString columns = QStringLiteral("\"father\", \"filial\"");
    QString selected = QStringLiteral("qz_father(o.i), qz_name(o.i)");
    for (const char* field : kCopiedFields) {
        if (!packageFields.contains(QLatin1String(field), Qt::CaseInsensitive)) continue;
        columns += QStringLiteral(", ") + dao::QuoteIdent(QLatin1String(field));
        selected += QStringLiteral(", m.") + dao::QuoteIdent(QLatin1String(field));
    }
    // The walk's places are counted out by the engine in order, each joined to its package row.
    const QString insert =
        QStringLiteral(
            "WITH RECURSIVE o(i) AS (SELECT ?1 UNION ALL SELECT i + 1 FROM o WHERE i < ?2) "
            "INSERT INTO main.\"本姓成员\" (") +
        columns + QStringLiteral(") SELECT ") + selected + QStringLiteral(" FROM o CROSS JOIN ") +
        In(kPackage, kMembers) + QStringLiteral(" m ON m.rowid = qz_row(o.i)");
    const auto member = [&](std::span<const QVariant> a) -> const qint32& {
        return walk.order[size_t(a[0].toLongLong())];
    };
    const dao::SqlFunction row(db, QStringLiteral("qz_row"), 1, [&](std::span<const QVariant> a) {
        return QVariant(walk.members[size_t(member(a))].row);
    });
    const dao::SqlFunction name(db, QStringLiteral("qz_name"), 1, [&](std::span<const QVariant> a) {
        return QVariant(placed.Name(member(a)));
    });
    const dao::SqlFunction father(db, QStringLiteral("qz_father"), 1,
                                  [&](std::span<const QVariant> a) { return placed.Father(member(a)); });
    const qint64 count = qint64(walk.order.size());
    for (qint64 from = 0; from < count; from += kMembersPerRun) {
        const qint64 to = std::min(count, from + kMembersPerRun) - 1;
        // A row the package listed and cannot find again is a damaged file.
        if (db.Execute(insert, {from, to}) != to - from + 1)
            Refuse(dao::kErrDamaged, dao::DamagedFileText(QFileInfo(copy).canonicalFilePath(), QString()));
        DoEvents();
    }
}

// Appends the rows of a side table under their members' new names: the name the walk gave the first
// member bearing the row's name, or the row's own name. With a strong password each row is restored on
// its way.
void AppendSideRows(dao::Database& db, const QString& table, const QString& targetSchema,
                    const QStringList& columns, const package_format::Keys* keys) {
    QString list;
    QString selected;
    const QString packageName =
        keys ? QStringLiteral("qz_restore(s.\"filial\", ?2)") : QStringLiteral("s.\"filial\"");
    for (const QString& c : columns) {
        list += dao::QuoteIdent(c) + QStringLiteral(", ");
        QString value = QStringLiteral("s.") + dao::QuoteIdent(c);
        if (keys && c == QLatin1String("myimage"))
            value = QStringLiteral("qz_toggle(") + value + QStringLiteral(", ?1)");
        if (keys && c == QLatin1String("Hisdescript"))
            value = QStringLiteral("qz_restore(") + value + QStringLiteral(", ?1)");
        // A package may come from anyone (an e-book from any web address): its page is kept inert,
        // with the pictures its member brings.
        if (c == QLatin1String("Hisdescript"))
            value = QStringLiteral("qz_clean(") + value + QStringLiteral(", ") + packageName + QLatin1Char(')');
        selected += value + QStringLiteral(", ");
    }
    const QString filial = QStringLiteral("qz_rename(") + packageName + QLatin1Char(')');
    db.Execute(QStringLiteral("INSERT INTO ") + In(targetSchema, table) + QStringLiteral(" (") + list +
                   QStringLiteral("\"filial\") SELECT ") + selected + filial + QStringLiteral(" FROM ") +
                   In(kPackage, table) + QStringLiteral(" s ORDER BY s.rowid"),
               keys ? dao::Params{keys->first, keys->second} : dao::Params{});
}

// The stored paths of the pictures the package brings, by the name key of the member they belong to
// in the package.
QHash<QString, QStringList> BroughtPictures(dao::Database& db, const package_format::Keys* keys) {
    QHash<QString, QStringList> pictures;
    for (dao::Recordset rs = db.OpenRecordset(QStringLiteral("SELECT \"filial\", \"imagepath\" FROM ") +
                                              In(kPackage, kPictures) + QStringLiteral(" ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext()) {
        const QVariant filial = rs.value(0);
        if (!filial.isValid()) continue;
        const QString name = keys ? DecodeText(filial.toString(), keys->second) : filial.toString();
        pictures[NameColumnKey(name)] << rs.value(1).toString();
    }
    return pictures;
}

// A large package into a large book: the indexes of the member names go before the rows and are built
// again after them, one sorted pass each, instead of taking the new names at scattered places, where each
// insert reads, decrypts and writes again a page of an index far larger than the page cache. (The other
// indexes take the new rows at their end.) Their freed pages hold nothing the book does not keep, so
// they are freed without being overwritten.
class NameIndexesSetAside {
public:
    NameIndexesSetAside(dao::Database& db, qint64 incoming) : db_(db) {
        const qint64 held = db.Scalar(QStringLiteral("SELECT count(*) FROM main.\"本姓成员\"")).toLongLong();
        if (incoming * 2 < held || held + incoming < kLargeBook) return;
        QStringList names;
        for (dao::Recordset rs = db.OpenRecordset(QStringLiteral("PRAGMA main.index_list(\"本姓成员\")"));
             rs.hasRow(); rs.MoveNext())
            if (!rs.value(4).toBool() && rs.value(3).toString() == QLatin1String("c"))
                names << rs.value(1).toString();
        for (const QString& name : names) {
            dao::Recordset columns = db.OpenRecordset(QStringLiteral("PRAGMA main.index_info(") +
                                                      dao::QuoteIdent(name) + QLatin1Char(')'));
            const QString first = columns.hasRow() ? columns.value(2).toString() : QString();
            columns.Close();
            if (first.compare(QLatin1String("filial"), Qt::CaseInsensitive) != 0 &&
                first.compare(QLatin1String("father"), Qt::CaseInsensitive) != 0)
                continue;
            set_ << name;
            created_ << db.Scalar(
                              QStringLiteral("SELECT \"sql\" FROM main.sqlite_master WHERE \"type\"='index' "
                                             "AND \"name\"=?"),
                              {name})
                            .toString();
        }
        if (set_.isEmpty()) return;
        const dao::FreeWithoutOverwriting freed(db);
        for (const QString& name : set_)
            db.Execute(QStringLiteral("DROP INDEX main.") + dao::QuoteIdent(name));
    }
    // A name given twice would fail the name index here, and the import with it.
    void BuildAgain() {
        for (const QString& sql : created_) {
            db_.Execute(sql);
            DoEvents();
        }
    }

private:
    static constexpr qint64 kLargeBook = 200000;
    dao::Database& db_;
    QStringList set_;      // the names of the indexes set aside
    QStringList created_;  // the statements that made them
};

void Merge(const QString& copy, const QString& password, const PackageWalk& walk, const Placed& placed,
           const QString& digest) {
    dao::Database& db = App().DataDb;
    dao::AttachGuard attached(db);
    attached.Attach(copy, kPackage, password);
    attached.Attach(ImageDbPath(), kImages, BookDbPassword());
    attached.Attach(DescriptDbPath(), kStories, BookDbPassword());
    // The package's rows are read in the order of the walk, not of their pages: a page cache that holds
    // them saves decrypting each page again and again.
    db.Execute(QStringLiteral("PRAGMA ") + dao::QuoteIdent(kPackage) + QStringLiteral(".cache_size=-65536"));
    const package_format::Keys keys = package_format::MakeKeys(digest);
    const package_format::Keys* restore = digest.isEmpty() ? nullptr : &keys;
    // Null is no name and stays Null; restored names are not trimmed here.
    const dao::SqlFunction restored(db, QStringLiteral("qz_restore"), 2, [](std::span<const QVariant> a) {
        return a[0].isValid() ? QVariant(DecodeText(a[0].toString(), a[1].toString())) : QVariant();
    });
    const QHash<QString, QStringList> pictures = BroughtPictures(db, restore);
    const dao::SqlFunction cleaned(db, QStringLiteral("qz_clean"), 2, [&](std::span<const QVariant> a) {
        if (!a[0].isValid()) return a[0];
        const QString stored = a[0].toString();
        const QString kept =
            outside_page::StoredCleaned(stored, pictures.value(NameColumnKey(a[1].toString())));
        return kept == stored ? a[0] : QVariant(kept);
    });
    const dao::SqlFunction toggled(db, QStringLiteral("qz_toggle"), 2, [](std::span<const QVariant> a) {
        return package_format::ToggledPicture(a[0], a[1].toString());
    });
    const dao::SqlFunction renamed(db, QStringLiteral("qz_rename"), 1, [&](std::span<const QVariant> a) {
        if (!a[0].isValid()) return a[0];
        const qint32 member = walk.Named(a[0].toString());
        return member < 0 ? a[0] : QVariant(placed.Name(member));
    });
    dao::Transaction tx = db.BeginTrans();
    NameIndexesSetAside indexes(db, qint64(walk.members.size()));
    AppendMembers(db, walk, placed, copy);
    indexes.BuildAgain();
    AppendSideRows(db, kKeywords, QStringLiteral("main"), {QStringLiteral("page_key")}, nullptr);
    AppendSideRows(db, kPictures, kImages, {QStringLiteral("imagepath"), QStringLiteral("myimage")}, restore);
    AppendSideRows(db, kPages, kStories, {QStringLiteral("Hisdescript")}, restore);
    tx.Commit();
}

const QString kCopyFolderPrefix = QStringLiteral("qentara-import-");

// The private copy's folder, held by a lock file beside it while the import runs. The lock is made and
// held before the folder, and outlives it, so a kill at any moment leaves a folder with its lock, or a
// lock alone: whatever nobody holds is what a killed import left behind.
class CopyFolder {
public:
    CopyFolder() {
        QByteArray lock =
            QFile::encodeName(QDir::temp().filePath(kCopyFolderPrefix + QStringLiteral("XXXXXX"))) +
            kLockSuffix;
        fd_ = ::mkostemps(lock.data(), int(std::strlen(kLockSuffix)), O_CLOEXEC);
        if (fd_ < 0) return;
        ::flock(fd_, LOCK_EX);
        // Another import's clean-up may have taken the lock file between its making and the lock.
        struct stat held {};
        if (::fstat(fd_, &held) != 0 || held.st_nlink == 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        lock_ = QFile::decodeName(lock);
        path_ = lock_.chopped(int(std::strlen(kLockSuffix)));
        if (!QDir().mkdir(path_)) Release();
    }
    ~CopyFolder() {
        if (!isValid()) return;
        QDir(path_).removeRecursively();
        Release();
    }
    bool isValid() const { return fd_ >= 0; }
    QString path() const { return path_; }

    static void RemoveLeftovers() {
        const QDir temp = QDir::temp();
        const QStringList names =
            temp.entryList({kCopyFolderPrefix + '*'}, QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            const QString entry = temp.filePath(name);
            const bool lockFile = name.endsWith(QLatin1String(kLockSuffix));
            // A folder goes with its lock; an earlier version kept the lock inside the folder ("busy").
            if (!lockFile && names.contains(name + QLatin1String(kLockSuffix))) continue;
            const QString lock = lockFile ? entry : entry + QStringLiteral("/busy");
            const int fd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CLOEXEC);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd);
                continue;  // another import is running
            }
            QDir(lockFile ? entry.chopped(int(std::strlen(kLockSuffix))) : entry).removeRecursively();
            if (lockFile) QFile::remove(entry);
            if (fd >= 0) ::close(fd);
        }
    }

private:
    static constexpr const char* kLockSuffix = ".busy";
    void Release() {
        QFile::remove(lock_);
        ::close(fd_);
        fd_ = -1;
    }
    QString lock_;
    QString path_;
    int fd_ = -1;
};

void Import(const QString& path, const QString& password, const QString& attachUnder, const QString& digest) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        Refuse(dao::kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    CopyFolder::RemoveLeftovers();
    // The import works in a private copy: the package itself is only read, so a read-only package or one
    // on a read-only medium imports as well, and an interrupted import cannot change it.
    CopyFolder folder;
    const QString copy = folder.path() + QStringLiteral("/package.mdb");
    const CopyFailure copied =
        !folder.isValid() ? (NoRoomLeftAt(QDir::tempPath()) ? CopyFailure::NoRoom : CopyFailure::Writing)
                          : CopyWholeFile(path, copy);
    // The user knows the package, not the private copy: a full temporary folder is told as such.
    if (copied == CopyFailure::NoRoom)
        Refuse(kErrDiskFull, QStringLiteral("临时文件夹所在的磁盘已满，不能导入文件 '%1'。").arg(path));
    if (copied == CopyFailure::Writing)
        Refuse(dao::kErrGeneric, QStringLiteral("不能在临时文件夹中复制文件 '%1'，没有导入。").arg(path));
    if (copied == CopyFailure::Reading)
        Refuse(dao::kErrGeneric, QStringLiteral("不能读取文件 '%1'。").arg(path));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    try {
        const PackageWalk walk = ReadPackage(copy, password, digest);
        const Placed placed(walk, attachUnder);
        Merge(copy, password, walk, placed, digest);
    } catch (const dao::DaoError& e) {
        dao::ReleaseIdleConnections(copy);
        // The user knows the package, not its private copy.
        QString description = e.Description();
        description.replace(QFileInfo(copy).canonicalFilePath(), path);
        Refuse(e.Number(), description);
    } catch (...) {
        dao::ReleaseIdleConnections(copy);
        throw;
    }
    dao::ReleaseIdleConnections(copy);
}

}  // namespace

qint32 Cls数据操作::ReLoad(const QString& path, const QString& password, const QString& attachUnder,
                           const QString& digest, QString* errorText) {
    AppState& app = App();
    ProgressScope progress;
    app.ExclusiveDb.Close();
    app.ImageDb.Close();
    app.DescriptDb.Close();
    try {
        Import(path, password, attachUnder, digest);
    } catch (const dao::DaoError& e) {
        if (errorText) *errorText = e.Description();
        return e.Number();
    } catch (const VbError& e) {
        if (errorText) *errorText = e.Description();
        return e.number;
    } catch (const std::exception& e) {
        if (errorText) *errorText = QString::fromLocal8Bit(e.what());
        return dao::kErrGeneric;
    }
    // The next marking of a root numbers it again.
    app.RootAncestorName.clear();
    return 0;
}

void Cls数据操作::RemoveImportLeftovers() {
    CopyFolder::RemoveLeftovers();
}
