#include <QHash>
#include <QSet>
#include <deque>
#include <vector>

#include "frame/app_state.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "member/member_name.h"
#include "member/member_record.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/print_messages.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "store/page_file.h"

namespace {

using print::Trans;

constexpr int kStartGenerationPrompt = 6;
const QString kVerticalDiv = QStringLiteral("<div style='layout-flow:vertical-ideographic'>");
const QString kHeadingColour = QStringLiteral("#FF0000");
const QString kHeadingSize = QStringLiteral("4");
const QString kNameSize = QStringLiteral("5");
const QString kNameColour = QStringLiteral("#0");
const QString kLabelSize = QStringLiteral("4");
// Every label's <FONT size=4> is closed after its value: left open, the engine reopens them in every
// paragraph and a book of a thousand members takes minutes to lay out and print.
const QString kClose = QStringLiteral("</FONT>");

// The fields of one member row the book shows.
struct MemberRow {
    QString filial;
    QString father;
    QString mother;
    QString birthday;
    QString death;
    bool male = true;
    QString education;
    bool active = true;
    QString position;
    QString names;  // c_jc_w_z_h
};

std::vector<MemberRow> Rows(const QString& where, const QString& value) {
    std::vector<MemberRow> rows;
    // Read whole before any member is written: writing a member opens the page and picture files.
    for (dao::Recordset rs = App().DataDb.OpenRecordset(
             QStringLiteral(
                 "SELECT * FROM \"本姓成员\" WHERE \"%1\"=? ORDER BY \"boy_sort\", \"boy_birthday\", "
                 "\"filial_id\"")
                 .arg(where),
             {value});
         rs.hasRow(); rs.MoveNext()) {
        rows.push_back({rs.Text(QStringLiteral("filial")), rs.Text(QStringLiteral("father")),
                        rs.Text(QStringLiteral("mother")), rs.Text(QStringLiteral("boy_birthday")),
                        rs.Text(QStringLiteral("boy_death")), rs.Bool(QStringLiteral("Boy_Sex")),
                        rs.Text(QStringLiteral("boy_education")), rs.Bool(QStringLiteral("boy_active")),
                        rs.Text(QStringLiteral("boy_position")), rs.Text(QStringLiteral("c_jc_w_z_h"))});
    }
    return rows;
}

QString Esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString Label(const QString& word) {
    return QStringLiteral("<FONT size=") + kLabelSize + QStringLiteral("><font color='#FF0000'>【</font>") +
           word + QStringLiteral("<font color='#FF0000'>】</font>");
}

// Names compare without regard to case, as the member table does.
QString NameKey(const QString& name) {
    return Trim(name).toCaseFolded();
}

// Walks the branch breadth-first and hands every member to `write` with its generation and whether it
// is the start member. Each member is visited once, so a loop in the father links ends the walk.
void WalkBranch(const QString& startName, qint32 startGeneration,
                const std::function<void(const MemberRow&, qint32, bool)>& write) {
    std::deque<std::pair<QString, qint32>> queue;
    QSet<QString> visited;
    for (const MemberRow& row : Rows(QStringLiteral("filial"), startName)) {
        visited.insert(NameKey(row.filial));
        queue.emplace_back(Trim(row.filial), startGeneration);
        write(row, startGeneration, true);
        DoEvents();
    }
    while (!queue.empty()) {
        const auto [parent, generation] = queue.front();
        queue.pop_front();
        for (const MemberRow& child : Rows(QStringLiteral("father"), parent)) {
            if (visited.contains(NameKey(child.filial))) continue;
            visited.insert(NameKey(child.filial));
            queue.emplace_back(child.filial, generation + 1);
            write(child, generation + 1, false);
            DoEvents();
        }
    }
}

class BookWriter {
public:
    BookWriter(Cls数据操作& ops, bool vertical) : ops_(ops), vertical_(vertical) {
        // Chromium paginates vertical text only when the root element is vertical; the old style on the
        // div stays for older readers.
        Put(vertical ? QStringLiteral("<HTML style=\"writing-mode: vertical-rl\">")
                     : QStringLiteral("<HTML>"));
        Put(QStringLiteral("<HEAD></HEAD>"));
        Put(QStringLiteral("<BODY>"));
        if (vertical) Put(kVerticalDiv);
    }

    void DocumentBlock(const MemberRow& row, bool start) {
        const QString page = Page(row.filial);
        if (!page.isEmpty()) Put(page);
        if (!start) Put(QStringLiteral("</P>"));
    }

    void RegisterBlock(const MemberRow& row, qint32 generation, bool start, qint32 surnameLength) {
        if (!start &&
            (row.filial.contains(QStringLiteral("无子女")) || row.filial.contains(QStringLiteral("无子嗣"))))
            return;
        const QString page = Page(row.filial);
        const StyleNames names = ParseStyleNames(row.names);
        const QString& title = names.title;
        const QString& code = names.code;
        const QString& wei = names.wei;
        const QString& zhi = names.zhi;
        const QString& hao = names.hao;
        const QString& shi = names.shi;
        const QString shown = HeadingName(names, Trim(StripBracketSuffix(row.filial)), surnameLength);

        if (generation != shownGeneration_) {
            const QString numeral = NumToChineseGen(qint16(std::clamp<qint32>(generation, -32768, 32767)));
            Put(QStringLiteral("<P align=center><b><font ") +
                (start ? QStringLiteral("size=") + kHeadingSize + u' ' : QString()) +
                QStringLiteral("color='") + kHeadingColour + QStringLiteral("'>") + numeral + Esc(title) +
                QStringLiteral("</font></b></P>"));
            shownGeneration_ = generation;
        }
        Put(QStringLiteral("<P align=left><b><font size=") + kNameSize + QStringLiteral(" color='") +
            kNameColour + QStringLiteral("'>") + Esc(shown) + QStringLiteral("</font></b>"));
        QString particulars;
        if (!wei.isEmpty() && code != QLatin1String("4")) particulars += QStringLiteral("讳 ") + Esc(wei);
        if (!zhi.isEmpty()) particulars += QStringLiteral("，字 ") + Esc(zhi);
        if (!hao.isEmpty()) particulars += QStringLiteral("，号 ") + Esc(hao);
        if (!shi.isEmpty())
            particulars += QStringLiteral("，谥号 <b><font size=") + kNameSize +
                           QStringLiteral(" color='#0'>") + Esc(shi) + QStringLiteral("</font></b>");
        if (!particulars.isEmpty()) Put(particulars + QStringLiteral("。"));

        const QString& father = row.father;
        const QString fatherName = Esc(Trim(StripBracketSuffix(father)));
        if (!start) {
            PutOn(Label(QStringLiteral("父")) + fatherName + kClose);
        } else if (!father.contains(QStringLiteral("公谱")) && !father.isEmpty() &&
                   father != QLatin1String("No_Display")) {
            PutOn(QStringLiteral("<FONT size=") + kLabelSize +
                  QStringLiteral("><font color='#ff0000 '>【</font>父<font color='#FF0000'>】</font>") +
                  fatherName + kClose);
        }
        for (const auto& [value, word] :
             {std::pair{row.mother, QStringLiteral("母")}, std::pair{row.birthday, QStringLiteral("生于")},
              std::pair{row.death, QStringLiteral("卒于")}}) {
            const QString trimmed = Trim(value);
            if (trimmed.isEmpty()) continue;
            Put(Label(word));
            Put(Esc(trimmed) + QStringLiteral("。") + kClose);
        }

        const QStringList spouses = member_.Find配偶(row.filial).split(QStringLiteral("%_"));
        const qsizetype last = spouses.size() - 1;
        for (qsizetype i = 1; i <= last; ++i) {
            if (spouses[i].isEmpty()) continue;
            const bool living = member_.Get配偶生死(spouses[i], row.filial);
            const QString word = !row.male ? QStringLiteral("嫁")
                                 : living  ? QStringLiteral("室")
                                           : QStringLiteral("妣");
            PutOn(Label(word + (last < 2 ? QString() : QString::number(i))));
            Put(Esc(member_.Get母亲信息(spouses[i], row.filial)) + kClose);
        }
        const QString education = Trim(row.education);
        if (!education.isEmpty()) {
            PutOn((row.active ? Esc(Trim(row.filial)) : QStringLiteral("世祖")) +
                  Label(QStringLiteral("学历")));
            Put(Esc(education) + QStringLiteral("。") + kClose);
        }
        const QString position = Trim(row.position);
        if (!position.isEmpty()) {
            PutOn(Label(QStringLiteral("位")));
            Put(Esc(position) + QStringLiteral("。") + kClose);
        }
        if (!page.isEmpty()) {
            Put(Label(QStringLiteral("生平")) + kClose);
            Put(page);
        }
        if (!start) Put(QStringLiteral("</P>"));
    }

    void Write() {
        if (vertical_) Put(QStringLiteral("</div>"));
        Put(QStringLiteral("</BODY>"));
        Put(QStringLiteral("</HTML>"));
        WriteHtmlFile(clsPrintZp::BookFile(), text_);
    }

private:
    // The member's stored page without its document wrappers, its pictures extracted; "" for none.
    QString Page(const QString& filial) {
        QString page;
        ops_.GetAnyHtmlCode(filial, page);
        if (page.isEmpty()) return page;
        ops_.DeleteHtmlHead(page);
        ops_.GnAnyImage(filial);
        if (vertical_)
            ReplaceAll(page, QStringLiteral("<div "),
                       QStringLiteral("<div style='layout-flow:vertical-ideographic' "));
        return page;
    }
    // One line and its line break.
    void Put(const QString& text) { text_ += text + QStringLiteral("\r\n"); }
    // Text without a line break: the next write continues its line.
    void PutOn(const QString& text) { text_ += text; }

    Cls数据操作& ops_;
    bool vertical_;
    Cls子女 member_;
    QString text_;
    qint32 shownGeneration_ = -1;
};

// The starting generation as the book reads it: the leading number of the answer, 1 for "".
qint32 StartGeneration(const QString& answer) {
    if (answer.isEmpty()) return 1;
    try {
        return CLng(std::clamp(Val(answer), -2147483648.0, 2147483647.0));
    } catch (const VbError&) {
        return 1;
    }
}

bool WriteBook(Cls数据操作& ops, const QString& startName, quint8 vertical, qint32 start, bool biography) {
    try {
        BookWriter writer(ops, vertical == 1);
        const qint32 surnameLength = App().SurnameLength;
        WalkBranch(startName, start, [&](const MemberRow& row, qint32 generation, bool first) {
            if (biography)
                writer.RegisterBlock(row, generation, first, surnameLength);
            else
                writer.DocumentBlock(row, first);
        });
        writer.Write();
    } catch (const dao::DaoError& e) {
        UI().MsgBox(Trans(QStringLiteral("打印族谱时出错：")) + e.Description(), vb::Critical);
        return false;
    } catch (const VbError& e) {
        UI().MsgBox(Trans(QStringLiteral("打印族谱时出错：")) + e.Description(), vb::Critical);
        return false;
    }
    return true;
}

}  // namespace

QString clsPrintZp::BookFile() {
    return GetAppPath() + QStringLiteral("tPrint.htm");
}

bool clsPrintZp::传记谱(const QString& startName, quint8 vertical) {
    AppState& app = App();
    app.FormParamString = startName;
    app.LittleRunType = kStartGenerationPrompt;
    const int answered = UI().ShowForm(QStringLiteral("FrmLittle"), true);
    const QString answer = app.FormParamString;
    app.FormParamString = startName;
    // A cancelled prompt cancels the print.
    if (answered != 1) return false;
    ProgressScope progress;
    return WriteBook(Ops(), startName, vertical, StartGeneration(answer), true);
}

bool clsPrintZp::打印文档(const QString& startName, quint8 vertical) {
    return WriteBook(Ops(), startName, vertical, 1, false);
}
