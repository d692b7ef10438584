// Member upload and the server ids that tie the book's members to their copies on the server.

#include <QHash>
#include <QSet>
#include <functional>
#include <optional>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_utils.h"
#include "online/member_exchange.h"
#include "online/online_operation.h"
#include "online/server_session.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "platform/door/server_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"
#include "store/reserved_names.h"

namespace {

using member_exchange::Particulars;
using member_exchange::Translated;

// An item goes up only when it is smaller than this many bytes.
constexpr qint64 kSingleUploadLimit = 12LL * 1024 * 1024;
constexpr qint64 kBatchUploadLimit = 3LL * 1024 * 1024;
// Server ids written back are committed in groups: one commit per member would cost more than the
// upload itself. A failure commits the ids written so far before it stops.
constexpr int kMembersPerCommit = 200;

const QString kHiddenRoot = QStringLiteral("No_Display");

bool IsRootFather(const QString& father) {
    return father.isEmpty() || father == kHiddenRoot;
}

struct LocalMember {
    qint64 rowId = 0;
    QString name;
    QString father;
    qint32 serverId = 0;
    QVariantList values;  // Particulars() in order
};

QList<LocalMember> ReadMembers(dao::Database& db, const QString& condition, const dao::Params& params) {
    QString columns = QStringLiteral("\"filial_id\", \"filial\", \"father\", \"mysql_id\"");
    for (const auto& field : Particulars()) columns += QStringLiteral(", ") + dao::QuoteIdent(field.column);
    QList<LocalMember> members;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM \"本姓成员\" WHERE ") + condition,
             params);
         rs.hasRow(); rs.MoveNext()) {
        LocalMember member;
        member.rowId = rs.value(0).toLongLong();
        member.name = rs.Text(QStringLiteral("filial"));
        member.father = rs.Text(QStringLiteral("father"));
        member.serverId = qint32(rs.value(3).toLongLong());
        for (int i = 0; i < Particulars().size(); ++i) member.values << rs.value(4 + i);
        members.append(std::move(member));
    }
    return members;
}

// Sends members with their pages and pictures over one command, and writes each server id back.
class MemberSender {
public:
    MemberSender(DoorConnection* connection, qint64 pictureLimit,
                 std::function<void(const QString&)> tooLarge)
        : cmd_(connection),
          pictureLimit_(pictureLimit),
          tooLarge_(std::move(tooLarge)),
          account_(CurrentUserRecord().acc_id),
          pages_(dao::Database::Open(DescriptDbPath(), BookDbPassword())),
          pictures_(dao::Database::Open(ImageDbPath(), BookDbPassword())) {}

    // The name the father goes by on the server. A father the server holds is named by the name it keeps
    // him under, which it resolves exactly: his book name without its "[n]" could be another member's
    // there. Only a father not on the server goes by that name, for the server to link when he comes.
    QString FatherName(const QString& father, const QHash<QString, QString>& sentInBatch = {}) {
        if (IsRootFather(father)) return QString();
        if (const auto sent = sentInBatch.constFind(NameColumnKey(father)); sent != sentInBatch.constEnd())
            return *sent;
        const qint32 id = qint32(
            App()
                .DataDb
                .Scalar(QStringLiteral("SELECT \"mysql_id\" FROM \"本姓成员\" WHERE \"filial\" = ? LIMIT 1"),
                        {father})
                .toLongLong());
        if (id > 0) {
            auto known = serverNames_.constFind(id);
            if (known == serverNames_.constEnd()) {
                const member_exchange::ServerMember onServer = member_exchange::FetchMember(cmd_, id);
                known = serverNames_.insert(id, onServer.id > 0 ? onServer.name : QString());
            }
            if (!known->isEmpty()) return *known;
        }
        return StripBracketSuffix(father);
    }

    // The name the server keeps the member under; fatherOnServer as FatherName gives it.
    QString Send(const LocalMember& member, const QString& fatherOnServer) {
        cmd_.SetCommandText(QStringLiteral("sp_savezpdata2"));
        cmd_.SetValue(QStringLiteral("@z_accid"), account_);
        cmd_.SetValue(QStringLiteral("@z_filial_id"), member.serverId);
        cmd_.SetValue(QStringLiteral("@z_father"), fatherOnServer);
        cmd_.SetValue(QStringLiteral("@z_filial"), StripBracketSuffix(member.name));
        for (int i = 0; i < Particulars().size(); ++i)
            cmd_.SetValue(Particulars().at(i).parameter, member.values.at(i));
        cmd_.Execute();
        const qint32 id = cmd_.Value(QStringLiteral("@z_filial_id")).toInt();
        const QString serverName = cmd_.Value(QStringLiteral("@z_filial")).toString();
        App().DataDb.Execute(
            QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = ? WHERE \"filial_id\" = ?"),
            {id, member.rowId});
        sendPage(member.name, serverName);
        sendPictures(member.name, serverName);
        return serverName;
    }

private:
    void sendPage(const QString& name, const QString& serverName) {
        const QVariant stored = pages_.Scalar(
            QStringLiteral(
                "SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\" = ? ORDER BY rowid LIMIT 1"),
            {name});
        if (stored.isNull()) return;
        cmd_.SetCommandText(QStringLiteral("sp_savestory"));
        cmd_.SetValue(QStringLiteral("@z_filial"), serverName);
        cmd_.SetValue(QStringLiteral("@z_descript"), member_exchange::ServerPageText(stored.toString()));
        cmd_.Execute();
    }

    void sendPictures(const QString& name, const QString& serverName) {
        struct Item {
            qint64 id;
            qint64 size;
            QString path;
        };
        QList<Item> items;
        for (dao::Recordset rs = pictures_.OpenRecordset(
                 QStringLiteral("SELECT \"image_id\", length(\"myimage\"), \"imagepath\" FROM \"imageylk\" "
                                "WHERE \"filial\" = ? ORDER BY rowid"),
                 {name});
             rs.hasRow(); rs.MoveNext())
            items.append(
                {rs.value(0).toLongLong(), rs.value(1).toLongLong(), rs.Text(QStringLiteral("imagepath"))});
        // One item in memory at a time: a member may carry many large ones.
        for (const Item& item : items) {
            if (item.size >= pictureLimit_) {
                tooLarge_(name);
            } else {
                cmd_.SetCommandText(QStringLiteral("sp_saveimage"));
                cmd_.SetValue(QStringLiteral("@z_filial"), serverName);
                cmd_.SetValue(
                    QStringLiteral("@z_myimage"),
                    pictures_
                        .Scalar(QStringLiteral("SELECT \"myimage\" FROM \"imageylk\" WHERE \"image_id\" = ?"),
                                {item.id})
                        .toByteArray());
                cmd_.SetValue(QStringLiteral("@z_imgpath"), member_exchange::ServerPicturePath(item.path));
                cmd_.Execute();
            }
            DoEvents();
        }
    }

    ServerCommand cmd_;
    qint64 pictureLimit_;
    std::function<void(const QString&)> tooLarge_;
    QHash<qint32, QString> serverNames_;  // server id -> the name the server keeps him under
    qint32 account_;
    dao::Database pages_;
    dao::Database pictures_;
};

// The order a branch goes up in: the order of the book, except that a member waits for his father when
// the father is in the branch too, so that he can name him as the server keeps him. Members of a loop go
// in the order of the book once nothing else can.
QList<qsizetype> FathersFirst(const QList<LocalMember>& members) {
    QHash<QString, qsizetype> inBranch;
    for (qsizetype i = 0; i < members.size(); ++i) inBranch.insert(NameColumnKey(members[i].name), i);
    QList<bool> sent(members.size(), false);
    QHash<QString, QList<qsizetype>> waiting;  // father -> his children in the order of the book
    QList<qsizetype> order;
    const auto sendWithWaitingChildren = [&](qsizetype first) {
        QList<qsizetype> stack{first};
        while (!stack.isEmpty()) {
            const qsizetype at = stack.takeLast();
            if (sent[at]) continue;
            sent[at] = true;
            order.append(at);
            const QList<qsizetype> children = waiting.take(NameColumnKey(members[at].name));
            for (auto child = children.crbegin(); child != children.crend(); ++child) stack.append(*child);
        }
    };
    for (qsizetype i = 0; i < members.size(); ++i) {
        const QString father = NameColumnKey(members[i].father);
        const auto it = inBranch.constFind(father);
        if (it != inBranch.constEnd() && !sent[*it] && *it != i)
            waiting[father].append(i);
        else
            sendWithWaitingChildren(i);
    }
    for (qsizetype i = 0; i < members.size(); ++i) sendWithWaitingChildren(i);
    return order;
}

[[noreturn]] void StopUpload(qint32 done, qint32 total, const QString& at, const QString& reason) {
    throw SyncError(Translated(QStringLiteral("上传未完成：共 %1 个成员，已上传 %2 个，在“%3”处停止："))
                        .arg(total)
                        .arg(done)
                        .arg(at) +
                    reason);
}

}  // namespace

qint32 Cls数据操作::GetSql_Id(const QString& filial) {
    const QVariant id = App().DataDb.Scalar(
        QStringLiteral("SELECT \"mysql_id\" FROM \"本姓成员\" WHERE \"filial\" = ? LIMIT 1"), {filial});
    return qint32(id.toLongLong());
}

void Cls数据操作::deleteSql_ID(const QString& filial) {
    if (filial.isEmpty()) return;
    ProgressScope progress;
    // UNION drops a name met again, so a loop in the father links ends the walk.
    App().DataDb.Execute(
        QStringLiteral(
            "WITH RECURSIVE branch(name) AS (SELECT ? UNION SELECT m.\"filial\" FROM \"本姓成员\" m "
            "JOIN branch b ON m.\"father\" = b.name) "
            "UPDATE \"本姓成员\" SET \"mysql_id\" = 0 WHERE \"filial\" IN (SELECT name FROM branch)"),
        {filial});
}

QString Cls数据操作::CheckSqlId_0(const QString& filial) {
    dao::Database& db = App().DataDb;
    const QString select = QStringLiteral(
        "SELECT \"father\", \"filial\", \"mysql_id\" FROM \"本姓成员\" WHERE \"filial\" = ? LIMIT 1");
    QString ancestor;
    {
        dao::Recordset rs = db.OpenRecordset(select, {filial});
        if (!rs.hasRow()) return {};
        ancestor = rs.Text(QStringLiteral("father"));
    }
    QSet<QString> visited{NameColumnKey(filial)};
    while (!IsRootFather(ancestor) && !visited.contains(NameColumnKey(ancestor))) {
        visited.insert(NameColumnKey(ancestor));
        dao::Recordset rs = db.OpenRecordset(select, {ancestor});
        if (!rs.hasRow()) return {};
        if (rs.Long(QStringLiteral("mysql_id")) == 0) return rs.Text(QStringLiteral("filial"));
        ancestor = rs.Text(QStringLiteral("father"));
    }
    return {};
}

void Cls数据操作::TongBuDelete_1(qint32 serverId) {
    if (serverId <= 0) return;  // never uploaded: there is nothing to delete
    OnlineOperation operation;
    ServerSession session;
    ServerCommand cmd(session.connection());
    cmd.SetCommandText(QStringLiteral("sp_deleteZpdata"));
    cmd.SetValue(QStringLiteral("@z_filial_id"), serverId);
    cmd.Execute();
}

void Cls数据操作::UpLoad_1(const QString& filial) {
    OnlineOperation operation;
    DoEvents();
    const QList<LocalMember> members =
        ReadMembers(App().DataDb, QStringLiteral("\"filial\" = ? LIMIT 1"), {filial});
    if (members.isEmpty()) return;
    const LocalMember& member = members.first();
    try {
        ServerSession session;
        MemberSender sender(session.connection(), kSingleUploadLimit, [](const QString&) {
            UI().MsgBox(Translated(QStringLiteral("视音频媒体超过12M暂不予上传!!!")), vb::Critical);
        });
        sender.Send(member, sender.FatherName(member.father));
    } catch (const ServerError& e) {
        StopUpload(0, 1, member.name, e.Description());
    } catch (const dao::DaoError& e) {
        StopUpload(0, 1, member.name, e.Description());
    }
}

qint32 Cls数据操作::UpLoad_All(qint32 branch) {
    if (branch == 0) return 0;
    OnlineOperation operation;
    DoEvents();
    dao::Database& db = App().DataDb;
    const QList<LocalMember> members =
        ReadMembers(db, QStringLiteral("\"flag\" = ? ORDER BY \"filial_id\""), {branch});
    // Local name (keyed as the book keys names) -> the name the server gave that member in this batch.
    QHash<QString, QString> sentAs;
    qint32 done = 0;
    std::optional<dao::Transaction> ids;
    const auto commitIds = [&] {
        if (ids) ids->Commit();
        ids.reset();
    };
    // On the way out after a failure: the ids of members the server already holds must stay, or the
    // next upload would send them as new members.
    const auto keepIds = [&] {
        try {
            commitIds();
        } catch (const dao::DaoError&) {
        }
    };
    QString current;
    try {
        ServerSession session;
        MemberSender sender(session.connection(), kBatchUploadLimit, [](const QString& name) {
            UI().MsgBox(name + Translated(QStringLiteral(" 视音频媒体超过3M暂不予上传!!!")), vb::Critical);
        });
        for (const qsizetype at : FathersFirst(members)) {
            const LocalMember& member = members[at];
            current = member.name;
            if (!ids) ids.emplace(db.BeginTrans());
            sentAs.insert(NameColumnKey(member.name),
                          sender.Send(member, sender.FatherName(member.father, sentAs)));
            if (++done % kMembersPerCommit == 0) commitIds();
            DoEvents();
        }
        commitIds();
    } catch (const ServerError& e) {
        keepIds();
        StopUpload(done, qint32(members.size()), current, e.Description());
    } catch (const dao::DaoError& e) {
        keepIds();
        StopUpload(done, qint32(members.size()), current, e.Description());
    }
    return done;
}
