#include "mainwin/tree_pages.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QStringList>
#include <cmath>
#include <limits>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/batched_rows.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

constexpr qint32 kFewestNodesPerPage = 5;
constexpr int kNodesPerPageField = 4;

int& OpenTreeChanges() {
    static int open = 0;
    return open;
}

// The mark must be on the disk before the change it announces is.
void WriteSynced(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TreeChangeMark::TreeChangeMark() {
    if (OpenTreeChanges()++ == 0) WriteSynced(MarkPath());
}

TreeChangeMark::~TreeChangeMark() {
    if (--OpenTreeChanges() == 0) QFile::remove(MarkPath());
}

QString TreeChangeMark::MarkPath() {
    return GetAppPath() + QStringLiteral("qentara.recut");
}

void TreeChangeMark::RecutAfterKilledCommand() {
    if (!QFile::exists(MarkPath())) return;
    Cls数据操作().Find世祖(0, QString());
    SaveAppSetting(QStringLiteral("dividerpage"), QStringLiteral("True"));
    QFile::remove(MarkPath());
}

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
    const std::vector<PageStartEntry> starts = PageStartStore(db).EntriesOf(page);
    PageStartStore::OwnWrites own(db);
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    batched_rows::Insert(
        db, QStringLiteral("INSERT INTO \"temp\" (\"generation\", \"filial\") VALUES"),
        QStringLiteral("(?, ?)"), starts.size(),
        [&](size_t i, dao::Params& params) { params << starts[i].generation << starts[i].name; }, {},
        batched_rows::kLongRuns);
    tx.Commit();
}

bool PageQueueEmpty() {
    return App().DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"temp\" LIMIT 1")).isNull();
}

PageRun::PageRun(Cls数据操作& ops) : ops_(ops) {
    ops_.BeginPageRun();
}

PageRun::~PageRun() {
    try {
        ops_.EndPageRun();
    } catch (...) {
    }
}

void PageRun::Flush() {
    ops_.EndPageRun();
    ops_.BeginPageRun();
}

std::optional<qint32> ChosenPage(const QString& answer) {
    QString text = answer.trimmed();
    bool whole = !text.isEmpty();
    for (const QChar c : text) whole = whole && c >= u'0' && c <= u'9';
    if (!whole) return std::nullopt;
    while (text.size() > 1 && text.front() == u'0') text.remove(0, 1);
    // Eighteen digits always fit; more are beyond any page.
    const qint64 page = text.size() > 18 ? std::numeric_limits<qint64>::max() : text.toLongLong();
    if (page < 1) return std::nullopt;
    return qint32(qMin<qint64>(page, std::numeric_limits<qint32>::max()));
}

qint32 WalkToPage(Cls数据操作& ops, qint32 chosen, qint32& pageCount,
                  const std::function<void(qint32 page)>& onStep) {
    AppState& app = App();
    PageStartStore starts;
    qint32 last = starts.HighestPage();
    if (last == 0) {
        // Nothing recorded: page 1 is cut again from the roots (a book without roots has only page 1).
        ops.Find世祖(0, QString());
        last = qMax(starts.HighestPage(), 1);
    }
    if (chosen <= last || !app.RepaginateNeeded) {
        app.CurrentPage = qMin(chosen, last);
        return app.CurrentPage;
    }

    const qint16 pageSize = qint16(qMin(app.NodesPerPage, 32767));
    QueuePageStarts(last);
    PageRun run(ops);
    app.CurrentPage = last - 1;
    if (chosen - last > kPagesWorthAWholeRead) {
        if (onStep) onStep(app.CurrentPage);
        QString noTarget;
        ops.JumpPagesInMemory(chosen, noTarget);
    }
    // The queue holds the starts of the page after CurrentPage; each jump expands that page and records
    // the starts of the one after it, as long as members are left to place.
    for (;;) {
        if (PageQueueEmpty()) {
            // No member left for the page after: the walk stands on the last page (the last recorded
            // one when even its starts place nobody).
            app.CurrentPage = qMax(app.CurrentPage, last);
            app.RepaginateNeeded = false;
            pageCount = app.CurrentPage;
            return app.CurrentPage;
        }
        if (chosen <= app.CurrentPage + 1) {
            app.CurrentPage = chosen;
            return chosen;
        }
        if (onStep) onStep(app.CurrentPage);
        QString target;
        ops.Node分结点数跳页(pageSize, target);
        ++app.CurrentPage;
    }
}
