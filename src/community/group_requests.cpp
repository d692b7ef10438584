#include "community/group_requests.h"

#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <limits>

#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "platform/http/http_client.h"

namespace group_requests {

namespace {

using Query = QList<QPair<QString, QString>>;

const QString kSeparator = QStringLiteral("@~");

QString Get(const QString& page, const Query& query) {
    ProgressScope progress;
    return HttpGetTextAsUser(BuildUrl(GetSiteUrl().toString(), QStringLiteral("/flsh2/") + page, query)
                                 .toString(QUrl::FullyEncoded));
}

QString Text(qint64 number) {
    return QString::number(number);
}

std::optional<qint32> Id(const QString& text) {
    const std::optional<qint64> number = WholeNumber(text);
    if (!number || *number < 1 || *number > std::numeric_limits<qint32>::max()) return std::nullopt;
    return qint32(*number);
}

}  // namespace

std::optional<qint64> WholeNumber(const QString& reply) {
    static const QRegularExpression whole(QStringLiteral("^\\s*([+-]?[0-9]{1,18})\\s*$"));
    const QRegularExpressionMatch match = whole.match(reply);
    if (!match.hasMatch()) return std::nullopt;
    return match.captured(1).toLongLong();
}

bool Done(const QString& reply) {
    return WholeNumber(reply) == 0;
}

bool RequestToJoin(qint32 account, qint32 group) {
    return Done(Get(QStringLiteral("requestintogroup.asp"),
                    {{QStringLiteral("accid"), Text(account)}, {QStringLiteral("gid"), Text(group)}}));
}

std::optional<Founded> ParseFounding(const QString& reply) {
    const qsizetype at = reply.indexOf(kSeparator);
    if (at < 0) return std::nullopt;
    const std::optional<qint32> group = Id(reply.left(at));
    if (!group) return std::nullopt;
    return Founded{*group, reply.mid(at + kSeparator.size())};
}

std::optional<Founded> Found(const QString& name, qint32 account, quint8 positions) {
    return ParseFounding(Get(QStringLiteral("creategroup.asp"), {{QStringLiteral("gn"), name},
                                                                 {QStringLiteral("accid"), Text(account)},
                                                                 {QStringLiteral("pid"), Text(positions)}}));
}

Detail ParseDetail(const QString& reply) {
    const QStringList fields = (reply + kSeparator + kSeparator + kSeparator).split(kSeparator);
    const auto number = [](const QString& text) {
        const std::optional<qint64> n = WholeNumber(text);
        return n && *n > 0 && *n <= std::numeric_limits<qint32>::max() ? qint32(*n) : 0;
    };
    return {fields.at(0), fields.at(1), number(fields.at(2)), number(fields.at(3))};
}

Detail GroupDetail(qint32 group) {
    return ParseDetail(Get(QStringLiteral("getgroupdetail.asp"), {{QStringLiteral("gid"), Text(group)}}));
}

bool Approve(qint32 officer, qint32 member) {
    return Done(Get(QStringLiteral("approveintogroup.asp"),
                    {{QStringLiteral("accid"), Text(member)}, {QStringLiteral("myaccid"), Text(officer)}}));
}

bool Refuse(qint32 officer, qint32 member) {
    return Done(Get(QStringLiteral("ejectintogroup.asp"),
                    {{QStringLiteral("accid"), Text(member)}, {QStringLiteral("myaccid"), Text(officer)}}));
}

bool Raise(qint32 officer, qint32 member, quint8 top) {
    return Done(Get(QStringLiteral("memberupgrade.asp"), {{QStringLiteral("accid"), Text(member)},
                                                          {QStringLiteral("pid"), Text(top)},
                                                          {QStringLiteral("myaccid"), Text(officer)}}));
}

bool Leave(qint32 account, qint32 group) {
    return Done(Get(QStringLiteral("exitgroup2.asp"),
                    {{QStringLiteral("accid"), Text(account)}, {QStringLiteral("gid"), Text(group)}}));
}

std::optional<qint32> Expel(qint32 officer, qint32 member, qint32 group) {
    return Id(Get(QStringLiteral("TiOutgroup.asp"), {{QStringLiteral("accid"), Text(member)},
                                                     {QStringLiteral("gid"), Text(group)},
                                                     {QStringLiteral("myaccid"), Text(officer)}}));
}

}  // namespace group_requests
