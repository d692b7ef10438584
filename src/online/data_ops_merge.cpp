// The merge of a downloaded tree: the staging file of DownLoad_All folded into the book, each staged
// member matched to the book by its server id, all of it in one transaction over the three book files.
//
// It runs in two passes. The first gives every staged member the name it will have in the book: the
// unique-name rule keyed on the book row it updates, with the names already given in the batch counted as
// borne. The second writes: fathers of new members through those names, so that a child written before
// its renamed father still names him; the book's own rows that named a renamed member follow it. Staged
// pages and pictures are found by server id, so two staged members with one name never mix.

#include <QHash>
#include <QSet>
#include <exception>
#include <functional>
#include <optional>

#include "frame/app_state.h"
#include "frame/db_connections.h"
#include "frame/text_utils.h"
#include "online/member_exchange.h"
#include "online/online_operation.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/reserved_names.h"

namespace {

const QString kStaging = QStringLiteral("mg_stg");
const QString kImages = QStringLiteral("mg_img");
const QString kPages = QStringLiteral("mg_stry");
constexpr int kMembersPerDoEvents = 200;

struct StagedMember {
    qint32 serverId = 0;
    QString name;  // the server's
    QString father;
    QVariantList values;  // member_exchange::FetchedColumns()
    std::optional<qint64> bookRow;
    QString oldName;  // the book row's name before the merge
    QString merged;
};

struct BookRow {
    qint64 id;
    QString name;
};

bool IsRootFather(const QString& father) {
    return father.isEmpty() || father == QLatin1String("No_Display");
}

QString Staged(const QString& table) {
    return dao::QuoteIdent(kStaging) + QLatin1Char('.') + dao::QuoteIdent(table);
}

// The work tables start empty, and staged pictures and pages are found by server id through an index.
void PrepareStaging(const QString& path) {
    dao::Database staging = dao::Database::Open(path, QString());
    dao::Transaction tx = staging.BeginTrans();
    for (const char* table : {"tmp2", "tmp2img", "tmp2stry"})
        staging.Execute(QStringLiteral("DELETE FROM ") + dao::QuoteIdent(QString::fromLatin1(table)));
    staging.Execute(
        QStringLiteral("CREATE INDEX IF NOT EXISTS \"staged_image_id\" ON \"imageylk\" (\"flag\")"));
    staging.Execute(QStringLiteral("CREATE INDEX IF NOT EXISTS \"staged_story_id\" ON \"story\" (\"flag\")"));
    tx.Commit();
}

using Naming = std::function<QString(const QString& name, qint64 bookRow, const ReservedNames& reserved)>;

// Pass one: the staged members, each with the book row it updates and the name it will have.
QList<StagedMember> NameStagedMembers(dao::Database& db, const Naming& uniqueName) {
    // The book's uploaded members by server id; of two rows with one id the first is the member.
    QHash<qint32, BookRow> byServerId;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"filial_id\", \"filial\", \"mysql_id\" FROM main.\"本姓成员\" "
                            "WHERE \"mysql_id\" > 0 ORDER BY \"filial_id\""));
         rs.hasRow(); rs.MoveNext()) {
        const qint32 id = qint32(rs.value(2).toLongLong());
        if (!byServerId.contains(id))
            byServerId.insert(id, {rs.value(0).toLongLong(), rs.Text(QStringLiteral("filial"))});
    }

    QString columns = QStringLiteral("\"filial\", \"father\", \"mysql_id\"");
    for (const QString& column : member_exchange::FetchedColumns())
        columns += QStringLiteral(", ") + dao::QuoteIdent(column);
    QList<StagedMember> staged;
    QSet<qint32> seen;
    ReservedNames reserved;
    int count = 0;
    for (dao::Recordset rs =
             db.OpenRecordset(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") +
                              Staged(QStringLiteral("本姓成员")) + QStringLiteral(" ORDER BY \"filial_id\""));
         rs.hasRow(); rs.MoveNext()) {
        StagedMember member;
        member.serverId = qint32(rs.value(2).toLongLong());
        if (member.serverId > 0 && seen.contains(member.serverId)) continue;  // listed twice
        seen.insert(member.serverId);
        member.name = rs.Text(QStringLiteral("filial"));
        member.father = rs.Text(QStringLiteral("father"));
        for (int i = 0; i < member_exchange::FetchedColumns().size(); ++i) member.values << rs.value(3 + i);
        // A row without a server id matches nothing: id 0 is every member never uploaded.
        if (const auto it = byServerId.constFind(member.serverId);
            member.serverId > 0 && it != byServerId.constEnd()) {
            member.bookRow = it->id;
            member.oldName = it->name;
        }
        member.merged = uniqueName(StripBracketSuffix(member.name), member.bookRow.value_or(0), reserved);
        reserved.Reserve(member.merged);
        staged.append(std::move(member));
        if (++count % kMembersPerDoEvents == 0) DoEvents();
    }
    return staged;
}

// Pass two, inside the caller's transaction.
void WriteStagedMembers(dao::Database& db, const AttachedSideFiles& side, const QList<StagedMember>& staged) {
    // A father's name as the server gave it -> his name in the book; and the book's renamed members.
    QHash<QString, QString> stagedNames, renamedBookRows;
    for (const StagedMember& member : staged) {
        if (!stagedNames.contains(member.name.toLower()))
            stagedNames.insert(member.name.toLower(), member.merged);
        if (member.bookRow && member.oldName != member.merged)
            renamedBookRows.insert(member.oldName.toLower(), member.merged);
    }
    const auto fatherInBook = [&](const QString& father) {
        if (IsRootFather(father)) return father;
        const QString key = father.toLower();
        return stagedNames.value(key, renamedBookRows.value(key, father));
    };
    const QString pictureOf = QStringLiteral("SELECT 1 FROM ") + Staged(QStringLiteral("imageylk")) +
                              QStringLiteral(" WHERE \"flag\" = ? LIMIT 1");
    const QString pageOf = QStringLiteral("SELECT 1 FROM ") + Staged(QStringLiteral("story")) +
                           QStringLiteral(" WHERE \"flag\" = ? LIMIT 1");
    int count = 0;
    for (const StagedMember& m : staged) {
        // A member already in the book keeps its place in it: its father stays.
        member_exchange::StoreMember(db, m.bookRow, fatherInBook(m.father), m.merged, m.serverId, m.values);
        if (m.bookRow && m.oldName != m.merged) member_exchange::FollowRename(db, side, m.oldName, m.merged);
        // Staged pictures and pages replace the book's; without any, what the book has stays.
        if (!db.Scalar(pictureOf, {m.serverId}).isNull()) {
            db.Execute(
                QStringLiteral("DELETE FROM ") + side.Pictures() + QStringLiteral(" WHERE \"filial\" = ?"),
                {m.merged});
            db.Execute(QStringLiteral("INSERT INTO ") + side.Pictures() +
                           QStringLiteral(" (\"filial\", \"myimage\", \"imagepath\") SELECT ?, \"myimage\", "
                                          "\"imagepath\" FROM ") +
                           Staged(QStringLiteral("imageylk")) +
                           QStringLiteral(" WHERE \"flag\" = ? ORDER BY rowid"),
                       {m.merged, m.serverId});
        }
        if (!db.Scalar(pageOf, {m.serverId}).isNull()) {
            db.Execute(
                QStringLiteral("DELETE FROM ") + side.Pages() + QStringLiteral(" WHERE \"filial\" = ?"),
                {m.merged});
            db.Execute(QStringLiteral("INSERT INTO ") + side.Pages() +
                           QStringLiteral(" (\"filial\", \"Hisdescript\") SELECT ?, \"Hisdescript\" FROM ") +
                           Staged(QStringLiteral("story")) +
                           QStringLiteral(" WHERE \"flag\" = ? ORDER BY rowid LIMIT 1"),
                       {m.merged, m.serverId});
        }
        if (++count % kMembersPerDoEvents == 0) DoEvents();
    }
}

}  // namespace

qint32 Cls数据操作::DaReLoad(const QString& path, QString* errorText) {
    qint32 number = 0;
    QString text;
    try {
        OnlineOperation operation;
        PrepareStaging(path);
        dao::Database& db = App().DataDb;
        AttachedSideFiles side(db, kImages, kPages);
        side.Attach(path, kStaging, QString());
        dao::Transaction tx = db.BeginTrans();
        const QList<StagedMember> staged =
            NameStagedMembers(db, [this](const QString& name, qint64 bookRow, const ReservedNames& reserved) {
                return TongMing字Merge(name, qint32(bookRow), reserved);
            });
        WriteStagedMembers(db, side, staged);
        tx.Commit();
    } catch (const dao::DaoError& e) {
        number = e.Number() != 0 ? e.Number() : dao::kErrGeneric;
        text = e.Description();
    } catch (const SyncError& e) {
        number = dao::kErrGeneric;
        text = e.Description();
    } catch (const VbError& e) {
        number = e.number != 0 ? e.number : dao::kErrGeneric;
        text = e.Description();
    }
    // The staging file stays on disk, held by nobody.
    dao::ReleaseIdleConnections(path);
    if (number != 0) {
        if (errorText) *errorText = text;
        return number;
    }
    // The next marking of a root numbers it again.
    App().RootAncestorName.clear();
    return 0;
}
