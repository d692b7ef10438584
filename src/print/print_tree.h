#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class ChartWorkTree;

// The pedigree chart's widths: L Chinese characters per name cell, P generation columns per section.
// Every header and chart line is P cells of 2L + 2 display columns.
struct ChartWidths {
    int nameLength = 3;
    int generationsPerRow = 12;

    // The shared print settings, kept within the ranges the print-format dialog allows.
    static ChartWidths Current();
};

// One chart section as it goes into the chart table: an empty row, the header, an empty row, the lines.
struct ChartSection {
    QString header;
    QStringList lines;
};

// The header of a section starting at generation `first`: each number right-aligned in (L - 1) * 2
// columns (only its last digits when longer), then "世" and two spaces.
QString ChartHeaderLine(qint64 first, const ChartWidths& widths);

// Maps a member name to the text its cells show instead (the member number of the linked chart).
using ChartNameMap = std::function<QString(const QString& name)>;

// The section of the member forest in `tree` whose roots are the node `nodeIndex` and its later
// siblings: one line per leaf path, each parent named only in the first row of its block, joined to its
// children by ┳ ┣ ┗ ━ ┃. Nothing when the tree is empty. A path deeper than P keeps its first P names.
// A mapped text longer than the cell (a member number of more than 2L digits) is written whole, so that
// line is wider than the others.
std::optional<ChartSection> BuildChartSection(const ChartWorkTree& tree, int nodeIndex,
                                              qint64 firstGeneration, const ChartWidths& widths,
                                              const ChartNameMap& mapName = {});

// Builds one chart section from the work tree and appends it to the chart table "skrslt".
class ClsPrintTree {
public:
    // With links, the cells show member numbers (filial_id) instead of names.
    void PrintTree2(const ChartWorkTree& tree, int nodeIndex, qint64 firstGeneration, bool withLinks);
};
