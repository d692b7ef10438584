#include <QVariant>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/chart_branch.h"
#include "print/print_messages.h"
#include "print/print_tree.h"
#include "print/print_zp.h"
#include "store/data_ops.h"

namespace {

using print::Trans;

constexpr int kStartGenerationPrompt = 6;
// The prompt's own rule on leaving its field, kept here for an answer given without leaving it: above
// 9999 starts from 1, below -999 from -999.
constexpr double kLowestStart = -999;
constexpr double kHighestStart = 9999;
constexpr qint16 kForce = -1;
constexpr quint8 kKeepProtection = 99;

// The leading number of the answer, to the nearest whole number; "" numbers from 1.
qint32 StartGeneration(const QString& answer) {
    if (answer.isEmpty()) return 1;
    double value = 1;
    try {
        value = Val(answer);
    } catch (const VbError&) {
        value = kHighestStart + 1;  // too large to read
    }
    if (value > kHighestStart) return 1;
    return qint32(std::nearbyint(std::max(value, kLowestStart)));
}

// The chart is written into a fresh table while the previous chart's rows are set aside, and those go
// only when the new chart is complete, in the same transaction. The pages of a table emptied in the
// transaction that reuses them would each be copied to the journal first, and the engine's secure
// delete would overwrite each one as it is freed: at a million members most of the chart's time.
class FreshChartTable {
public:
    explicit FreshChartTable(dao::Database& db) : db_(db) {
        if (db.TableExists(kSetAside)) db.Execute(QStringLiteral("DROP TABLE ") + dao::QuoteIdent(kSetAside));
        if (db.TableExists(kChart))
            db.Execute(QStringLiteral("ALTER TABLE ") + dao::QuoteIdent(kChart) +
                       QStringLiteral(" RENAME TO ") + dao::QuoteIdent(kSetAside));
        db.Execute(book_schema::ChartTable());
    }

    // The previous chart's pages are freed without being overwritten: they hold nothing but a chart of
    // the book's members, as the site's pages do, and the next chart reuses them.
    void DropPrevious() {
        if (!db_.TableExists(kSetAside)) return;
        const dao::FreeWithoutOverwriting freed(db_);
        db_.Execute(QStringLiteral("DROP TABLE ") + dao::QuoteIdent(kSetAside));
    }

private:
    const QString kChart = QStringLiteral("skrslt");
    const QString kSetAside = QStringLiteral("skrslt_previous");
    dao::Database& db_;
};

}  // namespace

clsPrintZp::clsPrintZp() = default;
clsPrintZp::~clsPrintZp() = default;

Cls数据操作& clsPrintZp::Ops() {
    if (!ops_) ops_ = std::make_unique<Cls数据操作>();
    return *ops_;
}

QString clsPrintZp::CutAtBracket(const QString& text) {
    return StripBracketSuffix(text);
}

bool clsPrintZp::PrintPxt(const QString& rootName, bool withLinks) {
    AppState& app = App();
    const QString title = app.FormParamString;

    // Asked before anything is written, so that a cancel leaves the book and the chart table alone.
    app.LittleRunType = kStartGenerationPrompt;
    const int answered = UI().ShowForm(QStringLiteral("FrmLittle"), true);
    const QString answer = app.FormParamString;
    app.FormParamString = title;
    if (answered != 1) return false;
    qint32 start = StartGeneration(answer);

    const ChartWidths widths = ChartWidths::Current();
    dao::Database& db = app.DataDb;
    try {
        Cls数据操作& ops = Ops();
        ProgressScope progress;
        // Only this branch is renumbered: the generation numbers of the rest of the book stay. The
        // numbering commits on its own (it attaches the picture and page files, which needs no open
        // transaction); the chart table is then written in one piece.
        const qint32 branch = app.SelectedNodeIndex;
        qint64 end = start;
        std::optional<WalkedBranch> walked;
        if (!rootName.isEmpty()) {
            qint32 first = start;
            qint16 force = kForce;
            quint8 protection = kKeepProtection;
            app.FormParamString.clear();
            ops.KeepWalkedBranch();
            ops.标识世祖(rootName, branch, 0, first, force, protection);
            walked = ops.TakeWalkedBranch();
            const QString generations = app.FormParamString.section(u'%', 0, 0);
            if (!generations.isEmpty()) {
                end = start + qint64(Val(generations));
            } else {
                const QVariant deepest =
                    db.Scalar(QStringLiteral("SELECT max(\"generation\") FROM \"本姓成员\" WHERE \"flag\"=?"),
                              {branch});
                if (!deepest.isNull()) end = deepest.toLongLong() + 1;
            }
        }
        app.FormParamString = title;

        // Sections of P generations, each starting with the last generation of the one before.
        std::vector<qint64> firsts;
        for (qint64 g = start; !rootName.isEmpty();) {
            firsts.push_back(g);
            g += widths.generationsPerRow - 1;
            if (g >= end) break;
        }
        dao::Transaction tx = db.BeginTrans();
        FreshChartTable table(db);
        ops.InitReport_Sxt(title);
        if (!firsts.empty()) {
            // The branch the numbering has just walked over the whole table is taken as it wrote it.
            const qint64 last = firsts.back() + widths.generationsPerRow - 1;
            const ChartBranch members = walked && walked->SortsHere()
                                            ? ChartBranch(db, *walked, start, last)
                                            : ChartBranch(db, branch, start, last);
            walked.reset();
            for (qint64 g : firsts) {
                ClsPrintTree().PrintTree2(*members.Section(g, g + widths.generationsPerRow - 1, withLinks),
                                          g);
                DoEvents();
            }
        }
        table.DropPrevious();
        tx.Commit();
    } catch (const dao::DaoError& e) {
        app.FormParamString = title;
        UI().MsgBox(Trans(QStringLiteral("生成世系图时出错：")) + e.Description(), vb::Critical);
        return false;
    }
    return true;
}

void PresetChartPreview() {
    AppState& app = App();
    app.PreviewPaperKind = 2;
    app.PreviewSmallFontSize = 9.0f;
    app.PreviewFontSize = 20.0f;
    app.PreviewParamD = 10;
    app.PreviewOffsetRow = 2;
    app.PreviewOffsetCol = 2;
    app.PreviewParamA = 0;
    app.PreviewParamB = 0;
    app.PreviewParamC = 1;
}
