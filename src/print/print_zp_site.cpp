#include <QDir>
#include <QFileInfo>
#include <QHash>

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/language.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "platform/bookdir.h"
#include "platform/codepage.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/chart_html_export.h"
#include "print/chart_text.h"
#include "print/chm_doc.h"
#include "print/print_messages.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "store/page_file.h"

namespace {

using print::Trans;

// The chart lines are laid out in half-width columns (a blank is one, a Chinese character or a
// box-drawing glyph two): in a monospaced font with full-width Chinese they fall into their columns in
// any browser, and at one line per em the vertical lines of one row meet those of the next. No line
// wraps.
const QString kChartPageStyle = QStringLiteral(
    "<style>body { font-family: \"Noto Sans Mono CJK SC\", \"Sarasa Mono SC\", NSimSun, \"新宋体\", "
    "SimSun, \"宋体\", monospace; line-height: 1; white-space: nowrap; }</style>");

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The first position of the digit run that ends at `end`.
qsizetype RunStart(const QString& line, qsizetype end) {
    qsizetype start = end;
    while (start > 0 && IsDigit(line[start - 1])) --start;
    return start;
}

// Every name cell of a linked chart line holds a member number right-aligned in `width` columns, filled
// in front: the cell becomes the number alone.
QString Unpad(QString line, int width) {
    for (qsizetype pos = line.size() - 1; pos >= 0;) {
        if (!IsDigit(line[pos])) {
            --pos;
            continue;
        }
        const qsizetype end = pos;
        const QString id = line.mid(RunStart(line, end), end - RunStart(line, end) + 1);
        qsizetype k = end;
        for (int columns = 0; k >= 0; --k) {
            columns += IsSingleByte936(line[k]) && line[k].unicode() != 0 ? 1 : 2;
            if (columns >= width) break;
        }
        // A number wider than its cell is kept whole.
        k = std::clamp<qsizetype>(k, 0, RunStart(line, end));
        line = line.left(k) + id + line.mid(end + 1);
        pos = k - 1;
    }
    return line;
}

class SiteLinker {
public:
    SiteLinker(Cls数据操作& ops, const QString& folder, int width, bool details)
        : ops_(ops), folder_(folder), width_(width), details_(details) {}

    QString Link(QString line) {
        for (qsizetype pos = line.size() - 1; pos >= 0;) {
            if (!IsDigit(line[pos])) {
                --pos;
                continue;
            }
            const qsizetype end = pos;
            const qsizetype start = RunStart(line, end);
            const QString id = line.mid(start, end - start + 1);
            pos = start - 1;
            const Target* target = Find(id);
            if (!target) continue;  // no member under the number: it stays as it is
            // A one-character prefix is dropped, as the old pages had it.
            const QString prefix = start >= 2 ? line.left(start) : QString();
            line = prefix + QStringLiteral("<a href='") + target->page +
                   QStringLiteral("' style='text-decoration: none'>") + target->cell +
                   QStringLiteral("</a>") + line.mid(end + 1);
        }
        return line;
    }

private:
    struct Target {
        QString page;
        QString cell;
    };
    // Each member's page is written once, however often the chart names it.
    const Target* Find(const QString& id) {
        if (auto it = targets_.constFind(id); it != targets_.constEnd()) return &*it;
        const QVariant filial = App().DataDb.Scalar(
            QStringLiteral("SELECT \"filial\" FROM \"本姓成员\" WHERE \"filial_id\"=?"), {id.toLongLong()});
        if (filial.isNull()) return nullptr;
        const QString name = filial.toString();
        const QString own = QStringLiteral("z") + id + QStringLiteral(".htm");
        const bool noPage = ops_.GetAnyHtml2(folder_ + own, name, details_);
        QString cell = PadToWidthRight(StripBracketSuffix(name).toHtmlEscaped(), width_);
        cell.replace(u' ', QStringLiteral("&nbsp;"));
        return &*targets_.insert(id, {noPage ? QStringLiteral("sp.htm") : own, cell});
    }

    Cls数据操作& ops_;
    QString folder_;
    int width_;
    bool details_;
    QHash<QString, Target> targets_;
};

void RemoveFiles(const QString& folder, const QStringList& patterns) {
    QDir dir(folder);
    for (const QString& file : dir.entryList(patterns, QDir::Files)) dir.remove(file);
}

}  // namespace

QString clsPrintZp::Lfn_to_html2(bool showDetails) {
    ProgressScope progress;
    // Every page of the site names its language, so that browsers take the Chinese forms of the fonts.
    PageLanguageScope language(InterfaceLanguageTag());
    const QString folder = GetAppPath() + QStringLiteral("chm/");
    // Only the site's own files: its pages and pictures; an e-book stays.
    RemoveFiles(folder, {QStringLiteral("*.htm")});
    RemoveFiles(folder + QStringLiteral("images"), {QStringLiteral("*")});
    QString path;
    try {
        ClsChmDoc().gn_SP(folder);
        const ChartText chart = ChartText::Load(App().DataDb);
        const QString title = Trim(chart.title);
        path = folder + ChartFileName(title, QStringLiteral("tmpExcel"), QStringLiteral(".htm"));
        const int width = App().PrintNameLength * 2;
        const int generations = App().PrintGenerationsPerRow;
        SiteLinker linker(Ops(), folder, width, showDetails);
        QString text =
            QStringLiteral("<html>\r\n<head>") + kChartPageStyle + QStringLiteral("</head>\r\n<body>\r\n");
        text += QStringLiteral("<p align='center'><b><font size='5' color='#FF0000'>") +
                title.toHtmlEscaped() + QStringLiteral("</font></b></p>\r\n");
        text += QStringLiteral(
                    "<p align='center'><b><font size='3' "
                    "color='#0000FF'>(Qentara族谱%1.%2.%3)</font></b></p>\r\n")
                    .arg(kRunningMajor)
                    .arg(kRunningMinor)
                    .arg(kRunningRevision);
        for (const QString& row : chart.lines) {
            QString line = RTrim(row);
            if (line.isEmpty()) continue;
            if (IsGenerationHeaderLine(line, generations)) {
                line.replace(u' ', QStringLiteral("&nbsp;"));
                text += QStringLiteral("<font color='#FF00FF'>") + line + QStringLiteral("</font><br>\r\n");
            } else {
                line = Unpad(line, width);
                line.replace(u' ', QStringLiteral("&nbsp;"));
                text += linker.Link(line) + QStringLiteral("<br>\r\n");
            }
            DoEvents();
        }
        text += QStringLiteral("</body>\r\n</html>\r\n");
        WriteHtmlFile(path, text);
    } catch (const dao::DaoError& e) {
        UI().MsgBox(Trans(QStringLiteral("生成网页时出错：")) + e.Description(), vb::Critical);
        return QString();
    } catch (const VbError& e) {
        UI().MsgBox(Trans(QStringLiteral("生成网页时出错：")) + e.Description(), vb::Critical);
        return QString();
    }
    Progress().Hide();
    UI().MsgBox(Trans(QStringLiteral("文件已生成,存放在：")) + path, vb::Information);
    return path;
}
