#include "frame/system_utils.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTcpSocket>
#include <QUrl>

#include "platform/bookdir.h"
#include "platform/vbcompat.h"

namespace {

// Runs a program with arguments (never through a shell) and gives its output once it has ended; ""
// when it could not start or did not end in time (it is killed then).
QString RunAndRead(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));  // output in the words we look for
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(timeoutMs)) return {};
    if (!process.waitForFinished(qMax(1, timeoutMs - int(clock.elapsed())))) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The host part of a site address, in its ASCII form; "" for anything that is not a plain host.
QString PlainHost(const QString& address, int* port) {
    const QUrl url(QStringLiteral("http://") + address.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) return {};
    const QString host = url.host(QUrl::EncodeUnicode);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_:][A-Za-z0-9._:-]*$"));
    if (!plain.match(host).hasMatch()) return {};
    *port = url.port(80);
    return host;
}

// "rtt min/avg/max/mdev = 0.04/0.05/0.06/0.01 ms" (iputils) or "round-trip min/avg/max = ..." (busybox).
float AverageFromPingOutput(const QString& output) {
    for (const QString& line : output.split(u'\n')) {
        const qsizetype names = line.indexOf(QStringLiteral("min/avg/max"));
        if (names < 0) continue;
        const qsizetype equals = line.indexOf(u'=', names);
        if (equals < 0) continue;
        const QStringList values = line.mid(equals + 1).split(u'/');
        if (values.size() < 2) continue;
        try {
            return float(Val(values[1]));
        } catch (const VbError&) {
            return 0;
        }
    }
    return 0;
}

float ConnectMs(const QString& host, int port, int timeoutMs) {
    QTcpSocket socket;
    QElapsedTimer clock;
    clock.start();
    socket.connectToHost(host, quint16(port));
    if (!socket.waitForConnected(timeoutMs)) return 0;
    const float ms = float(clock.nsecsElapsed() / 1e6);
    socket.abort();
    return ms;
}

}  // namespace

QString GetWindowsName() {
    return QSysInfo::prettyProductName();
}

QString GetSystemDir() {
    const QString dir = GetAppPath() + QStringLiteral("system/");
    QDir().mkpath(dir);
    return dir;
}

float PingAverageMs(const QString& host, int timeoutMs) {
    int port = 80;
    const QString target = PlainHost(host, &port);
    if (target.isEmpty()) return 0;
    const QString ping = QStandardPaths::findExecutable(QStringLiteral("ping"));
    if (ping.isEmpty()) return ConnectMs(target, port, timeoutMs);
    // -W: seconds to wait for the reply, so that ping itself ends within the time we give it.
    const int waitSeconds = qMax(1, timeoutMs / 1000 - 1);
    const QString output = RunAndRead(ping,
                                      {QStringLiteral("-n"), QStringLiteral("-c"), QStringLiteral("1"),
                                       QStringLiteral("-W"), QString::number(waitSeconds), target},
                                      timeoutMs);
    return AverageFromPingOutput(output);
}

bool PrinterAvailable() {
    QString name = qEnvironmentVariable("LPDEST");
    if (name.isEmpty()) name = qEnvironmentVariable("PRINTER");
    if (name.isEmpty()) {
        const QString lpstat = QStandardPaths::findExecutable(QStringLiteral("lpstat"));
        if (lpstat.isEmpty()) return false;
        // "system default destination: NAME", or "no system default destination".
        const QString output = RunAndRead(lpstat, {QStringLiteral("-d")}, 2000);
        const QString marker = QStringLiteral("system default destination:");
        const qsizetype at = output.indexOf(marker);
        if (at < 0 || output.startsWith(QStringLiteral("no "))) return false;
        name = output.mid(at + marker.size()).section(u'\n', 0, 0);
    }
    name = name.trimmed();
    return !name.isEmpty() && name != QStringLiteral("传真");
}
