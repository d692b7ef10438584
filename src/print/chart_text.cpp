#include "print/chart_text.h"

#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"

ChartText ChartText::Load(dao::Database& db) {
    ChartText chart;
    int row = 0;
    for (dao::Recordset rs =
             db.OpenRecordset(QStringLiteral("SELECT \"code\" FROM \"skrslt\" ORDER BY \"id\""));
         rs.hasRow(); rs.MoveNext()) {
        ++row;
        const QVariant code = rs.value(0);
        if (row == 1)
            chart.title = code.toString();
        else if (row > kChartSetupRows)
            chart.lines << (code.isNull() ? QString() : code.toString());
    }
    return chart;
}

bool IsGenerationHeaderLine(const QString& line, int generationsPerRow) {
    return line.count(u'世') >= generationsPerRow;
}

void EmptyChartTable(dao::Database& db) {
    try {
        db.Execute(QStringLiteral("DELETE FROM \"skrslt\""));
    } catch (const dao::DaoError&) {
        // The next chart empties the table first in any case.
    }
}
