#include "community/ebook_publishing.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "community/cls_download.h"
#include "community/ebook_tables.h"
#include "community/soft_no.h"
#include "community/translated.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/http/http_client.h"
#include "store/data_ops.h"

namespace ebook_publishing {

namespace {

QString NumberText(double value) {
    return QString::number(value, 'g', 15);
}

bool IsRarArchive(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "Rar!";
}

PackageInfo Refused(const QString& message) {
    PackageInfo info;
    info.message = message;
    return info;
}

// Reads the strong-password record and the member count of the (compacted) copy.
void ReadContents(const QString& copy, PackageInfo& info) {
    dao::Database db = dao::Database::Open(copy, QString::fromLatin1(kEbookDbPassword));
    if (db.TableExists(QStringLiteral("mystrgpswd"))) {
        dao::Recordset rs =
            db.OpenRecordset(QStringLiteral("SELECT * FROM \"mystrgpswd\" ORDER BY rowid LIMIT 1"));
        if (rs.hasRow()) info.strongRecord = rs.Text(QStringLiteral("Pswd"));
    }
    info.members = db.Scalar(QStringLiteral("SELECT count(*) AS tnum FROM \"本姓成员\"")).toLongLong();
}

}  // namespace

Address SplitAddress(const QString& url) {
    const qsizetype slash = url.lastIndexOf(u'/');
    return {url.left(slash + 1), url.mid(slash + 1)};
}

QString LibraryAddress(qint32 id) {
    EnsureEbookTables();
    const QVariant stored = App().DataDb.Scalar(
        QStringLiteral(
            "SELECT \"save_path\" FROM \"newdown_eb\" WHERE \"ebook_id\" = ? ORDER BY rowid LIMIT 1"),
        {id});
    return stored.isNull() ? QString() : EncodeText(stored.toString(), EbookListKey());
}

PackageInfo InspectPackage(const QString& path) {
    const QString shown = QFileInfo(path).fileName();
    if (IsRarArchive(path))
        return Refused(
            Translated(
                QStringLiteral("“%1”是 RAR 压缩文件，不能直接打开；请先解压出其中的族谱数据库，再选择它。"))
                .arg(shown));
    QTemporaryDir folder;
    const QString copy = folder.path() + QStringLiteral("/ebook.mdb");
    if (!folder.isValid() || !QFile::copy(path, copy))
        return Refused(Translated(QStringLiteral("不能读取文件“%1”。")).arg(path));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

    PackageInfo info;
    QString description;
    const qint32 opened = TryOpenDbExclusive(copy, QString::fromLatin1(kEbookDbPassword), &description);
    App().ExclusiveDb.Close();
    dao::ReleaseIdleConnections(copy);
    if (opened == dao::kErrWrongPassword) return Refused(Translated(QStringLiteral("数据库密码必须是：586")));
    if (opened != 0)
        return Refused(Translated(QStringLiteral("文件“%1”不能打开：")).arg(shown) + description);
    try {
        Cls数据操作().Dao修复压缩(copy, GetAppPath() + QStringLiteral("gmap.tmp"),
                                  QString::fromLatin1(kEbookDbPassword));
        ReadContents(copy, info);
    } catch (const dao::DaoError& e) {
        dao::ReleaseIdleConnections(copy);
        return Refused(Translated(QStringLiteral("文件“%1”不是可以发布的族谱数据库：")).arg(shown) +
                       e.Description());
    }
    dao::ReleaseIdleConnections(copy);
    info.bytes = QFileInfo(copy).size();
    info.ok = true;
    return info;
}

QString SizeText(qint64 bytes) {
    return QString::number(double(bytes) / 1024 / 1024, 'f', 2) + u'M';
}

QString NetSizeText(qint64 bytes) {
    return QString::number(bytes) + QStringLiteral(" Byte");
}

QString BookNameOf(const QString& fileName) {
    return fileName.section(u'.', 0, 0);
}

QString CallerAddress() {
    const QString reply = HttpGetText(GetServerBaseUrl() + QStringLiteral("/littlep/ipseek.asp")).left(15);
    return LeadingNumber(reply) == 0 ? QStringLiteral("0.0.0.0") : reply;
}

qint64 CheckWithPage(const QString& command, const QString& netpath) {
    if (command.trimmed().isEmpty()) return 0;
    const QString fileName = netpath.mid(netpath.lastIndexOf(u'/') + 1);
    return LeadingWhole(HttpGetText(command.trimmed() + PercentEncodeQueryValue(fileName)));
}

qint64 ProbeNetFile(const QString& url, QString* error) {
    clsDownLoad tg;
    QString failure;
    QObject::connect(&tg, &clsDownLoad::ErrMassage, [&failure](const QString& text) { failure = text; });
    tg.setURL(url.trimmed());
    tg.Execute();
    qint64 result = 0;
    if (tg.StatusOk()) {
        const qint64 length = tg.ContentLength();
        result = length < 0 ? 1 : length;
    }
    tg.CloseAll();
    if (error) *error = failure;
    return result;
}

QList<QPair<QString, QString>> PublishQuery(const Publication& p) {
    return {{QStringLiteral("soft_no"), EncodeText(p.softNo, SettingsKey())},
            {QStringLiteral("strgpswd"), p.strongRecord},
            {QStringLiteral("netpath"), p.netpath},
            {QStringLiteral("bk_name"), p.name},
            {QStringLiteral("bk_org"), p.author},
            {QStringLiteral("bk_e"), p.compiler},
            {QStringLiteral("bk_key"), p.description},
            {QStringLiteral("bk_odklj"), p.category},
            {QStringLiteral("bk_id"), NumberText(LeadingNumber(p.replacedId))},
            {QStringLiteral("bk_right"), QStringLiteral("0")},
            {QStringLiteral("bk_size"), NumberText(LeadingNumber(p.size))},
            {QStringLiteral("ip"), p.ip},
            {QStringLiteral("netcard"), p.netcard}};
}

bool Publish(const Publication& publication) {
    // The installation's numbers are its own before anything goes under them.
    ClaimInstallationNumbers(publication.softNo);
    const QUrl url =
        BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh2/ebPublication3.asp"), PublishQuery(publication));
    // The installation's secret proves the installation number; a logged-on user's credential ties the
    // entry to the account as well.
    return PublishReplyOk(HttpGetTextAsUser(url.toString(QUrl::FullyEncoded), InstallationHeaders()));
}

bool PublishReplyOk(const QString& reply) {
    return LeadingNumber(reply) != 0;
}

}  // namespace ebook_publishing
