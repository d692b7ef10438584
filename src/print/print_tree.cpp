#include "print/print_tree.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "frame/app_state.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"

namespace {

constexpr char16_t kFirstChild = u'┳';
constexpr char16_t kMiddleChild = u'┣';
constexpr char16_t kLastChild = u'┗';
constexpr char16_t kOnlyChild = u'━';
constexpr char16_t kLineGoesOn = u'┃';

QString NameCell(const QString& name, int column, int width) {
    QString cell = PadToWidthRight(StripBracketSuffix(name), width);
    // The fill in front of a name becomes the rule that leads to it from the connector.
    if (column > 0) ReplaceAll(cell, QStringLiteral("  "), QString(QChar(kOnlyChild)));
    return cell;
}

void Append(std::u16string& text, const QString& part) {
    text.append(reinterpret_cast<const char16_t*>(part.constData()), size_t(part.size()));
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

// Chart rows go into the table many to a statement (one statement per line costs more than writing
// the line), and window messages run now and then.
class ChartRowWriter {
public:
    explicit ChartRowWriter(dao::Database& db) : db_(db) {
        rows_.reserve(kRowsPerInsert);
        sinceEvents_.start();
    }
    void Add(QVariant row) {
        rows_ << std::move(row);
        if (rows_.size() == kRowsPerInsert) Flush();
    }
    void Flush() {
        if (rows_.isEmpty()) return;
        if (rows_.size() == kRowsPerInsert) {
            if (fullInsert_.isEmpty()) fullInsert_ = InsertRows(kRowsPerInsert);
            db_.Execute(fullInsert_, rows_);
        } else {
            db_.Execute(InsertRows(rows_.size()), rows_);
        }
        rows_.clear();
        if (sinceEvents_.elapsed() >= kEventsEveryMs) {
            DoEvents();
            sinceEvents_.restart();
        }
    }

private:
    static constexpr qsizetype kRowsPerInsert = 500;
    static constexpr qint64 kEventsEveryMs = 100;
    dao::Database& db_;
    dao::Params rows_;
    QString fullInsert_;
    QElapsedTimer sinceEvents_;
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
                        const std::function<void(QString&&)>& line) {
    if (forest.Roots().empty()) return false;
    const int columns = widths.generationsPerRow;
    const int cellWidth = widths.nameLength * 2;
    const bool numbers = forest.ShowsNumbers();
    std::u16string text;
    std::vector<GlyphColumn> glyphColumns(static_cast<size_t>(columns));
    std::vector<bool> named(static_cast<size_t>(columns) + 1);

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
                Append(text, numbers && name.size() > cellWidth ? name : NameCell(name, c, cellWidth));
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
        line(QString::fromUtf16(text.data(), qsizetype(text.size())));
        leftAt = std::numeric_limits<size_t>::max();
    }
    return true;
}

std::optional<ChartSection> BuildChartSection(const ChartForest& forest, qint64 firstGeneration,
                                              const ChartWidths& widths) {
    ChartSection section;
    if (!LayOutChartSection(forest, widths, [&](QString&& text) { section.lines << std::move(text); }))
        return std::nullopt;
    section.header = ChartHeaderLine(firstGeneration, widths);
    return section;
}

void ClsPrintTree::PrintTree2(const ChartForest& forest, qint64 firstGeneration) {
    if (forest.Roots().empty()) return;
    const ChartWidths widths = ChartWidths::Current();
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    ChartRowWriter rows(db);
    rows.Add(QVariant());
    rows.Add(ChartHeaderLine(firstGeneration, widths));
    rows.Add(QVariant());
    LayOutChartSection(forest, widths, [&](QString&& text) { rows.Add(std::move(text)); });
    rows.Flush();
    tx.Commit();
}
