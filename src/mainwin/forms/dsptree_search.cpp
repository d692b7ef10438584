#include <QSet>
#include <limits>

#include "frame/app_state.h"
#include "frame/language.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;

const QString kSeekOk = QStringLiteral("%SeekOK%");
const QString kHiddenRoot = QStringLiteral("No_Display");

// The hits of a search one at a time, in member order: the text is a bound value (a "'" in it is
// plain text), letters match without regard to case as stored names compare, and no statement stays
// open while the member form asks about a hit.
class MemberHits {
public:
    explicit MemberHits(const QString& text) : text_(text) {}
    bool Next(QString& name) {
        dao::Recordset rs = App().DataDb.OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"filial\" FROM \"本姓成员\" "
                           "WHERE instr(lower(\"filial\"), lower(?)) > 0 AND \"filial_id\" > ? "
                           "ORDER BY \"filial_id\" LIMIT 1"),
            {text_, lastId_});
        if (!rs.hasRow()) return false;
        lastId_ = rs.value(0).toLongLong();
        name = Trim(rs.value(1).toString());
        return true;
    }

private:
    QString text_;
    qint64 lastId_ = -1;
};

}  // namespace

void dsptree::SeekMember(const QString& text) {
    AppState& app = App();
    Cls子女& member = SharedMember();
    app.FormParamString = QStringLiteral("s");
    QString answer = QStringLiteral("s");
    QString name;
    MemberHits hits(text);
    while (hits.Next(name)) {
        member.Find父母(name);
        app.FormParamString = QStringLiteral("s");
        UI().ShowForm(QStringLiteral("Frm子女"), true);
        answer = app.FormParamString;
        if (answer != QLatin1String("s")) break;
    }
    if (answer == QLatin1String("s")) {
        UI().MsgBox(Trans(QStringLiteral("搜索完毕，找不到！")), vb::Information);
        return;
    }
    if (answer != QLatin1String("ok")) return;

    if (member.NodeExist(*treeNodes_, TreeNodeSink::MemberKey(name))) {
        selectMemberNode(name);
        return;
    }
    if (UI().MsgBox(Trans(QStringLiteral("没有在当前页中！是否要翻到他所在的页？")),
                    vb::YesNo + vb::Information) != vb::Yes)
        return;
    if (walkPagesTo(name)) return;

    if (!member.Find始祖(name).isEmpty()) {
        UI().MsgBox(Trans(QStringLiteral("该成员未展开！")), vb::Information);
        return;
    }
    if (UI().MsgBox(Trans(QStringLiteral("该成员失去连接，是否需要修复？")), vb::YesNo + vb::Critical) ==
        vb::Yes)
        repairLostMember(name);
}

// Walks the pages from the first (from the second when page 1 is shown) until one holds the member,
// and shows that page with the member selected. Without a hit the page, its number and the caption
// are as they were.
bool dsptree::walkPagesTo(const QString& member) {
    AppState& app = App();
    const qint32 pageShown = app.CurrentPage;
    const QString caption = windowTitle();
    const QString key = TreeNodeSink::MemberKey(member);
    bool treeReplaced = false;
    const auto walkCaption = [&] {
        setWindowTitle(LauncherCaption() + Trans(QStringLiteral(" 第 ")) + QString::number(app.CurrentPage) +
                       QLatin1Char('/') + QString::number(pageCount_) + Trans(QStringLiteral(" 页")));
    };

    if (app.CurrentPage != 1) app.CurrentPage = 0;
    // Starts that a change of the tree discarded are cut again from the first page.
    PageStartStore starts;
    if (starts.StartsOf(app.CurrentPage + 1).isEmpty()) {
        if (starts.HighestPage() == 0) DataOps().Find世祖(0, QString());
        app.CurrentPage = 0;
    }
    QueuePageStarts(app.CurrentPage + 1);
    PageRun run(DataOps());
    // The page count is an estimate; the walk goes on while members are left to place. Past the first
    // pages, the rest of the book is walked in memory.
    qint32 pagesWalked = 0;
    bool inMemory = true;  // until something else writes to the book during such a walk
    while (!PageQueueEmpty()) {
        walkCaption();
        QString found = member;
        {
            ProgressScope progress;
            const bool walkedInMemory =
                pagesWalked >= kPagesWorthAWholeRead && inMemory &&
                (inMemory = DataOps().JumpPagesInMemory(std::numeric_limits<qint32>::max(), found));
            if (!walkedInMemory) {
                DataOps().Node分结点数跳页(qint16(qMin(app.NodesPerPage, 32767)), found);
                ++app.CurrentPage;
                ++pagesWalked;
            }
        }
        if (app.CurrentPage > pageCount_) pageCount_ = app.CurrentPage;
        if (found != kSeekOk) continue;
        run.Flush();
        walkCaption();
        app.SelectedNodeIndex = 0;
        RebuildPage();
        treeReplaced = true;
        if (treeNodes_->Exists(key)) {
            setWindowTitle(PageCaption(app.CurrentPage));
            selectMemberNode(member);
            return true;
        }
    }

    run.Flush();
    app.CurrentPage = pageShown;
    setWindowTitle(caption);
    if (treeReplaced) RebuildPage();
    return false;
}

// A member no root leads to: where its line of fathers breaks off, the missing father comes back as a
// root (by the exact name the line uses), a father written with a generation label loses it, and a
// line that runs in a circle is cut where it closes. A new root starts page 1, so the pages after it
// are cut again.
void dsptree::repairLostMember(const QString& name) {
    AppState& app = App();
    Cls子女& member = SharedMember();
    QString current = name;
    QSet<QString> passed;
    for (;;) {
        if (member.Find父母(current) != 0) return;
        const QString father = member.strFather;
        if (father.isEmpty() || father == kHiddenRoot) return;  // a root: nothing is lost
        if (father.contains(QLatin1Char('}'))) {
            member.strFather = TextAfterBrace(father);
            member.Whnt自已(current);
            break;
        }
        passed.insert(current.toLower());
        if (passed.contains(father.toLower())) {
            member.Whnt自己为始祖(current);
            PageStartStore().AddStart(1, current, 0);
            break;
        }
        if (app.DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"filial\" = ?"), {father})
                .isNull()) {
            mainwin::SaveBareMember(member, father, QString());
            PageStartStore().AddStart(1, father, 0);
            break;
        }
        current = father;
    }
    app.RepaginateNeeded = true;
    DataOps().Del后续分页标志(1);
    UI().MsgBox(Trans(QStringLiteral("已修改复！重新打开即可。")), vb::Information);
}
