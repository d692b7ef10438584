#include "store/strong_password.h"

#include <exception>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/dao_table.h"
#include "frame/md5_digest.h"
#include "frame/text_scramble.h"
#include "platform/codepage.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"

namespace strong_password {

namespace {

const QString kRecordTable = QStringLiteral("myStrgPswd");

}  // namespace

bool IsSingleByteText(const QString& password) {
    for (const QChar c : password)
        if (!IsSingleByte936(c)) return false;
    // Characters the code page lacks turn into a substitute byte: one byte, but not the character.
    const QByteArray bytes = ToGbk(password);
    return bytes.size() == password.size() && FromGbk(bytes) == password;
}

QString Digest(const QString& password) {
    if (!IsSingleByteText(password)) return QString();
    ClsMD5_1 md5;
    const QString digest = md5.DigestStrToHexStr(Trim(password));
    return md5.LastFailed() ? QString() : digest;
}

QString ConcealDigest(const QString& digest) {
    return EncodeText(digest, ServerKey());
}

QString RevealDigest(const QString& stored) {
    return DecodeText(stored, ServerKey());
}

bool HasRecord(dao::Database& package) {
    return ClsDaoTable().ExistsTableQuery(kRecordTable, package);
}

QString StoredDigest(dao::Database& package) {
    try {
        dao::Recordset rs = package.OpenRecordset("SELECT * FROM " + dao::QuoteIdent(kRecordTable) +
                                                  " ORDER BY rowid LIMIT 1");
        if (!rs.hasRow()) return QString();
        return RevealDigest(rs.Text(QStringLiteral("Pswd")));
    } catch (const dao::DaoError&) {
        return QString();
    }
}


}  // namespace strong_password
