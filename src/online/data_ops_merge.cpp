// The merge of a downloaded tree: the staging file of DownLoad_All folded into the book, each staged
// member matched to the book by its server id, all of it in one transaction over the three book files.
//
// It runs in two passes. The first gives every staged member the name it will have in the book: the
// unique-name rule keyed on the book row it updates, with the names already given in the batch counted as
// borne. Then each staged father is tied to the staged member he is: the server keeps names unique with
// their letter case, so the father's server name is his identity, while the book's names ignore case and
// would mix "Wang" with "wang". The second pass writes: fathers of new members through those ties, so that
// a child written before its renamed father still names him; the book's own rows that named a renamed
// member follow it. Staged pages and pictures are found by server id, so two staged members with one name
// never mix.

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
#include "store/outside_page.h"
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
    QString fatherInBook;  // what a new row names as its father
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

// Pass one: the staged members, each with the book row it updates and the name it will have; reserved
// holds every name given out.
QList<StagedMember> NameStagedMembers(dao::Database& db, const Naming& uniqueName, ReservedNames& reserved) {
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

// Each staged father as the index of the staged member he is, -1 for none: the first staged member that
// bears his server name exactly.
QList<qsizetype> StagedFathers(const QList<StagedMember>& staged) {
    QHash<QString, qsizetype> byServerName;
    for (qsizetype i = 0; i < staged.size(); ++i)
        if (!byServerName.contains(staged[i].name)) byServerName.insert(staged[i].name, i);
    QList<qsizetype> fathers(staged.size(), -1);
    for (qsizetype i = 0; i < staged.size(); ++i)
        if (!IsRootFather(staged[i].father)) fathers[i] = byServerName.value(staged[i].father, -1);
    return fathers;
}

// The server lists the top of a tree first and never links a father that closes a loop, but a loop sent to
// it still comes back in the fathers' names. Each loop is opened before the member staged first in it,
// which then stands as a root. Answers the members whose father was cut off.
QSet<qsizetype> OpenLoops(QList<qsizetype>& fathers) {
    enum : char { kNew, kOnPath, kDone };
    QList<char> state(fathers.size(), kNew);
    QSet<qsizetype> opened;
    QList<qsizetype> path;
    for (qsizetype start = 0; start < fathers.size(); ++start) {
        path.clear();
        qsizetype at = start;
        while (at >= 0 && state[at] == kNew) {
            state[at] = kOnPath;
            path.append(at);
            at = fathers[at];
        }
        if (at >= 0 && state[at] == kOnPath) {
            qsizetype first = at;
            for (qsizetype i = path.indexOf(at); i < path.size(); ++i) first = std::min(first, path[i]);
            fathers[first] = -1;
            opened.insert(first);
        }
        for (const qsizetype member : path) state[member] = kDone;
    }
    return opened;
}

// The father each new row names. A father in the download is named by the name his staged member gets. A
// father outside it goes by his server name into the book, unless that name would reach another member
// of the download there (the book ignores letter case): then, as for a cut loop, the member is a root.
void ResolveFathers(dao::Database& db, QList<StagedMember>& staged, const ReservedNames& reserved) {
    QList<qsizetype> fathers = StagedFathers(staged);
    const QSet<qsizetype> opened = OpenLoops(fathers);
    QSet<qint64> rowsInDownload;
    for (const StagedMember& member : staged)
        if (member.bookRow) rowsInDownload.insert(*member.bookRow);
    const QString bookRowOf = QStringLiteral(
        "SELECT \"filial_id\", \"filial\" FROM main.\"本姓成员\" WHERE \"filial\" = ? LIMIT 1");
    for (qsizetype i = 0; i < staged.size(); ++i) {
        StagedMember& member = staged[i];
        if (member.bookRow) continue;  // a member already in the book keeps its father
        if (fathers[i] >= 0) {
            member.fatherInBook = staged[fathers[i]].merged;
        } else if (IsRootFather(member.father)) {
            member.fatherInBook = member.father;
        } else if (!opened.contains(i) && !reserved.Has(member.father)) {
            dao::Recordset rs = db.OpenRecordset(bookRowOf, {member.father});
            if (!rs.hasRow())
                member.fatherInBook = member.father;
            else if (!rowsInDownload.contains(rs.value(0).toLongLong()))
                member.fatherInBook = rs.Text(QStringLiteral("filial"));
        }
    }
}

// Pass two, inside the caller's transaction.
void WriteStagedMembers(dao::Database& db, const AttachedSideFiles& side, const QList<StagedMember>& staged) {
    const QString pictureOf = QStringLiteral("SELECT 1 FROM ") + Staged(QStringLiteral("imageylk")) +
                              QStringLiteral(" WHERE \"flag\" = ? LIMIT 1");
    const QString pageOf = QStringLiteral("SELECT 1 FROM ") + Staged(QStringLiteral("story")) +
                           QStringLiteral(" WHERE \"flag\" = ? LIMIT 1");
    int count = 0;
    for (const StagedMember& m : staged) {
        // A member already in the book keeps its place in it: its father stays.
        member_exchange::StoreMember(db, m.bookRow, m.fatherInBook, m.merged, m.serverId, m.values);
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
            // The page names only the pictures the member has now (written just above).
            QVariant page =
                db.Scalar(QStringLiteral("SELECT \"Hisdescript\" FROM ") + Staged(QStringLiteral("story")) +
                              QStringLiteral(" WHERE \"flag\" = ? ORDER BY rowid LIMIT 1"),
                          {m.serverId});
            if (!page.isNull())
                page = outside_page::StoredCleaned(
                    page.toString(), outside_page::StoredPicturePaths(db, side.Pictures(), m.merged));
            db.Execute(QStringLiteral("INSERT INTO ") + side.Pages() +
                           QStringLiteral(" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                       {m.merged, page});
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
        ReservedNames given;
        QList<StagedMember> staged = NameStagedMembers(
            db,
            [this](const QString& name, qint64 bookRow, const ReservedNames& reserved) {
                return TongMing字Merge(name, qint32(bookRow), reserved);
            },
            given);
        ResolveFathers(db, staged, given);
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
