#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <exception>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "frame/text_scramble.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_file_guard.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/package_format.h"
#include "store/reserved_names.h"
#include "store/strong_password.h"

namespace {

using package_format::kKeywords;
using package_format::kMembers;
using package_format::kPages;
using package_format::kPictures;

constexpr int kRowsPerDoEvents = 500;

// Aliases of the package copy and of the picture and page files while attached to the members database.
const QString kPackage = QStringLiteral("rl_pkg");
const QString kImages = QStringLiteral("rl_img");
const QString kStories = QStringLiteral("rl_stry");

// Work tables inside the package copy: the members with their names restored and their place in the
// walk, and the names the walk gave them in the book.
const QString kWalk = QStringLiteral("q_walk");
const QString kNames = QStringLiteral("q_names");

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

// Null is no name and stays as it is; a name loses the blanks at its ends before it is restored.
QVariant Restore(const QVariant& stored, const QString& key, bool trim) {
    if (!stored.isValid()) return stored;
    return DecodeText(trim ? Trim(stored.toString()) : stored.toString(), key);
}

// The private copy is thrown away whatever happens, so its writes need neither a journal on disk nor
// syncs; nor does it make the book's commit a commit of several files.
void WorkWithoutSyncs(dao::Database& db, const QString& schema) {
    db.Execute(QStringLiteral("PRAGMA ") + dao::QuoteIdent(schema) + QStringLiteral(".synchronous=OFF"));
    db.Execute(QStringLiteral("PRAGMA ") + dao::QuoteIdent(schema) + QStringLiteral(".journal_mode=MEMORY"));
}

// Gives every row of the walk a level: breadth first from the root, then from the members whose father
// is not in the package, then from whatever a loop in the father links kept out of reach.
void Spread(dao::Database& db, qint64& level) {
    // "+level" keeps the level index out of the outer loop: the walk then goes from the members of the
    // last level to their children through the parent index, linear in the depth of the tree.
    const QString next = QStringLiteral("UPDATE ") + dao::QuoteIdent(kWalk) +
                         QStringLiteral(
                             " SET \"level\"=? WHERE +\"level\" IS NULL AND \"parent\" IN "
                             "(SELECT \"pkg_row\" FROM ") +
                         dao::QuoteIdent(kWalk) + QStringLiteral(" WHERE \"level\"=?)");
    int levels = 0;
    while (db.Execute(next, {level + 1, level}) > 0) {
        ++level;
        if (++levels % kRowsPerDoEvents == 0) DoEvents();
    }
}

void NumberTheWalk(dao::Database& db, const QVariant& root) {
    const QString walk = dao::QuoteIdent(kWalk);
    qint64 level = 0;
    if (root.isValid()) {
        db.Execute(QStringLiteral("UPDATE ") + walk + QStringLiteral(" SET \"level\"=0 WHERE \"pkg_row\"=?"),
                   {root});
        Spread(db, level);
    }
    ++level;
    if (db.Execute(QStringLiteral("UPDATE ") + walk +
                       QStringLiteral(" SET \"level\"=? WHERE \"level\" IS NULL AND \"parent\" IS NULL"),
                   {level}) > 0)
        Spread(db, level);
    const QString firstLeft = QStringLiteral("SELECT \"pkg_row\" FROM ") + walk +
                              QStringLiteral(" WHERE \"level\" IS NULL ORDER BY \"pkg_row\" LIMIT 1");
    for (QVariant row = db.Scalar(firstLeft); row.isValid(); row = db.Scalar(firstLeft)) {
        ++level;
        db.Execute(QStringLiteral("UPDATE ") + walk + QStringLiteral(" SET \"level\"=? WHERE \"pkg_row\"=?"),
                   {level, row});
        Spread(db, level);
    }
}

// A member without a name cannot be placed: its children would attach to whoever bears their father's
// name in the book. NULs are no part of a name (the unique names leave them out). Names restored with the
// wrong keys are told by their links: the fathers of a sound package name its members, those restored with
// the wrong key name nobody. The strong-password record may have been removed, so this does not rely on it.
void RefuseUnreadableMembers(dao::Database& db, const QString& walk) {
    const qint64 nameless =
        db.Scalar(QStringLiteral("SELECT count(*) FROM ") + walk +
                  QStringLiteral(" WHERE \"name\" IS NULL OR replace(\"name\", char(0), '')=''"))
            .toLongLong();
    if (nameless > 0)
        Refuse(dao::kErrDamaged,
               QStringLiteral("族谱包中有 %1 个成员没有名字，这个包已损坏。没有导入任何成员。").arg(nameless));
    const bool fathers = db.Scalar(QStringLiteral("SELECT count(*) FROM ") + walk +
                                   QStringLiteral(" WHERE \"father\"<>''")).toLongLong() > 0;
    const bool linked = db.Scalar(QStringLiteral("SELECT count(*) FROM ") + walk +
                                  QStringLiteral(" WHERE \"parent\" IS NOT NULL")).toLongLong() > 0;
    if (fathers && !linked) Refuse(dao::kErrWrongPassword, QStringLiteral("强力密码不正确！再试一次吧。"));
}

// Checks the package copy and prepares the walk in it; returns the row of the package's root, if any.
// Nothing is restored before the strong password has been checked.
QVariant PreparePackage(const QString& copy, const QString& password, const QString& digest) {
    dao::Database db = dao::Database::Open(copy, password, true);
    db.Execute(QStringLiteral("PRAGMA cache_size=-65536"));
    WorkWithoutSyncs(db, QStringLiteral("main"));
    for (const QString& table : {kMembers, kKeywords, kPictures, kPages})
        if (!db.TableExists(table))
            Refuse(dao::kErrTableNotFound, QStringLiteral("找不到输入表或查询 (%1)。").arg(table));
    if (strong_password::HasRecord(db) && strong_password::StoredDigest(db) != digest)
        Refuse(dao::kErrWrongPassword, QStringLiteral("强力密码不正确！再试一次吧。"));

    const package_format::Keys keys = package_format::MakeKeys(digest);
    const QString walk = dao::QuoteIdent(kWalk);
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + walk);
    db.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + dao::QuoteIdent(kNames));
    db.Execute(QStringLiteral("CREATE TABLE ") + walk +
               QStringLiteral(" (\"pkg_row\" INTEGER PRIMARY KEY, \"name\" TEXT COLLATE NOCASE, "
                              "\"father\" TEXT COLLATE NOCASE, \"parent\" INTEGER, \"level\" INTEGER)"));
    db.Execute(QStringLiteral("CREATE TABLE ") + dao::QuoteIdent(kNames) +
               QStringLiteral(" (\"pkg_row\" INTEGER PRIMARY KEY, \"new_name\" TEXT, \"book_id\" INTEGER, "
                              "\"deferred\" INTEGER)"));
    const QString insert = QStringLiteral("INSERT INTO ") + walk +
                           QStringLiteral(" (\"pkg_row\", \"name\", \"father\") VALUES (?, ?, ?)");
    int count = 0;
    try {
        for (dao::Recordset rs =
                 db.OpenRecordset(QStringLiteral("SELECT rowid, \"father\", \"filial\" FROM ") +
                                  dao::QuoteIdent(kMembers) + QStringLiteral(" ORDER BY rowid"));
             rs.hasRow(); rs.MoveNext()) {
            db.Execute(insert, {rs.value(0), Restore(rs.value(2), keys.second, true),
                                Restore(rs.value(1), keys.first, true)});
            if (++count % kRowsPerDoEvents == 0) DoEvents();
        }
    } catch (const dao::DaoError& e) {
        // A sound file never holds one row number twice.
        if (e.Number() != dao::kErrDuplicateKey) throw;
        Refuse(dao::kErrDamaged, dao::DamagedFileText(QFileInfo(copy).canonicalFilePath(), QString()));
    }
    db.Execute(QStringLiteral("CREATE INDEX \"q_walk_name\" ON ") + walk + QStringLiteral(" (\"name\")"));
    // Each member's parent is the package member its father names; a name without text is nobody's.
    db.Execute(QStringLiteral("UPDATE ") + walk +
               QStringLiteral(" SET \"parent\"=(SELECT p.\"pkg_row\" FROM ") + walk +
               QStringLiteral(" p WHERE p.\"name\"=") + walk +
               QStringLiteral(".\"father\" AND p.\"pkg_row\"<>") + walk +
               QStringLiteral(".\"pkg_row\" ORDER BY p.\"pkg_row\" LIMIT 1) WHERE \"father\"<>''"));
    db.Execute(QStringLiteral("CREATE INDEX \"q_walk_parent\" ON ") + walk + QStringLiteral(" (\"parent\")"));
    RefuseUnreadableMembers(db, walk);
    db.Execute(QStringLiteral("CREATE INDEX \"q_walk_order\" ON ") + walk +
               QStringLiteral(" (\"level\", \"pkg_row\")"));
    // The export leaves the root's father empty.
    const QVariant root =
        db.Scalar(QStringLiteral("SELECT \"pkg_row\" FROM ") + walk +
                  QStringLiteral(" WHERE \"father\" IS NULL OR \"father\"='' ORDER BY \"pkg_row\" LIMIT 1"));
    NumberTheWalk(db, root);
    tx.Commit();
    return root;
}

// The name the walk gave the package member called name; used for keyword, picture and page rows.
QString NewNameOf(const QString& name) {
    return QStringLiteral("(SELECT n.\"new_name\" FROM ") + In(kPackage, kWalk) + QStringLiteral(" w JOIN ") +
           In(kPackage, kNames) + QStringLiteral(" n ON n.\"pkg_row\"=w.\"pkg_row\" WHERE w.\"name\"=") +
           name + QStringLiteral(" ORDER BY w.\"pkg_row\" LIMIT 1)");
}

// Appends the members in the order of the walk, each under a name unique in the book and under its own
// parent's new name.
void AppendMembers(Cls数据操作& ops, dao::Database& db, const QVariant& root, const QString& attachUnder) {
    const QStringList packageFields = db.FieldNames(kMembers, kPackage);
    QStringList fields;
    for (const char* field : kCopiedFields)
        if (packageFields.contains(QLatin1String(field), Qt::CaseInsensitive)) fields << QLatin1String(field);
    QString columns = QStringLiteral("\"father\", \"filial\"");
    QString marks = QStringLiteral("?, ?");
    QString selected;
    for (const QString& field : fields) {
        columns += QStringLiteral(", ") + dao::QuoteIdent(field);
        marks += QStringLiteral(", ?");
        selected += QStringLiteral(", m.") + dao::QuoteIdent(field);
    }
    const QString insert = QStringLiteral("INSERT INTO main.\"本姓成员\" (") + columns +
                           QStringLiteral(") VALUES (") + marks + ')';
    const QString record =
        QStringLiteral("INSERT INTO ") + In(kPackage, kNames) +
        QStringLiteral(" (\"pkg_row\", \"new_name\", \"book_id\", \"deferred\") VALUES (?, ?, ?, ?)");
    // The walk gives parents their names before their children: kept here, not looked up again.
    QHash<qint64, QString> newNames;

    dao::Params row;
    int count = 0;
    SuffixMemo suffixes;
    const auto holdsNul = [&](const QString& table, const char* column) {
        return db.Scalar(QStringLiteral("SELECT 1 FROM ") + table + QStringLiteral(" WHERE instr(CAST(") +
                         dao::QuoteIdent(QLatin1String(column)) + QStringLiteral(" AS BLOB), x'00')>0 LIMIT 1"))
            .isValid();
    };
    suffixes.SetRangesExact(!holdsNul(QStringLiteral("main.\"本姓成员\""), "filial") &&
                            !holdsNul(In(kPackage, kWalk), "name"));
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT w.\"pkg_row\", w.\"name\", w.\"father\", w.\"parent\"") + selected +
             QStringLiteral(" FROM ") +
             In(kPackage, kWalk) + QStringLiteral(" w CROSS JOIN ") + In(kPackage, kMembers) +
             QStringLiteral(" m ON m.rowid=w.\"pkg_row\" ORDER BY w.\"level\", w.\"pkg_row\""));
         rs.hasRow(); rs.MoveNext()) {
        const QVariant pkgRow = rs.value(0);
        const QString name = ops.TongMing字Batch(StripBracketSuffix(rs.value(1).toString()), suffixes);
        QVariant father = rs.value(2);
        bool deferred = false;
        if (!attachUnder.isEmpty() && root.isValid() && pkgRow == root) {
            father = attachUnder;
        } else if (rs.value(3).isValid()) {
            const auto parent = newNames.constFind(rs.value(3).toLongLong());
            // Only a loop in the father links puts a child before its parent.
            deferred = parent == newNames.constEnd();
            if (!deferred) father = *parent;
        }
        row.clear();
        row << father << name;
        for (int i = 0; i < fields.size(); ++i) row << rs.value(4 + i);
        db.Execute(insert, row);
        db.Execute(record, {pkgRow, name, db.LastInsertId(), deferred ? 1 : 0});
        newNames.insert(pkgRow.toLongLong(), name);
        if (++count % kRowsPerDoEvents == 0) DoEvents();
    }
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT n.\"book_id\", p.\"new_name\" FROM ") + In(kPackage, kNames) +
             QStringLiteral(" n JOIN ") + In(kPackage, kWalk) +
             QStringLiteral(" w ON w.\"pkg_row\"=n.\"pkg_row\" JOIN ") + In(kPackage, kNames) +
             QStringLiteral(" p ON p.\"pkg_row\"=w.\"parent\" WHERE n.\"deferred\"=1"));
         rs.hasRow(); rs.MoveNext())
        db.Execute(QStringLiteral("UPDATE main.\"本姓成员\" SET \"father\"=? WHERE \"filial_id\"=?"),
                   {rs.value(1), rs.value(0)});
}

// Appends the rows of a side table under their members' new names. With a strong password each row is
// restored on its way, one at a time; otherwise the engine copies them.
void AppendSideRows(dao::Database& db, const QString& table, const QString& targetSchema,
                    const QStringList& columns, const package_format::Keys* keys) {
    QString list;
    for (const QString& c : columns)
        list += (list.isEmpty() ? QString() : QStringLiteral(", ")) + dao::QuoteIdent(c);
    const QString target =
        In(targetSchema, table) + QStringLiteral(" (") + list + QStringLiteral(", \"filial\")");
    if (!keys) {
        QString selected;
        for (const QString& c : columns)
            selected += QStringLiteral("s.") + dao::QuoteIdent(c) + QStringLiteral(", ");
        db.Execute(QStringLiteral("INSERT INTO ") + target + QStringLiteral(" SELECT ") + selected +
                   QStringLiteral("ifnull(") + NewNameOf(QStringLiteral("s.\"filial\"")) +
                   QStringLiteral(", s.\"filial\") FROM ") + In(kPackage, table) +
                   QStringLiteral(" s ORDER BY s.rowid"));
        return;
    }
    QString marks;
    for (qsizetype i = 0; i <= columns.size(); ++i)
        marks += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    const QString insert =
        QStringLiteral("INSERT INTO ") + target + QStringLiteral(" VALUES (") + marks + ')';
    const QString rename = QStringLiteral("SELECT ") + NewNameOf(QStringLiteral("?"));
    dao::Params row;
    int count = 0;
    for (dao::Recordset rs =
             db.OpenRecordset(QStringLiteral("SELECT ") + list + QStringLiteral(", \"filial\" FROM ") +
                              In(kPackage, table) + QStringLiteral(" ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext()) {
        row.clear();
        for (int i = 0; i < columns.size(); ++i) {
            QVariant value = rs.value(i);
            if (columns[i] == QLatin1String("myimage") && value.isValid()) {
                QByteArray bytes = value.toByteArray();
                package_format::TogglePicture(bytes, keys->first);
                value = bytes;
            } else if (columns[i] == QLatin1String("Hisdescript")) {
                value = Restore(value, keys->first, false);
            }
            row << value;
        }
        const QVariant name = Restore(rs.value(int(columns.size())), keys->second, false);
        const QVariant renamed = name.isValid() ? db.Scalar(rename, {name}) : QVariant();
        row << (renamed.isValid() ? renamed : name);
        db.Execute(insert, row);
        if (++count % kRowsPerDoEvents == 0) DoEvents();
    }
}

void Merge(Cls数据操作& ops, const QString& copy, const QString& password, const QVariant& root,
           const QString& attachUnder, const QString& digest) {
    dao::Database& db = App().DataDb;
    dao::AttachGuard attached(db);
    attached.Attach(copy, kPackage, password);
    attached.Attach(ImageDbPath(), kImages, BookDbPassword());
    attached.Attach(DescriptDbPath(), kStories, BookDbPassword());
    // The walk's tables are read in the order of the walk, not of their pages: a page cache that holds
    // them saves decrypting each page again and again.
    db.Execute(QStringLiteral("PRAGMA ") + dao::QuoteIdent(kPackage) + QStringLiteral(".cache_size=-65536"));
    WorkWithoutSyncs(db, kPackage);
    const package_format::Keys keys = package_format::MakeKeys(digest);
    const package_format::Keys* restore = digest.isEmpty() ? nullptr : &keys;

    dao::Transaction tx = db.BeginTrans();
    AppendMembers(ops, db, root, attachUnder);
    AppendSideRows(db, kKeywords, QStringLiteral("main"), {QStringLiteral("page_key")}, nullptr);
    AppendSideRows(db, kPictures, kImages, {QStringLiteral("imagepath"), QStringLiteral("myimage")}, restore);
    AppendSideRows(db, kPages, kStories, {QStringLiteral("Hisdescript")}, restore);
    tx.Commit();
}

const QString kCopyFolderPrefix = QStringLiteral("qentara-import-");

// The private copy's folder, held by a lock while the import runs; a folder whose lock nobody holds is
// what a killed import left behind.
class CopyFolder {
public:
    CopyFolder() : dir_(QDir::temp().filePath(kCopyFolderPrefix + QStringLiteral("XXXXXX"))) {
        if (dir_.isValid()) fd_ = ::open(QFile::encodeName(HoldPath(dir_.path())).constData(),
                                         O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~CopyFolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool isValid() const { return dir_.isValid() && fd_ >= 0; }
    QString path() const { return dir_.path(); }

    static void RemoveLeftovers() {
        const QDir temp = QDir::temp();
        for (const QString& name : temp.entryList({kCopyFolderPrefix + '*'}, QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString folder = temp.filePath(name);
            const int fd = ::open(QFile::encodeName(HoldPath(folder)).constData(), O_RDWR | O_CLOEXEC);
            if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd);
                continue;  // another import is running
            }
            // Without its lock file the folder may be one another import has only just made.
            if (fd < 0 && QFileInfo(folder).lastModified().secsTo(QDateTime::currentDateTime()) < 60) continue;
            QDir(folder).removeRecursively();
            if (fd >= 0) ::close(fd);
        }
    }

private:
    static QString HoldPath(const QString& folder) { return folder + QStringLiteral("/busy"); }
    QTemporaryDir dir_;
    int fd_ = -1;
};

void Import(Cls数据操作& ops, const QString& path, const QString& password, const QString& attachUnder,
            const QString& digest) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        Refuse(dao::kErrFileNotFound, QStringLiteral("找不到文件 '%1'。").arg(path));
    CopyFolder::RemoveLeftovers();
    // The import works in a private copy: the package itself is only read, so a read-only package or one
    // on a read-only medium imports as well, and an interrupted import cannot change it.
    CopyFolder folder;
    const QString copy = folder.path() + QStringLiteral("/package.mdb");
    if (!folder.isValid() || !QFile::copy(path, copy))
        Refuse(dao::kErrGeneric, QStringLiteral("不能读取文件 '%1'。").arg(path));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    try {
        const QVariant root = PreparePackage(copy, password, digest);
        Merge(ops, copy, password, root, attachUnder, digest);
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
        Import(*this, path, password, attachUnder, digest);
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
