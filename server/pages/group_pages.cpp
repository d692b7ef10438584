// Pages of the clan-association windows: asking to join, founding, an association's details, and the
// officers' and members' commands. Each answers a single number, except founding ("id@~founder") and the
// details ("@~"-separated fields).

#include "pages/page_service.h"
#include "pages/pages_catalogue.h"

namespace {

// The command pages are done on 0, so a query they cannot use must not answer 0.
const QByteArray kNotDone = "-1";

// A page whose answer is the number one statement gives for whole-number query values, bound in the
// order of the keys.
PageHandler NumberPage(const QString& sql, const QStringList& keys, const QByteArray& bad = kNotDone) {
    return [sql, keys, bad](const PageRequest& request, PgConnection& db) {
        QList<QVariant> params;
        for (const QString& key : keys) {
            qint32 value = 0;
            if (!request.number(key, &value)) return PageReply::Bad(bad);
            params << value;
        }
        return PageReply::Number(PageQuery(db, sql, params).rows.value(0).value(0).toInt());
    };
}

PageReply Found(const PageRequest& request, PgConnection& db) {
    qint32 accid = 0, positions = 0;
    if (!request.number(QStringLiteral("accid"), &accid) ||
        !request.number(QStringLiteral("pid"), &positions))
        return PageReply::Bad("0@~");
    const PgResult founded =
        PageQuery(db, QStringLiteral("SELECT page_group_found($1::text, $2::integer, $3::integer)"),
                  {request.value(QStringLiteral("gn")), accid, positions});
    return PageReply::Text(founded.rows.value(0).value(0));
}

PageReply Detail(const PageRequest& request, PgConnection& db) {
    qint32 gid = 0;
    if (!request.number(QStringLiteral("gid"), &gid)) return PageReply::Bad("");
    const PgResult detail = PageQuery(db, QStringLiteral("SELECT page_group_detail($1::integer)"), {gid});
    return PageReply::Text(detail.rows.value(0).value(0));
}

}  // namespace

void RegisterGroupPages(PageService& service) {
    const QString accid = QStringLiteral("accid"), gid = QStringLiteral("gid"),
                  officer = QStringLiteral("myaccid");
    service.addPage(
        QStringLiteral("/flsh2/requestintogroup.asp"),
        NumberPage(QStringLiteral("SELECT page_group_request($1::integer, $2::integer)"), {accid, gid}));
    service.addPage(QStringLiteral("/flsh2/creategroup.asp"), Found);
    service.addPage(QStringLiteral("/flsh2/getgroupdetail.asp"), Detail);
    service.addPage(
        QStringLiteral("/flsh2/approveintogroup.asp"),
        NumberPage(QStringLiteral("SELECT page_group_approve($1::integer, $2::integer)"), {officer, accid}));
    service.addPage(
        QStringLiteral("/flsh2/ejectintogroup.asp"),
        NumberPage(QStringLiteral("SELECT page_group_refuse($1::integer, $2::integer)"), {officer, accid}));
    service.addPage(
        QStringLiteral("/flsh2/memberupgrade.asp"),
        NumberPage(QStringLiteral("SELECT page_group_raise($1::integer, $2::integer, $3::integer)"),
                   {officer, accid, QStringLiteral("pid")}));
    // Expelling answers the account that keeps the expelled account's members, so refusing is 0.
    service.addPage(
        QStringLiteral("/flsh2/TiOutgroup.asp"),
        NumberPage(QStringLiteral("SELECT page_group_expel($1::integer, $2::integer, $3::integer)"),
                   {officer, accid, gid}, "0"));
    service.addPage(
        QStringLiteral("/flsh2/exitgroup2.asp"),
        NumberPage(QStringLiteral("SELECT page_group_leave($1::integer, $2::integer)"), {accid, gid}));
}
