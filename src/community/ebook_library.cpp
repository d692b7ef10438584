#include "community/ebook_library.h"

#include <QLocale>
#include <cmath>

#include "community/ebook_tables.h"
#include "community/translated.h"
#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "platform/http/http_client.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/strong_password.h"

namespace ebook_library {

namespace {

QString ColumnText(const QString& column, qint64 rowNumber, const dao::Recordset& rs) {
    if (column == QStringLiteral("序号")) return QString::number(rowNumber);
    if (column == QStringLiteral("电子档名称")) return rs.Text(QStringLiteral("ebook_name"));
    if (column == QStringLiteral("大小(M)"))
        return QString::number(rs.value(QStringLiteral("itsize")).toDouble(), 'f', 2);
    if (column == QStringLiteral("已下载"))
        return QString::number(std::llround(rs.value(QStringLiteral("down_num")).toDouble()));
    if (column == QStringLiteral("原作者")) return rs.Text(QStringLiteral("author_org"));
    if (column == QStringLiteral("辑录者")) return rs.Text(QStringLiteral("author_e"));
    if (column == QStringLiteral("备注")) return rs.Text(QStringLiteral("script_key"));
    return QString();
}

}  // namespace

QList<Row> Rows(const QList<ListColumn>& columns) {
    EnsureEbookTables();
    QList<Row> rows;
    qint64 number = 0;
    for (dao::Recordset rs =
             App().DataDb.OpenRecordset(QStringLiteral("SELECT * FROM \"newdown_eb\" ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext()) {
        ++number;
        Row row;
        for (const ListColumn& column : columns) row.texts << ColumnText(column.caption, number, rs);
        row.key =
            ItemKey(rs.Text(QStringLiteral("ebook_id")), ListMark(rs.Text(QStringLiteral("eb_innerno"))));
        rows << row;
    }
    return rows;
}

QString ListMark(const QString& innerno) {
    return (EncodeText(innerno, EbookListKey()) + QStringLiteral("%%1%%%")).split(u'%').value(1);
}

QString ItemKey(const QString& id, const QString& mark) {
    return Trim(id) + QStringLiteral("%1%") + mark;
}

qint32 ItemId(const QString& key) {
    const double id = LeadingNumber(key.section(u'%', 0, 0));
    return std::fabs(id) < 2147483647.0 ? qint32(id) : 0;
}

Book BookOf(qint32 id) {
    Book book;
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"ebook_name\", \"save_path\", \"StrgPswd\" FROM \"newdown_eb\" WHERE "
                       "\"ebook_id\" = ? ORDER BY rowid LIMIT 1"),
        {id});
    if (!rs.hasRow()) return book;
    book.found = true;
    book.id = id;
    book.name = rs.Text(QStringLiteral("ebook_name"));
    book.url = EncodeText(rs.Text(QStringLiteral("save_path")), EbookListKey());
    book.digest = strong_password::RevealDigest(rs.Text(QStringLiteral("StrgPswd")));
    return book;
}

QString ConnectingText() {
    return Translated(QStringLiteral("正在连接到服务器..."));
}

QString StartText(const QString& name, qint64 contentLength) {
    return Translated(QStringLiteral("正在下载...")) + name + QLatin1Char('(') +
           QString::number(contentLength / 1024) + QStringLiteral("K)");
}

QString ProgressText(const QString& name, qint64 bytes, qint64 contentLength) {
    return Translated(QStringLiteral("正在下载...")) + name + QStringLiteral(" ( ") +
           QString::number(bytes / 1024) + QLatin1Char('/') + QString::number(contentLength / 1024) +
           QStringLiteral("K )");
}

QString BatchOutcome::Text() const {
    QString text = Translated(stopped ? QStringLiteral("下载已停止！") : QStringLiteral("下载完毕！")) +
                   Translated(QStringLiteral("已导入 %1 个电子文档")).arg(imported);
    if (missing > 0) text += Translated(QStringLiteral("，服务器上没有 %1 个")).arg(missing);
    if (failed > 0) text += Translated(QStringLiteral("，%1 个未能下载或导入")).arg(failed);
    return text + QStringLiteral("。");
}

int BatchOutcome::Style() const {
    return stopped || missing > 0 || failed > 0 ? vb::Exclamation : vb::Information;
}

qint32 ImportDownloaded(const Book& book, const QString& key, QString* error) {
    App().RootAncestorName.clear();
    QString text;
    const qint32 result = Cls数据操作().ReLoad(EbookStagingPath(), QString::fromLatin1(kEbookDbPassword),
                                               QString(), book.digest, &text);
    if (error) *error = text;
    if (result != 0) return result;
    RecordDownload(book.id, key);
    AddDownCount(book.id);
    return 0;
}

void RecordDownload(qint32 id, const QString& key, const QDateTime& when) {
    EnsureEbookTables();
    const QLocale locale = QLocale::system();
    const QString stamp = locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
                          locale.toString(when.time(), QLocale::LongFormat);
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("UPDATE \"newdown_eb\" SET \"down_num\" = ifnull(\"down_num\", 0) + 1 WHERE "
                              "\"ebook_id\" = ?"),
               {id});
    const QVariant row = db.Scalar(
        QStringLiteral("SELECT rowid FROM \"olddown_eb\" WHERE \"ebook_id\" = ? ORDER BY rowid LIMIT 1"),
        {id});
    if (row.isNull())
        db.Execute(QStringLiteral("INSERT INTO \"olddown_eb\" (\"ebook_id\", \"lastdowndt\", \"ebook_name\") "
                                  "VALUES (?, ?, ?)"),
                   {id, stamp, key});
    else
        db.Execute(QStringLiteral("UPDATE \"olddown_eb\" SET \"ebook_id\" = ?, \"lastdowndt\" = ?, "
                                  "\"ebook_name\" = ? WHERE rowid = ?"),
                   {id, stamp, key, row});
    tx.Commit();
}

void AddDownCount(qint32 id) {
    HttpGetText(BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh2/down_account3.asp"),
                         {{QStringLiteral("bk_id"), QString::number(id)}})
                    .toString(QUrl::FullyEncoded));
}

void PrepareTreeAfterImport() {
    AppState& app = App();
    app.RepaginateNeeded = true;
    Cls数据操作().Find世祖(0, QString());
    app.CurrentPage = 1;
    app.SelectedNodeIndex = 0;
}

}  // namespace ebook_library
