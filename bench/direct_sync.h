#pragma once

// The member sync as the program did it before the door, for the door's figures to stand beside: each
// procedure called on a libpq connection of its own, one statement a call, the session bound to the
// account and holding the program's rights. The book's side is the program's own (member_exchange).

#include <QElapsedTimer>
#include <QFile>
#include <QHash>

#include <memory>
#include <optional>

#include "db/pg_connection.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_utils.h"
#include "online/member_exchange.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "platform/interaction/do_events.h"
#include "store/reserved_names.h"

namespace direct_sync {

// Calls a procedure by name as the program's command once did: its parameters asked of the catalogue
// once, every call one statement, the statement time-out set when it changes (pictures get longer).
class DirectCommand {
public:
    explicit DirectCommand(PgConnection& db) : db_(db) {}

    void SetCommandText(const QString& procedure) {
        current_ = &definitions_[procedure.toLower()];
        if (current_->name.isEmpty()) lookUp(procedure);
        for (Parameter& p : current_->parameters) p.value = QVariant();
    }
    void SetValue(const QString& name, const QVariant& value) { parameter(name).value = value; }
    QVariant Value(const QString& name) { return parameter(name).value; }

    ServerRows Execute() {
        QList<QVariant> values;
        QList<quint32> types;
        QStringList marks;
        for (const Parameter& p : current_->parameters) {
            if (!current_->isProcedure && p.mode == 'o') continue;
            values << (p.mode == 'o' ? QVariant() : p.value);
            types << p.type;
            marks << QStringLiteral("$%1").arg(values.size());
        }
        const QString target = QStringLiteral("public.") + PgConnection::QuoteIdentifier(current_->name) +
                               QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
        if (!db_.setStatementTimeout(current_->carriesPicture ? 120000 : 30000))
            throw ServerError(QStringLiteral("服务器连接没有打开。"));
        const PgResult result = db_.execValues(
            (current_->isProcedure ? QStringLiteral("CALL ") : QStringLiteral("SELECT * FROM ")) + target,
            values, types);
        if (!result.ok)
            throw ServerError(current_->name + QStringLiteral(": ") + result.error, result.sqlState);
        ServerRows rows{result.columns, result.values};
        if (current_->isProcedure && !rows.isEmpty())
            for (Parameter& p : current_->parameters)
                if (p.mode != 'i' && rows.column(p.name) >= 0)
                    p.value = rows.rows[0].value(rows.column(p.name));
        return rows;
    }

private:
    struct Parameter {
        QString name;
        char mode;  // 'i', 'o' or 'b'
        quint32 type;
        QVariant value;
    };
    struct Definition {
        QString name;
        bool isProcedure = false;
        bool carriesPicture = false;
        QList<Parameter> parameters;
    };

    void lookUp(const QString& procedure) {
        const PgResult found = db_.exec(
            QStringLiteral("SELECT p.proname, p.prokind, a.name, a.mode, a.type FROM pg_catalog.pg_proc p, "
                           "LATERAL unnest(coalesce(p.proallargtypes, p.proargtypes::oid[]), "
                           "coalesce(p.proargmodes, array_fill('i'::\"char\", ARRAY[p.pronargs::int])), "
                           "p.proargnames) WITH ORDINALITY AS a(type, mode, name, ord) "
                           "WHERE lower(p.proname) = lower($1) AND p.pronamespace = 'public'::regnamespace "
                           "ORDER BY a.ord"),
            {procedure});
        if (!found.ok || found.rows.isEmpty()) throw ServerError(QStringLiteral("no procedure ") + procedure);
        current_->name = found.rows.first().value(0);
        current_->isProcedure = found.rows.first().value(1) == QLatin1String("p");
        for (const QStringList& row : found.rows) {
            const quint32 type = row.value(4).toUInt();
            if (type == pgtype::kBytea) current_->carriesPicture = true;
            if (row.value(3) == QLatin1String("t")) continue;  // a column of the rows
            current_->parameters.append({row.value(2), row.value(3).at(0).toLatin1(), type, QVariant()});
        }
    }
    Parameter& parameter(const QString& name) {
        for (Parameter& p : current_->parameters)
            if (p.name.compare(name, Qt::CaseInsensitive) == 0) return p;
        throw ServerError(QStringLiteral("no parameter ") + name);
    }

    PgConnection& db_;
    QHash<QString, Definition> definitions_;
    Definition* current_ = nullptr;
};

// A session on the server's database as the program's account had one: the program's rights, bound to
// the logged-on account for the whole session.
inline std::unique_ptr<PgConnection> OpenSession(const PgParams& params, qint32 account) {
    auto db = PgConnection::Open(params);
    if (!db || !db->exec(QStringLiteral("SET ROLE qntzpsvr01")).ok ||
        !db->exec(QStringLiteral("SELECT set_config('qentara.account', $1, false)"),
                  {QString::number(account)})
             .ok)
        return nullptr;
    return db;
}

// The branch upload one call after the other, fathers before sons as the generated book stores them:
// each member's save, his page and pictures (below 3 MB), his server id written back in the book, 200
// to a commit. Answers the members sent.
inline int Upload(PgConnection& db, qint32 account, qint32 branch) {
    DirectCommand cmd(db);
    dao::Database& book = App().DataDb;
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    dao::Database pictures = dao::Database::Open(ImageDbPath(), BookDbPassword());
    QString columns = QStringLiteral("\"filial_id\", \"filial\", \"father\", \"mysql_id\"");
    for (const auto& field : member_exchange::Particulars())
        columns += QStringLiteral(", ") + dao::QuoteIdent(field.column);
    struct Member {
        qint64 rowId;
        QString name, father;
        qint32 serverId;
        QVariantList values;
    };
    QList<Member> members;
    for (dao::Recordset rs = book.OpenRecordset(QStringLiteral("SELECT ") + columns +
                                                    QStringLiteral(" FROM \"本姓成员\" WHERE \"flag\" = ? "
                                                                   "ORDER BY \"filial_id\""),
                                                {branch});
         rs.hasRow(); rs.MoveNext()) {
        Member m{rs.value(0).toLongLong(),
                 rs.value(1).toString(),
                 rs.value(2).toString(),
                 qint32(rs.value(3).toLongLong()),
                 {}};
        for (int i = 0; i < member_exchange::Particulars().size(); ++i) m.values << rs.value(4 + i);
        members.append(m);
    }
    QHash<QString, QString> sentAs;
    std::optional<dao::Transaction> ids;
    int done = 0;
    for (const Member& m : members) {
        if (!ids) ids.emplace(book.BeginTrans());
        cmd.SetCommandText(QStringLiteral("sp_savezpdata2"));
        cmd.SetValue(QStringLiteral("@z_accid"), account);
        cmd.SetValue(QStringLiteral("@z_filial_id"), m.serverId);
        cmd.SetValue(QStringLiteral("@z_father"),
                     m.father.isEmpty() || m.father == QLatin1String("No_Display")
                         ? QString()
                         : sentAs.value(NameColumnKey(m.father), StripBracketSuffix(m.father)));
        cmd.SetValue(QStringLiteral("@z_filial"), StripBracketSuffix(m.name));
        for (int i = 0; i < member_exchange::Particulars().size(); ++i)
            cmd.SetValue(member_exchange::Particulars().at(i).parameter, m.values.at(i));
        cmd.Execute();
        const QString serverName = cmd.Value(QStringLiteral("@z_filial")).toString();
        book.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = ? WHERE \"filial_id\" = ?"),
                     {cmd.Value(QStringLiteral("@z_filial_id")).toInt(), m.rowId});
        sentAs.insert(NameColumnKey(m.name), serverName);
        const QVariant page = pages.Scalar(
            QStringLiteral(
                "SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\" = ? ORDER BY rowid LIMIT 1"),
            {m.name});
        if (!page.isNull()) {
            cmd.SetCommandText(QStringLiteral("sp_savestory"));
            cmd.SetValue(QStringLiteral("@z_filial"), serverName);
            cmd.SetValue(QStringLiteral("@z_descript"), member_exchange::ServerPageText(page.toString()));
            cmd.Execute();
        }
        QList<std::pair<qint64, QString>> items;
        for (dao::Recordset rs = pictures.OpenRecordset(
                 QStringLiteral(
                     "SELECT \"image_id\", \"imagepath\" FROM \"imageylk\" WHERE \"filial\" = ? AND "
                     "length(\"myimage\") < 3145728 ORDER BY rowid"),
                 {m.name});
             rs.hasRow(); rs.MoveNext())
            items.append({rs.value(0).toLongLong(), rs.value(1).toString()});
        for (const auto& [id, path] : items) {
            cmd.SetCommandText(QStringLiteral("sp_saveimage"));
            cmd.SetValue(QStringLiteral("@z_filial"), serverName);
            cmd.SetValue(
                QStringLiteral("@z_myimage"),
                pictures
                    .Scalar(QStringLiteral("SELECT \"myimage\" FROM \"imageylk\" WHERE \"image_id\" = ?"),
                            {id})
                    .toByteArray());
            cmd.SetValue(QStringLiteral("@z_imgpath"), member_exchange::ServerPicturePath(path));
            cmd.Execute();
            DoEvents();
        }
        if (++done % 200 == 0) {
            ids->Commit();
            ids.reset();
        }
        DoEvents();
    }
    if (ids) ids->Commit();
    return done;
}

// The tree download one call after the other into the staging file, as the program's: the list, then
// each member, his page and his pictures as the list marks them. Answers the members staged.
inline int Download(PgConnection& db, qint32 account, qint32 rootId) {
    const QString path = member_exchange::StagingPath();
    dao::ReleaseIdleConnections(path);
    QFile::remove(path);
    dao::Database staging = member_exchange::CreateStaging(path);
    DirectCommand cmd(db);
    cmd.SetCommandText(QStringLiteral("sp_GnSeekList2"));
    cmd.SetValue(QStringLiteral("@myacc_id"), account);
    cmd.SetValue(QStringLiteral("@myboy_id"), rootId);
    const ServerRows list = cmd.Execute();
    dao::Transaction tx = staging.BeginTrans();
    struct Listed {
        qint32 id;
        bool page, pictures;
    };
    QList<Listed> listed;
    for (int row = 0; row < list.size(); ++row) {
        listed.append({list.value(row, QStringLiteral("filial_id")).toInt(),
                       list.value(row, QStringLiteral("storynum")).toLongLong() != 0,
                       list.value(row, QStringLiteral("imagenum")).toLongLong() != 0});
        staging.Execute(
            QStringLiteral("INSERT INTO \"tempflag\" (\"currentpage\", \"father\") VALUES (?, ?)"),
            {listed.last().id, QString(QLatin1Char(listed.last().page ? '1' : '0')) +
                                   QLatin1Char(listed.last().pictures ? '1' : '0')});
    }
    int staged = 0;
    for (const auto& [id, page, pictures] : listed) {
        cmd.SetCommandText(QStringLiteral("sp_Getzpdata2"));
        cmd.SetValue(QStringLiteral("@z_filial_id"), id);
        cmd.Execute();
        const member_exchange::ServerMember member =
            member_exchange::MemberOf([&](const QString& name) { return cmd.Value(name); });
        if (member.id < 1) continue;
        member_exchange::StoreMember(staging, std::nullopt, member.father, member.name, id, member.values);
        if (page) {
            cmd.SetCommandText(QStringLiteral("sp_GetStory"));
            cmd.SetValue(QStringLiteral("@z_filial"), member.name);
            if (const auto text = member_exchange::PageOf(cmd.Execute()))
                staging.Execute(
                    QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\", \"flag\") "
                                   "VALUES (?, ?, ?)"),
                    {member.name, *text, id});
        }
        if (pictures) {
            cmd.SetCommandText(QStringLiteral("sp_GetImage"));
            cmd.SetValue(QStringLiteral("@z_filial"), member.name);
            for (const auto& picture : member_exchange::PicturesOf(cmd.Execute())) {
                staging.Execute(
                    QStringLiteral("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\", "
                                   "\"flag\") VALUES (?, ?, ?, ?)"),
                    {picture.filial, picture.bytes, picture.storedPath, id});
                DoEvents();
            }
        }
        ++staged;
        DoEvents();
    }
    tx.Commit();
    dao::ReleaseIdleConnections(path);
    return staged;
}

}  // namespace direct_sync
