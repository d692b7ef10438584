// Pages of the clan-association windows: asking to join, founding, an association's details, and the
// officers' and members' commands. Each answers a single number, except founding ("id@~founder") and the
// details ("@~"-separated fields).

#include "pages/page_service.h"
#include "pages/pages_catalogue.h"

namespace {

// The command pages are done on 0, so a query they cannot use must not answer 0.
const QByteArray kNotDone = "-1";

// A value a command page binds: the query's whole number under `key`, or, for the account the page acts
// for, the proven account (the key may name it, nothing else).
struct Bound {
    QString key;
    bool acting = false;
};

// A page whose answer is the number one statement gives for the values, bound in their order.
PageHandler NumberPage(const QString& sql, const QList<Bound>& values, const QByteArray& bad) {
    return [sql, values, bad](const PageRequest& request, PgConnection& db) {
        QList<QVariant> params;
        for (const Bound& bound : values) {
            qint32 value = 0;
            if (bound.acting) {
                const std::optional<qint32> account = request.actingAccount(bound.key);
                if (!account) return PageReply::Refused(bad);
                value = *account;
            } else if (!request.number(bound.key, &value)) {
                return PageReply::Bad(bad);
            }
            params << value;
        }
        return PageReply::Number(PageQuery(db, sql, params).rows.value(0).value(0).toInt());
    };
}

PageReply Found(const PageRequest& request, PgConnection& db) {
    qint32 positions = 0;
    if (!request.number(QStringLiteral("pid"), &positions)) return PageReply::Bad("0@~");
    const std::optional<qint32> founder = request.actingAccount(QStringLiteral("accid"));
    if (!founder) return PageReply::Refused("0@~");
    const PgResult founded =
        PageQuery(db, QStringLiteral("SELECT page_group_found($1::text, $2::integer, $3::integer)"),
                  {request.value(QStringLiteral("gn")), *founder, positions});
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
    // The account a command acts for is the proven one: the joining or leaving member as "accid", the
    // acting officer as "myaccid".
    const Bound self{QStringLiteral("accid"), true}, officer{QStringLiteral("myaccid"), true},
        member{QStringLiteral("accid")}, gid{QStringLiteral("gid")};
    const auto command = [&service](const char* path, const char* sql, const QList<Bound>& values,
                                    const QByteArray& notDone = kNotDone) {
        service.addPage(QString::fromLatin1(path), NumberPage(QString::fromLatin1(sql), values, notDone),
                        notDone);
    };
    command("/flsh2/requestintogroup.asp", "SELECT page_group_request($1::integer, $2::integer)",
            {self, gid});
    service.addPage(QStringLiteral("/flsh2/creategroup.asp"), Found, "0@~");
    service.addPage(QStringLiteral("/flsh2/getgroupdetail.asp"), Detail);
    command("/flsh2/approveintogroup.asp", "SELECT page_group_approve($1::integer, $2::integer)",
            {officer, member});
    command("/flsh2/ejectintogroup.asp", "SELECT page_group_refuse($1::integer, $2::integer)",
            {officer, member});
    command("/flsh2/memberupgrade.asp", "SELECT page_group_raise($1::integer, $2::integer, $3::integer)",
            {officer, member, {QStringLiteral("pid")}});
    // Expelling answers the account that keeps the expelled account's members, so refusing is 0.
    command("/flsh2/TiOutgroup.asp", "SELECT page_group_expel($1::integer, $2::integer, $3::integer)",
            {officer, member, gid}, "0");
    command("/flsh2/exitgroup2.asp", "SELECT page_group_leave($1::integer, $2::integer)", {self, gid});
}
