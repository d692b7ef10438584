#include <QSet>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/branch_stamps.h"
#include "store/data_ops.h"
#include "store/member_name_index.h"

namespace {

using namespace branch_stamps;

constexpr quint8 kKeepProtection = 99;

// Names without text are no members: nothing can show or reach them, and a walk must not take ""
// for a father, which would pull every root of the book into the branch.
void DeleteNamelessMembers(dao::Database& db) {
    db.Execute(QStringLiteral("DELETE FROM \"本姓成员\" WHERE \"filial\"='' OR \"filial\" IS NULL"));
}

bool IsChildlessPlaceholder(const QString& name) {
    return name.contains(QStringLiteral("无子女")) || name.contains(QStringLiteral("无子嗣"));
}
// The same for a name in UTF-8.
bool IsChildlessPlaceholder(QByteArrayView name) {
    return name.contains(QByteArrayView("无子女")) || name.contains(QByteArrayView("无子嗣"));
}

// Whether a text holds anything but blanks.
bool HasNonBlank(QByteArrayView text) {
    for (const char c : text)
        if (c != ' ') return true;
    return false;
}

struct Population {
    qint32 livingMale = 0;
    qint32 livingFemale = 0;
    qint32 deadMale = 0;
    qint32 deadFemale = 0;
    qint32 mothers = 0;
    qint64 depth = 0;  // generations below the root
    bool metNameless = false;

    void Count(bool placeholder, bool male, bool alive) {
        if (placeholder) return;
        if (alive)
            ++(male ? livingMale : livingFemale);
        else
            ++(male ? deadMale : deadFemale);
    }
    void CountDescendant(qint64 level, bool placeholder, bool male, bool alive, bool hasMother) {
        Count(placeholder, male, alive);
        if (hasMother) ++mothers;
        depth = std::max(depth, level);
    }
};

// Both walks go breadth-first below the root, one generation at a time, and visit every member once
// (the root too, when it is a stored row), so a loop in the father links ends. A child without a
// name is noted, never expanded. The root's own row is the caller's.
//
// The first walk asks for each member's children: cheap while the branch is small against the book.
// Past `budget` members it gives up (returns nothing), leaving its writes for the second walk to
// complete.
std::optional<Population> WalkByQueries(dao::Database& db, const QString& root, qint64 rootId,
                                        qint64 firstGeneration, const Stamp& stamp, qint64 budget) {
    struct Child {
        qint64 id;
        QString name;
        bool hasMother;
        bool male;
        bool alive;
        Stored stored;
    };
    const QString childSql =
        QStringLiteral("SELECT \"filial_id\", \"filial\", \"mother\", \"Boy_Sex\", \"boy_active\", ") +
        kStoredColumns + QStringLiteral(" FROM \"本姓成员\" WHERE \"father\"=?");
    Writer writer(db, stamp);
    Population population;
    // Written once the branch is known to be small: a walk that gives up has spent only reads.
    std::vector<std::pair<qint64, qint64>> stamps;  // member id, generation
    std::vector<QString> members;                   // whose side rows take the number
    const auto write = [&] {
        for (const auto& [id, generation] : stamps) writer.StampMember(id, generation);
        for (const QString& name : members) writer.SetSideRows(name, stamp.branch);
    };
    QSet<qint64> visited;
    if (rootId >= 0) visited.insert(rootId);
    std::vector<QString> level{root};
    std::vector<QString> next;
    std::vector<Child> children;
    for (qint64 depth = 1; !level.empty(); ++depth) {
        next.clear();
        for (const QString& father : level) {
            children.clear();
            for (dao::Recordset rs = db.OpenRecordset(childSql, {father}); rs.hasRow(); rs.MoveNext())
                children.push_back({rs.value(0).toLongLong(), rs.value(1).toString(),
                                    !Trim(rs.value(2).toString()).isEmpty(), rs.value(3).toBool(),
                                    rs.value(4).toBool(), Stored::Read(rs, 5)});
            for (Child& child : children) {
                if (visited.contains(child.id)) continue;
                if (child.name.isEmpty()) {
                    population.metNameless = true;
                    continue;
                }
                if (visited.size() > budget) return std::nullopt;
                visited.insert(child.id);
                const qint64 generation = firstGeneration + depth;
                if (!child.stored.IsStamped(stamp, generation)) stamps.emplace_back(child.id, generation);
                if (stamp.sides) members.push_back(child.name);
                population.CountDescendant(depth, IsChildlessPlaceholder(child.name), child.male,
                                           stamp.setLiving ? stamp.alive : child.alive, child.hasMother);
                next.push_back(std::move(child.name));
            }
            writer.Tick();
        }
        level.swap(next);
    }

    // Members that carried the number and are not in the branch now; many of them are better
    // released by the second walk, which reads each side table once. Released rows keep -9 and need
    // nothing unless their numbers go too.
    if (stamp.branch == kReleased && !stamp.numbered) {
        write();
        return population;
    }
    std::vector<std::pair<qint64, QString>> leaving;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"filial_id\", \"filial\" FROM \"本姓成员\" WHERE \"flag\"=?"),
             {stamp.branch});
         rs.hasRow(); rs.MoveNext()) {
        if (visited.contains(rs.value(0).toLongLong())) continue;
        if (qint64(leaving.size()) >= budget) return std::nullopt;
        leaving.emplace_back(rs.value(0).toLongLong(), rs.value(1).toString());
    }
    write();
    for (const auto& [id, name] : leaving) {
        writer.ReleaseMember(id);
        writer.SetSideRows(name, kReleased);
    }
    return population;
}

// A row of the whole-table walk, kept as the chart would read it; its generation comes once walked.
void Keep(WalkedBranch& walked, qint64 id, QByteArrayView name, QByteArrayView father, const QVariant& sort) {
    const auto append = [&](QByteArrayView text) {
        walked.text.append(text.constData(), size_t(text.size()));
        return quint32(text.size());
    };
    WalkedBranch::Member member{};
    member.id = id;
    member.sorted = sort.isValid();
    member.wholeSort = sort.typeId() == QMetaType::LongLong;
    member.sort = member.wholeSort ? sort.toLongLong() : 0;
    member.nameAt = quint32(walked.text.size());
    member.nameSize = append(name);
    member.fatherSize = append(father);
    walked.members.push_back(member);
}

// The second walk reads the whole member table once, in stored order, links fathers and children in
// memory, and writes in stored order only the rows whose values change; the side tables are read once
// each as well. No random reads, whatever the size of the book.
// With `keep`, the branch's members are kept there as the walk wrote them.
Population WalkInMemory(dao::Database& db, const QString& root, qint64 rootId, qint64 firstGeneration,
                        const Stamp& stamp, WalkedBranch* keep, qint64 highestId) {
    enum : quint8 {
        kMale = 1,
        kAlive = 2,
        kMother = 4,
        kNameless = 8,
        kPlaceholder = 16,
        kCarried = 32,     // carried the branch number before
        kStampedBut = 64,  // has the number, protection and living flags wanted; generation aside
        kVisited = 128,
    };
    constexpr qint32 kNoFather = -1;
    // As many rows as numbers, about: counting them would read the table once more. Sparse numbers
    // merely reserve less than they could.
    const qint64 expectedRows = std::clamp<qint64>(highestId, 0, qint64(1) << 23);
    std::vector<qint64> ids;
    std::vector<qint64> generations;
    std::vector<qint32> father;  // row index of the father; ids.size() stands for a root without a row
    std::vector<quint8> bits;
    for (auto* v : {&ids, &generations}) v->reserve(size_t(expectedRows));
    father.reserve(size_t(expectedRows));
    bits.reserve(size_t(expectedRows));
    // Names as the engine keeps them (UTF-8): far cheaper to read than text turned into UTF-16.
    MemberNameIndex byName(expectedRows);
    qint32 rootIndex = -1;
    if (keep) keep->members.reserve(size_t(expectedRows));
    Writer writer(db, stamp);
    {
        // Fathers are looked up once every name is in: each father name once, for the brothers stored
        // together after one another.
        QByteArray fatherText;              // the distinct father names, end to end
        std::vector<qsizetype> fatherEnds;  // where each ends in fatherText
        std::vector<qint32> fatherOf;       // each row's entry in fatherEnds; -1 without a father
        fatherOf.reserve(size_t(expectedRows));
        QByteArrayView lastFather;
        for (dao::Recordset rs = db.OpenRecordset(
                 QStringLiteral(
                     "SELECT \"filial_id\", CAST(\"filial\" AS BLOB), CAST(\"father\" AS BLOB), "
                     "ifnull(\"generation\", -4294967296), "
                     "(ifnull(\"Boy_Sex\", 0)<>0) + 2*(ifnull(\"boy_active\", 0)<>0) "
                     "+ 8*(ifnull(\"filial\", '')='') "
                     "+ 32*(\"flag\" IS ?1) + 64*(\"flag\" IS ?1 AND (?2 OR \"filial_protect\" IS ?3) "
                     "AND (?4 OR (\"boy_active\" IS ?5 AND \"Mother_active\" IS ?5))), ") +
                     // The sort number only for the branch kept for the chart.
                     (keep ? QStringLiteral("\"boy_sort\"") : QStringLiteral("NULL")) +
                     // Texts are tested here rather than by the engine's functions: a call a row each
                     // costs more than reading the text.
                     QStringLiteral(", \"mother\" FROM \"本姓成员\" ORDER BY \"filial_id\""),
                 {stamp.branch, !stamp.protect, int(stamp.protection), !stamp.setLiving, stamp.alive});
             rs.hasRow(); rs.MoveNext()) {
            // Values are read where the engine holds them: a million rows make a copy per value count.
            const qint32 index = qint32(ids.size());
            const qint64 id = rs.Int64(0);
            if (id == rootId) rootIndex = index;
            ids.push_back(id);
            generations.push_back(rs.Int64(3));
            const QByteArrayView name = rs.Utf8(1);
            bits.push_back(quint8(rs.Int64(4)) | (IsChildlessPlaceholder(name) ? kPlaceholder : 0) |
                           (HasNonBlank(rs.Utf8(6)) ? kMother : 0));
            byName.Append(bits.back() & kNameless ? QByteArrayView() : name);
            const QByteArrayView fatherName = rs.Utf8(2);
            if (keep) Keep(*keep, id, name, fatherName, rs.value(5));
            if (fatherName.isEmpty()) {
                fatherOf.push_back(-1);  // "" is no member's name
            } else {
                if (fatherEnds.empty() || fatherName != lastFather) {
                    fatherText.append(fatherName);
                    fatherEnds.push_back(fatherText.size());
                }
                lastFather = QByteArrayView(fatherText.constData() + fatherText.size() - fatherName.size(),
                                            fatherName.size());
                fatherOf.push_back(qint32(fatherEnds.size() - 1));
            }
            writer.Tick();
        }
        // Names past what the spans reach are read back from the table instead.
        if (keep && (keep->text.size() > WalkedBranch::kMostText || ids.size() > WalkedBranch::kDeepest)) {
            *keep = {};
            keep = nullptr;
        }
        byName.PlaceAppended();
        // The first row of a name is its row; a father nobody bears is the root without a row when he
        // bears the root's name.
        const QByteArray foldedRoot = FoldAscii(root.toUtf8());
        const qint32 rootWithoutRow = qint32(ids.size());
        const auto fatherAt = [&](size_t f) {
            const qsizetype from = f == 0 ? 0 : fatherEnds[f - 1];
            return QByteArrayView(fatherText.constData() + from, fatherEnds[f] - from);
        };
        std::vector<qint32> fatherRow(fatherEnds.size());
        byName.FindMany(fatherEnds.size(), fatherAt, [&](size_t f, qint32 row) {
            fatherRow[f] = row >= 0 ? row : FoldAscii(fatherAt(f)) == foldedRoot ? rootWithoutRow : kNoFather;
        });
        father.resize(fatherOf.size());
        for (size_t r = 0; r < fatherOf.size(); ++r)
            father[r] = fatherOf[r] < 0 ? kNoFather : fatherRow[size_t(fatherOf[r])];
    }

    // Children of each row, contiguous: those of row r are kids[first[r]] .. kids[first[r + 1] - 1].
    const qint32 rows = qint32(ids.size());
    std::vector<qint32> first(size_t(rows) + 2, 0);
    for (qint32 f : father)
        if (f != kNoFather) ++first[size_t(f) + 1];
    for (size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
    std::vector<qint32> kids(size_t(first.back()));
    {
        std::vector<qint32> fill(first.begin(), first.end() - 1);
        for (qint32 r = 0; r < rows; ++r)
            if (father[size_t(r)] != kNoFather) kids[size_t(fill[size_t(father[size_t(r)])]++)] = r;
    }
    std::vector<qint32>().swap(father);

    Population population;
    std::vector<qint32> depthOf(size_t(rows), 0);
    std::vector<qint32> level{rootIndex >= 0 ? rootIndex : rows};
    if (rootIndex >= 0) bits[size_t(rootIndex)] |= kVisited;
    std::vector<qint32> next;
    for (qint32 depth = 1; !level.empty(); ++depth) {
        next.clear();
        for (qint32 f : level) {
            for (qint32 k = first[size_t(f)]; k < first[size_t(f) + 1]; ++k) {
                const qint32 child = kids[size_t(k)];
                quint8& b = bits[size_t(child)];
                if (b & kVisited) continue;
                if (b & kNameless) {
                    population.metNameless = true;
                    continue;
                }
                b |= kVisited;
                depthOf[size_t(child)] = depth;
                population.CountDescendant(depth, b & kPlaceholder, b & kMale,
                                           stamp.setLiving ? stamp.alive : bool(b & kAlive), b & kMother);
                next.push_back(child);
            }
        }
        level.swap(next);
    }
    std::vector<qint32>().swap(kids);
    std::vector<qint32>().swap(first);
    if (keep) {
        size_t kept = 0;
        for (qint32 r = 0; r < rows; ++r) {
            if (depthOf[size_t(r)] == 0 && r != rootIndex) continue;
            WalkedBranch::Member member = keep->members[size_t(r)];
            member.depth = quint32(depthOf[size_t(r)]);
            keep->members[kept++] = member;
        }
        keep->members.resize(kept);
        keep->firstGeneration = firstGeneration;
    }

    // What each row takes: a row of the branch its number and generation, a row that left the branch
    // the release; none when it holds them already (a row released already only for its number).
    enum class Change { None, Stamp, Release };
    const auto changeOf = [&](qint32 r) {
        const quint8 b = bits[size_t(r)];
        if (depthOf[size_t(r)] > 0)
            return !(b & kStampedBut) ||
                           (stamp.numbered && generations[size_t(r)] != firstGeneration + depthOf[size_t(r)])
                       ? Change::Stamp
                       : Change::None;
        if ((b & kCarried) && !(b & kVisited))
            return stamp.branch != kReleased || (stamp.numbered && generations[size_t(r)] != kNotNumbered)
                       ? Change::Release
                       : Change::None;
        return Change::None;
    };
    qint64 changing = 0;
    for (qint32 r = 0; r < rows; ++r) changing += changeOf(r) != Change::None;
    {
        // Much of the table rewritten: the flag index is built again once instead of having an entry
        // taken out and put in for every row. The rows keep their content: what they free need not be
        // overwritten.
        std::optional<IndexSetAside> flagIndex;
        if (changing >= kRebuildIndexFrom && changing * 8 >= rows)
            flagIndex.emplace(db, QStringLiteral("idx_member_flag"));
        const dao::FreeWithoutOverwriting freed(db);
        StampRuns runs(db, stamp, writer);
        for (qint32 r = 0; r < rows; ++r) {
            switch (changeOf(r)) {
                case Change::Stamp:
                    runs.Add(ids[size_t(r)], false, firstGeneration + depthOf[size_t(r)]);
                    break;
                case Change::Release:
                    runs.Add(ids[size_t(r)], true, 0);
                    break;
                case Change::None:
                    runs.Skip();
                    break;
            }
        }
        runs.Flush();
        if (flagIndex) flagIndex->Restore();
    }

    // Side rows go by their member: the branch's take the number, those of members that left lose it.
    for (const QString& table : SideTables()) {
        std::vector<std::pair<qint64, qint32>> changes;
        for (dao::Recordset rs = db.OpenRecordset(QStringLiteral("SELECT rowid, CAST(\"filial\" AS BLOB), "
                                                                 "ifnull(\"flag\", -4294967296) FROM ") +
                                                  table + QStringLiteral(" ORDER BY rowid"));
             rs.hasRow(); rs.MoveNext()) {
            const qint32 member = byName.Find(rs.Utf8(1));
            if (member < 0) continue;
            const quint8 b = bits[size_t(member)];
            // Only rows whose number changes are written: a picture row would be copied whole.
            const auto change = [&](qint32 value) {
                if (rs.Int64(2) != value) changes.emplace_back(rs.Int64(0), value);
            };
            if (b & kVisited) {
                if (stamp.sides) change(stamp.branch);
            } else if (b & kCarried) {
                change(kReleased);
            }
            writer.Tick();
        }
        // Neighbouring rows that take the same number go in one statement.
        for (size_t from = 0; from < changes.size();) {
            size_t to = from + 1;
            while (to < changes.size() && changes[to].first == changes[to - 1].first + 1 &&
                   changes[to].second == changes[from].second)
                ++to;
            writer.SetSideRows(table, changes[from].first, changes[to - 1].first, changes[from].second);
            from = to;
        }
    }
    return population;
}

// Whether a good share of the book descends from the root: of members taken evenly through the table,
// an eighth or more have fathers that lead up to it. Asking for each member's children would then be
// given up on after a sixteenth of the book, in vain.
bool HoldsMuchOfTheBook(dao::Database& db, qint64 rootId, qint64 highestId) {
    constexpr int kTaken = 64;
    constexpr int kEnough = kTaken / 8;
    // Longer lines of fathers than any book has: a loop in the father links ends here.
    constexpr int kLongestLine = 512;
    if (rootId < 0) return false;
    int reached = 0;
    for (int i = 0; i < kTaken && reached < kEnough; ++i) {
        dao::Recordset rs = db.OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"father\" FROM \"本姓成员\" WHERE \"filial_id\">=? "
                           "ORDER BY \"filial_id\" LIMIT 1"),
            {highestId * (2 * i + 1) / (2 * kTaken)});
        for (int step = 0; step < kLongestLine && rs.hasRow(); ++step) {
            if (rs.value(0).toLongLong() == rootId) {
                ++reached;
                break;
            }
            const QString father = rs.value(1).toString();
            if (father.isEmpty()) break;
            rs = db.OpenRecordset(
                QStringLiteral("SELECT \"filial_id\", \"father\" FROM \"本姓成员\" WHERE \"filial\"=?"),
                {father});
        }
    }
    return reached >= kEnough;
}

// A branch of more than about a sixteenth of the book is walked in memory: asking for children costs
// several times more per member than a row of the whole-table read, once the book outgrows the cache.
Population WalkBranch(dao::Database& db, const QString& root, qint64 rootId, qint64 firstGeneration,
                      const Stamp& stamp, WalkedBranch* keep = nullptr) {
    constexpr qint64 kSmallBranch = 2000;
    const qint64 highestId =
        db.Scalar(QStringLiteral("SELECT max(\"filial_id\") FROM \"本姓成员\"")).toLongLong();
    const qint64 budget = std::max(kSmallBranch, highestId / 16);
    if (budget == kSmallBranch || !HoldsMuchOfTheBook(db, rootId, highestId))
        if (auto walked = WalkByQueries(db, root, rootId, firstGeneration, stamp, budget)) return *walked;
    // Most pages of the member table change: held in memory until the commit, each is encrypted and
    // written once, instead of spilled (with a journal sync) and written again as the walk goes on.
    constexpr int kWholeTableCacheKiB = 262144;
    struct RestoreCache {
        dao::Database& db;
        qint64 size;
        ~RestoreCache() {
            try {
                db.Execute(QStringLiteral("PRAGMA cache_size=%1").arg(size));
            } catch (...) {
            }
        }
    } restore{db, db.Scalar(QStringLiteral("PRAGMA cache_size")).toLongLong()};
    db.Execute(QStringLiteral("PRAGMA cache_size=-%1").arg(kWholeTableCacheKiB));
    return WalkInMemory(db, root, rootId, firstGeneration, stamp, keep, highestId);
}

}  // namespace

namespace {

// Changes whenever anything is written to the book: this connection's change count, the members file's
// version as other connections leave it, and the three files on disk (pictures and pages are written
// through connections of their own).
QString BookState(dao::Database& db) {
    QStringList parts{db.Scalar(QStringLiteral("SELECT total_changes()")).toString(),
                      db.Scalar(QStringLiteral("PRAGMA data_version")).toString()};
    for (const QString& path : {DataDbPath(), ImageDbPath(), DescriptDbPath()})
        for (const QString& file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-journal")}) {
            std::error_code error;
            const std::filesystem::path p(file.toStdString());
            const auto size = std::filesystem::file_size(p, error);
            const auto time = std::filesystem::last_write_time(p, error);
            parts << (error ? QStringLiteral("-")
                            : QString::number(size) + QLatin1Char('@') +
                                  QString::number(time.time_since_epoch().count()));
        }
    return parts.join(QLatin1Char('/'));
}

}  // namespace

void Cls数据操作::标识世祖(const QString& rootName, qint32 branch, qint16 livingMode, qint32& firstGeneration,
                           qint16& force, quint8& protection) {
    AppState& app = App();
    walked_.reset();
    const bool keepWalked = std::exchange(keepWalked_, false) && branch != kReleased;
    // The marking stands only for the same root and number over a book nobody has written to since.
    if (protection == kKeepProtection && livingMode == 0 && force == 0 && rootName == app.RootAncestorName &&
        branch == app.RootAncestorBranch && !app.RootAncestorBook.isEmpty() &&
        app.RootAncestorBook == BookState(app.DataDb))
        return;
    if (rootName.isEmpty()) {
        app.RootAncestorName.clear();
        return;
    }
    ProgressScope progress;
    dao::Database& db = app.DataDb;
    const qint64 g0 = firstGeneration;

    Stamp stamp;
    stamp.branch = branch;
    stamp.numbered = true;
    stamp.protect = protection != kKeepProtection;
    stamp.protection = protection;
    stamp.setLiving = !stamp.protect && livingMode != 0;
    stamp.alive = livingMode == -1;
    stamp.sides = true;

    AttachedSideFiles side(db, kImageAlias, kStoryAlias);
    dao::Transaction tx = db.BeginTrans();
    // The old walk's queue table is left empty, as that walk left it: this one queues in memory.
    db.Execute(QStringLiteral("DELETE FROM \"tempflag\""));

    // The root keeps its own living flags; only its descendants take the living mode.
    qint64 rootId = -1;
    bool rootMale = false, rootAlive = false, rootPlaceholder = false;
    {
        dao::Recordset rs = db.OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"filial\", \"Boy_Sex\", \"boy_active\" FROM \"本姓成员\" "
                           "WHERE \"filial\"=?"),
            {rootName});
        if (rs.hasRow()) {
            rootId = rs.value(0).toLongLong();
            rootPlaceholder = IsChildlessPlaceholder(rs.value(1).toString());
            rootMale = rs.value(2).toBool();
            rootAlive = rs.value(3).toBool();
        }
    }
    Stamp rootStamp = stamp;
    rootStamp.setLiving = false;
    if (rootId >= 0) Writer(db, rootStamp).StampMember(rootId, g0);
    db.Execute(QStringLiteral("UPDATE \"pageindx\" SET \"flag\"=? WHERE \"filial\"=?"), {branch, rootName});
    SetImageStoryFlag(rootName, branch);

    WalkedBranch walked;
    Population population = WalkBranch(db, rootName, rootId, g0, stamp, keepWalked ? &walked : nullptr);
    if (rootId >= 0) population.Count(rootPlaceholder, rootMale, rootAlive);
    if (population.metNameless) DeleteNamelessMembers(db);
    tx.Commit();
    if (!walked.members.empty()) walked_ = std::move(walked);

    app.RootAncestorName = rootName;
    app.RootAncestorBranch = branch;
    app.RootAncestorBook = BookState(db);
    app.FormParamString =
        QStringList{QString::number(population.depth + 1),    QString::number(population.livingMale),
                    QString::number(population.livingFemale), QString::number(population.deadMale),
                    QString::number(population.deadFemale),   QString::number(population.mothers)}
            .join(QLatin1Char('%'));
}

std::optional<WalkedBranch> Cls数据操作::TakeWalkedBranch() {
    return std::exchange(walked_, std::nullopt);
}

void Cls数据操作::Chm_标识世祖(const QString& rootName, qint32 branch) {
    if (rootName.isEmpty()) return;
    ProgressScope progress;
    dao::Database& db = App().DataDb;
    Stamp stamp;
    stamp.branch = branch;

    AttachedSideFiles side(db, kImageAlias, kStoryAlias);
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"tempflag\""));
    QVariant rootId;
    {
        dao::Recordset rs = db.OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"flag\" IS ? FROM \"本姓成员\" WHERE \"filial\"=?"),
            {branch, rootName});
        if (rs.hasRow()) {
            rootId = rs.value(0);
            if (rs.value(1).toLongLong() == 0) Writer(db, stamp).StampMember(rootId.toLongLong(), 0);
        }
    }
    const Population walked = WalkBranch(db, rootName, rootId.isNull() ? -1 : rootId.toLongLong(), 0, stamp);
    if (walked.metNameless) DeleteNamelessMembers(db);
    tx.Commit();
}

void Cls数据操作::清世代数据() {
    App().DataDb.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"generation\"=?"), {kNotNumbered});
}

void Cls数据操作::删除有标识的子女(qint32 branch, std::optional<qint32> forgetPagesAfter) {
    // -9 is the number of every member outside a branch: deleting "its members" would empty the book.
    if (branch == kReleased) return;
    dao::Database& db = App().DataDb;
    AttachedSideFiles side(db, kImageAlias, kStoryAlias);
    dao::Transaction tx = db.BeginTrans();
    // By membership: a stale number on another member's side row never takes that row along.
    for (const QString& table : SideTables())
        db.Execute(
            QStringLiteral("DELETE FROM ") + table +
                QStringLiteral(
                    " WHERE \"filial\" IN (SELECT \"filial\" FROM main.\"本姓成员\" WHERE \"flag\"=?)"),
            {branch});
    db.Execute(QStringLiteral("DELETE FROM \"本姓成员\" WHERE \"flag\"=?"), {branch});
    if (forgetPagesAfter) Del后续分页标志(*forgetPagesAfter);
    tx.Commit();
}

// Runs inside an operation that has the picture and page files attached (AttachedSideFiles).
void Cls数据操作::SetImageStoryFlag(const QString& name, qint32 branch) {
    dao::Database& db = App().DataDb;
    for (const QString& table : SideTables().mid(1))
        db.Execute(QStringLiteral("UPDATE ") + table +
                       QStringLiteral(" SET \"flag\"=? WHERE \"filial\"=? AND \"flag\" IS NOT ?"),
                   {branch, name, branch});
}
