#include <gtest/gtest.h>
#include <QFileInfo>

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
