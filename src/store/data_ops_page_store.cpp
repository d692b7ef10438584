// Member pages and their pictures: page texts in descript.ctr ("story"), pictures in zpimage.ctr
// ("imageylk"), extracted again into the temp folder of the book whenever a page is shown.
#include <algorithm>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "frame/text_scramble.h"
#include "frame/text_utils.h"
#include "platform/bookdir.h"
#include "platform/codepage.h"
#include "platform/http/http_client.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/member_rows.h"
#include "store/page_file.h"
#include "store/page_read_run.h"
#include "store/outside_page.h"
#include "store/picture_refs.h"
#include "store/style_names.h"

namespace {

// PageReadRun objects alive: while one is, the page and picture handles are open on this book.
int gPageReadRuns = 0;
// Inside a run: the members that have pictures, their names as the picture table compares them.
QSet<QString> gPictureOwners;

// The name column's NOCASE: ASCII letters without regard to case.
QString NocaseKey(const QString& name) {
    QString key = name;
    for (QChar& c : key)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return key;
}

// Opens a page or picture file into its shared handle for one operation and afterwards puts the
// handle back as it was (closed, normally), so that an operation started from inside another's
// picture loop cannot close the outer one's file under it. Inside a PageReadRun the open handle serves.
class SharedFileScope {
public:
    SharedFileScope(dao::Database& handle, void (*open)(const QString&, const QString&), QString (*path)())
        : handle_(handle), previous_(handle) {
        if (gPageReadRuns == 0 || !handle.isOpen()) open(path(), BookDbPassword());
        db_ = handle;
    }
    ~SharedFileScope() { handle_ = previous_; }
    SharedFileScope(const SharedFileScope&) = delete;
    SharedFileScope& operator=(const SharedFileScope&) = delete;
    dao::Database& db() { return db_; }

private:
    dao::Database& handle_;
    dao::Database previous_;
    dao::Database db_;
};

SharedFileScope OpenPictureFile() {
    return SharedFileScope(App().ImageDb, &OpenImageDb, &ImageDbPath);
}
SharedFileScope OpenPageFile() {
    return SharedFileScope(App().DescriptDb, &OpenDescriptDb, &DescriptDbPath);
}

// The member's page text as stored (still scrambled); false when the member has no page.
bool ReadStoredPage(dao::Database& pages, const QString& filial, QString& text) {
    dao::Recordset rs = pages.OpenRecordset(
        QStringLiteral("SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\"=? ORDER BY rowid LIMIT 1"),
        {filial});
    if (rs.EOF_()) return false;
    text = rs.Text(QStringLiteral("Hisdescript"));
    return true;
}

bool ReadStoredPage(const QString& filial, QString& text) {
    SharedFileScope file = OpenPageFile();
    return ReadStoredPage(file.db(), filial, text);
}

// The stored page made showable: doubled quotes left by older editors go, placeholders point into
// the temp folder.
void CleanPageText(QString& text) {
    ReplaceAll(text, QStringLiteral("\"'"), QStringLiteral("\""));
    ReplaceAll(text, QStringLiteral("'\""), QStringLiteral("\""));
    text = picture_refs::ResolvePageReferences(text);
}

}  // namespace

QList<PictureRow> PictureRows(dao::Database& db, const QString& filial) {
    QList<PictureRow> rows;
    // Most members have none: a run asks the table only for those that do.
    if (gPageReadRuns > 0 && !gPictureOwners.contains(NocaseKey(filial))) return rows;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral(
                 "SELECT \"image_id\", \"imagepath\" FROM \"imageylk\" WHERE \"filial\"=? ORDER BY rowid"),
             {filial});
         !rs.EOF_(); rs.MoveNext())
        rows.append({rs.Long(QStringLiteral("image_id")),
                     EncodeText(Trim(rs.Text(QStringLiteral("imagepath"))), StoreKey())});
    return rows;
}

namespace {

QByteArray PictureBytes(dao::Database& db, qint64 id) {
    return db.Scalar(QStringLiteral("SELECT \"myimage\" FROM \"imageylk\" WHERE \"image_id\"=?"), {id})
        .toByteArray();
}

// Extracted pictures are a cache: a file already there is left alone. A picture without bytes (from
// an older book) writes no file. Returns the error number of the last picture that failed, 0 if none.
qint32 ExtractPictures(dao::Database& db, const QList<PictureRow>& rows) {
    qint32 lastError = 0;
    for (const PictureRow& row : rows) {
        try {
            const QString path = picture_refs::PictureFile(row.reference);
            if (path.isEmpty()) {
                qWarning() << "picture reference names no file:" << row.reference;
            } else if (!QFileInfo::exists(path)) {
                const QByteArray bytes = PictureBytes(db, row.id);
                if (!bytes.isEmpty()) WriteWholeFile(path, bytes);
            }
        } catch (const dao::DaoError& e) {
            lastError = e.Number();
        } catch (const VbError& e) {
            lastError = e.number;
        }
        DoEvents();
    }
    return lastError;
}

qint32 ExtractPictures(const QString& filial) {
    try {
        SharedFileScope file = OpenPictureFile();
        return ExtractPictures(file.db(), PictureRows(file.db(), filial));
    } catch (const dao::DaoError& e) {
        return e.Number();
    }
}

// The picture's bytes from a local file or a download; empty when there are none to store.
QByteArray FetchPicture(const QString& source) {
    const qsizetype cut = source.indexOf(QLatin1String("//"));
    if (cut < 0) return {};
    if (picture_refs::IsWebAddress(source)) {
        const QString target = picture_refs::DownloadTarget(source);
        if (target.isEmpty()) return {};
        bool ok = false;
        const QByteArray body = HttpGetBlocking(QUrl(source), picture_refs::DownloadTimeoutMs(), &ok, nullptr, {},
                                                picture_refs::DownloadMaxBytes());
        if (!ok || body.isEmpty()) return {};
        // The downloaded copy lets the page show at once; the stored bytes are what counts.
        try {
            WriteWholeFile(target, body);
        } catch (const VbError& e) {
            qWarning() << e.Description();
        }
        return body;
    }
    const QString path = QDir::cleanPath(ToLocalSeparators(source.mid(cut + 2)));
    if (!QFileInfo(path).isAbsolute() || !QFileInfo(path).isFile()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QString NameExtension(const QString& reference) {
    const qsizetype slash =
        std::max(reference.lastIndexOf(QLatin1Char('\\')), reference.lastIndexOf(QLatin1Char('/')));
    const QString name = reference.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

// The end of an opening tag <name ...> at the start of html, -1 when html does not start with one.
qsizetype OpeningTagEnd(const QString& html, const QString& name) {
    const QString open = QLatin1Char('<') + name;
    if (!html.startsWith(open, Qt::CaseInsensitive) || html.size() <= open.size()) return -1;
    const QChar next = html[open.size()];
    if (next != u'>' && next != u'/' && !next.isSpace()) return -1;  // "<p" is not "<pre>"
    const qsizetype close = html.indexOf(QLatin1Char('>'), open.size());
    return close < 0 ? -1 : close + 1;
}

// Unwraps the element that opens html; without its closing tag only the opening one goes.
void UnwrapLeading(QString& html, const QString& name, bool keepAfterClose) {
    const qsizetype end = OpeningTagEnd(html, name);
    if (end < 0) return;
    html.remove(0, end);
    const QRegularExpression close(QStringLiteral("</%1\\s*>").arg(name),
                                   QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = close.match(html);
    if (!m.hasMatch()) return;
    if (keepAfterClose)
        html.remove(m.capturedStart(), m.capturedLength());
    else
        html.truncate(m.capturedStart());
}

}  // namespace

namespace {

// One picture row of a member in `table` (as reached from db); a page that shows the same picture twice
// keeps one row for it.
void StorePictureRow(dao::Database& db, const QString& table, const QString& filial, const QByteArray& bytes,
                     const QString& stored) {
    const QVariant id =
        db.Scalar(QStringLiteral("SELECT \"image_id\" FROM ") + table +
                      QStringLiteral(" WHERE \"filial\"=? AND \"imagepath\"=? ORDER BY rowid LIMIT 1"),
                  {filial, stored});
    if (id.isNull())
        db.Execute(QStringLiteral("INSERT INTO ") + table +
                       QStringLiteral(" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)"),
                   {filial, bytes, stored});
    else
        db.Execute(
            QStringLiteral("UPDATE ") + table +
                QStringLiteral(" SET \"myimage\"=?, \"imagepath\"=?, \"filial\"=? WHERE \"image_id\"=?"),
            {bytes, stored, filial, id});
}

// The member's page row in `table`; html is concealed on its way in.
void StorePageRow(dao::Database& db, const QString& table, QString& html, const QString& filial) {
    html = EncodeText(html, StoreKey());
    const QVariant row = db.Scalar(QStringLiteral("SELECT rowid FROM ") + table +
                                       QStringLiteral(" WHERE \"filial\"=? ORDER BY rowid LIMIT 1"),
                                   {filial});
    if (row.isNull())
        db.Execute(QStringLiteral("INSERT INTO ") + table +
                       QStringLiteral(" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                   {filial, html});
    else
        db.Execute(QStringLiteral("UPDATE ") + table +
                       QStringLiteral(" SET \"Hisdescript\"=?, \"filial\"=? WHERE rowid=?"),
                   {html, filial, row});
}

}  // namespace

struct PageReadRun::Held {
    SharedFileScope pages = OpenPageFile();
    SharedFileScope pictures = OpenPictureFile();
    dao::Transaction members = App().DataDb.BeginTrans();
    dao::Transaction pageRows = pages.db().BeginTrans();
    dao::Transaction pictureRows = pictures.db().BeginTrans();
};

PageReadRun::PageReadRun() {
    if (gPageReadRuns == 0) {
        held_ = std::make_unique<Held>();
        gPictureOwners.clear();
        for (dao::Recordset rs = held_->pictures.db().OpenRecordset(
                 QStringLiteral("SELECT DISTINCT \"filial\" FROM \"imageylk\""));
             !rs.EOF_(); rs.MoveNext())
            gPictureOwners.insert(NocaseKey(rs.Text(QStringLiteral("filial"))));
    }
    ++gPageReadRuns;
}

PageReadRun::~PageReadRun() {
    --gPageReadRuns;
    if (!held_) return;
    gPictureOwners.clear();
    // Nothing is written through the run; ending its transactions only lets the files go.
    try {
        held_->pictureRows.Commit();
        held_->pageRows.Commit();
        held_->members.Commit();
    } catch (const dao::DaoError&) {
    }
}

bool Cls数据操作::SaveAnyImage(const QString& source, bool deleteOnly, const QString& filial,
                               bool background) {
    try {
        if (deleteOnly) {
            SharedFileScope file = OpenPictureFile();
            file.db().Execute(QStringLiteral("DELETE FROM \"imageylk\" WHERE \"filial\"=?"), {filial});
            return true;
        }
        const QString reference = picture_refs::StoredReference(source, background);
        if (reference.isEmpty()) return false;
        const QByteArray bytes = FetchPicture(source);
        if (bytes.isEmpty()) return false;

        SharedFileScope file = OpenPictureFile();
        dao::Database& db = file.db();
        dao::Transaction tx = db.BeginTrans();
        StorePictureRow(db, QStringLiteral("\"imageylk\""), filial, bytes, DecodeText(reference, StoreKey()));
        tx.Commit();
        return true;
    } catch (const dao::DaoError& e) {
        qWarning() << "picture not stored:" << source << e.Description();
        return false;
    }
}

bool Cls数据操作::SaveAnyImageIn(const AttachedSideFiles& side, const QString& source,
                                 const QString& filial) {
    const QString reference = picture_refs::StoredReference(source, false);
    if (reference.isEmpty()) return false;
    const QByteArray bytes = FetchPicture(source);
    if (bytes.isEmpty()) return false;
    StorePictureRow(App().DataDb, side.Pictures(), filial, bytes, DecodeText(reference, StoreKey()));
    return true;
}

void Cls数据操作::SaveAnyHtml(QString& html, const QString& filial) {
    SharedFileScope file = OpenPageFile();
    dao::Database& db = file.db();
    dao::Transaction tx = db.BeginTrans();
    StorePageRow(db, QStringLiteral("\"story\""), html, filial);
    tx.Commit();
}

void Cls数据操作::SaveAnyHtmlIn(const AttachedSideFiles& side, QString& html, const QString& filial) {
    StorePageRow(App().DataDb, side.Pages(), html, filial);
}

QStringList Cls数据操作::SavePageAndFiles(const QString& filial, const QString& html,
                                          const QList<PageFileSource>& files) {
    // Everything is read (and downloaded) before the book files are touched.
    struct Incoming {
        QString stored;  // the reference as the picture table holds it
        QString source;
        QByteArray bytes;
    };
    QList<Incoming> incoming;
    QSet<QString> named;
    for (const PageFileSource& file : files) {
        const QString reference = picture_refs::StoredReference(file.source, file.background);
        if (reference.isEmpty()) continue;
        const QString stored = DecodeText(reference, StoreKey());
        if (named.contains(stored)) continue;
        named.insert(stored);
        incoming.append({stored, file.source, FetchPicture(file.source)});
    }

    dao::Database& db = App().DataDb;
    AttachedSideFiles side(db, QStringLiteral("save_pictures"), QStringLiteral("save_pages"));
    dao::Transaction tx = db.BeginTrans();
    QHash<QString, qint64> storedRows;
    QList<qint64> unnamed;
    for (dao::Recordset rs =
             db.OpenRecordset(QStringLiteral("SELECT \"image_id\", \"imagepath\" FROM ") + side.Pictures() +
                                  QStringLiteral(" WHERE \"filial\"=? ORDER BY rowid"),
                              {filial});
         !rs.EOF_(); rs.MoveNext()) {
        const QString stored = Trim(rs.Text(QStringLiteral("imagepath")));
        const qint64 id = rs.Long(QStringLiteral("image_id"));
        if (!named.contains(stored))
            unnamed.append(id);
        else if (!storedRows.contains(stored))
            storedRows.insert(stored, id);
    }
    for (const qint64 id : unnamed)
        db.Execute(QStringLiteral("DELETE FROM ") + side.Pictures() + QStringLiteral(" WHERE \"image_id\"=?"),
                   {id});
    QStringList missing;
    for (const Incoming& file : incoming) {
        const auto row = storedRows.constFind(file.stored);
        if (file.bytes.isEmpty()) {
            if (row == storedRows.cend()) missing.append(file.source);
        } else if (row == storedRows.cend()) {
            db.Execute(QStringLiteral("INSERT INTO ") + side.Pictures() +
                           QStringLiteral(" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)"),
                       {filial, file.bytes, file.stored});
        } else {
            db.Execute(QStringLiteral("UPDATE ") + side.Pictures() +
                           QStringLiteral(" SET \"myimage\"=? WHERE \"image_id\"=?"),
                       {file.bytes, *row});
        }
    }
    const QString scrambled = EncodeText(html, StoreKey());
    const QVariant page = db.Scalar(QStringLiteral("SELECT rowid FROM ") + side.Pages() +
                                        QStringLiteral(" WHERE \"filial\"=? ORDER BY rowid LIMIT 1"),
                                    {filial});
    if (page.isNull())
        db.Execute(QStringLiteral("INSERT INTO ") + side.Pages() +
                       QStringLiteral(" (\"filial\", \"Hisdescript\") VALUES (?, ?)"),
                   {filial, scrambled});
    else
        db.Execute(
            QStringLiteral("UPDATE ") + side.Pages() + QStringLiteral(" SET \"Hisdescript\"=? WHERE rowid=?"),
            {scrambled, page});
    tx.Commit();
    return missing;
}

bool Cls数据操作::GetAnyHtml(const QString& target, const QString& filial) {
    if (QFileInfo::exists(target)) QFile::remove(target);
    // An unreadable page must not look like a missing one: the user would start a blank page and
    // save it over the real one. Read and write errors therefore reach the caller.
    QString text;
    if (!ReadStoredPage(filial, text)) return true;
    ProgressScope progress;
    text = DecodeText(text, StoreKey());
    CleanPageText(text);
    WriteHtmlFile(target, text + QStringLiteral("\r\n"));
    // A picture that cannot be extracted is only missing from the page.
    ExtractPictures(filial);
    return false;
}

bool Cls数据操作::GetAnyHtml2(const QString& target, const QString& filial, bool withDetails) {
    if (QFileInfo::exists(target)) QFile::remove(target);
    QString text;
    if (!ReadStoredPage(filial, text)) return true;
    ProgressScope progress;
    {
        SharedFileScope file = OpenPictureFile();
        const QList<PictureRow> rows = PictureRows(file.db(), filial);
        // The site and the e-book are read in other browsers, with scripts on, and the e-book's compiler
        // takes in every file a page names: a page stored before pages from outside were cleaned goes
        // out clean all the same, naming only the member's own pictures.
        QStringList pictures;
        for (const PictureRow& row : rows) pictures << row.reference;
        text = outside_page::Cleaned(DecodeText(text, StoreKey()), pictures);
        ReplaceAll(text, QStringLiteral("src=\"file://"), QStringLiteral("src=\""));
        for (const PictureRow& row : rows) {
            const qsizetype cut = row.reference.indexOf(QLatin1String("//"));
            if (cut < 0) continue;
            const QString stored = row.reference.mid(cut + 2);
            if (stored.isEmpty()) continue;
            const QString name = QStringLiteral("images/z%1%2").arg(row.id).arg(NameExtension(stored));
            // A background keeps its "file://" (only src= lost it above).
            ReplaceAll(text, QStringLiteral("file://") + stored, name);
            ReplaceAll(text, stored, name);
            // Beside the page, wherever it is written: the site's folder or the e-book's work folder.
            const QString path = QFileInfo(target).absolutePath() + u'/' + name;
            if (!QFileInfo::exists(path)) {
                const QByteArray bytes = PictureBytes(file.db(), row.id);
                if (!bytes.isEmpty()) WriteWholeFile(path, bytes);
            }
            DoEvents();
        }
    }
    if (withDetails)
        GnMemberHtml(filial, target, text);
    else
        WriteHtmlFile(target, text + QStringLiteral("\r\n"));
    return false;
}

namespace {

// The member's page made showable; false when the member has no page.
bool ReadPageCode(dao::Database& pages, const QString& filial, QString& html) {
    QString text;
    if (!ReadStoredPage(pages, filial, text)) {
        html = QString("");
        return false;
    }
    text = DecodeText(text, StoreKey());
    CleanPageText(text);
    html = text;
    return true;
}

}  // namespace

QString PageCodeIn(dao::Database& pages, const QString& filial) {
    QString html;
    ReadPageCode(pages, filial, html);
    return html;
}

bool Cls数据操作::GetAnyHtmlCode(const QString& filial, QString& html) {
    SharedFileScope file = OpenPageFile();
    return !ReadPageCode(file.db(), filial, html);
}

qint32 Cls数据操作::GnAnyImage(const QString& filial) {
    return ExtractPictures(filial);
}

qint32 ExtractPictureRows(const QList<PictureRow>& rows) {
    if (rows.isEmpty()) return 0;
    try {
        SharedFileScope file = OpenPictureFile();
        return ExtractPictures(file.db(), rows);
    } catch (const dao::DaoError& e) {
        return e.Number();
    }
}

void Cls数据操作::DeleteHtmlHead(QString& html) {
    html.remove(QChar(13));
    html.remove(QChar(10));
    html = Trim(html);

    static const QRegularExpression headOpen(QStringLiteral("<head(\\s[^>]*)?>"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression headClose(QStringLiteral("</head\\s*>"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch open = headOpen.match(html);
    if (open.hasMatch()) {
        const QRegularExpressionMatch close = headClose.match(html, open.capturedEnd());
        html = html.left(open.capturedStart()) +
               html.mid(close.hasMatch() ? close.capturedEnd() : open.capturedEnd());
    }

    UnwrapLeading(html, QStringLiteral("html"), false);
    while (html.startsWith(QLatin1String("<!"))) {
        const qsizetype end = html.indexOf(QLatin1Char('>'));
        if (end < 0) break;  // an unfinished declaration: nothing more to strip
        html.remove(0, end + 1);
    }
    UnwrapLeading(html, QStringLiteral("p"), true);
    UnwrapLeading(html, QStringLiteral("div"), true);
}

quint8 Cls数据操作::GnMemberHtml(const QString& filial, const QString& target, const QString& pageText) {
    QString text = pageText;
    if (!text.isEmpty()) DeleteHtmlHead(text);

    dao::Recordset rs =
        App().DataDb.OpenRecordset(QStringLiteral("SELECT * FROM \"本姓成员\" WHERE \"filial\"=?"), {filial});
    if (rs.EOF_()) {
        // Not a member of this book: the page alone.
        WriteHtmlFile(target, text + QStringLiteral("\r\n"));
        return 0;
    }

    const QString headingSize = QStringLiteral("4");
    const QString headingColour = QStringLiteral("#FF0000");
    const QString nameSize = QStringLiteral("5");
    const QString nameColour = QStringLiteral("#0");
    const QString labelSize = QStringLiteral("4");
    const auto label = [](const QString& word) {
        return QStringLiteral("<FONT size=4><font color='#FF0000'>【</font>") + word +
               QStringLiteral("<font color='#FF0000'>】</font>");
    };

    // Field values are text, not markup: a "<" in a name must not open a tag in the e-book page.
    const StyleNames names = ParseStyleNames(rs.Text(QStringLiteral("c_jc_w_z_h")));
    const QString heading =
        HeadingName(names, StripBracketSuffix(rs.Text(QStringLiteral("filial"))), App().SurnameLength)
            .toHtmlEscaped();
    const QString& code = names.code;
    const QString title = names.title.toHtmlEscaped();
    const QString wei = names.wei.toHtmlEscaped();
    const QString zhi = names.zhi.toHtmlEscaped();
    const QString hao = names.hao.toHtmlEscaped();
    const QString shi = names.shi.toHtmlEscaped();

    const qint64 generation = rs.Long(QStringLiteral("generation"));
    QStringList lines;
    lines << QStringLiteral("<P align=center><b><font size=") + headingSize + QStringLiteral(" color='") +
                 headingColour + QStringLiteral("'>") +
                 NumToChineseGen(qint16(std::clamp<qint64>(generation, -32768, 32767))) + title +
                 QStringLiteral("</font></b></P>");
    lines << QStringLiteral("<P align=left><b><font size=") + nameSize + QStringLiteral(" color='") +
                 nameColour + QStringLiteral("'>") + heading + QStringLiteral("</font></b>");
    if (!(wei.isEmpty() && zhi.isEmpty() && hao.isEmpty() && shi.isEmpty())) {
        QString line;
        if (!wei.isEmpty() && code != QLatin1String("4")) line += QStringLiteral("讳 ") + wei;
        if (!zhi.isEmpty()) line += QStringLiteral("，字 ") + zhi;
        if (!hao.isEmpty()) line += QStringLiteral("，号 ") + hao;
        if (!shi.isEmpty())
            line += QStringLiteral("，谥号 <b><font size=") + nameSize + QStringLiteral(" color='#0'>") +
                    shi + QStringLiteral("</font></b>");
        lines << line + QStringLiteral("。");
    }

    const QString father = rs.Text(QStringLiteral("father"));
    if (!father.contains(QStringLiteral("公谱")) && !father.isEmpty() &&
        father != QLatin1String("No_Display")) {
        lines << QStringLiteral("<FONT size=") + labelSize +
                     QStringLiteral("><font color='#ff0000 '>【</font>父<font color='#FF0000'>】</font>");
        lines << StripBracketSuffix(father).toHtmlEscaped();
    }
    const auto sentence = [&](const char* field, const QString& word) {
        const QString value = Trim(rs.Text(QString::fromLatin1(field))).toHtmlEscaped();
        if (value.isEmpty()) return;
        lines << label(word) << value + QStringLiteral("。");
    };
    sentence("mother", QStringLiteral("母"));
    sentence("boy_birthday", QStringLiteral("生于"));
    sentence("boy_death", QStringLiteral("卒于"));

    const bool male = rs.Bool(QStringLiteral("Boy_Sex"));
    const bool active = rs.Bool(QStringLiteral("boy_active"));
    const QString self = rs.Text(QStringLiteral("filial"));
    const QString education = Trim(rs.Text(QStringLiteral("boy_education"))).toHtmlEscaped();
    const QString position = Trim(rs.Text(QStringLiteral("boy_position"))).toHtmlEscaped();
    rs.Close();

    const QStringList spouses = member_rows::Find配偶(filial).split(QStringLiteral("%_"));
    const qsizetype k = spouses.size() - 1;
    for (qsizetype i = 1; i <= k; ++i) {
        if (spouses[i].isEmpty()) continue;
        const bool alive = member_rows::Get配偶生死(spouses[i], self);
        const QString word = !male   ? QStringLiteral("嫁")
                             : alive ? QStringLiteral("室")
                                     : QStringLiteral("妣");
        lines << label(word + (k < 2 ? QString() : QString::number(i)));
        lines << member_rows::Get母亲信息(spouses[i], self).toHtmlEscaped();
    }
    if (!education.isEmpty()) {
        lines << (active ? Trim(self).toHtmlEscaped() : QStringLiteral("世祖")) +
                     label(QStringLiteral("学历"));
        lines << education + QStringLiteral("。");
    }
    if (!position.isEmpty()) lines << label(QStringLiteral("位")) << position + QStringLiteral("。");
    if (!text.isEmpty()) lines << text;

    WriteHtmlFile(target, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    return 0;
}
