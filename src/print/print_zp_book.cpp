#include <QHash>
#include <QSet>
#include <array>
#include <deque>
#include <memory>
#include <vector>

#include "frame/app_state.h"
#include "frame/language.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "member/member_record.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/disk_full.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/book_output.h"
#include "print/print_messages.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "store/member_name_index.h"
#include "store/page_file.h"
#include "store/page_read_ahead.h"
#include "store/page_read_run.h"
#include "store/style_names.h"

namespace {

using print::Trans;

constexpr int kStartGenerationPrompt = 6;
const QString kVerticalDiv = QStringLiteral("<div style='layout-flow:vertical-ideographic'>");
const QString kKeepTogether = QStringLiteral("<div style='page-break-inside:avoid'>");
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

// The columns of a member row, in the order MemberRowAt reads them.
const QString kMemberColumns = QStringLiteral(
    "\"filial\", \"father\", \"boy_birthday\", \"boy_death\", \"Boy_Sex\", \"boy_education\", "
    "\"boy_active\", \"boy_position\", \"c_jc_w_z_h\", \"mother\", \"mother_folk\", \"m_education\", "
    "\"m_position\", \"mother_birthday\", \"mother_death\", \"Mother_active\", \"boy_sort\", "
    "\"filial_id\"");
const QString kSiblingOrder = QStringLiteral("\"boy_sort\", \"boy_birthday\", \"filial_id\"");

// The fields read as Recordset::Text and Recordset::Bool read them, by position: the walk reads every
// row of the branch.
MemberRow MemberRowAt(const dao::Recordset& rs) {
    const auto text = [&](int i) {
        const QVariant v = rs.value(i);
        return v.isNull() ? QString("") : v.toString();
    };
    const auto flag = [&](int i) { return rs.value(i).toLongLong() != 0; };
    return {text(0),
            text(1),
            text(2),
            text(3),
            flag(4),
            text(5),
            flag(6),
            text(7),
            text(8),
            {text(9), text(10), text(11), text(12), text(13), text(14), flag(15), rs.value(16),
             rs.value(17).toLongLong()}};
}

std::vector<MemberRow> Rows(const QString& where, const QString& value) {
    std::vector<MemberRow> rows;
    // Read whole before any member is written: writing a member opens the page and picture files.
    for (dao::Recordset rs = App().DataDb.OpenRecordset(
             QStringLiteral("SELECT ") + kMemberColumns +
                 QStringLiteral(" FROM \"本姓成员\" WHERE \"%1\"=? ORDER BY ").arg(where) + kSiblingOrder,
             {value});
         rs.hasRow(); rs.MoveNext())
        rows.push_back(MemberRowAt(rs));
    return rows;
}

// The text fields of a member row, in the order a packed row keeps them.
template <typename Row>
auto TextFields(Row& row) {
    return std::array{&row.filial,      &row.father,           &row.birthday,        &row.death,
                      &row.education,   &row.position,         &row.names,           &row.mother.mother,
                      &row.mother.folk, &row.mother.education, &row.mother.position, &row.mother.birthday,
                      &row.mother.death};
}

// A member row held until the walk reaches its father: its texts in one string, so that a whole book
// of rows takes little more memory than its text.
class PackedRow {
public:
    explicit PackedRow(const MemberRow& row)
        : sort_(row.mother.sort),
          id_(row.mother.id),
          male_(row.male),
          active_(row.active),
          motherLiving_(row.mother.living) {
        int i = 0;
        for (const QString* text : TextFields(row)) {
            texts_ += *text;
            ends_[size_t(i++)] = qint32(texts_.size());
        }
        texts_.squeeze();
    }
    MemberRow Unpacked() const {
        MemberRow row;
        row.male = male_;
        row.active = active_;
        row.mother.living = motherLiving_;
        row.mother.sort = sort_;
        row.mother.id = id_;
        qint32 start = 0;
        int i = 0;
        for (QString* text : TextFields(row)) {
            *text = texts_.mid(start, ends_[size_t(i)] - start);
            start = ends_[size_t(i++)];
        }
        return row;
    }

private:
    QString texts_;
    std::array<qint32, 13> ends_{};
    QVariant sort_;
    qint64 id_;
    bool male_;
    bool active_;
    bool motherLiving_;
};

// The children of every father in the member table, read in one pass: for a walk over much of the
// book this costs a fraction of one query per member. The engine orders the rows by father as the
// column compares (NOCASE), then in sibling order, so each father's rows lie together in the order a
// query of his own gives.
class ChildrenByFather {
public:
    ChildrenByFather() {
        // A father of another type never equals a name.
        QString lastFather;
        for (dao::Recordset rs = App().DataDb.OpenRecordset(
                 QStringLiteral("SELECT ") + kMemberColumns +
                 QStringLiteral(" FROM \"本姓成员\" WHERE typeof(\"father\")='text' ORDER BY \"father\", ") +
                 kSiblingOrder);
             rs.hasRow(); rs.MoveNext()) {
            const MemberRow row = MemberRowAt(rs);
            QString father = FoldAscii(row.father);
            if (rows_.empty() || father != lastFather) {
                groups_.insert(father, {qint32(rows_.size()), 0});
                lastFather = std::move(father);
            }
            ++groups_[lastFather].second;
            rows_.emplace_back(row);
        }
    }

    // The rows whose father equals `name` as the column compares, in sibling order.
    std::vector<MemberRow> Of(const QString& name) const {
        std::vector<MemberRow> rows;
        const auto found = groups_.constFind(FoldAscii(name));
        if (found == groups_.cend()) return rows;
        rows.reserve(size_t(found->second));
        for (qint32 i = found->first; i < found->first + found->second; ++i)
            rows.push_back(rows_[size_t(i)].Unpacked());
        return rows;
    }

private:
    std::vector<PackedRow> rows_;
    QHash<QString, std::pair<qint32, qint32>> groups_;  // folded father: first row, row count
};

// The children of each member as the walk asks for them: a query per member while the branch walked
// is small beside the book, all fathers' children read at once when it turns out to be a large part.
class ChildrenReader {
public:
    // The highest member number stands for the size of the book: read at once, unlike a count.
    ChildrenReader()
        : bookMembers_(App()
                           .DataDb.Scalar(QStringLiteral("SELECT max(\"filial_id\") FROM \"本姓成员\""))
                           .toLongLong()) {}

    std::vector<MemberRow> Of(const QString& name) {
        if (!all_ && ++asked_ * kBulkShare >= bookMembers_ && bookMembers_ <= kBulkMembers)
            all_ = std::make_unique<ChildrenByFather>();
        return all_ ? all_->Of(name) : Rows(QStringLiteral("father"), name);
    }

private:
    // Read at once after an eighth of the book; a book beyond this many members is always read per
    // member, to keep its rows out of memory.
    static constexpr qint64 kBulkShare = 8;
    static constexpr qint64 kBulkMembers = 250000;

    qint64 bookMembers_;
    qint64 asked_ = 0;
    std::unique_ptr<ChildrenByFather> all_;
};

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
// `queued` hears of each member as it joins the queue, in the order they are written.
void WalkBranch(const QString& startName, qint32 startGeneration,
                const std::function<void(const WalkedMember&)>& write,
                const std::function<void(const QString&)>& queued) {
    struct Queued {
        MemberRow row;
        qint32 generation;
        bool start;
    };
    std::deque<Queued> queue;
    QSet<QString> visited;
    ChildrenReader children;
    PacedDoEvents events;
    for (MemberRow& row : Rows(QStringLiteral("filial"), startName)) {
        visited.insert(NameKey(row.filial));
        queued(row.filial);
        queue.push_back({std::move(row), startGeneration, true});
    }
    while (!queue.empty()) {
        const Queued member = std::move(queue.front());
        queue.pop_front();
        // The start member's children are those of its trimmed name.
        std::vector<MemberRow> childRows =
            children.Of(member.start ? Trim(member.row.filial) : member.row.filial);
        write({member.row, member.generation, member.start, childRows});
        for (MemberRow& child : childRows) {
            const qsizetype before = visited.size();
            visited.insert(NameKey(child.filial));
            if (visited.size() == before) continue;
            queued(child.filial);
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
          out_(clsPrintZp::BookFile(), BookHead(vertical), BookTail(vertical)),
          ahead_([this](QString& page) { Finish(page); }) {}

    // A member joins the walk's queue: its page can be read ahead.
    void Queued(const QString& filial) { ahead_.Ask(filial); }

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
        if (!start && (row.filial.contains(QStringLiteral("无子女")) ||
                       row.filial.contains(QStringLiteral("无子嗣")))) {
            ahead_.Take(row.filial);
            return;
        }
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

        // A heading and the particulars of the member it heads make one block that no page break
        // divides; the member's page, which may be long, flows on after it.
        const bool heads = generation != shownGeneration_;
        if (heads) {
            Put(kKeepTogether);
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
        if (!page.isEmpty()) Put(Label(QStringLiteral("生平")) + kClose);
        // The block's end closes the member's paragraph, as its page's first block would have.
        if (heads && page.isEmpty() && !start) Put(QStringLiteral("</P>"));
        if (heads) Put(QStringLiteral("</div>"));
        if (!page.isEmpty()) Put(page);
        if (!start && !(heads && page.isEmpty())) Put(QStringLiteral("</P>"));
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
        if (std::optional<PageReadAhead::Page> page = ahead_.Take(filial)) {
            if (page->stored) ExtractPictureRows(page->pictures);
            return page->text;
        }
        QString page;
        ops_.GetAnyHtmlCode(filial, page);
        if (page.isEmpty()) return page;
        Finish(page);
        ops_.GnAnyImage(filial);
        return page;
    }
    // What the book makes of a stored page (also on the threads reading ahead: nothing shared).
    void Finish(QString& page) const {
        ops_.DeleteHtmlHead(page);
        if (vertical_)
            ReplaceAll(page, QStringLiteral("<div "),
                       QStringLiteral("<div style='layout-flow:vertical-ideographic' "));
    }
    void Put(const QString& text) { out_.Put(text); }
    void PutOn(const QString& text) { out_.PutOn(text); }

    Cls数据操作& ops_;
    bool vertical_;
    BookOutput out_;
    Cls子女 member_;
    qint32 shownGeneration_ = -1;
    // Last: its workers stop before anything they read through goes.
    PageReadAhead ahead_;
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
        // Named in the book, so that the print takes the Chinese forms of the CJK fonts.
        PageLanguageScope language(InterfaceLanguageTag());
        BookWriter writer(ops, vertical == 1);
        const qint32 surnameLength = App().SurnameLength;
        WalkBranch(
            startName, start,
            [&](const WalkedMember& member) {
                if (biography)
                    writer.RegisterBlock(member, surnameLength);
                else
                    writer.DocumentBlock(member.row, member.start);
            },
            [&](const QString& filial) { writer.Queued(filial); });
        return writer.Finish();
    } catch (const dao::DaoError& e) {
        UI().MsgBox(Trans(QStringLiteral("打印族谱时出错：")) + e.Description(), vb::Critical);
    } catch (const VbError& e) {
        // The parts lie in the temporary folder: a full disk is told by the book's own file.
        const QString why = e.number == kErrDiskFull ? DiskFullText(clsPrintZp::BookFile()) : e.Description();
        UI().MsgBox(Trans(QStringLiteral("打印族谱时出错：")) + why, vb::Critical);
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
