#include "pages/page_request.h"

#include <QRegularExpression>

#include "db/pg_error.h"

QString PageRequest::value(const QString& key) const {
    for (const auto& [k, v] : query)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return v;
    return {};
}

bool PageRequest::number(const QString& key, qint32* out) const {
    static const QRegularExpression whole(QStringLiteral("^\\s*([+-]?[0-9]{1,10})\\s*$"));
    const QRegularExpressionMatch match = whole.match(value(key));
    if (!match.hasMatch()) return false;
    bool ok = false;
    const qint32 parsed = match.captured(1).toInt(&ok);
    if (ok && out) *out = parsed;
    return ok;
}

std::optional<qint32> PageRequest::actingAccount(const QString& key) const {
    if (provenAccount <= 0) return std::nullopt;
    if (value(key).trimmed().isEmpty()) return provenAccount;
    qint32 named = 0;
    if (!number(key, &named) || named != provenAccount) return std::nullopt;
    return provenAccount;
}

QString RecordsReply(const QList<QStringList>& records) {
    QString reply;
    for (const QStringList& fields : records)
        reply += fields.join(QStringLiteral("%!")) + QStringLiteral("@~");
    return reply;
}

bool LostConnection(const QString& sqlState, const PgConnection& db) {
    return !db.isOpen() || sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01") ||
           sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03");
}

PgResult PageQuery(PgConnection& db, const QString& sql, const QList<QVariant>& params) {
    PgResult result = db.exec(sql, params);
    if (!result.ok) throw PgError(result.error, result.sqlState);
    return result;
}

PageReply CallerAddress(const PageRequest& request, PgConnection&) {
    return PageReply::Text(request.remoteAddress);
}
