#include "print/print_tree.h"

#include <algorithm>
#include <vector>

#include "frame/app_state.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "print/chart_work_tree.h"

namespace {

constexpr int kNoValue = 0;   // the path is shorter than the column
constexpr int kBlanked = -2;  // the name repeats the row above

const QString kFirstChild = QStringLiteral("┳");
const QString kMiddleChild = QStringLiteral("┣");
const QString kLastChild = QStringLiteral("┗");
const QString kOnlyChild = QStringLiteral("━");
const QString kLineGoesOn = QStringLiteral("┃");

using Grid = std::vector<std::vector<int>>;  // rows of P node numbers

// Depth first, leaves top to bottom in tree order: one row per leaf, holding its path from the top.
Grid CollectLeafPaths(const ChartWorkTree& tree, int start, int columns) {
    Grid rows;
    std::vector<int> path = tree.PathTo(start);
    path.pop_back();
    const int parent = tree.ParentOf(start);
    const std::vector<int>& siblings = parent ? tree.Children(parent) : tree.Roots();
    const std::vector<int> firstLevel(std::find(siblings.begin(), siblings.end(), start), siblings.end());
    struct Frame {
        const std::vector<int>* list;
        size_t next;
    };
    std::vector<Frame> stack{{&firstLevel, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.list->size()) {
            stack.pop_back();
            path.pop_back();
            continue;
        }
        const int node = (*top.list)[top.next++];
        if (top.next > 1) path.pop_back();
        path.push_back(node);
        const std::vector<int>& kids = tree.Children(node);
        if (!kids.empty()) {
            stack.push_back({&kids, 0});
            continue;
        }
        std::vector<int>& row = rows.emplace_back(size_t(columns), kNoValue);
        std::copy_n(path.begin(), std::min<size_t>(path.size(), size_t(columns)), row.begin());
    }
    return rows;
}

// Each parent is named in the first row of its block only.
void BlankRepeatedNames(Grid& rows, int columns) {
    if (rows.empty()) return;
    for (int c = 0; c < columns; ++c) {
        int remembered = rows[0][size_t(c)];
        for (size_t r = 1; r < rows.size(); ++r) {
            int& cell = rows[r][size_t(c)];
            if (cell > 0 && cell == remembered)
                cell = kBlanked;
            else
                remembered = cell;
        }
    }
}

// The glyph right of each name column. The running count and seen carry over from one column to the
// next, as the chart always drew them; a column changes them from its first named row on.
std::vector<std::vector<QString>> ConnectorGlyphs(const Grid& rows, const ChartWorkTree& tree, int columns) {
    std::vector<std::vector<QString>> glyphs(rows.size(), std::vector<QString>(size_t(columns)));
    qint64 count = 0;
    qint64 seen = 0;
    for (int j = 0; j + 1 < columns; ++j) {
        for (size_t r = 0; r < rows.size(); ++r) {
            const bool named = rows[r][size_t(j)] > 0;
            const bool childNamed = rows[r][size_t(j) + 1] > 0;
            QString glyph;
            if (named) {
                count = qint64(tree.Children(rows[r][size_t(j)]).size());
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
            glyphs[r][size_t(j)] = glyph;
        }
    }
    return glyphs;
}

// An insert of `count` chart rows, in the order given (their ids follow that order).
QString InsertRows(qsizetype count) {
    QString sql = QStringLiteral("INSERT INTO \"skrslt\" (\"code\") VALUES (?)");
    sql.reserve(sql.size() + 4 * count);
    for (qsizetype i = 1; i < count; ++i) sql += QStringLiteral(",(?)");
    return sql;
}

QString NameCell(const QString& name, int column, int width) {
    QString cell = PadToWidthRight(StripBracketSuffix(name), width);
    // The fill in front of a name becomes the rule that leads to it from the connector.
    if (column > 0) ReplaceAll(cell, QStringLiteral("  "), kOnlyChild);
    return cell;
}

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

std::optional<ChartSection> BuildChartSection(const ChartWorkTree& tree, int nodeIndex,
                                              qint64 firstGeneration, const ChartWidths& widths,
                                              const ChartNameMap& mapName) {
    if (tree.Count() == 0 || nodeIndex < 1 || nodeIndex > tree.Count()) return std::nullopt;
    const int columns = widths.generationsPerRow;
    const int cellWidth = widths.nameLength * 2;
    Grid rows = CollectLeafPaths(tree, nodeIndex, columns);
    BlankRepeatedNames(rows, columns);
    const auto glyphs = ConnectorGlyphs(rows, tree, columns);

    ChartSection section;
    section.header = ChartHeaderLine(firstGeneration, widths);
    const QString blankCell(cellWidth, u' ');
    section.lines.reserve(qsizetype(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
        QString line;
        line.reserve((cellWidth + 2) * columns);
        for (int c = 0; c < columns; ++c) {
            const int node = rows[r][size_t(c)];
            if (node > 0) {
                const QString name = Trim(tree.TextAt(node));
                const QString shown = mapName ? mapName(name) : name;
                // A member number is never cut: a cut one would name another member.
                line += mapName && shown.size() > cellWidth ? shown : NameCell(shown, c, cellWidth);
            } else {
                line += blankCell;
            }
            // Every glyph takes two columns.
            const QString& glyph = glyphs[r][size_t(c)];
            line += c + 1 < columns && !glyph.isEmpty() ? glyph : QStringLiteral("  ");
        }
        section.lines << line;
    }
    return section;
}

void ClsPrintTree::PrintTree2(const ChartWorkTree& tree, int nodeIndex, qint64 firstGeneration,
                              bool withLinks) {
    dao::Database& db = App().DataDb;
    ChartNameMap memberNumber;
    if (withLinks)
        memberNumber = [&db](const QString& name) {
            const QVariant id = db.Scalar(
                QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\" WHERE \"filial\"=?"), {name});
            return id.isNull() ? name : Trim(id.toString());
        };
    const auto section =
        BuildChartSection(tree, nodeIndex, firstGeneration, ChartWidths::Current(), memberNumber);
    if (!section) return;

    dao::Params rows{QVariant(), section->header, QVariant()};
    for (const QString& line : section->lines) rows << line;
    // Many rows to a statement: one statement per line costs more than writing the line.
    constexpr qsizetype kRowsPerInsert = 500;
    const QString fullInsert = InsertRows(kRowsPerInsert);
    dao::Transaction tx = db.BeginTrans();
    for (qsizetype at = 0; at < rows.size(); at += kRowsPerInsert) {
        const qsizetype count = std::min(kRowsPerInsert, rows.size() - at);
        db.Execute(count == kRowsPerInsert ? fullInsert : InsertRows(count), rows.mid(at, count));
    }
    tx.Commit();
}
