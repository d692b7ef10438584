#include "support/test_door.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <mutex>

#include <unistd.h>

#include "support/test_ports.h"

namespace {

QString SourceFile(const QString& relative) {
    return QStringLiteral(QENTARA_SOURCE_DIR "/") + relative;
}

QString NginxProgram() {
    QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return found;
}

bool Accepts(int port) {
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    return probe.waitForConnected(200);
}

}  // namespace

TestDoor::TestDoor() = default;

TestDoor::~TestDoor() {
    stop();
}

QString TestDoor::certificateFolder() {
    static QTemporaryDir folder;
    static std::once_flag made;
    static bool ok = false;
    std::call_once(made, [] {
        if (!folder.isValid()) return;
        QProcess maker;
        maker.start(QStringLiteral("bash"),
                    {SourceFile(QStringLiteral("server/door/make_certificates.sh")), folder.path()});
        ok = maker.waitForFinished(30000) && maker.exitStatus() == QProcess::NormalExit &&
             maker.exitCode() == 0;
    });
    return ok ? folder.path() : QString();
}

QString TestDoor::authorityFile() {
    const QString folder = certificateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/ca.crt");
}

QString TestDoor::url() const {
    return QStringLiteral("https://127.0.0.1:%1").arg(port_);
}

QString TestDoor::errorLog() const {
    QFile log(prefix_.filePath(QStringLiteral("error.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

QString TestDoor::accessLog() const {
    QFile log(prefix_.filePath(QStringLiteral("access.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

int TestDoor::requestsLogged() const {
    QFile log(prefix_.filePath(QStringLiteral("access.log")));
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) : 0;
}

QString TestDoor::start(const QList<int>& pagePorts) {
    stop();
    const QString program = NginxProgram();
    if (program.isEmpty()) return QStringLiteral("nginx is not installed (package nginx-light)");
    const QString certificates = certificateFolder();
    if (certificates.isEmpty()) return QStringLiteral("the test certificates could not be made (openssl)");
    if (!prefix_.isValid()) return QStringLiteral("no folder for nginx");
    // The workers of a root nginx run as nobody: they must reach their temporary folders.
    QFile::setPermissions(prefix_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                              QFile::ExeOther);
    QDir(prefix_.path()).mkpath(QStringLiteral("temp"));

    QFile templateFile(SourceFile(QStringLiteral("server/door/nginx.conf.in")));
    if (!templateFile.open(QIODevice::ReadOnly))
        return QStringLiteral("server/door/nginx.conf.in is missing");
    QString upstreams;
    for (int pagePort : pagePorts) upstreams += QStringLiteral("server 127.0.0.1:%1; ").arg(pagePort);
    reserved_ = std::make_unique<ReservedPort>();
    port_ = reserved_->port();
    if (port_ == 0) return QStringLiteral("no port to reserve for nginx");
    QString config = QString::fromUtf8(templateFile.readAll());
    config.replace(QStringLiteral("@WORKERS@"), QStringLiteral("2"))
        .replace(QStringLiteral("@USER@"),
                 geteuid() == 0 ? QStringLiteral("user nobody nogroup;") : QString())
        .replace(QStringLiteral("@PREFIX@"), prefix_.path())
        .replace(QStringLiteral("@UPSTREAMS@"), upstreams)
        .replace(QStringLiteral("@LISTEN@"), QStringLiteral("127.0.0.1:%1").arg(port_))
        .replace(QStringLiteral("@CERT@"), certificates + QStringLiteral("/door.crt"))
        .replace(QStringLiteral("@KEY@"), certificates + QStringLiteral("/door.key"));
    const QString configPath = prefix_.filePath(QStringLiteral("nginx.conf"));
    QFile configFile(configPath);
    if (!configFile.open(QIODevice::WriteOnly) || configFile.write(config.toUtf8()) < 0)
        return QStringLiteral("cannot write ") + configPath;
    configFile.close();

    nginx_ = std::make_unique<QProcess>();
    nginx_->setProcessChannelMode(QProcess::ForwardedChannels);
    nginx_->start(program, {QStringLiteral("-p"), prefix_.path(), QStringLiteral("-c"), configPath,
                            QStringLiteral("-e"), prefix_.filePath(QStringLiteral("error.log"))});
    if (!nginx_->waitForStarted(5000)) return QStringLiteral("nginx did not start");
    for (int i = 0; i < 100; ++i) {
        if (Accepts(port_)) return {};
        if (nginx_->state() == QProcess::NotRunning) break;
        QThread::msleep(50);
    }
    const QString log = errorLog();
    stop();
    return QStringLiteral("nginx is not listening: ") + log;
}

void TestDoor::stop() {
    if (!nginx_) return;
    if (nginx_->state() != QProcess::NotRunning) {
        nginx_->terminate();
        if (!nginx_->waitForFinished(5000)) {
            nginx_->kill();
            nginx_->waitForFinished(5000);
        }
    }
    nginx_.reset();
}

RawReply ParseRawReply(const QByteArray& all) {
    RawReply reply;
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (end < 0) return reply;
    const QList<QByteArray> lines = all.left(end).split('\n');
    reply.status = lines.value(0).split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            reply.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    reply.body = all.mid(end + 4);
    return reply;
}

RawReply DoorExchange(int port, const QByteArray& request, const QString& source, int waitMs) {
    QSslSocket socket;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(TestDoor::authorityFile());
    socket.setSslConfiguration(tls);
    socket.bind(QHostAddress(source));
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(port));
    if (!socket.waitForEncrypted(5000)) return {};
    socket.write(request);
    socket.flush();
    QByteArray all;
    while (socket.waitForReadyRead(waitMs) || socket.bytesAvailable()) all += socket.readAll();
    return ParseRawReply(all);
}
