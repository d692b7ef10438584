// The tree download: every member of a tree on the server, with its page and pictures, copied into the
// staging file downtmp.mdb, which the merge (data_ops_merge.cpp) folds into the book.

#include <QFile>
#include <QFileInfo>

#include "online/member_exchange.h"
#include "online/member_reader.h"
#include "online/online_operation.h"
#include "online/server_session.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "platform/interaction/do_events.h"
#include "store/data_ops.h"

namespace {

// With what a killed merge left beside it (its journal, its lock file).
void RemoveStaging(const QString& path) {
    if (QFileInfo::exists(path)) {
        if (dao::IsFileInUse(path))
            throw dao::DaoError(dao::kErrFileInUse,
                                QStringLiteral("不能使用 '%1'；文件已在使用中。").arg(path));
        dao::ReleaseIdleConnections(path);
        if (!QFile::remove(path))
            throw dao::DaoError(dao::kErrGeneric, QStringLiteral("不能删除文件 '%1'。").arg(path));
    }
    dao::RemoveWorkFiles(path);
}

// The server's list marks a page text and pictures as present with a non-zero count (true is -1).
QString PresenceMarks(const ServerRows& list, int row) {
    const auto mark = [&](const char* column) {
        return list.value(row, QString::fromLatin1(column)).toLongLong() != 0 ? QLatin1Char('1')
                                                                              : QLatin1Char('0');
    };
    return QString(mark("storynum")) + mark("imagenum");
}

qint32 Stage(const QString& path, qint32 rootId) {
    dao::Database staging = member_exchange::CreateStaging(path);
    ServerSession session;
    ServerCommand cmd(session.connection());
    cmd.SetCommandText(QStringLiteral("sp_GnSeekList2"));
    cmd.SetValue(QStringLiteral("@myacc_id"), CurrentUserRecord().acc_id);
    cmd.SetValue(QStringLiteral("@myboy_id"), rootId);
    const ServerRows list = cmd.Execute();

    dao::Transaction tx = staging.BeginTrans();
    QList<member_exchange::Wanted> wanted;
    for (int row = 0; row < list.size(); ++row) {
        const qint32 id = list.value(row, QStringLiteral("filial_id")).toInt();
        const QString marks = PresenceMarks(list, row);
        wanted.append({id, marks.at(0) == QLatin1Char('1'), marks.at(1) == QLatin1Char('1')});
        staging.Execute(
            QStringLiteral("INSERT INTO \"tempflag\" (\"currentpage\", \"father\") VALUES (?, ?)"),
            {id, marks});
    }
    qint32 staged = 0;
    member_exchange::ReadMembers(
        cmd, wanted, [&](const member_exchange::Wanted& asked, member_exchange::ServerCopy& copy) {
            const member_exchange::ServerMember& member = copy.member;
            if (member.id < 1) return;  // deleted on the server since the list was made
            const qint32 id = asked.id;
            member_exchange::StoreMember(staging, std::nullopt, member.father, member.name, id,
                                         member.values);
            // Staged pages and pictures carry the member's server id in "flag": the name alone would not
            // tell two members the server keeps under one name apart.
            if (copy.page)
                staging.Execute(
                    QStringLiteral(
                        "INSERT INTO \"story\" (\"filial\", \"Hisdescript\", \"flag\") VALUES (?, ?, ?)"),
                    {member.name, *copy.page, id});
            for (const auto& picture : std::as_const(copy.pictures)) {
                staging.Execute(
                    QStringLiteral("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\", "
                                   "\"flag\") VALUES (?, ?, ?, ?)"),
                    {picture.filial, picture.bytes, picture.storedPath, id});
                DoEvents();
            }
            ++staged;
            DoEvents();
        });
    tx.Commit();
    return staged;
}

}  // namespace

qint32 Cls数据操作::DownLoad_All(qint32 rootId) {
    if (rootId == 0) return 0;
    OnlineOperation operation;
    DoEvents();
    DoEvents();
    const QString path = member_exchange::StagingPath();
    RemoveStaging(path);
    try {
        const qint32 staged = Stage(path, rootId);
        dao::ReleaseIdleConnections(path);
        return staged;
    } catch (...) {
        // A half-filled staging file must never reach a merge.
        dao::ReleaseIdleConnections(path);
        QFile::remove(path);
        throw;
    }
}
