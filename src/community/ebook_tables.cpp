#include "community/ebook_tables.h"

#include <cmath>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "platform/bookdir.h"
#include "platform/vbcompat.h"

QString EbookListKey() {
    return OneCharKey();
}

QString EbookStagingPath() {
    return GetAppPath() + QStringLiteral("downtmp.mdb");
}

void EnsureEbookTables() {
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    db.Execute(book_schema::EbookHitTable());
    db.Execute(book_schema::EbookDownloadTable());
    tx.Commit();
}

double LeadingNumber(const QString& text) {
    try {
        return Val(text);
    } catch (const VbError&) {
        return 0;
    }
}

qint64 LeadingWhole(const QString& text) {
    const double value = LeadingNumber(text);
    // 2^63 itself is already out of range.
    return std::abs(value) < 9223372036854775808.0 ? qint64(value) : 0;
}
