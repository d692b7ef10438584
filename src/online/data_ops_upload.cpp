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

// Sends members with their pages and pictures over one command, the calls of several members in one
// request, and writes each server id back as the answers come: what is stored, written back and shown
// is what the calls one by one would give, up to a failure and at it.
class MemberSender {
public:
    // memberDone runs when a member's save, page and pictures are done; stoppedAt names the member a
    // failure belongs to.
    MemberSender(DoorConnection* connection, qint64 pictureLimit,
                 std::function<void(const QString&)> tooLarge, std::function<void()> memberDone,
                 QString* stoppedAt)
        : cmd_(connection),
          batch_(cmd_),
          pictureLimit_(pictureLimit),
          tooLarge_(std::move(tooLarge)),
          memberDone_(std::move(memberDone)),
          stoppedAt_(stoppedAt),
          account_(CurrentUserRecord().acc_id),
          pages_(dao::Database::Open(DescriptDbPath(), BookDbPassword())),
          pictures_(dao::Database::Open(ImageDbPath(), BookDbPassword())) {}

    // Queues the member's save, page and pictures; a full batch goes on its way. A failure sends what was
    // queued before the member first, so that it stops where the calls one by one would.
    void Queue(const LocalMember& member) {
        *stoppedAt_ = member.name;
        if (calls_.isEmpty()) members_.clear();  // every member before is done
        try {
            const int m = int(members_.size());
            members_.append({member.rowId, member.name, -1, QString(), false});
            queueSave(m, member);
            queuePage(m);
            queuePictures(m);
            members_[m].complete = true;
        } catch (...) {
            // A batch that failed, or whose answers could not be written, has said where it stopped.
            if (!failed_) {
                Flush();
                *stoppedAt_ = member.name;
            }
            throw;
        }
    }

    // Sends what is queued. Throws the failure of the first call not done, as that call would have.
    void Flush() {
        failed_ = true;  // until it ends well
        const ServerBatch::Outcome outcome = batch_.IsEmpty() ? ServerBatch::Outcome() : batch_.Send();
        for (int i = 0; i <= outcome.done && i <= calls_.size(); ++i) {
            showNoticesAt(i);
            if (i == outcome.done || i == calls_.size()) break;
            const QueuedCall& call = calls_[i];
            Member& member = members_[call.member];
            *stoppedAt_ = member.name;
            if (call.save) {
                const qint32 id = batch_.Out(i, QStringLiteral("@z_filial_id")).toInt();
                member.serverName = batch_.Out(i, QStringLiteral("@z_filial")).toString();
                member.saveCall = -1;
                sentAs_.insert(NameColumnKey(member.name), member.serverName);
                App().DataDb.Execute(
                    QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = ? WHERE \"filial_id\" = ?"),
                    {id, member.rowId});
            }
            if (call.last && member.complete) memberDone_();
        }
        if (outcome.failure) {
            if (outcome.done < calls_.size()) *stoppedAt_ = members_[calls_[outcome.done].member].name;
            throw *outcome.failure;
        }
        calls_.clear();
        notices_.clear();
        inBatch_.clear();
        failed_ = false;
    }

private:
    struct Member {
        qint64 rowId;
        QString name;
        int saveCall;        // its save's place in the batch; -1 once answered
        QString serverName;  // once answered
        bool complete;       // every call queued
    };
    struct QueuedCall {
        int member;
        bool save;
        bool last;  // the member's last so far
    };

    // The name the father goes by on the server. A father the server holds is named by the name it keeps
    // him under, which it resolves exactly. A father not on the server goes by his whole name in the
    // book: without its "[n]" it could be another member's there, whose son the child would become.
    QString fatherName(const QString& father) {
        if (IsRootFather(father)) return QString();
        if (const auto sent = sentAs_.constFind(NameColumnKey(father)); sent != sentAs_.constEnd())
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
        return father;
    }

    // Queues the command's call for member m. `parameter` takes the server name of a member: the answer
    // of his save when it is in this batch (saveInBatch), else named(). A full batch goes first.
    void queueCall(int m, bool save, const QString& parameter, const std::function<int()>& saveInBatch,
                   const std::function<QString()>& named) {
        for (;;) {
            QList<ServerBatch::Reference> references;
            if (const int at = saveInBatch(); at >= 0)
                references.append({parameter, at, QStringLiteral("@z_filial")});
            else
                cmd_.SetValue(parameter, named());
            const int at = batch_.Add(references);
            if (at >= 0) {
                if (!calls_.isEmpty() && calls_.last().member == m) calls_.last().last = false;
                calls_.append({m, save, true});
                if (save) {
                    members_[m].saveCall = at;
                    inBatch_.insert(NameColumnKey(members_[m].name), at);
                }
                return;
            }
            Flush();
        }
    }

    void queueSave(int m, const LocalMember& member) {
        const QString fatherKey = NameColumnKey(member.father);
        // Asked before the save's values are set: naming a father may ask the server.
        const QString father = IsRootFather(member.father) || inBatch_.contains(fatherKey)
                                   ? QString()
                                   : fatherName(member.father);
        cmd_.SetCommandText(QStringLiteral("sp_savezpdata2"));
        cmd_.SetValue(QStringLiteral("@z_accid"), account_);
        cmd_.SetValue(QStringLiteral("@z_filial_id"), member.serverId);
        cmd_.SetValue(QStringLiteral("@z_filial"), StripBracketSuffix(member.name));
        for (int i = 0; i < Particulars().size(); ++i)
            cmd_.SetValue(Particulars().at(i).parameter, member.values.at(i));
        queueCall(
            m, true, QStringLiteral("@z_father"),
            [&] { return IsRootFather(member.father) ? -1 : inBatch_.value(fatherKey, -1); },
            [&] {
                if (IsRootFather(member.father)) return QString();
                return sentAs_.value(fatherKey, father.isNull() ? fatherName(member.father) : father);
            });
    }

    int saveInBatch(int m) const { return members_[m].saveCall; }

    void queuePage(int m) {
        const QVariant stored = pages_.Scalar(
            QStringLiteral(
                "SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\" = ? ORDER BY rowid LIMIT 1"),
            {members_[m].name});
        if (stored.isNull()) return;
        cmd_.SetCommandText(QStringLiteral("sp_savestory"));
        cmd_.SetValue(QStringLiteral("@z_descript"), member_exchange::ServerPageText(stored.toString()));
        queueCall(
            m, false, QStringLiteral("@z_filial"), [&] { return saveInBatch(m); },
            [&] { return members_[m].serverName; });
    }

    void queuePictures(int m) {
        struct Item {
            qint64 id;
            qint64 size;
            QString path;
        };
        QList<Item> items;
        for (dao::Recordset rs = pictures_.OpenRecordset(
                 QStringLiteral("SELECT \"image_id\", length(\"myimage\"), \"imagepath\" FROM \"imageylk\" "
                                "WHERE \"filial\" = ? ORDER BY rowid"),
                 {members_[m].name});
             rs.hasRow(); rs.MoveNext())
            items.append(
                {rs.value(0).toLongLong(), rs.value(1).toLongLong(), rs.Text(QStringLiteral("imagepath"))});
        // A batch holds its pictures until it goes; its bytes are bounded.
        for (const Item& item : items) {
            if (item.size >= pictureLimit_) {
                // Said when the calls before it are done, as it would be one by one.
                notices_.append({int(calls_.size()), members_[m].name});
            } else {
                cmd_.SetCommandText(QStringLiteral("sp_saveimage"));
                cmd_.SetValue(
                    QStringLiteral("@z_myimage"),
                    pictures_
                        .Scalar(QStringLiteral("SELECT \"myimage\" FROM \"imageylk\" WHERE \"image_id\" = ?"),
                                {item.id})
                        .toByteArray());
                cmd_.SetValue(QStringLiteral("@z_imgpath"), member_exchange::ServerPicturePath(item.path));
                queueCall(
                    m, false, QStringLiteral("@z_filial"), [&] { return saveInBatch(m); },
                    [&] { return members_[m].serverName; });
            }
            DoEvents();
        }
    }

    void showNoticesAt(int calls) {
        for (const auto& [at, name] : std::as_const(notices_))
            if (at == calls) tooLarge_(name);
    }

    ServerCommand cmd_;
    ServerBatch batch_;
    bool failed_ = false;  // a Flush did not end well
    qint64 pictureLimit_;
    std::function<void(const QString&)> tooLarge_;
    std::function<void()> memberDone_;
    QString* stoppedAt_;
    QList<Member> members_;                   // of the calls queued
    QList<QueuedCall> calls_;                 // in the batch's order
    QList<std::pair<int, QString>> notices_;  // pictures too large: the calls queued before each, the member
    QHash<QString, int> inBatch_;     // local name (keyed as the book keys names) -> its save in the batch
    QHash<QString, QString> sentAs_;  // local name -> the name the server gave it in this upload
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
    QString stoppedAt;
    try {
        ServerSession session;
        MemberSender sender(
            session.connection(), kSingleUploadLimit,
            [](const QString&) {
                UI().MsgBox(Translated(QStringLiteral("视音频媒体超过12M暂不予上传!!!")), vb::Critical);
            },
            [] {}, &stoppedAt);
        sender.Queue(member);
        sender.Flush();
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
        MemberSender sender(
            session.connection(), kBatchUploadLimit,
            [](const QString& name) {
                UI().MsgBox(name + Translated(QStringLiteral(" 视音频媒体超过3M暂不予上传!!!")),
                            vb::Critical);
            },
            [&] {
                if (++done % kMembersPerCommit != 0) return;
                commitIds();
                ids.emplace(db.BeginTrans());
            },
            &current);
        ids.emplace(db.BeginTrans());
        for (const qsizetype at : FathersFirst(members)) {
            sender.Queue(members[at]);
            DoEvents();
        }
        sender.Flush();
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
