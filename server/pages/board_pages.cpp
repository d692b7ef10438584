// Pages of the service-desk message board under "/flsh/": the desk's status, sending, fetching and
// confirming answers, the user's and the desk member's particulars, the display name, the caller's
// address.

#include "pages/board_desk.h"
#include "pages/page_service.h"
#include "pages/pages_catalogue.h"

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"

namespace {

QString Value(const PageRequest& request, const char* key) {
    return request.value(QString::fromLatin1(key)).trimmed();
}

PageReply Status(const PageRequest& request, PgConnection& db) {
    return PageReply::Number(PageQuery(db, QStringLiteral("SELECT page_board_status($1::text, $2::text)"),
                                       {Value(request, "gsno"), Value(request, "bno")})
                                 .rows.value(0)
                                 .value(0)
                                 .toInt());
}

// The message body keeps its blanks: they are part of the scrambled text.
PageReply Send(const PageRequest& request, PgConnection& db) {
    return PageReply::Text(
        PageQuery(db, QStringLiteral("SELECT page_board_send($1::text, $2::text, $3::text, $4::text)"),
                  {Value(request, "gsno"), Value(request, "ano"), Value(request, "bno"),
                   request.value(QStringLiteral("msg"))})
            .rows.value(0)
            .value(0));
}

// "stamp%body@!" per answer; nothing when there is none.
PageReply Fetch(const PageRequest& request, PgConnection& db) {
    const PgResult found = PageQuery(
        db, QStringLiteral("SELECT stamp, body FROM page_board_fetch($1::text, $2::text, $3::text)"),
        {Value(request, "gsno"), Value(request, "ano"), Value(request, "dt")});
    QString text;
    for (const QStringList& row : found.rows)
        text += row.value(0) + u'%' + row.value(1) + QStringLiteral("@!");
    return PageReply::Text(text);
}

PageReply Delivered(const PageRequest& request, PgConnection& db) {
    return PageReply::Number(
        PageQuery(db, QStringLiteral("SELECT page_board_delivered($1::text, $2::text, $3::text)"),
                  {Value(request, "gsno"), Value(request, "ano"), Value(request, "dt")})
            .rows.value(0)
            .value(0)
            .toInt());
}

PageReply Info(const PageRequest& request, PgConnection& db) {
    qint32 ab = 0;
    if (!request.number(QStringLiteral("ab"), &ab)) return PageReply::Bad("");
    return PageReply::Text(
        PageQuery(db, QStringLiteral("SELECT page_board_info($1::text, $2::text, $3::integer)"),
                  {Value(request, "gsno"), Value(request, "abno"), ab})
            .rows.value(0)
            .value(0));
}

PageReply Rename(const PageRequest& request, PgConnection& db) {
    return PageReply::Number(
        PageQuery(db, QStringLiteral("SELECT page_board_rename($1::text, $2::text, $3::text)"),
                  {Value(request, "gsno"), Value(request, "no"), request.value(QStringLiteral("name"))})
            .rows.value(0)
            .value(0)
            .toInt());
}

}  // namespace

void RegisterBoardPages(PageService& service) {
    service.addPage(QStringLiteral("/flsh/getsvrinfo.asp"), Status, "0");
    service.addPage(QStringLiteral("/flsh/addmsg_a.asp"), Send);
    service.addPage(QStringLiteral("/flsh/getmsg_a.asp"), Fetch);
    service.addPage(QStringLiteral("/flsh/delmsg_A.asp"), Delivered, "0");
    service.addPage(QStringLiteral("/flsh/getab_info.asp"), Info);
    service.addPage(QStringLiteral("/flsh/editABname.asp"), Rename, "0");
    service.addPage(QStringLiteral("/flsh/ipseek.asp"), CallerAddress);
}

QString DeskAnswer(PgConnection& db, const QString& deskNo, const QString& userNo, const QString& html,
                   QString* error) {
    const PgResult done = db.exec(QStringLiteral("SELECT desk_answer($1::text, $2::text, $3::text)"),
                                  {deskNo, userNo, EncodeText(html, EmptySeedKey())});
    const QString stamp = done.rows.value(0).value(0);
    if (error)
        *error = !done.ok         ? done.error
                 : stamp.isNull() ? QStringLiteral("no desk member ") + deskNo
                                  : QString();
    return done.ok ? stamp : QString();
}

QList<DeskMessage> DeskWaiting(PgConnection& db, const QString& deskNo, QString* error) {
    const PgResult found = db.exec(
        QStringLiteral("SELECT user_no, shown_name, stamp, body FROM desk_waiting($1::text)"), {deskNo});
    if (error) *error = found.ok ? QString() : found.error;
    QList<DeskMessage> messages;
    for (const QStringList& row : found.rows)
        messages.append({row.value(0), row.value(1), row.value(2), DecodeText(row.value(3), EmptySeedKey())});
    return messages;
}
