#include "community/ebook_search.h"

#include <QLocale>
#include <cmath>

#include "community/ebook_tables.h"
#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "frame/text_scramble.h"
#include "platform/http/http_client.h"
#include "platform/vbcompat.h"

namespace ebook_search {

namespace {

const QString kDateSetting = QStringLiteral("ebooktype");
constexpr int kCategoryFlag = 4;

// A date as the setting keeps it; older values may be in the system's short format.
QDate ParseDate(const QString& text) {
    const QString trimmed = text.trimmed();
    QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (!date.isValid()) date = QLocale::system().toDate(trimmed, QLocale::ShortFormat);
    return date;
}

// Whole numbers as text; fractions keep their decimals.
QString NumberText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

}  // namespace

bool CategoriesDue(const QString& savedDate, const QDate& today) {
    const QDate saved = ParseDate(savedDate);
    return !saved.isValid() || std::abs(saved.daysTo(today)) > 1;
}

QString DateText(const QDate& date) {
    return date.toString(Qt::ISODate);
}

bool RefreshCategories(const QDate& today) {
    ProgressScope progress;  // a server that does not answer holds this up to the request time-out
    bool ok = false;
    const QString reply = DecodeReplyText(HttpGetBlocking(
        BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh2/getbookodklj.asp"), {}), HttpTimeoutMs(), &ok));
    QStringList names;
    for (const QString& piece : reply.split(u'%'))
        if (!piece.trimmed().isEmpty()) names << piece.trimmed();
    // A failed or empty reply must not wipe the list the user already has.
    if (!ok || names.isEmpty()) return false;

    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"tempinfo\" WHERE \"pageflag\" = ?"), {kCategoryFlag});
    for (const QString& name : names)
        db.Execute(QStringLiteral("INSERT INTO \"tempinfo\" (\"msgName\", \"pageflag\") VALUES (?, ?)"),
                   {name, kCategoryFlag});
    tx.Commit();
    SaveAppSetting(kDateSetting, DateText(today));
    return true;
}

void RefreshCategoriesIfDue(const QDate& today) {
    // The date is the user's, the list the book's: a book without a list fetches one whatever the date.
    const bool empty =
        App()
            .DataDb
            .Scalar(QStringLiteral("SELECT 1 FROM \"tempinfo\" WHERE \"pageflag\" = ? LIMIT 1"),
                    {kCategoryFlag})
            .isNull();
    if (empty || CategoriesDue(GetAppSetting(kDateSetting), today)) RefreshCategories(today);
}

QList<QPair<QString, QString>> Query(const Criteria& c) {
    const double downNum = LeadingNumber(c.downNum);
    return {{QStringLiteral("bk_name"), Trim(c.name)},
            {QStringLiteral("bk_org"), Trim(c.author)},
            {QStringLiteral("bk_e"), Trim(c.compiler)},
            {QStringLiteral("bk_key"), Trim(c.keyword)},
            {QStringLiteral("bk_odklj"), Trim(c.category)},
            {QStringLiteral("down_num"),
             QString::number(downNum > 0 && downNum < 2147483647.0 ? qint64(downNum) : 0)}};
}

QUrl SearchUrl(const Criteria& criteria) {
    return BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh2/getbooklist3.asp"), Query(criteria));
}

QList<QStringList> ParseReply(const QString& reply) {
    QList<QStringList> records;
    for (const QString& record : reply.split(QStringLiteral("@~"))) {
        if (record.isEmpty()) break;
        QStringList fields = record.split(QStringLiteral("%!"));
        while (fields.size() < kFields) fields << QString();
        records << fields;
    }
    return records;
}

void StoreHits(const QList<QStringList>& records) {
    EnsureEbookTables();
    const QString key = EbookListKey();
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"newdown_eb\""));
    for (const QStringList& f : records) {
        const QString inner = f[2] + u'%' + f[0] + u'%' + f[6];
        db.Execute(QStringLiteral("INSERT INTO \"newdown_eb\" (\"ebook_id\", \"ebook_name\", \"author_org\", "
                                  "\"author_e\", \"down_num\", \"itsize\", \"StrgPswd\", \"save_path\", "
                                  "\"eb_innerno\", \"script_key\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {LeadingWhole(f[1]), f[2], f[3], f[4], LeadingWhole(f[6]),
                    LeadingNumber(f[5]), f[7], DecodeText(f[8], key), DecodeText(inner, key), f[9]});
    }
    tx.Commit();
}

int GradeStep(int grade, bool up) {
    if (up) return grade < 100 ? grade + 5 : grade;
    return grade != 0 ? grade - 5 : grade;
}

QString DownNumStep(const QString& text, bool up) {
    if (text.isEmpty()) return QStringLiteral("0");
    const double value = LeadingNumber(text);
    if (up) return NumberText(value + std::pow(10.0, double(text.size() - 1)));
    if (value <= 0) return text;
    const double step = std::pow(10.0, double(NumberText(value - 1).size() - 1));
    return NumberText(value - step);
}

}  // namespace ebook_search
