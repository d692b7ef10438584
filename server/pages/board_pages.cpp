// Pages of the service-desk message board under "/flsh/": the desk's status, sending, fetching and
// confirming answers, the user's and the desk member's particulars, the display name, the caller's
// address, and an installation's claim of its numbers.

#include "pages/board_desk.h"
#include "pages/page_service.h"
#include "pages/pages_catalogue.h"
#include "pages/printable_text.h"

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"

namespace {

QString Value(const PageRequest& request, const char* key) {
    return request.value(QString::fromLatin1(key)).trimmed();
}

// Whether the request proves the user's board number with its installation's secret, for the pages that
// read: "proven", "free" (nobody has written under it yet, so there is nothing to read) or "refused".
QString Proof(const PageRequest& request, PgConnection& db, const QString& number) {
    return PageQuery(db, QStringLiteral("SELECT page_installation_proof('board', $1::text, $2::text)"),
                     {number, request.installationSecret})
        .rows.value(0)
        .value(0);
}

// A write the server turned down, by why: another installation's number 403, an address over its limit
// 429, anything else 400; each with the page's "not done" body.
PageReply Refusal(const QString& why, const QByteArray& notDone) {
    if (why == QLatin1String("unproven")) return PageReply::Refused(notDone);
    if (why == QLatin1String("too_many")) return {429, notDone};
    return PageReply::Bad(notDone);
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
    const QStringList sent =
        PageQuery(db,
                  QStringLiteral("SELECT desk, refusal FROM page_board_send($1::text, $2::text, $3::text, "
                                 "$4::text, $5::text, $6::text)"),
                  {Value(request, "gsno"), Value(request, "ano"), Value(request, "bno"),
                   request.value(QStringLiteral("msg")), request.installationSecret, request.remoteAddress})
            .rows.value(0);
    if (!sent.value(1).isEmpty()) return Refusal(sent.value(1), "");
    return PageReply::Text(sent.value(0));
}

// "stamp%body@!" per answer; nothing when there is none.
PageReply Fetch(const PageRequest& request, PgConnection& db) {
    const QString proof = Proof(request, db, Value(request, "ano"));
    if (proof == QLatin1String("refused")) return PageReply::Refused("");
    if (proof != QLatin1String("proven")) return PageReply::Text(QString());
    const PgResult found = PageQuery(
        db, QStringLiteral("SELECT stamp, body FROM page_board_fetch($1::text, $2::text, $3::text)"),
        {Value(request, "gsno"), Value(request, "ano"), Value(request, "dt")});
    QString text;
    for (const QStringList& row : found.rows)
        text += row.value(0) + u'%' + row.value(1) + QStringLiteral("@!");
    return PageReply::Text(text);
}

PageReply Delivered(const PageRequest& request, PgConnection& db) {
    const QString proof = Proof(request, db, Value(request, "ano"));
    if (proof == QLatin1String("refused")) return PageReply::Refused("0");
    if (proof != QLatin1String("proven")) return PageReply::Number(0);
    return PageReply::Number(
        PageQuery(db, QStringLiteral("SELECT page_board_delivered($1::text, $2::text, $3::text)"),
                  {Value(request, "gsno"), Value(request, "ano"), Value(request, "dt")})
            .rows.value(0)
            .value(0)
            .toInt());
}

// The user's own record (ab 1) is the user's alone; a desk member's (ab 2) is anybody's to read.
PageReply Info(const PageRequest& request, PgConnection& db) {
    qint32 ab = 0;
    if (!request.number(QStringLiteral("ab"), &ab)) return PageReply::Bad("");
    if (ab == 1) {
        const QString proof = Proof(request, db, Value(request, "abno"));
        if (proof == QLatin1String("refused")) return PageReply::Refused("");
        if (proof != QLatin1String("proven")) return PageReply::Text(QString());
    }
    return PageReply::Text(
        PageQuery(db, QStringLiteral("SELECT page_board_info($1::text, $2::text, $3::integer)"),
                  {Value(request, "gsno"), Value(request, "abno"), ab})
            .rows.value(0)
            .value(0));
}

PageReply Rename(const PageRequest& request, PgConnection& db) {
    const QString done =
        PageQuery(
            db, QStringLiteral("SELECT page_board_rename($1::text, $2::text, $3::text, $4::text, $5::text)"),
            {Value(request, "gsno"), Value(request, "no"), request.value(QStringLiteral("name")),
             request.installationSecret, request.remoteAddress})
            .rows.value(0)
            .value(0);
    if (done == QLatin1String("stored")) return PageReply::Number(1);
    if (done == QLatin1String("empty")) return PageReply::Number(0);
    return Refusal(done, "0");
}

// An installation claims its board number (ano) and its installation number (soft_no, as publishing
// sends it) with its secret: "1" when both are its own now, 403 "0" when one is another installation's,
// 429 "0" when the address claimed its fill today, 400 "0" for a request that names no number or carries
// no secret.
PageReply Claim(const PageRequest& request, PgConnection& db) {
    const QString claimed =
        PageQuery(db,
                  QStringLiteral("SELECT page_installation_claim($1::text, $2::text, $3::text, $4::text)"),
                  {Value(request, "ano"), Value(request, "soft_no"), request.installationSecret,
                   request.remoteAddress})
            .rows.value(0)
            .value(0);
    if (claimed == QLatin1String("claimed")) return PageReply::Number(1);
    if (claimed == QLatin1String("taken")) return PageReply::Refused("0");
    if (claimed == QLatin1String("too_many")) return {429, "0"};
    return PageReply::Bad("0");
}

}  // namespace

void RegisterBoardPages(PageService& service) {
    service.addPage(QStringLiteral("/flsh/claim.asp"), Claim, "0");
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

int DeskRelease(PgConnection& db, const QString& boardNo, QString* error) {
    const PgResult done =
        db.exec(QStringLiteral("SELECT desk_release_installation($1::text, $2::text)"),
                {boardNo, boardNo.isEmpty() ? QString() : EncodeText(boardNo, SettingsKey())});
    if (error) *error = done.ok ? QString() : done.error;
    return done.ok ? done.rows.value(0).value(0).toInt() : 0;
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

QString DeskListing(const QList<DeskMessage>& messages) {
    if (messages.isEmpty()) return QStringLiteral("Nothing new.\n");
    QString listing;
    for (const DeskMessage& m : messages)
        listing += PrintableText(m.stamp) + QStringLiteral("  ") + PrintableText(m.userNo) +
                   QStringLiteral(" (") + PrintableText(m.shownName) + QStringLiteral("): ") +
                   PrintableText(m.html) + u'\n';
    return listing;
}
