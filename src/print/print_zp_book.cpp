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
#include "print/book_output.h"
#include "print/print_messages.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "store/page_file.h"
#include "store/page_read_run.h"

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
    QString birthday;
    QString death;
    bool male = true;
    QString education;
    bool active = true;
    QString position;
    QString names;                // c_jc_w_z_h
    Cls子女::ChildMother mother;  // what the row tells of the mother, for the father's spouses
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
        rows.push_back({rs.Text(QStringLiteral("filial")),
                        rs.Text(QStringLiteral("father")),
                        rs.Text(QStringLiteral("boy_birthday")),
                        rs.Text(QStringLiteral("boy_death")),
                        rs.Bool(QStringLiteral("Boy_Sex")),
                        rs.Text(QStringLiteral("boy_education")),
                        rs.Bool(QStringLiteral("boy_active")),
                        rs.Text(QStringLiteral("boy_position")),
                        rs.Text(QStringLiteral("c_jc_w_z_h")),
                        {rs.Text(QStringLiteral("mother")), rs.Text(QStringLiteral("mother_folk")),
                         rs.Text(QStringLiteral("m_education")), rs.Text(QStringLiteral("m_position")),
                         rs.Text(QStringLiteral("mother_birthday")), rs.Text(QStringLiteral("mother_death")),
                         rs.Bool(QStringLiteral("Mother_active")), rs.value(QStringLiteral("boy_sort")),
                         rs.Long(QStringLiteral("filial_id"))}});
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

// A member as the walk hands it over: its row, generation, whether it is the start member, and its
// children's rows (read under the name the walk goes on with).
struct WalkedMember {
    const MemberRow& row;
    qint32 generation;
    bool start;
    const std::vector<MemberRow>& children;
};

// Walks the branch breadth-first and hands every member to `write`. A member is written when it leaves
// the queue, which keeps the order of writing it when it joins, and by then its children are read.
// Each member is visited once, so a loop in the father links ends the walk.
void WalkBranch(const QString& startName, qint32 startGeneration,
                const std::function<void(const WalkedMember&)>& write) {
    struct Queued {
        MemberRow row;
        qint32 generation;
        bool start;
    };
    std::deque<Queued> queue;
    QSet<QString> visited;
    PacedDoEvents events;
    for (MemberRow& row : Rows(QStringLiteral("filial"), startName)) {
        visited.insert(NameKey(row.filial));
        queue.push_back({std::move(row), startGeneration, true});
    }
    while (!queue.empty()) {
        const Queued member = std::move(queue.front());
        queue.pop_front();
        // The start member's children are those of its trimmed name.
        std::vector<MemberRow> children =
            Rows(QStringLiteral("father"), member.start ? Trim(member.row.filial) : member.row.filial);
        write({member.row, member.generation, member.start, children});
        for (MemberRow& child : children) {
            if (visited.contains(NameKey(child.filial))) continue;
            visited.insert(NameKey(child.filial));
            queue.push_back({std::move(child), member.generation + 1, false});
        }
        events.Tick();
    }
}

// The lines of the book before its first member and after its last.
QStringList BookHead(bool vertical) {
    // Chromium paginates vertical text only when the root element is vertical; the old style on the div
    // stays for older readers.
    QStringList head{
        vertical ? QStringLiteral("<HTML style=\"writing-mode: vertical-rl\">") : QStringLiteral("<HTML>"),
        QStringLiteral("<HEAD></HEAD>"), QStringLiteral("<BODY>")};
    if (vertical) head << kVerticalDiv;
    return head;
}

QStringList BookTail(bool vertical) {
    QStringList tail;
    if (vertical) tail << QStringLiteral("</div>");
    return tail << QStringLiteral("</BODY>") << QStringLiteral("</HTML>");
}

class BookWriter {
public:
    BookWriter(Cls数据操作& ops, bool vertical)
        : ops_(ops),
          vertical_(vertical),
          out_(clsPrintZp::BookFile(), BookHead(vertical), BookTail(vertical)) {}

    void DocumentBlock(const MemberRow& row, bool start) {
        out_.BeginMember(false);
        const QString page = Page(row.filial);
        if (!page.isEmpty()) Put(page);
        if (!start) Put(QStringLiteral("</P>"));
    }

    void RegisterBlock(const WalkedMember& member, qint32 surnameLength) {
        const MemberRow& row = member.row;
        const qint32 generation = member.generation;
        const bool start = member.start;
        if (!start &&
            (row.filial.contains(QStringLiteral("无子女")) || row.filial.contains(QStringLiteral("无子嗣"))))
            return;
        out_.BeginMember(generation != shownGeneration_);
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
        for (const auto& [value, word] : {std::pair{row.mother.mother, QStringLiteral("母")},
                                          std::pair{row.birthday, QStringLiteral("生于")},
                                          std::pair{row.death, QStringLiteral("卒于")}}) {
            const QString trimmed = Trim(value);
            if (trimmed.isEmpty()) continue;
            Put(Label(word));
            Put(Esc(trimmed) + QStringLiteral("。") + kClose);
        }

        const QList<Cls子女::Spouse> spouses = Spouses(member);
        for (qsizetype i = 0; i < spouses.size(); ++i) {
            const QString word = !row.male           ? QStringLiteral("嫁")
                                 : spouses[i].living ? QStringLiteral("室")
                                                     : QStringLiteral("妣");
            PutOn(Label(word + (spouses.size() < 2 ? QString() : QString::number(i + 1))));
            Put(Esc(spouses[i].description) + kClose);
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

    QStringList Finish() { return out_.Finish(); }

private:
    // The spouses as the member's children name their mothers; the children read under another name
    // than the member's own (a start member with blanks around its name) do not serve.
    QList<Cls子女::Spouse> Spouses(const WalkedMember& member) {
        if (member.start && Trim(member.row.filial) != member.row.filial)
            return member_.Spouses(member.row.filial);
        QList<Cls子女::ChildMother> mothers;
        mothers.reserve(qsizetype(member.children.size()));
        for (const MemberRow& child : member.children) mothers.append(child.mother);
        return Cls子女::SpousesOf(std::move(mothers));
    }

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
    void Put(const QString& text) { out_.Put(text); }
    void PutOn(const QString& text) { out_.PutOn(text); }

    Cls数据操作& ops_;
    bool vertical_;
    BookOutput out_;
    Cls子女 member_;
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

// The files to print the book from (see BookOutput::Finish), empty when told of an error.
QStringList WriteBook(Cls数据操作& ops, const QString& startName, quint8 vertical, qint32 start,
                      bool biography) {
    try {
        PageReadRun reading;
        BookWriter writer(ops, vertical == 1);
        const qint32 surnameLength = App().SurnameLength;
        WalkBranch(startName, start, [&](const WalkedMember& member) {
            if (biography)
                writer.RegisterBlock(member, surnameLength);
            else
                writer.DocumentBlock(member.row, member.start);
        });
        return writer.Finish();
    } catch (const dao::DaoError& e) {
        UI().MsgBox(Trans(QStringLiteral("打印族谱时出错：")) + e.Description(), vb::Critical);
    } catch (const VbError& e) {
        UI().MsgBox(Trans(QStringLiteral("打印族谱时出错：")) + e.Description(), vb::Critical);
    }
    BookOutput::RemoveParts();
    return {};
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
    parts_ = WriteBook(Ops(), startName, vertical, StartGeneration(answer), true);
    return !parts_.isEmpty();
}

bool clsPrintZp::打印文档(const QString& startName, quint8 vertical) {
    parts_ = WriteBook(Ops(), startName, vertical, 1, false);
    return !parts_.isEmpty();
}
