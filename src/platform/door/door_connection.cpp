#include "platform/door/door_connection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include "platform/door/server_error.h"
#include "platform/http/tls_trust.h"

namespace {

constexpr int kAttempts = 3;

const QString kUnreachable = QStringLiteral(
    "无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；仍然不行，请与服务器的管理员联系。");
const QString kConnectionLost = QStringLiteral("与服务器的连接断开了，请检查网络连接后再试。");
const QString kServerTroubled = QStringLiteral("服务器暂时不能处理请求，请稍后再试。");
const QString kUnreadable = QStringLiteral("服务器的回答无法读懂，请确认服务器地址无误。");

// What one request came to.
struct Outcome {
    bool timedOut = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;  // HTTP status, 0 when no reply came
    QByteArray body;
    QList<QSslError> sslErrors;
};

bool IsThisMachine(const QString& host) {
    return host == QLatin1String("localhost") || host == QLatin1String("::1") ||
           host.startsWith(QLatin1String("127."));
}

// Why a certificate is not trusted, as a user can check it.
QString CertificateReason(const QList<QSslError>& errors) {
    for (const QSslError& e : errors) {
        switch (e.error()) {
            case QSslError::HostNameMismatch:
                return QStringLiteral("证书上的名称与服务器地址不符");
            case QSslError::CertificateExpired:
            case QSslError::CertificateNotYetValid:
                return QStringLiteral("证书不在有效期内");
            case QSslError::SelfSignedCertificate:
            case QSslError::SelfSignedCertificateInChain:
            case QSslError::UnableToGetLocalIssuerCertificate:
            case QSslError::UnableToGetIssuerCertificate:
            case QSslError::UnableToVerifyFirstCertificate:
            case QSslError::CertificateUntrusted:
                return QStringLiteral("签发证书的机构不受本机信任");
            default:
                break;
        }
    }
    return QStringLiteral("证书无效");
}

QString UntrustedCertificate(const QList<QSslError>& errors) {
    return QStringLiteral(
               "服务器的证书不可信（%1），程序没有与它通信。请核对服务器地址；服务器若使用自己签发的"
               "证书，请在设置“server_ca”中指定签发机构的证书文件。")
        .arg(CertificateReason(errors));
}

QString CodeOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object().value(QStringLiteral("code")).toString();
}

bool WorthAnotherTry(const Outcome& outcome) {
    if (outcome.timedOut) return false;
    if (outcome.status == 502 || outcome.status == 503 || outcome.status == 504) return true;
    return outcome.status == 0 && (outcome.error == QNetworkReply::RemoteHostClosedError ||
                                   outcome.error == QNetworkReply::UnknownNetworkError ||
                                   outcome.error == QNetworkReply::ProxyConnectionClosedError);
}

// Lets the window paint (not the user act) while it waits.
void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

Outcome Send(QNetworkAccessManager& manager, const QUrl& url, const QByteArray& payload,
             const QString& credential, int timeoutMs) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (!credential.isEmpty()) request.setRawHeader("Authorization", "Bearer " + credential.toLatin1());
    ApplyServerTrust(request);
    Outcome outcome;
    QNetworkReply* reply = manager.post(request, payload);
    QObject::connect(reply, &QNetworkReply::sslErrors,
                     [&outcome](const QList<QSslError>& errors) { outcome.sslErrors = errors; });
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        timer.start(qMax(0, timeoutMs));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!reply->isFinished()) {
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
        reply->abort();
        outcome.timedOut = true;
    } else {
        outcome.error = reply->error();
        outcome.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        outcome.body = reply->readAll();
    }
    delete reply;
    return outcome;
}

}  // namespace

DoorConnection::DoorConnection(QString baseUrl) : baseUrl_(std::move(baseUrl)) {
    while (baseUrl_.endsWith(QLatin1Char('/'))) baseUrl_.chop(1);
}

DoorConnection::~DoorConnection() = default;

void DoorConnection::open(const QString& credential) {
    open_ = false;
    credential_ = credential;
    post(QStringLiteral("/door/open"), QJsonObject(), kAskTimeoutMs);
    open_ = true;
}

void DoorConnection::close() {
    open_ = false;
    manager_.reset();
}

QJsonObject DoorConnection::post(const QString& path, const QJsonObject& body, int timeoutMs) {
    const QUrl url(baseUrl_ + path);
    if (!url.isValid() || url.host().isEmpty()) throw ServerError(kUnreachable);
    // Passwords and credentials travel only encrypted, unless they never leave this machine.
    const bool encrypted = url.scheme() == QLatin1String("https");
    if (!encrypted && !(url.scheme() == QLatin1String("http") && IsThisMachine(url.host())))
        throw ServerError(
            QStringLiteral("服务器地址必须以 https:// 开头：程序只通过加密的连接与服务器通信。"));
    if (!QCoreApplication::instance()) throw ServerError(kUnreachable);
    if (!manager_) manager_ = std::make_unique<QNetworkAccessManager>();

    const QByteArray payload = QJsonDocument(body).toJson(QJsonDocument::Compact);
    Outcome outcome;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        outcome = Send(*manager_, url, payload, credential_, timeoutMs);
        if (attempt == kAttempts || !WorthAnotherTry(outcome)) break;
        Pause(attempt == 1 ? 300 : 1000);
    }

    if (outcome.timedOut)
        throw ServerError(
            QStringLiteral("服务器在 %1 秒内没有回答，请稍后再试。").arg((timeoutMs + 999) / 1000));
    if (outcome.status >= 200 && outcome.status < 300) {
        const QJsonDocument answer = QJsonDocument::fromJson(outcome.body);
        if (!answer.isObject()) throw ServerError(kUnreadable);
        return answer.object();
    }
    const QString code = CodeOf(outcome.body);
    switch (outcome.status) {
        case 0:
            break;
        case 401:
            credential_.clear();
            if (lapsed_) lapsed_();
            throw ServerError(QStringLiteral("登录已过期，请重新登录后再试。"),
                              QStringLiteral("door:lapsed"));
        case 400:
            if (code == QLatin1String("nul"))
                throw ServerError(QStringLiteral("服务器拒绝了这个请求：其中有不能保存的字符（NUL）。"),
                                  QStringLiteral("door:nul"));
            throw ServerError(QStringLiteral("服务器拒绝了这个请求：请求的内容有误。"),
                              QStringLiteral("door:") + code);
        case 403:
            throw ServerError(QStringLiteral("服务器拒绝了这个请求。"), QStringLiteral("door:") + code);
        case 413:
            throw ServerError(QStringLiteral("发送的内容太大，服务器拒收。"));
        case 429:
            throw ServerError(QStringLiteral("服务器正忙：从本机来的请求太多。请稍后再试。"));
        default:
            if (outcome.status >= 500) throw ServerError(kServerTroubled);
            // A refusal the caller words itself: a procedure's failure (its database code and, when the
            // server's functions said something on purpose, their words), an unknown procedure.
            if (outcome.status == 422) {
                const QJsonObject failed = QJsonDocument::fromJson(outcome.body).object();
                throw ServerError(failed.value(QStringLiteral("message")).toString(),
                                  failed.value(QStringLiteral("state")).toString());
            }
            if (!code.isEmpty()) throw ServerError(QString(), QStringLiteral("door:") + code);
            throw ServerError(
                QStringLiteral("服务器不认识这个请求（HTTP %1）：它可能不是本程序的社区服务器。")
                    .arg(outcome.status));
    }
    if (outcome.error == QNetworkReply::SslHandshakeFailedError || !outcome.sslErrors.isEmpty())
        throw ServerError(UntrustedCertificate(outcome.sslErrors));
    switch (outcome.error) {
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::BackgroundRequestNotAllowedError:
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyNotFoundError:
            throw ServerError(kUnreachable);
        default:
            throw ServerError(kConnectionLost);
    }
}
