#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QFile>
#include <QFileInfo>

#include "platform/dao/combined_writes.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "support/file_size_limit.h"
#include "support/temp_book.h"

using dao::Database;

// Writes are handed to the file together, after the statement that made them: one refused then is
// still told to the caller, and the book stays as it was. What was committed is what another
// connection reads.
TEST(CombinedWrites, AWriteRefusedLaterIsToldAndTheBookStaysAsItWas) {
    TempBook book;
    const QString path = book.file("a.ctr");
    {
        Database db = Database::Create(path, "pw");
        db.Execute("CREATE TABLE m (name TEXT, n INTEGER)");
        auto tx = db.BeginTrans();
        for (int i = 0; i < 2000; ++i)
            db.Execute("INSERT INTO m VALUES (?, ?)", {QString(60, QChar(u'字')), i});
        tx.Commit();
        EXPECT_EQ(Database::OpenReader(path, "pw").Scalar("SELECT sum(n) FROM m").toInt(), 1999 * 1000);

        const qint64 size = QFileInfo(path).size();
        QString told;
        {
            const FileSizeLimit limit(rlim_t(size + 100 * 1024));
            try {
                auto big = db.BeginTrans();
                db.Execute("UPDATE m SET n = n + 1");
                for (int i = 0; i < 2000; ++i)
                    db.Execute("INSERT INTO m VALUES (?, 0)", {QString(200, QChar(u'满'))});
                big.Commit();
            } catch (const dao::DaoError& e) {
                told = e.Description();
            }
        }
        EXPECT_TRUE(told.contains(QFileInfo(path).canonicalFilePath())) << told.toStdString();
        db.Close();
    }
    Database again = Database::OpenReader(path, "pw");
    EXPECT_EQ(again.Scalar("PRAGMA integrity_check").toString(), "ok");
    EXPECT_EQ(again.Scalar("SELECT count(*) || '/' || sum(n) FROM m").toString(), "2000/1999000");
}

// The engine ignores the answer to its hints: a held write refused while one hands it on is not dropped
// there, but handed on again by the next call the engine hears, here a sync once there is room again. No
// page is lost.
TEST(CombinedWrites, AWriteRefusedDuringAHintIsHandedOnAgainLater) {
    TempBook book;
    dao::UseCombinedWrites();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(book.file("raw.db")).constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (x)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_file* file = nullptr;
    ASSERT_EQ(sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file), SQLITE_OK);
    const sqlite3_io_methods* io = file->pMethods;
    const QByteArray page(1024, 'p');
    constexpr sqlite3_int64 kAt = 16 * 1024;
    ASSERT_EQ(io->xWrite(file, page.constData(), int(page.size()), kAt), SQLITE_OK);  // held
    {
        const FileSizeLimit full(8 * 1024);
        sqlite3_int64 hint = kAt + page.size();
        io->xFileControl(file, SQLITE_FCNTL_SIZE_HINT, &hint);  // answer ignored, as the engine does
    }
    EXPECT_EQ(io->xSync(file, SQLITE_SYNC_NORMAL), SQLITE_OK);
    QByteArray read(page.size(), '\0');
    EXPECT_EQ(io->xRead(file, read.data(), int(read.size()), kAt), SQLITE_OK);
    EXPECT_EQ(read, page);
    sqlite3_close(db);
}
