#include "community/soft_no.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include "frame/builtin_seeds.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "platform/bookdir.h"
#include "platform/http/http_client.h"
#include "platform/http/installation_header.h"
#include "platform/settings_store.h"

QString MakeSoftNo() {
    QByteArray seed = QSysInfo::machineUniqueId();
    if (seed.isEmpty()) seed = QSysInfo::machineHostName().toUtf8();
    seed += '\n' + GetAppPath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(seed, QCryptographicHash::Md5);
    QString digits;
    for (int i = 0; i < 12; ++i) digits += QChar(u'0' + quint8(digest.at(i)) % 10);
    return digits;
}

QString InstallationSecret() {
    const QString key = QStringLiteral("installation_secret");
    static const QRegularExpression wellFormed(QStringLiteral("^[0-9a-f]{64}$"));
    QString secret = GetSetting(key);
    if (wellFormed.match(secret).hasMatch()) return secret;
    QByteArray random(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    secret = QString::fromLatin1(random.toHex());
    SaveSetting(key, secret);
    return secret;
}

QList<QPair<QByteArray, QByteArray>> InstallationHeaders() {
    return {{kInstallationSecretHeader, InstallationSecret().toLatin1()}};
}

QList<QPair<QString, QString>> InstallationClaimQuery(const QString& softNo) {
    return {{QStringLiteral("ano"), softNo}, {QStringLiteral("soft_no"), EncodeText(softNo, SettingsKey())}};
}

bool ClaimInstallationNumbers(const QString& softNo) {
    const QUrl url =
        BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh/claim.asp"), InstallationClaimQuery(softNo));
    return HttpGetTextAsUser(url.toString(QUrl::FullyEncoded), InstallationHeaders()) == QLatin1String("1");
}
