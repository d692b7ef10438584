#include "community/help_update.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <QTime>
#include <utility>

#include "community/ebook_tables.h"
#include "community/translated.h"
#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/dao/dao_recordset.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/package_format.h"

namespace help_update {

namespace {

const QString kSetting = QStringLiteral("web_hlp_prg_sys");

qint64 Count(dao::Database& db, const QString& sql, const QVariantList& params = {}) {
    return db.Scalar(sql, params).toLongLong();
}

// Whether one of the package's roots (members without a father) is the help book's; names are stored
// scrambled with the package key.
bool HasHelpRoot(dao::Database& package) {
    const QString key = package_format::MakeKeys(QString()).second;
    for (dao::Recordset rs = package.OpenRecordset(QStringLiteral(
             "SELECT \"filial\" FROM \"本姓成员\" WHERE ifnull(trim(\"father\"), '')='' ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext())
        if (DecodeText(Trim(rs.value(0).toString()), key) == HelpRootName()) return true;
    return false;
}

}  // namespace

UpdateSetting ReadUpdateSetting() {
    const QStringList fields = GetAppSetting(kSetting).split(u'%');
    UpdateSetting s;
    s.web = fields.value(0);
    s.helpModified = fields.value(1);
    s.lastDate = fields.value(4);
    s.lastMinute = fields.value(5);
    return s;
}

void SaveUpdateSetting(const UpdateSetting& s) {
    SaveAppSetting(
        kSetting,
        QStringList{s.web, s.helpModified, QString(), QString(), s.lastDate, s.lastMinute}.join(u'%'));
}

QString HelpArchivePath(int languageId) {
    return languageId == 1 ? QStringLiteral("/zip/fthelp.rar") : QStringLiteral("/zip/zphelp.rar");
}

QString HelpFilePath() {
    return GetAppPath() + QStringLiteral("帮助文件.mdb");
}

QString HelpRootName() {
    return Translated(QStringLiteral("帮助文件"));
}

QString CheckHelpPackage(const QString& path, qint64 expectedLength) {
    const QString incomplete = Translated(QStringLiteral("下载的帮助文件不完整，原有的帮助文件未作改动。"));
    const QString foreign = Translated(QStringLiteral("下载的文件不是帮助文件，原有的帮助文件未作改动。"));
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0 || (expectedLength >= 0 && info.size() != expectedLength))
        return incomplete;
    QString problem;
    try {
        dao::Database package = dao::Database::Open(path, QString::fromLatin1(kEbookDbPassword));
        for (const QString& table : {package_format::kMembers, package_format::kKeywords,
                                     package_format::kPictures, package_format::kPages})
            if (!package.TableExists(table)) problem = foreign;
        // A file cut short still opens: its missing pages show only in the check.
        if (problem.isEmpty() &&
            package.Scalar(QStringLiteral("PRAGMA quick_check")).toString() != QLatin1String("ok"))
            problem = incomplete;
        if (problem.isEmpty() && !HasHelpRoot(package)) problem = foreign;
        package.Close();
    } catch (const dao::DaoError& e) {
        problem = e.Number() == dao::kErrWrongPassword ? foreign : incomplete;
    }
    dao::ReleaseIdleConnections(path);
    return problem;
}

namespace {

// The old help branch as a package in the book folder while the update replaces it. The import attaches
// its files, which SQLite cannot do inside an open transaction, so the old branch cannot be deleted in
// the import's own transaction: a start that finds this copy knows the update was cut off, and puts
// the old branch back unless the new one made it in.
QString KeptBranchPath() {
    return GetAppPath() + QStringLiteral("help_backup.mdb");
}

bool HasHelpBranch(dao::Database& db) {
    return Count(db, QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"filial\"=?"),
                 {HelpRootName()}) > 0;
}

// The kept copy's rename reaches the disk before the old branch is deleted.
void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void DropKeptBranch() {
    dao::ReleaseIdleConnections(KeptBranchPath());
    dao::RemoveWorkFiles(KeptBranchPath());
}

qint32 PutKeptBranchBack(Cls数据操作& ops, QString* error) {
    const qint32 result =
        ops.ReLoad(KeptBranchPath(), QString::fromLatin1(kEbookDbPassword), QString(), QString(), error);
    if (result == 0) DropKeptBranch();
    dao::ReleaseIdleConnections(KeptBranchPath());
    return result;
}

}  // namespace

qint32 MergeHelpPackage(const QString& path, QString* error) {
    AppState& app = App();
    const QString root = HelpRootName();
    // An update cut off before is finished first.
    FinishInterruptedUpdate();
    Cls数据操作 ops;
    const bool hadBranch = HasHelpBranch(app.DataDb);
    if (hadBranch) {
        // A branch number no member carries.
        const qint32 mark = qint32(
            qMax<qint64>(
                0, Count(app.DataDb, QStringLiteral("SELECT ifnull(max(\"flag\"), 0) FROM \"本姓成员\""))) +
            1);
        app.RootAncestorName.clear();
        qint32 first = 1;
        qint16 force = 0;
        quint8 protection = 99;
        // The kept copy is the program's own: it carries no strong password of the user's.
        const QString digest = std::exchange(app.StrgPswdDigest, QString());
        try {
            ops.标识世祖(root, mark, 0, first, force, protection);
            const qint32 written =
                ops.族谱备份(KeptBranchPath(), root, mark, QString::fromLatin1(kEbookDbPassword));
            app.StrgPswdDigest = digest;
            if (written <= 0) {
                DropKeptBranch();
                if (error) *error = Translated(QStringLiteral("不能保存原有的帮助文件，帮助文件未作改动。"));
                return dao::kErrGeneric;
            }
            SyncFolder(GetAppPath());
            ops.删除有标识的子女(mark);
        } catch (const dao::DaoError& e) {
            app.StrgPswdDigest = digest;
            // The old branch may be gone already (a failed commit after the delete): it comes back then.
            if (!HasHelpBranch(app.DataDb) && QFileInfo::exists(KeptBranchPath()))
                PutKeptBranchBack(ops, nullptr);
            else
                DropKeptBranch();
            if (error) *error = e.Description();
            return e.Number();
        }
    }
    app.RootAncestorName.clear();
    const qint32 result =
        ops.ReLoad(path, QString::fromLatin1(kEbookDbPassword), QString(), QString(), error);
    if (hadBranch) {
        if (result != 0)
            PutKeptBranchBack(ops, nullptr);
        else
            DropKeptBranch();
    }
    app.RootAncestorName.clear();
    return result;
}

void FinishInterruptedUpdate() {
    if (!QFileInfo::exists(KeptBranchPath())) return;
    Cls数据操作 ops;
    if (HasHelpBranch(App().DataDb)) {
        DropKeptBranch();
        return;
    }
    QString error;
    // Kept for the next start when it cannot be merged now.
    if (PutKeptBranchBack(ops, &error) != 0)
        qWarning("The old help branch could not be put back: %s", qUtf8Printable(error));
    App().RootAncestorName.clear();
}

}  // namespace help_update
