#pragma once

#include <QString>
#include <QStringList>

namespace dao {
class Database;
}

// The rows of the chart table before the chart lines: the title and the 80 set-up rows.
constexpr int kChartSetupRows = 81;

// The chart as the chart table holds it, read once: the browser moves through it freely.
struct ChartText {
    QString title;
    // Chart line k (from 1) is lines[k - 1]; a row without a value is a null string.
    QStringList lines;

    static ChartText Load(dao::Database& db);
};

// A generation header holds "世" at least once per generation column.
bool IsGenerationHeaderLine(const QString& line, int generationsPerRow);

// What the browser leaves when it closes: an empty chart table. Errors are ignored.
void EmptyChartTable(dao::Database& db);
