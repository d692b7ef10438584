#include "fuzz_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace fuzz_support {

namespace {

// The application object is never destroyed: Qt does not take that from a static destructor.
struct Book {
    QCoreApplication* app = nullptr;
    std::unique_ptr<QTemporaryDir> dir;
};

Book& TheBook() {
    static Book book;
    return book;
}

// The highest row of each table before an import; rows above it are the import's.
struct Marks {
    qint64 members = 0, keywords = 0, pictures = 0, pages = 0;
};

qint64 MaxRow(dao::Database& db, const char* table) {
    return db.Scalar(QStringLiteral("SELECT ifnull(max(rowid), 0) FROM \"%1\"").arg(QString::fromUtf8(table)))
        .toLongLong();
}

void DeleteAbove(dao::Database& db, const char* table, qint64 mark) {
    db.Execute(QStringLiteral("DELETE FROM \"%1\" WHERE rowid > ?").arg(QString::fromUtf8(table)), {mark});
}

}  // namespace

void StartBook() {
    Book& book = TheBook();
    if (book.app) return;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    book.app = new QCoreApplication(argc, argv);
    book.dir = std::make_unique<QTemporaryDir>();

    qputenv("QENTARA_HOME", book.dir->path().toUtf8());
    EnsureBookFiles();
    OpenDataDb(DataDbPath(), BookDbPassword());
    dao::Database& db = App().DataDb;
    const char* const family[][2] = {{"王祖", ""}, {"王甲", "王祖"}, {"王乙", "王祖"}, {"王丙", "王甲"}, {"王丁", "王乙"}};
    for (const auto& m : family)
        db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"flag\") VALUES (?, ?, 1)"),
                   {QString::fromUtf8(m[0]), QString::fromUtf8(m[1])});
    db.Execute(QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\", \"flag\") VALUES ('王甲', '第2世', 1)"));
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    pages.Execute(QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\", \"flag\") VALUES ('王乙', '<p>乙</p>', 1)"));
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    images.Execute(QStringLiteral("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\", \"flag\") "
                                  "VALUES ('王丙', x'FFD8FFE000104A464946', 'p1.jpg', 1)"));
    // A throwaway book need not survive a power cut: without syncs an input costs microseconds, not a disk
    // flush. The connections stay cached for the whole run.
    for (dao::Database* file : {&db, &pages, &images}) {
        file->Execute(QStringLiteral("PRAGMA synchronous=OFF"));
        file->Execute(QStringLiteral("PRAGMA journal_mode=MEMORY"));
    }
    // Registered after the database layer's own statics exist, so it runs before they go.
    std::atexit([] {
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        TheBook().dir.reset();
    });
}

QString BookFolder() {
    return TheBook().dir->path() + QLatin1Char('/');
}

QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = BookFolder() + name;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
    return path;
}

qint32 ImportAndForget(const QString& path) {
    dao::Database data = dao::Database::Open(DataDbPath(), BookDbPassword());
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    const Marks marks{MaxRow(data, "本姓成员"), MaxRow(data, "pageindx"), MaxRow(images, "imageylk"),
                      MaxRow(pages, "story")};
    qint32 result = 0;
    {
        Cls数据操作 ops;
        QString error;
        result = ops.ReLoad(path, QString(), QString(), QString(), &error);
        // QENTARA_FUZZ_SAY=1 tells what each input did, to see how far a corpus gets.
        if (qEnvironmentVariableIsSet("QENTARA_FUZZ_SAY"))
            std::fprintf(stderr, "import: %d %s\n", result, qUtf8Printable(error));
    }
    DeleteAbove(data, "本姓成员", marks.members);
    DeleteAbove(data, "pageindx", marks.keywords);
    DeleteAbove(images, "imageylk", marks.pictures);
    DeleteAbove(pages, "story", marks.pages);
    dao::ReleaseIdleConnections(path);
    QFile::remove(path);
    // The import gives every member a name of its own: a duplicate is its fault, whatever the package.
    if (result == dao::kErrDuplicateKey) __builtin_trap();
    return result;
}

void ExportSeedPackage(const QString& path) {
    QFile::remove(path);
    Cls数据操作 ops;
    ops.族谱备份(path, QStringLiteral("王祖"), 1, QString());
}

}  // namespace fuzz_support
