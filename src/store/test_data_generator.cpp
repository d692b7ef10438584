#include "store/test_data_generator.h"

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "store/page_start_store.h"

namespace {

constexpr int kLines = 5;
// Pending events run this often: often enough for the wait window to move, rarely enough not to slow
// a run of millions of rows.
constexpr qint32 kGenerationsPerDoEvents = 1000;

const QString kImageAlias = QStringLiteral("gen_test_img");
const QString kStoryAlias = QStringLiteral("gen_test_stry");

}  // namespace

QString ClsTest::MemberName(int line, qint64 generation) {
    if (generation == 0) return QStringLiteral("Test") + QString::number(line);
    return QChar(char16_t(u'A' + line)) + QString::number(generation);
}

void ClsTest::生成测试数据(qint32 n) {
    ProgressScope progress;
    OpenDataDb(DataDbPath(), BookDbPassword());
    dao::Database& db = App().DataDb;
    AttachedSideFiles sides(db, kImageAlias, kStoryAlias);

    dao::Transaction work = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM ") + dao::QuoteIdent(kImageAlias) +
               QStringLiteral(".\"imageylk\""));
    db.Execute(QStringLiteral("DELETE FROM ") + dao::QuoteIdent(kStoryAlias) + QStringLiteral(".\"story\""));
    db.Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
    PageStartStore(db).Clear();
    db.Execute(QStringLiteral("DELETE FROM \"pageindx\""));

    // One statement text each, so the prepared statements are reused for every row.
    const QString addRoot = QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, ?)");
    const QString addSon =
        QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"Boy_Sex\") VALUES (?, ?, ?)");
    QString names[kLines];
    for (int i = 0; i < kLines; ++i) {
        names[i] = MemberName(i, 0);
        db.Execute(addRoot, {names[i], QStringLiteral("")});
    }
    for (qint32 g = 1; g <= n; ++g) {
        for (int i = 0; i < kLines; ++i) {
            QString son = MemberName(i, g);
            db.Execute(addSon, {son, names[i], true});
            names[i] = std::move(son);
        }
        if (g % kGenerationsPerDoEvents == 0) DoEvents();
    }
    work.Commit();

    // A root remembered from the old book would make the next marking of a same-named root a no-op.
    App().RootAncestorName.clear();
}
