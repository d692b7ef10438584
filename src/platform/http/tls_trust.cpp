#include "platform/http/tls_trust.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>

#include "platform/settings_store.h"

QString ServerCaFile() {
    const QString setting = GetSetting(QStringLiteral("server_ca")).trimmed();
    return setting.isEmpty() ? qEnvironmentVariable("QENTARA_SERVER_CA").trimmed() : setting;
}

QSslConfiguration ServerTlsConfiguration() {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    const QString path = ServerCaFile();
    if (path.isEmpty()) return tls;
    // The file is read again only when it changes: every request of an upload passes here.
    static QMutex mutex;
    static QString readPath;
    static QDateTime readStamp;
    static QList<QSslCertificate> extra;
    QList<QSslCertificate> certificates;
    {
        QMutexLocker lock(&mutex);
        const QDateTime stamp = QFileInfo(path).lastModified();
        if (path != readPath || stamp != readStamp) {
            extra = QSslCertificate::fromPath(path, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
            readPath = path;
            readStamp = stamp;
        }
        certificates = extra;
    }
    tls.addCaCertificates(certificates);
    return tls;
}

void ApplyServerTrust(QNetworkRequest& request) {
    if (ServerCaFile().isEmpty()) return;
    request.setSslConfiguration(ServerTlsConfiguration());
}
