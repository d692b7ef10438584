#include <gtest/gtest.h>

#include "frame/dao_table.h"
#include "platform/dao/dao_database.h"
#include "support/temp_book.h"

namespace {

class DaoTable : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = dao::Database::Create(book_.file("pkg.mdb"), "");
        db_.Execute("CREATE TABLE tmp2 (filial TEXT COLLATE NOCASE, father TEXT, n INTEGER)");
        db_.Execute("CREATE INDEX idx_tmp2 ON tmp2 (filial)");
        for (int i = 1; i <= 3; ++i)
            db_.Execute("INSERT INTO tmp2 VALUES (?, ?, ?)", {QStringLiteral("子%1").arg(i), "父", i});
    }
    QStringList column(const QString& sql) {
        QStringList out;
        for (auto rs = db_.OpenRecordset(sql); rs.hasRow(); rs.MoveNext())
            out << (rs.value(0).isNull() ? QString("<null>") : rs.value(0).toString());
        return out;
    }
    TempBook book_;
    dao::Database db_;
    ClsDaoTable t_;
};

}  // namespace

TEST_F(DaoTable, ExistsTableQueryIgnoresCase) {
    t_.CreateTable("myStrgPswd", db_);
    EXPECT_TRUE(t_.ExistsTableQuery("mystrgpswd", db_));
    EXPECT_TRUE(t_.ExistsTableQuery("TMP2", db_));
    EXPECT_FALSE(t_.ExistsTableQuery("tmp3", db_));
    EXPECT_EQ(db_.FieldNames("myStrgPswd"), QStringList({"x_x_x_x"}));
    t_.CreateTable("MYSTRGPSWD", db_);  // an existing table is left alone
    EXPECT_EQ(db_.TableNames().count("myStrgPswd"), 1);
}

TEST_F(DaoTable, AddFieldAddsOnceAndFillsExistingRows) {
    t_.AddField("tmp2", db_, "mysql_id", ClsDaoTable::kLong, 0, false, "0");
    t_.AddField("tmp2", db_, "boy_sort", ClsDaoTable::kByte, 0, false, "7abc");
    t_.AddField("tmp2", db_, "note", ClsDaoTable::kText, 66, true, "");
    EXPECT_EQ(column("SELECT mysql_id FROM tmp2"), QStringList({"0", "0", "0"}));
    EXPECT_EQ(column("SELECT boy_sort FROM tmp2"), QStringList({"7", "7", "7"}));
    EXPECT_EQ(column("SELECT note FROM tmp2"), QStringList({"", "", ""}));  // empty text, not Null
    db_.Execute("UPDATE tmp2 SET mysql_id=5");
    t_.AddField("tmp2", db_, "MYSQL_ID", ClsDaoTable::kLong, 0, false, "0");  // present in another case
    EXPECT_EQ(column("SELECT mysql_id FROM tmp2"), QStringList({"5", "5", "5"}));
    t_.AddField("tmp2", db_, "odd", 12, 0, false, "0");  // unknown type code: nothing happens
    EXPECT_FALSE(t_.ExistsFieldName("odd", db_, "tmp2"));
    // New rows take the default too.
    db_.Execute("INSERT INTO tmp2 (filial) VALUES ('新')");
    EXPECT_EQ(db_.Scalar("SELECT boy_sort FROM tmp2 WHERE filial='新'").toInt(), 7);
    EXPECT_THROW(t_.AddField("nope", db_, "x", ClsDaoTable::kLong, 0, false, "0"), dao::DaoError);
}

TEST_F(DaoTable, DeleteFieldKeepsOtherColumnsRowsAndIndexes) {
    t_.CreateTable("tmp3", db_);
    t_.AddField("tmp3", db_, "pswd", ClsDaoTable::kText, 66, true, "");
    db_.Execute("INSERT INTO tmp3 (pswd) VALUES ('abc')");
    t_.DeleteField("tmp3", db_, "X_X_X_X");
    EXPECT_EQ(db_.FieldNames("tmp3"), QStringList({"pswd"}));
    EXPECT_EQ(column("SELECT pswd FROM tmp3"), QStringList({"abc"}));

    t_.DeleteField("tmp2", db_, "n");
    EXPECT_EQ(db_.FieldNames("tmp2"), QStringList({"filial", "father"}));
    EXPECT_EQ(column("SELECT filial FROM tmp2 ORDER BY rowid"), QStringList({"子1", "子2", "子3"}));
    EXPECT_EQ(db_.Scalar("SELECT count(*) FROM tmp2 WHERE filial='子2'").toInt(), 1);  // NOCASE kept
    EXPECT_EQ(db_.Scalar("SELECT count(*) FROM sqlite_master WHERE name='idx_tmp2'").toInt(), 1);
    t_.DeleteField("tmp2", db_, "absent");  // nothing to do
    EXPECT_EQ(db_.FieldNames("tmp2").size(), 2);
}

TEST_F(DaoTable, AddIdFieldNumbersExistingAndNewRows) {
    t_.AddIdField("tmp2", db_, "image_id");
    EXPECT_EQ(column("SELECT image_id FROM tmp2 ORDER BY image_id"), QStringList({"1", "2", "3"}));
    db_.Execute("INSERT INTO tmp2 (filial) VALUES ('四')");
    EXPECT_EQ(db_.Scalar("SELECT image_id FROM tmp2 WHERE filial='四'").toInt(), 4);
}
