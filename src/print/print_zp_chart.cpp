#include <QVariant>
#include <algorithm>
#include <cmath>

#include "frame/app_state.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/chart_work_tree.h"
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
    ChartWorkTree tree;
    dao::Database& db = app.DataDb;
    try {
        Cls数据操作& ops = Ops();
        ProgressScope progress;
        // Only this branch is renumbered: the generation numbers of the rest of the book stay. The
        // numbering commits on its own (it attaches the picture and page files, which needs no open
        // transaction); the chart table is then written in one piece.
        const qint32 branch = app.SelectedNodeIndex;
        qint64 end = start;
        if (!rootName.isEmpty()) {
            qint32 first = start;
            qint16 force = kForce;
            quint8 protection = kKeepProtection;
            app.FormParamString.clear();
            ops.标识世祖(rootName, branch, 0, first, force, protection);
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

        dao::Transaction tx = db.BeginTrans();
        ops.InitReport_Sxt(title);
        for (qint64 g = start; !rootName.isEmpty();) {
            const qint64 last = g + widths.generationsPerRow - 1;
            ops.Tree分世代数展开(tree, qint32(g), qint32(last), branch);
            ClsPrintTree().PrintTree2(tree, 1, g, withLinks);
            g = last;
            DoEvents();
            if (g >= end) break;
        }
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
