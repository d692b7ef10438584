#pragma once

// What a marking writes on the member rows of a branch, and how (data_ops_generations.cpp): the values
// it stamps, the rows' stored values it compares them with, and the writers of single rows and of runs
// of rows.

#include <QString>
#include <QStringList>
#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"

namespace branch_stamps {

constexpr qint32 kReleased = -9;
constexpr qint32 kNotNumbered = -9999;
constexpr int kMembersPerDoEvents = 1000;

// Aliases of the picture and page files while attached to the members database.
inline const QString kImageAlias = QStringLiteral("gen_img");
inline const QString kStoryAlias = QStringLiteral("gen_stry");

// The keyword, picture and page tables, each as reached from the members database.
inline QStringList SideTables() {
    return {QStringLiteral("\"pageindx\""), dao::QuoteIdent(kImageAlias) + QStringLiteral(".\"imageylk\""),
            dao::QuoteIdent(kStoryAlias) + QStringLiteral(".\"story\"")};
}

// What a marking writes on the rows of its branch, and takes from rows that leave the branch.
struct Stamp {
    qint32 branch = kReleased;
    bool numbered = false;  // generation = father's + 1; a row that leaves loses its number
    bool protect = false;   // filial_protect = protection
    quint8 protection = 0;
    bool setLiving = false;  // boy_active and Mother_active = alive
    bool alive = false;
    bool sides = false;  // the branch's keyword, picture and page rows take the number too
};

// A member row's stored values, so that rows already right are not written again. Nulls read as
// values that no marking writes.
inline const QString kStoredColumns = QStringLiteral(
    "ifnull(\"flag\", -4294967296), ifnull(\"generation\", -4294967296), ifnull(\"filial_protect\", -1), "
    "ifnull(\"boy_active\", -1), ifnull(\"Mother_active\", -1)");
struct Stored {
    qint64 flag;
    qint64 generation;
    qint16 protection;
    qint8 active;
    qint8 motherActive;

    static Stored Read(const dao::Recordset& rs, int column) {
        return {rs.value(column).toLongLong(), rs.value(column + 1).toLongLong(),
                qint16(rs.value(column + 2).toInt()), qint8(rs.value(column + 3).toInt()),
                qint8(rs.value(column + 4).toInt())};
    }
    bool IsStamped(const Stamp& stamp, qint64 wanted) const {
        return flag == stamp.branch && (!stamp.numbered || generation == wanted) &&
               (!stamp.protect || protection == stamp.protection) &&
               (!stamp.setLiving || (active == stamp.alive && motherActive == stamp.alive));
    }
};

class Writer {
public:
    Writer(dao::Database& db, const Stamp& stamp) : db_(db), stamp_(stamp) {
        sql_ = QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=?");
        if (stamp.numbered) sql_ += QStringLiteral(", \"generation\"=?");
        if (stamp.protect) sql_ += QStringLiteral(", \"filial_protect\"=?");
        if (stamp.setLiving) sql_ += QStringLiteral(", \"boy_active\"=?, \"Mother_active\"=?");
        sql_ += QStringLiteral(" WHERE \"filial_id\"=?");
    }

    void StampMember(qint64 id, qint64 generation) {
        dao::Params params{stamp_.branch};
        if (stamp_.numbered) params << generation;
        if (stamp_.protect) params << int(stamp_.protection);
        if (stamp_.setLiving) params << stamp_.alive << stamp_.alive;
        params << id;
        db_.Execute(sql_, params);
        Tick();
    }

    // Only the given side rows' numbers change; rows already right are not rewritten (a picture row
    // would be copied whole).
    void SetSideRows(const QString& name, qint32 value) {
        for (const QString& table : SideTables())
            db_.Execute(QStringLiteral("UPDATE ") + table +
                            QStringLiteral(" SET \"flag\"=? WHERE \"filial\"=? AND \"flag\" IS NOT ?"),
                        {value, name, value});
    }

    // A member that carried the number and is no longer in the branch.
    void ReleaseMember(qint64 id) {
        if (stamp_.numbered)
            db_.Execute(
                QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=?, \"generation\"=? WHERE \"filial_id\"=?"),
                {kReleased, kNotNumbered, id});
        else
            db_.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=? WHERE \"filial_id\"=?"),
                        {kReleased, id});
        Tick();
    }

    // The side rows first to last (by rowid), every one of which takes the value.
    void SetSideRows(const QString& table, qint64 first, qint64 last, qint32 value) {
        db_.Execute(QStringLiteral("UPDATE ") + table +
                        QStringLiteral(" SET \"flag\"=? WHERE rowid BETWEEN ? AND ? AND \"flag\" IS NOT ?"),
                    {value, first, last, value});
        Tick();
    }

    void Tick() {
        if (++sinceEvents_ < kMembersPerDoEvents) return;
        sinceEvents_ = 0;
        DoEvents();
    }

private:
    dao::Database& db_;
    const Stamp& stamp_;
    QString sql_;
    int sinceEvents_ = 0;
};

// Member rows written many to a statement for the walk over the whole table. Rows take their new values
// in filial_id order: a run of neighbouring rows that all take the same ones is written by one
// statement over its range of ids; scattered rows are gathered from a stretch of neighbours (so that
// the stretch stays in the page cache) and written by one statement per list of ids that take the
// same values. A statement a row costs more than the row.
class StampRuns {
public:
    StampRuns(dao::Database& db, const Stamp& stamp, Writer& writer)
        : db_(db), stamp_(stamp), writer_(writer) {}

    // The member's row takes the branch at that generation, or with release loses the number.
    void Add(qint64 id, bool release, qint64 generation) {
        const Key key{release, release ? kNotNumbered : generation};
        if (!run_.empty() && !(run_.key == key)) EndRun();
        if (run_.empty()) run_.key = key;
        run_.ids.push_back(id);
        writer_.Tick();
    }
    // The row does not change, and splits any run around it.
    void Skip() { EndRun(); }

    void Flush() {
        EndRun();
        WriteScattered();
    }

private:
    static constexpr size_t kLongRun = 16;
    static constexpr size_t kStretch = 4096;
    static constexpr size_t kMostInList = 256;
    struct Key {
        bool release = false;
        qint64 generation = 0;
        bool operator==(const Key&) const = default;
        bool operator<(const Key& o) const {
            return std::tie(release, generation) < std::tie(o.release, o.generation);
        }
    };
    struct Run {
        Key key;
        std::vector<qint64> ids;
        bool empty() const { return ids.empty(); }
    };

    void WriteScattered() {
        std::stable_sort(scattered_.begin(), scattered_.end(),
                         [](const std::pair<Key, qint64>& a, const std::pair<Key, qint64>& b) {
                             return a.first < b.first;
                         });
        for (size_t from = 0; from < scattered_.size();) {
            size_t to = from;
            while (to < scattered_.size() && to - from < kMostInList &&
                   scattered_[to].first == scattered_[from].first)
                ++to;
            WriteList(from, to);
            from = to;
        }
        scattered_.clear();
    }

    void EndRun() {
        if (run_.ids.size() >= kLongRun) {
            dao::Params params = Values(run_.key);
            params << run_.ids.front() << run_.ids.back();
            db_.Execute(Statement(run_.key, QStringLiteral(" BETWEEN ? AND ?")), params);
        } else {
            for (qint64 id : run_.ids) scattered_.emplace_back(run_.key, id);
            if (scattered_.size() >= kStretch) WriteScattered();
        }
        run_.ids.clear();
    }

    // Rows [from, to) of the scattered ones, with a list of ids a power of two long (the last one
    // repeated), so that a handful of statement texts stay prepared.
    void WriteList(size_t from, size_t to) {
        size_t marks = 1;
        while (marks < to - from) marks *= 2;
        dao::Params params = Values(scattered_[from].first);
        for (size_t i = 0; i < marks; ++i) params << scattered_[std::min(from + i, to - 1)].second;
        db_.Execute(Statement(scattered_[from].first,
                              QStringLiteral(" IN (?") +
                                  QStringLiteral(", ?").repeated(qsizetype(marks) - 1) + QLatin1Char(')')),
                    params);
    }

    QString Statement(const Key& key, const QString& ids) const {
        QString sql = QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=?");
        if (stamp_.numbered) sql += QStringLiteral(", \"generation\"=?");
        if (!key.release && stamp_.protect) sql += QStringLiteral(", \"filial_protect\"=?");
        if (!key.release && stamp_.setLiving)
            sql += QStringLiteral(", \"boy_active\"=?, \"Mother_active\"=?");
        return sql + QStringLiteral(" WHERE \"filial_id\"") + ids;
    }
    dao::Params Values(const Key& key) const {
        dao::Params params{key.release ? kReleased : stamp_.branch};
        if (stamp_.numbered) params << key.generation;
        if (!key.release && stamp_.protect) params << int(stamp_.protection);
        if (!key.release && stamp_.setLiving) params << stamp_.alive << stamp_.alive;
        return params;
    }

    dao::Database& db_;
    const Stamp& stamp_;
    Writer& writer_;
    Run run_;
    std::vector<std::pair<Key, qint64>> scattered_;
};

// An index taken out for the length of a bulk write and made again as the file defined it (an index
// the file lacks stays absent). Inside the write's transaction: a failure on the way brings it back.
class IndexSetAside {
public:
    IndexSetAside(dao::Database& db, const QString& name) : db_(db) {
        definition_ = db.Scalar(QStringLiteral("SELECT \"sql\" FROM main.sqlite_master WHERE "
                                               "\"type\"='index' AND \"name\"=?"),
                                {name})
                          .toString();
        if (!definition_.isEmpty()) db.Execute(QStringLiteral("DROP INDEX main.") + dao::QuoteIdent(name));
    }
    void Restore() {
        if (!definition_.isEmpty()) db_.Execute(definition_);
        definition_.clear();
    }

private:
    dao::Database& db_;
    QString definition_;
};

// A bulk write of fewer rows keeps the index: building it again costs a read of the whole table.
constexpr qint64 kRebuildIndexFrom = 4096;

}  // namespace branch_stamps
