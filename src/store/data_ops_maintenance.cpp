#include <QFileInfo>
#include <QList>
#include <QRegularExpression>
#include <QStringList>
#include <exception>
#include <optional>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "platform/dao/dao_connection.h"
#include "store/data_ops.h"

namespace {

// A program handle that was on a file being rewritten, to be opened again afterwards.
struct HeldHandle {
    dao::Database* slot;
    QString password;
    bool exclusive;
};

QString CanonicalPath(const QString& path) {
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
}

// A file is only rewritten with no connection left on it, so the program's own handles let go first.
QList<HeldHandle> CloseProgramHandlesOn(const QString& path) {
    const QString canonical = CanonicalPath(path);
    QList<HeldHandle> held;
    for (dao::Database* h : {&App().DataDb, &App().ImageDb, &App().DescriptDb, &App().ExclusiveDb}) {
        if (h->isOpen() && h->path() == canonical) {
            held.append({h, h->connection()->password(), h->exclusive()});
            h->Close();
        }
    }
    dao::ReleaseIdleConnections(canonical);
    return held;
}

// Opens the handles again; the first failure is passed on once every handle has been tried.
void Reopen(const QList<HeldHandle>& held, const QString& path, const std::optional<QString>& newPassword) {
    std::exception_ptr failure;
    for (const HeldHandle& h : held) {
        try {
            *h.slot = dao::Database::Open(CanonicalPath(path), newPassword.value_or(h.password), h.exclusive);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

// Row 0 of the settings record holds fields 1 to 4; a short or overlong list would move the fields of
// row 1 to other positions.
QString FourFields(const QString& list) {
    QStringList fields = list.split(QLatin1Char('%'));
    fields.resize(4);
    return fields.join(QLatin1Char('%'));
}

QString SettingsField(const QString& settings, int position) {
    return (settings + QStringLiteral("%%%%%%")).split(QLatin1Char('%')).value(position);
}

}  // namespace

void Cls数据操作::Dao修复压缩(const QString& source, [[maybe_unused]] const QString& temporary,
                              const QString& password) {
    // The copy is written beside the source, so that the final rename stays on one file system and is
    // atomic; the caller's temporary name is not needed for that.
    QList<HeldHandle> held = CloseProgramHandlesOn(source);
    held.removeIf([](const HeldHandle& h) { return h.slot == &App().DataDb; });
    App().DataDb.Close();

    std::exception_ptr failure;
    try {
        dao::RewriteFile(source, password, password);
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        Reopen(held, source, std::nullopt);
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    try {
        OpenDataDb(DataDbPath(), BookDbPassword());
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void Cls数据操作::ChgPswd(const QString& file, const QString& oldPassword, const QString& newPassword) {
    if (oldPassword.isEmpty() && newPassword.isEmpty()) return;
    App().ExclusiveDb.Close();
    const QList<HeldHandle> held = CloseProgramHandlesOn(file);
    try {
        dao::RewriteFile(file, oldPassword, newPassword);
    } catch (const dao::DaoError& e) {
        Reopen(held, file, std::nullopt);
        // A file that does not open with the old password is left alone without a word.
        if (e.Number() == dao::kErrWrongPassword) return;
        throw;
    }
    Reopen(held, file, newPassword);
}

QString Cls数据操作::ChgPswd2() {
    dao::Database& db = App().DataDb;
    const QString key = SettingsKey();
    const auto rowList = [&](int whnt) -> std::optional<QString> {
        auto rs = db.OpenRecordset(
            QStringLiteral("SELECT \"flg\" FROM \"pswdylk\" WHERE \"whnt\"=? ORDER BY rowid LIMIT 1"),
            {whnt});
        if (!rs.hasRow()) return std::nullopt;
        return DecodeText(rs.Text(QStringLiteral("flg")), key);
    };
    const QString a = FourFields(rowList(0).value_or(QString()));
    std::optional<QString> b = rowList(1);
    if (!b) {
        db.Execute(QStringLiteral("INSERT INTO \"pswdylk\" (\"whnt\", \"flg\") VALUES (1, '')"));
        b = QStringLiteral("%%%");
    }
    // Field 0 carries nothing.
    return QStringLiteral("%") + a + QLatin1Char('%') + *b;
}

void Cls数据操作::SavePswd2(const QString& list0, const QString& list1) {
    dao::Database& db = App().DataDb;
    auto tx = db.BeginTrans();
    for (const auto& [whnt, list] : {std::pair{0, list0}, std::pair{1, list1}}) {
        const QVariant rowid = db.Scalar(
            QStringLiteral("SELECT rowid FROM \"pswdylk\" WHERE \"whnt\"=? ORDER BY rowid LIMIT 1"), {whnt});
        if (rowid.isNull())
            db.Execute(QStringLiteral("INSERT INTO \"pswdylk\" (\"whnt\", \"flg\") VALUES (?, ?)"),
                       {whnt, list});
        else
            db.Execute(QStringLiteral("UPDATE \"pswdylk\" SET \"flg\"=? WHERE rowid=?"), {list, rowid});
    }
    tx.Commit();
}

QString Cls数据操作::GetTeleNo() {
    QString t = SettingsField(ChgPswd2(), 2);
    // Line breaks of either convention, then blanks.
    t.remove(QLatin1Char('\r'));
    t.remove(QLatin1Char('\n'));
    t.remove(QLatin1Char(' '));
    return t;
}

QString Cls数据操作::GetQQNo() {
    QString t = SettingsField(ChgPswd2(), 5).toLower();
    // A number written alone is the number itself; otherwise it follows "qq" or a leading mark.
    static const QRegularExpression digitsAlone(QStringLiteral("^\\s*[0-9]+\\s*$"));
    if (digitsAlone.match(t).hasMatch()) return t.trimmed();
    const qsizetype at = t.indexOf(QStringLiteral("qq"));
    t = at >= 0 ? t.mid(at + 2) : t.mid(1);
    QString digits;
    for (const QChar c : t) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (digit)
            digits += c;
        else if (!digits.isEmpty())
            break;
    }
    return digits;
}

void Cls数据操作::InitReport_Sxt(const QString& code) {
    dao::Database& db = App().DataDb;
    auto tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"skrslt\""));
    db.Execute(QStringLiteral("INSERT INTO \"skrslt\" (\"code\") VALUES (?)"), {code});
    for (int i = 1; i <= 80; ++i) db.Execute(QStringLiteral("INSERT INTO \"skrslt\" DEFAULT VALUES"));
    tx.Commit();
}

QString Cls数据操作::GetP_key(const QString& filial) {
    QString keys;
    for (auto rs = App().DataDb.OpenRecordset(
             QStringLiteral("SELECT \"page_key\" FROM \"pageindx\" WHERE \"filial\"=? ORDER BY rowid"),
             {filial});
         rs.hasRow(); rs.MoveNext())
        keys += rs.Text(QStringLiteral("page_key")) + QLatin1Char('%');
    return keys;
}
