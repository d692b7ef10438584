#include "store/package_format.h"

#include <QFile>

#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_database.h"

namespace package_format {

const QString kMembers = QStringLiteral("本姓成员");
const QString kKeywords = QStringLiteral("pageindx");
const QString kPictures = QStringLiteral("imageylk");
const QString kPages = QStringLiteral("story");

namespace {

constexpr qsizetype kToggledBytes = 1204;

// The book's statement for a table, made for another table name of the same layout.
QString Renamed(const QString& create, const QString& from, const QString& to) {
    QString sql = create;
    const QString quoted = dao::QuoteIdent(from);
    sql.replace(sql.indexOf(quoted), quoted.size(), dao::QuoteIdent(to));
    return sql;
}

}  // namespace

QStringList CreateStatements() {
    const QString members = book_schema::MemberTable();
    const QString keywords = book_schema::PageKeywordTable();
    const QString pictures = book_schema::PictureTable();
    const QString pages = book_schema::StoryTable();
    return {members,
            keywords,
            pictures,
            pages,
            Renamed(members, kMembers, QStringLiteral("tmp2")),
            Renamed(pictures, kPictures, QStringLiteral("tmp2img")),
            Renamed(pages, kPages, QStringLiteral("tmp2stry")),
            Renamed(keywords, kKeywords, QStringLiteral("tmp2indx"))};
}

bool HasDataTables(dao::Database& db) {
    for (const QString& table : {kMembers, kKeywords, kPictures, kPages})
        if (!db.TableExists(table)) return false;
    return true;
}

bool IsPlainDatabase(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

Keys MakeKeys(const QString& digest) {
    const QString front = digest.isEmpty() ? QString() : DeriveKey(digest);
    return {front + ServerKey(), front + SettingsKey()};
}

void TogglePicture(QByteArray& bytes, const QString& firstKey) {
    const qsizetype n = std::min(bytes.size(), kToggledBytes);
    const qsizetype length = firstKey.size();
    if (length == 0) return;
    char* data = bytes.data();
    for (qsizetype i = 0; i < n; ++i)
        data[i] = char(uchar(data[i]) ^ uchar(firstKey.at(i % length).unicode()));
}

QVariant ToggledPicture(const QVariant& stored, const QString& firstKey) {
    if (!stored.isValid()) return stored;
    QByteArray bytes = stored.toByteArray();
    TogglePicture(bytes, firstKey);
    return bytes;
}

}  // namespace package_format
