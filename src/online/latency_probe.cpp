#include "online/latency_probe.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

LatencyProbe::LatencyProbe(QObject* parent) : QObject(parent), timeout_(new QTimer(this)) {
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] { finish(0); });
}

LatencyProbe::~LatencyProbe() = default;

bool LatencyProbe::isRunning() const {
    return socket_ != nullptr;
}

void LatencyProbe::start(const QString& site, int timeoutMs) {
    if (socket_) finish(0);
    const QUrl url(site.contains(QStringLiteral("://")) ? site : QStringLiteral("http://") + site);
    if (url.host().isEmpty()) {
        emit measured(0);
        return;
    }
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, [this] { finish(double(clock_.nsecsElapsed()) / 1e6); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] { finish(0); });
    clock_.start();
    timeout_->start(timeoutMs);
    socket_->connectToHost(url.host(), quint16(url.port(80)));
}

void LatencyProbe::finish(double ms) {
    if (!socket_) return;
    timeout_->stop();
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    emit measured(ms);
}
