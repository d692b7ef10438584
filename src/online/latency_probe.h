#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

// How long a TCP connection to a site takes to open, measured without blocking: start() returns at once
// and measured() reports later, with 0 when the site did not answer in time. A new start() drops the
// probe still under way.
class LatencyProbe : public QObject {
    Q_OBJECT
public:
    explicit LatencyProbe(QObject* parent = nullptr);
    ~LatencyProbe() override;

    // site: an address such as "http://host:port" (port 80 when none is given).
    void start(const QString& site, int timeoutMs);
    bool isRunning() const;

signals:
    void measured(double ms);

private:
    void finish(double ms);

    QTcpSocket* socket_ = nullptr;
    QTimer* timeout_ = nullptr;
    QElapsedTimer clock_;
};
