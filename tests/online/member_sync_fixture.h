#pragma once

#include <QCryptographicHash>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "online/member_exchange.h"
#include "online/online_book_fixture.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "store/data_ops.h"

// Members, pages and pictures of the book as the member sync reads and writes them.
namespace sync_book {

inline dao::Database& Db() {
    return App().DataDb;
}

inline void Add(const QString& name, const QString& father = QString(), qint32 serverId = 0) {
    Db().Execute(
        QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\", \"boy_birthday\", "
                       "\"Boy_Sex\", \"mysql_id\") VALUES (?, ?, ?, '1900', 1, ?)"),
        {name, father, name + QStringLiteral("母"), serverId});
}

inline QString Column(const QString& name, const char* column) {
    return Db()
        .Scalar(
            QStringLiteral("SELECT \"%1\" FROM \"本姓成员\" WHERE \"filial\" = ?").arg(QLatin1String(column)),
            {name})
        .toString();
}

inline void SetPage(const QString& name, const QString& html) {
    QString text = html;
    Cls数据操作().SaveAnyHtml(text, name);
}

// The member's page as it was written; "-" when it has none.
inline QString Page(const QString& name) {
    const QVariant stored =
        dao::Database::Open(DescriptDbPath(), BookDbPassword())
            .Scalar(QStringLiteral("SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\" = ?"), {name});
    return stored.isNull() ? QStringLiteral("-") : DecodeText(stored.toString(), StoreKey());
}

inline void AddPicture(const QString& name, const QByteArray& bytes, const QString& path) {
    dao::Database::Open(ImageDbPath(), BookDbPassword())
        .Execute(QStringLiteral(
                     "INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)"),
                 {name, bytes, DecodeText(path, StoreKey())});
}

// "path:size:md5" of each of the member's pictures, in order.
inline QStringList Pictures(const QString& name) {
    QStringList out;
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    for (dao::Recordset rs = images.OpenRecordset(
             QStringLiteral(
                 "SELECT \"imagepath\", \"myimage\" FROM \"imageylk\" WHERE \"filial\" = ? ORDER BY rowid"),
             {name});
         rs.hasRow(); rs.MoveNext()) {
        const QByteArray bytes = rs.Bytes(QStringLiteral("myimage"));
        out << EncodeText(rs.Text(QStringLiteral("imagepath")), StoreKey()) + QLatin1Char(':') +
                   QString::number(bytes.size()) + QLatin1Char(':') +
                   QString::fromLatin1(
                       QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().left(8));
    }
    return out;
}

// Every row of a staging table, its columns joined with "|", in the order of the table.
inline QStringList StagedRows(const QString& columns, const QString& table) {
    QStringList out;
    {
        dao::Database staging = dao::Database::Open(member_exchange::StagingPath(), QString());
        for (dao::Recordset rs =
                 staging.OpenRecordset(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") +
                                       dao::QuoteIdent(table) + QStringLiteral(" ORDER BY rowid"));
             rs.hasRow(); rs.MoveNext()) {
            QStringList fields;
            for (int i = 0; i < rs.fieldCount(); ++i) fields << rs.value(i).toString();
            out << fields.join(u'|');
        }
    }
    dao::ReleaseIdleConnections(member_exchange::StagingPath());
    return out;
}

}  // namespace sync_book

// A book, a server with an account logged on, and a command of the test's own on the server.
class MemberSyncTest : public OnlineBookTest {
protected:
    void SetUp() override {
        OnlineBookTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        db_ = OpenTestConnection();
        ASSERT_TRUE(db_);
        cmd_.SetActiveConnection(db_.get());
        account_ = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"), 1);
        ASSERT_GT(account_, 0);
        ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), account_);
    }
    // The first column of each row the server's owner reads.
    QStringList serverRows(const QString& sql, const QList<QVariant>& params = {}) {
        QStringList out;
        for (const QStringList& row : server_->admin().exec(sql, params).rows) out << row.join(u'|');
        return out;
    }
    void revoke(const QString& routine) {
        ASSERT_TRUE(server_->admin()
                        .exec(QStringLiteral("REVOKE EXECUTE ON ROUTINE ") + routine +
                              QStringLiteral(" FROM qntzpsvr01"))
                        .ok);
    }

    void twoBooksShareABranch();

    std::unique_ptr<DoorConnection> db_;
    ServerCommand cmd_;
    qint32 account_ = 0;
};
