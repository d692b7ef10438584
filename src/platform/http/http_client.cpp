#include "platform/http/http_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>

#include <string_view>

#include "platform/http/tls_trust.h"

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(QByteArray& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~';
}

// Paths come from the program itself and may already hold escapes; only what cannot stand in a URL as it
// is (non-ASCII, controls, space and a few unsafe marks) is escaped.
QByteArray EncodePath(const QString& path) {
    QByteArray out;
    for (unsigned char c : path.toUtf8()) {
        if (c >= 0x80 || c <= 0x20 || c == 0x7F ||
            std::string_view("\"<>\\^`{|}").find(char(c)) != std::string_view::npos)
            AppendEscaped(out, c);
        else
            out += char(c);
    }
    return out;
}

int StatusOf(QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

}  // namespace

QString PercentEncodeQueryValue(const QString& value) {
    QByteArray out;
    for (unsigned char c : value.toUtf8()) {
        if (IsUnreserved(c))
            out += char(c);
        else
            AppendEscaped(out, c);
    }
    return QString::fromLatin1(out);
}

QUrl BuildUrl(const QString& base, const QString& path, const QList<QPair<QString, QString>>& query) {
    QByteArray text = base.toUtf8();
    if (text.endsWith('/') && path.startsWith(QLatin1Char('/'))) text.chop(1);
    text += EncodePath(path);
    if (!query.isEmpty()) {
        char separator = text.contains('?') ? '&' : '?';
        for (const auto& [key, value] : query) {
            text += separator;
            text += key.toLatin1();
            text += '=';
            text += PercentEncodeQueryValue(value).toLatin1();
            separator = '&';
        }
    }
    // Strict parsing of the fully encoded form keeps every escape exactly as written.
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}

QString DecodeReplyText(const QByteArray& body) {
    QStringDecoder decoder(QStringDecoder::Utf8);  // default flags drop a leading BOM
    return decoder.decode(body);
}

QByteArray HttpGetBlocking(const QUrl& url, int timeoutMs, bool* ok, int* httpStatus,
                           const QList<QPair<QByteArray, QByteArray>>& headers, qint64 maxBytes) {
    if (ok) *ok = false;
    if (httpStatus) *httpStatus = 0;
    if (!QCoreApplication::instance() || !url.isValid()) return {};

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    for (const auto& [name, value] : headers) request.setRawHeader(name, value);
    ApplyServerTrust(request);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // A body beyond the limit is given up as soon as it is announced or has come that far.
    bool tooLarge = false;
    if (maxBytes >= 0) {
        const auto measure = [&] {
            const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
            if (reply->bytesAvailable() > maxBytes ||
                (announced.isValid() && announced.toLongLong() > maxBytes)) {
                tooLarge = true;
                loop.quit();
            }
        };
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, measure);
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, measure);
    }
    if (!reply->isFinished()) {
        timer.start(qMax(0, timeoutMs));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    timer.stop();

    QByteArray body;
    // The loop also ends at once when the program is already quitting: an unfinished reply is a failure
    // then too, never an empty success.
    if (tooLarge || (maxBytes >= 0 && reply->bytesAvailable() > maxBytes)) {
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
    } else if (!reply->isFinished()) {
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
    } else {
        body = reply->readAll();
        if (ok) *ok = reply->error() == QNetworkReply::NoError;
        if (httpStatus) *httpStatus = StatusOf(reply);
    }
    delete reply;
    return body;
}

AsyncHttpGet::AsyncHttpGet(QObject* parent) : QObject(parent) {}

AsyncHttpGet::~AsyncHttpGet() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void AsyncHttpGet::start(const QUrl& url, int timeoutMs,
                         const QList<QPair<QByteArray, QByteArray>>& headers) {
    if (started_) return;
    started_ = true;
    manager_ = new QNetworkAccessManager(this);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &AsyncHttpGet::onTimeout);
    if (!url.isValid()) {
        // Report through the event loop, as a real request would, so callers may connect after start().
        QTimer::singleShot(0, this, [this] { deliver({}, false, 0); });
        return;
    }
    QNetworkRequest request(url);
    ApplyServerTrust(request);
    for (const auto& [name, value] : headers) request.setRawHeader(name, value);
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::finished, this, &AsyncHttpGet::onReplyFinished);
    timer_->start(qMax(0, timeoutMs));
}

void AsyncHttpGet::onReplyFinished() {
    if (!reply_) return;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    const QByteArray body = reply->readAll();
    const bool ok = reply->error() == QNetworkReply::NoError;
    const int status = StatusOf(reply);
    reply->deleteLater();
    deliver(body, ok, status);
}

void AsyncHttpGet::onTimeout() {
    if (!reply_) return;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    deliver({}, false, 0);
}

void AsyncHttpGet::deliver(const QByteArray& body, bool ok, int status) {
    if (done_) return;
    done_ = true;
    timer_->stop();
    body_ = body;
    text_ = DecodeReplyText(body);
    ok_ = ok;
    httpStatus_ = status;
    emit finished(text_, ok_);
}
