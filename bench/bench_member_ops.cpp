// Member record writes on a book of 100,000 members: renaming a member with a large family, keywords,
// pictures and a page; adding children one at a time; deleting a branch of 10,000 members. The time column is
// milliseconds per operation.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

constexpr int kMembers = 100000;
constexpr int kChildren = 50;
constexpr int kKeywords = 20;
constexpr int kPictures = 10;
const QString kFamilyHead = QStringLiteral("测试族长");

// The generated book, once for the run and left open for every benchmark, with one family head that has
// every kind of row a rename moves.
void UseBook() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    bench_support::UseBookFolder();
    OpenDataDb(DataDbPath(), BookDbPassword());
    OpenImageDb(ImageDbPath(), BookDbPassword());
    OpenDescriptDb(DescriptDbPath(), BookDbPassword());
    dao::Database& db = App().DataDb;
    book_generator::GenerateBook(db, kMembers, 20240601u);

    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, ?)"),
               {kFamilyHead, book_generator::BookMemberName(0)});
    for (int i = 0; i < kChildren; ++i)
        db.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\") VALUES (?, ?, ?)"),
            {QStringLiteral("测试子%1").arg(i), kFamilyHead, QStringLiteral("李氏")});
    for (int i = 0; i < kKeywords; ++i)
        db.Execute(QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES (?, ?)"),
                   {kFamilyHead, QStringLiteral("关键词%1").arg(i)});
    PageStartStore(db).AddStart(3, kFamilyHead, 0);
    tx.Commit();

    const QByteArray picture(50 * 1024, 'p');
    dao::Transaction imageTx = App().ImageDb.BeginTrans();
    for (int i = 0; i < kPictures; ++i)
        App().ImageDb.Execute(
            QStringLiteral(
                "INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)"),
            {kFamilyHead, picture, QStringLiteral("pic%1").arg(i)});
    imageTx.Commit();
    App().DescriptDb.Execute(
        QStringLiteral("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
        {kFamilyHead, QString(4000, QChar(u'传'))});
}

qint64 Count(dao::Database& db, const QString& table, const QString& name) {
    return db
        .Scalar(QStringLiteral("SELECT count(*) FROM ") + dao::QuoteIdent(table) +
                    QStringLiteral(" WHERE \"") +
                    QStringLiteral("filial\" = ?"),
                {name})
        .toLongLong();
}

// Renames the family head back and forth; every rename carries 50 children, 20 keywords, a page start,
// 10 pictures and a page.
void BM_RenameFamilyHead(benchmark::State& state) {
    UseBook();
    Cls子女 member;
    QString current = kFamilyHead;
    for (auto _ : state) {
        if (member.Find自已(current) != 0) {
            state.SkipWithError("family head missing");
            break;
        }
        member.strBoy = current == kFamilyHead ? QStringLiteral("测试族长新名") : kFamilyHead;
        member.Whnt自已(current);
        current = member.strBoy;
    }
    if (Count(App().DataDb, QStringLiteral("本姓成员"), current) != 1 ||
        App().DataDb
                .Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"father\" = ?"), {current})
                .toInt() != kChildren ||
        Count(App().DataDb, QStringLiteral("pageindx"), current) != kKeywords ||
        !PageStartStore().StartsOf(3).contains(PageStart{current, 0}) ||
        Count(App().ImageDb, QStringLiteral("imageylk"), current) != kPictures ||
        Count(App().DescriptDb, QStringLiteral("story"), current) != 1)
        state.SkipWithError("the rename did not carry every row");
}
BENCHMARK(BM_RenameFamilyHead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// 1,000 children added one by one, each a Save子女 of its own.
void BM_AddChildOneByOne(benchmark::State& state) {
    UseBook();
    Cls子女 member;
    member.strFather = book_generator::BookMemberName(1);
    member.strMother = QStringLiteral("张氏");
    member.boy_c = QStringLiteral("世");
    int next = 0;
    for (auto _ : state) {
        member.strBoy = QStringLiteral("新增子%1").arg(next++);
        member.Save子女(1);
    }
}
BENCHMARK(BM_AddChildOneByOne)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1000);

// The member of the generated book whose branch (itself and every descendant) is nearest to `size`.
QString BranchRootOfSize(dao::Database& db, int size, int* found) {
    QHash<QString, QStringList> children;
    QStringList order;
    for (auto rs = db.OpenRecordset(QStringLiteral("SELECT \"filial\", \"father\" FROM \"本姓成员\""));
         rs.hasRow(); rs.MoveNext()) {
        children[rs.Text(QStringLiteral("father"))] << rs.Text(QStringLiteral("filial"));
        order << rs.Text(QStringLiteral("filial"));
    }
    QHash<QString, int> branch;
    // Generated fathers always come before their children, so a reverse pass sees children first.
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        int n = 1;
        for (const QString& child : children.value(*it)) n += branch.value(child);
        branch.insert(*it, n);
    }
    QString best;
    for (auto it = branch.cbegin(); it != branch.cend(); ++it)
        if (best.isEmpty() || qAbs(it.value() - size) < qAbs(branch.value(best) - size)) best = it.key();
    *found = branch.value(best);
    return best;
}

// Deleting a branch of about 10,000 members as the tree window does: mark it, then delete what carries
// the mark, with its keywords, pictures and pages.
void BM_DeleteBranch(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        bench_support::UseBookFolder(QStringLiteral("delete-branch"));
        OpenDataDb(DataDbPath(), BookDbPassword());
        App().DataDb.Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        book_generator::GenerateBook(App().DataDb, kMembers, 20240602u);
        int size = 0;
        const QString root = BranchRootOfSize(App().DataDb, 10000, &size);
        state.counters["branch_members"] = size;
        Cls数据操作 ops;
        state.ResumeTiming();
        qint32 first = 1;
        qint16 force = -1;
        quint8 protection = 99;
        ops.标识世祖(root, 7, 0, first, force, protection);
        ops.删除有标识的子女(7);
        state.PauseTiming();
        const qint64 left =
            App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")).toLongLong();
        if (left != kMembers - size) state.SkipWithError("the branch was not deleted whole");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteBranch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

QENTARA_BENCHMARK_MAIN()
