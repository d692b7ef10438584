// The one page of the server open to the world: "/logonx.aspx?id=N", the address the program names after
// an upload. It shows the members of account N as a table (generation, name, father) in the order of the
// account's tree when the account opens its data to the world, and otherwise only says that it shows
// nothing; an unknown account reads the same. Every stored text is escaped, and the page runs no script.

#include "pages/page_service.h"
#include "pages/pages_catalogue.h"

namespace {

// More rows than this make a page too long to read, and too costly for a page anybody may ask for.
constexpr int kMostRows = 2000;

const QString kHead = QStringLiteral(
    "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
    "'unsafe-inline'\">\n"
    "<meta name=\"robots\" content=\"noindex\">\n<title>%1</title>\n"
    "<style>body{font-family:serif;margin:2em}table{border-collapse:collapse}"
    "th,td{border:1px solid #999;padding:2px 8px;text-align:left}td.g{text-align:right}</style>\n"
    "</head>\n<body>\n<h1>%1</h1>\n");
const QString kTail = QStringLiteral("</body>\n</html>\n");

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

PageReply HtmlPage(int status, const QString& title, const QString& body) {
    return {status, (kHead.arg(Escaped(title)) + body + kTail).toUtf8(), "text/html; charset=utf-8"};
}

PageReply NothingShown(int status) {
    return HtmlPage(status, QStringLiteral("族谱"),
                    QStringLiteral("<p>此帐号没有对外公开的族谱成员。</p>\n"));
}

PageReply PublicMembers(const PageRequest& request, PgConnection& db) {
    qint32 account = 0;
    if (!request.number(QStringLiteral("id"), &account)) return NothingShown(400);
    const PgResult owner = PageQuery(
        db, QStringLiteral("SELECT nickname, members FROM page_public_account($1::integer)"), {account});
    if (owner.rows.isEmpty()) return NothingShown(200);
    const PgResult members =
        PageQuery(db,
                  QStringLiteral(
                      "SELECT generation, filial, father FROM page_public_members($1::integer, $2::integer)"),
                  {account, kMostRows});
    if (members.rows.isEmpty()) return NothingShown(200);

    const QString nickname = owner.rows.first().value(0);
    const qint64 total = owner.rows.first().value(1).toLongLong();
    const QString title =
        nickname.isEmpty() ? QStringLiteral("族谱成员") : nickname + QStringLiteral(" 的族谱成员");
    QString body = QStringLiteral("<p>共 %1 名成员").arg(total);
    if (total > members.rows.size()) body += QStringLiteral("，此处列出前 %1 名").arg(members.rows.size());
    body += QStringLiteral("。</p>\n<table>\n<tr><th>世代</th><th>姓名</th><th>父亲</th></tr>\n");
    for (const QStringList& row : members.rows)
        body += QStringLiteral("<tr><td class=\"g\">%1</td><td>%2</td><td>%3</td></tr>\n")
                    .arg(Escaped(row.value(0)), Escaped(row.value(1)), Escaped(row.value(2)));
    body += QStringLiteral("</table>\n");
    return HtmlPage(200, title, body);
}

}  // namespace

void RegisterPublicPages(PageService& service) {
    // Exactly as the program spells it after an upload.
    service.addPage(QStringLiteral("/logonx.aspx"), PublicMembers);
}
