// Pages of the log-on form, the user record, node rights and the association exit: each answers a
// single number or "%!"/"@~" records, as the program reads them.

#include "db/pg_error.h"
#include "pages/page_service.h"
#include "pages/pages_catalogue.h"

namespace {

// "1" when the proven account's data-openness level (0-2) was changed, else "0".
PageReply ChangeProtected(const PageRequest& request, PgConnection& db) {
    qint32 accid = 0, right = 0;
    if (!request.number(QStringLiteral("accid"), &accid) || !request.number(QStringLiteral("right"), &right))
        return PageReply::Bad("0");
    const std::optional<qint32> account = request.actingAccount(QStringLiteral("accid"));
    if (!account) return PageReply::Refused("0");
    const PgResult changed = PageQuery(
        db, QStringLiteral("SELECT page_change_protected($1::integer, $2::integer)"), {*account, right});
    return PageReply::Number(changed.rows.value(0).value(0).toInt());
}

// The book roots the proven account may download: "name%!id@~" per root, nothing when there are none.
// Without a credential, accid 0 asks for the trees open to the world.
PageReply BookRoots(const PageRequest& request, PgConnection& db) {
    qint32 accid = 0;
    if (!request.number(QStringLiteral("accid"), &accid)) return PageReply::Bad("");
    const std::optional<qint32> viewer =
        accid == 0 ? std::optional<qint32>(0) : request.actingAccount(QStringLiteral("accid"));
    if (!viewer) return PageReply::Refused("");
    const PgResult roots =
        PageQuery(db, QStringLiteral("SELECT shown, root_id FROM page_book_roots($1::integer)"), {*viewer});
    return PageReply::Text(RecordsReply(roots.rows));
}

// A log-on (R=1: a registration) as the log-on form makes it, over HTTP: one record
// "state%!acc_id%!nickname%!group_id%!level%!credential@~", the state as sp_trylogon answers it and the
// credential the pages and the program's connections take for this account ("" when it failed). An
// account waiting out its wrong passwords, or an address past its registrations, answers 429 with "";
// a registration with a number or nickname longer than the server keeps 400 with "".
PageReply TryLogon(const PageRequest& request, PgConnection& db) {
    qint32 reg = 0;
    if (request.value(QStringLiteral("u_no")).isEmpty() || !request.number(QStringLiteral("R"), &reg))
        return PageReply::Bad("");
    PageQuery(db, QStringLiteral("SELECT set_config('qentara.address', $1, true)"), {request.remoteAddress});
    const PgResult answer =
        db.exec(QStringLiteral("SELECT state, acc_id, nickname, group_id, open_level, credential "
                               "FROM page_try_logon($1, $2, $3, $4, $5::integer)"),
                {request.value(QStringLiteral("u_no")), request.value(QStringLiteral("pswd")),
                 request.value(QStringLiteral("pswd2")), request.value(QStringLiteral("Nick")), reg});
    if (!answer.ok &&
        (answer.sqlState == QLatin1String("QN429") || answer.sqlState == QLatin1String("QN430")))
        return {429, ""};
    // A number or nickname longer than the server keeps registers nothing.
    if (!answer.ok && answer.sqlState == QLatin1String("54000")) return PageReply::Bad("");
    if (!answer.ok) throw PgError(answer.error, answer.sqlState);
    return PageReply::Text(RecordsReply(answer.rows));
}

// A single number that a statement gives for one account id as the proven account may know it; "0" for
// a request without an id, or without a credential.
PageHandler AccountNumber(const QString& sql) {
    return [sql](const PageRequest& request, PgConnection& db) {
        qint32 accid = 0;
        if (!request.number(QStringLiteral("accid"), &accid)) return PageReply::Bad("0");
        if (request.provenAccount <= 0) return PageReply::Refused("0");
        return PageReply::Number(
            PageQuery(db, sql, {accid, request.provenAccount}).rows.value(0).value(0).toInt());
    };
}

}  // namespace

void RegisterAccountPages(PageService& service) {
    service.addPage(QStringLiteral("/flsh2/ChangeProtected.asp"), ChangeProtected, "0");
    service.addPage(QStringLiteral("/flsh2/get_zproot3.asp"), BookRoots);
    service.addPage(QStringLiteral("/flsh2/tryLogon3.asp"), TryLogon, QByteArray(), true);
    service.addPage(QStringLiteral("/flsh2/getright.asp"),
                    AccountNumber(QStringLiteral("SELECT page_account_level($1::integer, $2::integer)")),
                    "0");
    service.addPage(QStringLiteral("/flsh2/getgroupid.asp"),
                    AccountNumber(QStringLiteral("SELECT page_account_group($1::integer, $2::integer)")),
                    "0");
}
