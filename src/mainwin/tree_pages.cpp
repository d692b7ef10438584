#include "mainwin/tree_pages.h"

#include <QStringList>
#include <cmath>
#include <limits>

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/page_start_store.h"

namespace {

constexpr qint32 kFewestNodesPerPage = 5;
constexpr int kNodesPerPageField = 4;

}  // namespace

qint32 NodesPerPageFromSettings(const QString& settingsList) {
    const QString field =
        (settingsList + QStringLiteral("%%%%%")).split(QLatin1Char('%')).value(kNodesPerPageField);
    double value = 0;
    try {
        value = std::nearbyint(Val(field));
    } catch (const VbError&) {
        value = 0;
    }
    if (!(value >= kFewestNodesPerPage)) return kDefaultNodesPerPage;
    return value > std::numeric_limits<qint32>::max() ? std::numeric_limits<qint32>::max() : qint32(value);
}

qint32 PageCountFor(qint64 members, qint32 nodesPerPage) {
    if (nodesPerPage <= 0 || members <= 0) return 0;
    return qint32(members / nodesPerPage + (members % nodesPerPage != 0 ? 1 : 0));
}

bool RepaginateFromSetting(const QString& value) {
    return value == QLatin1String("True");
}

void QueuePageStarts(qint32 page) {
    dao::Database& db = App().DataDb;
    const QList<PageStart> starts = PageStartStore(db).StartsOf(page);
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    for (const PageStart& s : starts)
        db.Execute(QStringLiteral("INSERT INTO \"temp\" (\"generation\", \"filial\") VALUES (?, ?)"),
                   {s.generation, s.name});
    tx.Commit();
}

bool PageQueueEmpty() {
    return App().DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"temp\" LIMIT 1")).isNull();
}
