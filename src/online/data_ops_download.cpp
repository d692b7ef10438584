// One member refreshed from its copy on the server.

#include "frame/app_state.h"
#include "frame/db_connections.h"
#include "frame/text_utils.h"
#include "online/member_exchange.h"
#include "online/member_reader.h"
#include "online/online_operation.h"
#include "online/server_session.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "platform/interaction/do_events.h"
#include "store/data_ops.h"
#include "store/outside_page.h"

namespace {

const QString kImages = QStringLiteral("dl1_img");
const QString kPages = QStringLiteral("dl1_stry");

}  // namespace

bool Cls数据操作::DownLoad_1(qint32 serverId, QString& name) {
    if (serverId == 0) return false;
    OnlineOperation operation;
    DoEvents();
    // Everything is fetched before the book is touched, so that a failing server changes nothing.
    member_exchange::ServerMember fetched;
    std::optional<QString> page;
    QList<member_exchange::Picture> pictures;
    {
        ServerSession session;
        ServerCommand cmd(session.connection());
        // The member, his page and his pictures in one request.
        member_exchange::ReadMembers(cmd, {{serverId, true, true}},
                                     [&](const member_exchange::Wanted&, member_exchange::ServerCopy& copy) {
                                         fetched = std::move(copy.member);
                                         page = std::move(copy.page);
                                         pictures = std::move(copy.pictures);
                                     });
        if (fetched.id < 1) return false;
    }
    const QString serverName = StripBracketSuffix(fetched.name);

    dao::Database& db = App().DataDb;
    AttachedSideFiles side(db, kImages, kPages);
    dao::Transaction tx = db.BeginTrans();
    std::optional<qint64> rowId;
    QString oldName;
    {
        dao::Recordset rs = db.OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"filial\" FROM \"本姓成员\" WHERE \"mysql_id\" = ? "
                           "ORDER BY \"filial_id\" LIMIT 1"),
            {serverId});
        if (rs.hasRow()) {
            rowId = rs.value(0).toLongLong();
            oldName = rs.Text(QStringLiteral("filial"));
        }
    }
    // The server's name, unless another member of the book bears it.
    const QString local = rowId && oldName == serverName
                              ? serverName
                              : TongMing字(false, serverName, qint32(rowId.value_or(0)));
    // A member new to the book names his father as the server does: that name is the father's identity
    // there, and cutting it could make it another member's.
    member_exchange::StoreMember(db, rowId, fetched.father, local, serverId, fetched.values);
    if (rowId && local != oldName) member_exchange::FollowRename(db, side, oldName, local);

    // What the server sends replaces the book's; when it sends nothing, what was added here since the
    // upload stays.
    if (page) {
        // The page names only the pictures the member keeps: those that come with it, else its own.
        QStringList kept;
        for (const auto& picture : pictures) kept << picture.storedPath;
        if (pictures.isEmpty()) kept = outside_page::StoredPicturePaths(db, side.Pictures(), local);
        db.Execute(QStringLiteral("DELETE FROM ") + side.Pages() + QStringLiteral(" WHERE \"filial\" = ?"),
                   {local});
        db.Execute(QStringLiteral("INSERT INTO ") + side.Pages() +
                       QStringLiteral(" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                   {local, outside_page::StoredCleaned(*page, kept)});
    }
    if (!pictures.isEmpty()) {
        db.Execute(QStringLiteral("DELETE FROM ") + side.Pictures() + QStringLiteral(" WHERE \"filial\" = ?"),
                   {local});
        for (const auto& picture : pictures) {
            db.Execute(QStringLiteral("INSERT INTO ") + side.Pictures() +
                           QStringLiteral(" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)"),
                       {local, picture.bytes, picture.storedPath});
            DoEvents();
        }
    }
    tx.Commit();
    name = local;
    return true;
}
