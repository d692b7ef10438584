#include "trial_checks.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "app/startup.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "store/page_start_store.h"
#include "trial_book.h"

namespace trial_checks {

namespace {

QString Cell(const QVariant& v) {
    if (!v.isValid()) return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(
            QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha1).toHex());
    return v.toString();
}

QString Rows(dao::Database& db, const QString& sql) {
    QString text;
    for (dao::Recordset rs = db.OpenRecordset(sql); rs.hasRow(); rs.MoveNext()) {
        for (int i = 0; i < rs.fieldCount(); ++i) text += Cell(rs.value(i)) + QLatin1Char('|');
        text += QLatin1Char('\n');
    }
    return text;
}

QString Digest(const QString& text) {
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString MemberColumns(dao::Database& db, const QString& schema) {
    QStringList columns;
    for (const QString& c : db.FieldNames(QStringLiteral("本姓成员"), schema))
        if (c.compare(QLatin1String("flag"), Qt::CaseInsensitive) != 0 &&
            c.compare(QLatin1String("generation"), Qt::CaseInsensitive) != 0)
            columns << dao::QuoteIdent(c);
    return columns.join(QLatin1Char(','));
}

// Members, keywords, pictures and pages of a book or a package, in a stable order.
// Without the row ids: a help branch put back after a killed update is the old one under new ids.
QString Contents(dao::Database& db, dao::Database& images, dao::Database& pages) {
    QString members = MemberColumns(db, QStringLiteral("main"));
    members.remove(QRegularExpression(QStringLiteral("\"filial_id\",?")));
    return Rows(db,
                QStringLiteral("SELECT %1 FROM \"本姓成员\" ORDER BY \"filial\", \"father\"").arg(members)) +
           Rows(db, QStringLiteral("SELECT \"filial\", \"page_key\" FROM \"pageindx\" ORDER BY 1, 2")) +
           Rows(images,
                QStringLiteral(
                    "SELECT \"filial\", \"imagepath\", \"myimage\" FROM \"imageylk\" ORDER BY 1, 2, 3")) +
           Rows(pages, QStringLiteral("SELECT \"filial\", \"Hisdescript\" FROM \"story\" ORDER BY 1, 2"));
}

// Files the program writes while it works and removes when it is done.
bool IsWorkFile(const QString& name, const QString& path, const QString& root) {
    static const QRegularExpression pattern(
        QStringLiteral("(\\.part|\\.rewrite~|-journal|-wal|-shm|\\.lck|-mj[0-9A-Fa-f]+)$|^(gmap\\.mdb|gmap\\."
                       "tmp|\\.ebook-.*|"
                       "qentara-import-.*|help_backup\\.mdb.*|qentara\\.work|qentara\\.recut)$"));
    if (path.startsWith(trial_book::TempDir(root) + QLatin1Char('/'))) return true;
    return pattern.match(name).hasMatch();
}

void FindWorkFiles(const QString& root, QStringList& faults) {
    for (QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        if (IsWorkFile(it.fileName(), path, root))
            faults << QStringLiteral("work file left: ") + path.mid(root.size());
    }
}

// The starts of each page as the window shows the pages one after another from the first, each page's
// walk checking the starts recorded for the next.
QList<QList<PageStart>> ShownPages(int pages) {
    Cls数据操作 ops;
    MemoryTreeNodes tree;
    App().NodesPerPage = trial_book::kNodesPerPage;
    ops.Test世祖();
    QList<QList<PageStart>> shown;
    for (int page = 1; page <= pages; ++page) {
        const QList<PageStart> starts = PageStartStore().StartsOf(page);
        if (starts.isEmpty()) break;
        shown << starts;
        App().CurrentPage = page;
        ops.显示世祖(tree, trial_book::kNodesPerPage);
        ops.Tree分结点数展开(tree, trial_book::kNodesPerPage);
    }
    return shown;
}

void LeaveBook() {
    App().DataDb.Close();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
}

void CheckPageStarts(const QString& root, QStringList& faults) {
    int recorded = 1;
    {
        Cls数据操作 ops;
        recorded = qMax(PageStartStore().HighestPage(), 1);
    }
    const QList<QList<PageStart>> shown = ShownPages(recorded);
    LeaveBook();
    // The same book with nothing recorded, walked afresh.
    const QString fresh = root + QStringLiteral("/fresh");
    QDir().mkpath(fresh);
    for (const QString& file :
         {QStringLiteral("zpdata.ctr"), QStringLiteral("zpimage.ctr"), QStringLiteral("descript.ctr")})
        QFile::copy(trial_book::BookDir(root) + QLatin1Char('/') + file, fresh + QLatin1Char('/') + file);
    qputenv("QENTARA_HOME", fresh.toUtf8());
    {
        Cls数据操作 ops;
        PageStartStore().Clear();
        ops.Find世祖(0, QString());
    }
    const QList<QList<PageStart>> walked = ShownPages(int(shown.size()));
    LeaveBook();
    QDir(fresh).removeRecursively();
    qputenv("QENTARA_HOME", trial_book::BookDir(root).toUtf8());
    // By name: the generation a start carries is a label, renumbered without cutting the pages again.
    const auto names = [](const QList<PageStart>& page) {
        QStringList out;
        for (const PageStart& start : page) out << start.name;
        return out;
    };
    for (qsizetype p = 0; p < qMax(shown.size(), walked.size()); ++p)
        if (names(shown.value(p)) != names(walked.value(p))) {
            faults << QStringLiteral("page %1 starts with %2 members, a fresh walk with %3")
                          .arg(p + 1)
                          .arg(shown.value(p).size())
                          .arg(walked.value(p).size());
            break;
        }
}

QString FileDigest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("unreadable");
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex());
}

// A package by what it holds (its bytes differ with every salt), any other file by its bytes.
QString Outputs(const QString& root) {
    QString text;
    for (const QFileInfo& file : QDir(trial_book::OutputDir(root)).entryInfoList(QDir::Files, QDir::Name)) {
        if (IsWorkFile(file.fileName(), file.filePath(), root)) continue;
        text += file.fileName() + QLatin1Char(':');
        try {
            dao::Database package = dao::Database::Open(file.filePath(), QStringLiteral("pw"));
            text += Contents(package, package, package);
        } catch (const dao::DaoError& e) {
            text += e.Description();
        }
        dao::ReleaseIdleConnections(file.filePath());
    }
    const QString book = trial_book::BookDir(root);
    if (QFile::exists(clsPrintZp::BookFile()))
        text += QStringLiteral("book:") + FileDigest(clsPrintZp::BookFile());
    for (const QFileInfo& chm :
         QDir(book + QStringLiteral("/chm")).entryInfoList({QStringLiteral("*.chm")}, QDir::Files))
        text += chm.fileName() + QLatin1Char(':') + QString::number(chm.size());
    return Digest(text);
}

}  // namespace

Findings StartAndCheck(const QString& root) {
    trial_book::UseTrial(root);
    Findings found;
    try {
        {
            SingleCopyLock lock(GetAppPath());
            MainProc::PrepareBook(lock.acquired());
        }
        for (const QString& path : {DataDbPath(), ImageDbPath(), DescriptDbPath()}) {
            dao::Database db = dao::Database::Open(path, BookDbPassword());
            const QString verdict = db.Scalar(QStringLiteral("PRAGMA quick_check")).toString();
            if (verdict != QLatin1String("ok")) found.faults << path + QStringLiteral(": ") + verdict;
        }
        Cls数据操作 ops;
        dao::Database& db = App().DataDb;
        dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
        dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
        const qint64 orphans =
            db.Scalar(
                  QStringLiteral("SELECT count(*) FROM \"本姓成员\" m WHERE ifnull(m.\"father\", '')<>'' AND "
                                 "m.\"father\"<>'No_Display' AND NOT EXISTS (SELECT 1 FROM \"本姓成员\" f "
                                 "WHERE f.\"filial\"=m.\"father\")"))
                .toLongLong();
        if (orphans > 0) found.faults << QStringLiteral("%1 members whose father is no member").arg(orphans);
        const QString contents = Contents(db, images, pages);
        found.data = Digest(contents);
        found.marking =
            Digest(Rows(db, QStringLiteral("SELECT \"filial\", \"generation\", \"flag\" FROM \"本姓成员\" "
                                           "ORDER BY \"filial_id\"")));
        QFile dump(root + QStringLiteral("/contents.txt"));
        if (dump.open(QIODevice::WriteOnly)) dump.write(contents.toUtf8());
        images.Close();
        pages.Close();
        found.outputs = Outputs(root);
        LeaveBook();
        FindWorkFiles(root, found.faults);
        CheckPageStarts(root, found.faults);
    } catch (const dao::DaoError& e) {
        found.faults << QStringLiteral("error %1: %2").arg(e.Number()).arg(e.Description());
    } catch (const std::exception& e) {
        found.faults << QString::fromLocal8Bit(e.what());
    }
    LeaveBook();
    return found;
}

}  // namespace trial_checks
