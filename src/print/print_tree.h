#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <span>

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

// The member forest a chart section is laid out from: nodes are numbers, each node's children in
// their order. A node is in the forest once, so every walk over it ends. A forest that shows no member
// numbers answers from memory alone, never from the book: the chart table's writer lays it out on a
// thread of its own while it writes.
class ChartForest {
public:
    virtual ~ChartForest() = default;
    virtual std::span<const int> Roots() const = 0;
    virtual std::span<const int> Children(int node) const = 0;
    // What the node's name cell shows: the member's name, or its member number in the linked chart.
    virtual QString Shown(int node) const = 0;
    // Member numbers are never cut: a cut one would name another member.
    virtual bool ShowsNumbers() const = 0;
};

// Lays the section out, one line per leaf path, handing each line on as it is made (the text is valid
// for the call only): each parent named only in the first row of its block, joined to its children by
// ┳ ┣ ┗ ━ ┃. A path deeper than P keeps its first P names; a member number wider than its cell is
// written whole, so that line is wider than the others. False, with no line, when the forest has no
// roots.
bool LayOutChartSection(const ChartForest& forest, const ChartWidths& widths,
                        const std::function<void(QStringView)>& line);

// The whole section in memory, for small forests.
std::optional<ChartSection> BuildChartSection(const ChartForest& forest, qint64 firstGeneration,
                                              const ChartWidths& widths);

// Appends chart sections to the chart table "skrslt" as their lines are made.
class ClsPrintTree {
public:
    void PrintTree2(const ChartForest& forest, qint64 firstGeneration);
};
