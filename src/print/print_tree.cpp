#include "print/print_tree.h"

#include <QElapsedTimer>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "frame/app_state.h"
#include "platform/codepage.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"

namespace {

constexpr char16_t kFirstChild = u'┳';
constexpr char16_t kMiddleChild = u'┣';
constexpr char16_t kLastChild = u'┗';
constexpr char16_t kOnlyChild = u'━';
constexpr char16_t kLineGoesOn = u'┃';

void Append(std::u16string& text, QStringView part) {
    text.append(reinterpret_cast<const char16_t*>(part.utf16()), size_t(part.size()));
}

// The name without its "[n]", right-aligned in `width` columns as PadToWidthRight places it: cut at the
// width, a double-width character that would straddle the edge left out. Beyond the first column the
// fill in front of a name becomes the rule that leads to it from the connector: each pair of blanks
// (the name's own too) a rule glyph, an odd blank left as it is.
void AppendNameCell(std::u16string& line, QStringView name, bool ruled, int width) {
    const qsizetype bracket = name.indexOf(u'[');
    if (bracket >= 0) name = name.left(bracket);
    // The units that fill the width from the name followed by blanks; one too many when the last is a
    // double-width character past the edge, and then a blank stands in for it.
    int columns = 0;
    qsizetype units = 0;
    while (columns < width) {
        const int code = units < name.size() ? Asc936(name[units]) : int(u' ');
        columns += (code < 0 || code > 256) ? 2 : 1;
        ++units;
    }
    QStringView shown = name.left(std::min(columns > width ? units - 1 : units, name.size()));
    while (!shown.isEmpty() && shown.front() == u' ') shown = shown.mid(1);
    while (!shown.isEmpty() && shown.back() == u' ') shown.chop(1);
    const size_t from = line.size();
    line.append(size_t(units - shown.size()), u' ');
    Append(line, shown);
    if (!ruled) return;
    // Pairs of blanks, leftmost first, each into one rule glyph.
    size_t to = from;
    for (size_t i = from; i < line.size(); ++i) {
        if (line[i] == u' ' && i + 1 < line.size() && line[i + 1] == u' ') {
            line[to++] = kOnlyChild;
            ++i;
        } else {
            line[to++] = line[i];
        }
    }
    line.resize(to);
}

// The glyph right of one name column, worked out row after row: the children of the last name met in
// the column, and how many rows since have named a member to its right.
struct GlyphColumn {
    qint64 count = 0;
    qint64 seen = 0;

    // The glyph, or 0 for none.
    char16_t Next(bool named, bool childNamed, qint64 children) {
        char16_t glyph = 0;
        if (named) {
            count = children;
            seen = 0;
        }
        if (childNamed) ++seen;
        if (seen >= 1 && seen < count) glyph = kLineGoesOn;
        if (named && childNamed && count > 1) glyph = kFirstChild;
        if (!named && childNamed && count > 1) glyph = kMiddleChild;
        if (named && childNamed && count < 2) glyph = kOnlyChild;
        if (seen == count && count >= 2) {
            glyph = kLastChild;
            count = 0;
        }
        return glyph;
    }
};

// An insert of `count` chart rows, in the order given (their ids follow that order).
QString InsertRows(qsizetype count) {
    QString sql = QStringLiteral("INSERT INTO \"skrslt\" (\"code\") VALUES (?)");
    sql.reserve(sql.size() + 4 * count);
    for (qsizetype i = 1; i < count; ++i) sql += QStringLiteral(",(?)");
    return sql;
}

// Chart rows on their way into the table, in UTF-8 in one buffer: no allocation per row, and no
// conversion left to the engine.
class ChartRows {
public:
    static constexpr qsizetype kPerInsert = 500;

    void AddEmpty() { spans_.push_back({kNoValue, 0}); }
    void Add(QStringView line) {
        const size_t at = text_.size();
        dao::AppendEngineUtf8(text_, line);
        spans_.push_back({at, text_.size() - at});
    }
    qsizetype size() const { return qsizetype(spans_.size()); }
    bool full() const { return size() >= kPerInsert; }
    void clear() {
        text_.clear();
        spans_.clear();
    }
    // The rows as values for one statement; they point into this buffer, so it must not change while
    // they are in use.
    void ToParams(dao::Params& params) const {
        params.clear();
        for (const auto& [at, length] : spans_)
            params << (at == kNoValue ? QVariant()
                                      : QVariant::fromValue(dao::Utf8Text{
                                            QByteArray::fromRawData(text_.data() + at, qsizetype(length))}));
    }

private:
    static constexpr size_t kNoValue = std::numeric_limits<size_t>::max();
    std::string text_;
    std::vector<std::pair<size_t, size_t>> spans_;
};

// Chart rows go into the table many to a statement (one statement per line costs more than writing
// the line), and window messages run now and then.
class ChartRowWriter {
public:
    explicit ChartRowWriter(dao::Database& db) : db_(db) {
        params_.reserve(ChartRows::kPerInsert);
        sinceEvents_.start();
    }
    void Write(const ChartRows& rows) {
        if (rows.size() == 0) return;
        rows.ToParams(params_);
        if (rows.size() == ChartRows::kPerInsert) {
            if (fullInsert_.isEmpty()) fullInsert_ = InsertRows(ChartRows::kPerInsert);
            db_.Execute(fullInsert_, params_);
        } else {
            db_.Execute(InsertRows(rows.size()), params_);
        }
        params_.clear();
        if (sinceEvents_.elapsed() >= kEventsEveryMs) {
            DoEvents();
            sinceEvents_.restart();
        }
    }

private:
    static constexpr qint64 kEventsEveryMs = 100;
    dao::Database& db_;
    dao::Params params_;
    QString fullInsert_;
    QElapsedTimer sinceEvents_;
};

// Lays a section out on a thread of its own while the caller writes its rows: batches pass through a
// short queue, so the layout runs only a few batches ahead and holds little. Only the caller touches
// the book (its connection is not to be shared) and runs window messages. Going out of scope stops the
// layout and waits for it, whatever the caller's write did.
class LayoutAhead {
public:
    // Throws std::system_error when no thread can be started.
    LayoutAhead(const ChartForest& forest, const ChartWidths& widths)
        : worker_([this, &forest, widths] { Run(forest, widths); }) {}
    ~LayoutAhead() {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    LayoutAhead(const LayoutAhead&) = delete;
    LayoutAhead& operator=(const LayoutAhead&) = delete;

    // The next batch into `rows` (whose buffers go back to the layout); false after the last one.
    // A failure of the layout is thrown here.
    bool Next(ChartRows& rows) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
        if (ready_.empty()) {
            if (failure_) std::rethrow_exception(failure_);
            return false;
        }
        rows.clear();
        spare_.push_back(std::move(rows));
        rows = std::move(ready_.front());
        ready_.pop_front();
        lock.unlock();
        changed_.notify_all();
        return true;
    }

private:
    static constexpr size_t kBatchesAhead = 4;
    struct Stopped {};

    void Run(const ChartForest& forest, const ChartWidths& widths) {
        try {
            ChartRows batch;
            LayOutChartSection(forest, widths, [&](QStringView line) {
                batch.Add(line);
                if (batch.full()) Hand(batch);
            });
            if (batch.size() > 0) Hand(batch);
        } catch (const Stopped&) {
        } catch (...) {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
    }

    // Queues the batch and takes an empty one in its place.
    void Hand(ChartRows& batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_.size() < kBatchesAhead || stopped_; });
        if (stopped_) throw Stopped();
        ready_.push_back(std::move(batch));
        batch = ChartRows();
        if (!spare_.empty()) {
            batch = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ChartRows> ready_;
    std::vector<ChartRows> spare_;
    bool finished_ = false;
    bool stopped_ = false;
    std::exception_ptr failure_;
    std::thread worker_;  // last: it starts once everything it uses is there
};

}  // namespace

ChartWidths ChartWidths::Current() {
    const AppState& app = App();
    return {std::clamp<int>(app.PrintNameLength, 2, 50), std::clamp<int>(app.PrintGenerationsPerRow, 2, 20)};
}

QString ChartHeaderLine(qint64 first, const ChartWidths& widths) {
    const int digits = (widths.nameLength - 1) * 2;
    QString line;
    for (qint64 n = first; n < first + widths.generationsPerRow; ++n)
        line += QString::number(n).right(digits).rightJustified(digits, u' ') + QStringLiteral("世  ");
    return line;
}

bool LayOutChartSection(const ChartForest& forest, const ChartWidths& widths,
                        const std::function<void(QStringView)>& line) {
    if (forest.Roots().empty()) return false;
    const int columns = widths.generationsPerRow;
    const int cellWidth = widths.nameLength * 2;
    const bool numbers = forest.ShowsNumbers();
    std::u16string text;
    std::vector<GlyphColumn> glyphColumns(static_cast<size_t>(columns));
    std::vector<char> named(static_cast<size_t>(columns) + 1);

    // Depth first, leaves top to bottom. A member is named only in the first row of its block, that is
    // from the depth at which the path leaves the one of the row above.
    struct Frame {
        std::span<const int> list;
        size_t next;
    };
    std::vector<Frame> stack{{forest.Roots(), 0}};
    std::vector<int> path;
    size_t leftAt = 0;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.list.size()) {
            stack.pop_back();
            continue;
        }
        const size_t depth = stack.size() - 1;
        const int node = top.list[top.next++];
        path.resize(depth);
        path.push_back(node);
        leftAt = std::min(leftAt, depth);
        const std::span<const int> kids = forest.Children(node);
        if (!kids.empty()) {
            stack.push_back({kids, 0});
            continue;
        }

        const size_t shown = std::min(path.size(), size_t(columns));
        for (size_t c = 0; c < size_t(columns); ++c) named[c] = c >= leftAt && c < shown;
        text.clear();
        for (int c = 0; c < columns; ++c) {
            if (named[size_t(c)]) {
                const QString name = forest.Shown(path[size_t(c)]);
                if (numbers && name.size() > cellWidth)
                    Append(text, name);
                else
                    AppendNameCell(text, name, c > 0, cellWidth);
            } else {
                text.append(size_t(cellWidth), u' ');
            }
            // Every glyph takes two columns; the last column has none.
            if (c + 1 == columns) {
                text.append(2, u' ');
                continue;
            }
            const qint64 children = named[size_t(c)] ? qint64(forest.Children(path[size_t(c)]).size()) : 0;
            const char16_t glyph =
                glyphColumns[size_t(c)].Next(named[size_t(c)], named[size_t(c) + 1], children);
            if (glyph)
                text += glyph;
            else
                text.append(2, u' ');
        }
        line(QStringView(text.data(), qsizetype(text.size())));
        leftAt = std::numeric_limits<size_t>::max();
    }
    return true;
}

std::optional<ChartSection> BuildChartSection(const ChartForest& forest, qint64 firstGeneration,
                                              const ChartWidths& widths) {
    ChartSection section;
    if (!LayOutChartSection(forest, widths, [&](QStringView text) { section.lines << text.toString(); }))
        return std::nullopt;
    section.header = ChartHeaderLine(firstGeneration, widths);
    return section;
}

void ClsPrintTree::PrintTree2(const ChartForest& forest, qint64 firstGeneration) {
    if (forest.Roots().empty()) return;
    const ChartWidths widths = ChartWidths::Current();
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    ChartRowWriter writer(db);
    ChartRows rows;
    rows.AddEmpty();
    rows.Add(ChartHeaderLine(firstGeneration, widths));
    rows.AddEmpty();
    writer.Write(rows);
    rows.clear();

    // A member number may be looked up in the book, which only this thread may read: that chart is
    // laid out here, in turn with the writing, as is any chart when no thread can be started.
    std::optional<LayoutAhead> ahead;
    try {
        if (!forest.ShowsNumbers()) ahead.emplace(forest, widths);
    } catch (const std::system_error&) {
    }
    if (ahead) {
        while (ahead->Next(rows)) writer.Write(rows);
    } else {
        LayOutChartSection(forest, widths, [&](QStringView line) {
            rows.Add(line);
            if (!rows.full()) return;
            writer.Write(rows);
            rows.clear();
        });
        writer.Write(rows);
    }
    tx.Commit();
}
