#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// UTF-8 bytes; A-Z a-z 0-9 - _ . ~ kept, every other byte becomes %XX (upper-case hex).
QString PercentEncodeQueryValue(const QString& value);

// base + path + "?k=v&k2=v2": keys are ASCII and kept, values encoded as above. The URL is built from its
// encoded form so that Qt neither decodes "%2B" back to "+" nor encodes anything twice.
QUrl BuildUrl(const QString& base, const QString& path, const QList<QPair<QString, QString>>& query);

// The service answers UTF-8; a leading byte-order mark is dropped.
QString DecodeReplyText(const QByteArray& body);

// GET that waits in a local event loop which ignores user input. Ends when the reply is finished or when
// timeoutMs has passed; a time-out aborts the request and gives an empty body with ok = false. ok is also
// false for a network or HTTP error (the body the server sent is still returned then). headers go with
// the request. With maxBytes (0 or more) a body announced or come beyond it is given up: an empty body,
// ok = false. Needs a QCoreApplication instance; a running application event loop is not required.
QByteArray HttpGetBlocking(const QUrl& url, int timeoutMs, bool* ok = nullptr, int* httpStatus = nullptr,
                           const QList<QPair<QByteArray, QByteArray>>& headers = {}, qint64 maxBytes = -1);

// GET that reports once, through finished(), when the reply is complete or the time-out has passed (then
// with empty text and ok = false). The result stays readable afterwards through isDone(), text() and ok().
class AsyncHttpGet : public QObject {
    Q_OBJECT
public:
    explicit AsyncHttpGet(QObject* parent = nullptr);
    ~AsyncHttpGet() override;

    // One request per object; a second call is ignored. headers go with the request.
    void start(const QUrl& url, int timeoutMs, const QList<QPair<QByteArray, QByteArray>>& headers = {});

    bool isStarted() const { return started_; }
    bool isDone() const { return done_; }
    bool ok() const { return ok_; }
    QString text() const { return text_; }
    QByteArray body() const { return body_; }
    int httpStatus() const { return httpStatus_; }

signals:
    void finished(const QString& text, bool ok);

private:
    void onReplyFinished();
    void onTimeout();
    void deliver(const QByteArray& body, bool ok, int status);

    QNetworkAccessManager* manager_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QTimer* timer_ = nullptr;
    bool started_ = false;
    bool done_ = false;
    bool ok_ = false;
    int httpStatus_ = 0;
    QByteArray body_;
    QString text_;
};
