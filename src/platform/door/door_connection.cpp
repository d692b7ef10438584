#include "platform/door/door_connection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <utility>

#include "platform/door/door_socket.h"
#include "platform/door/server_error.h"

namespace {

constexpr int kAttempts = 3;

const QString kUnreachable = QStringLiteral(
    "无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；仍然不行，请与服务器的管理员联系。");
const QString kConnectionLost = QStringLiteral("与服务器的连接断开了，请检查网络连接后再试。");
const QString kServerTroubled = QStringLiteral("服务器暂时不能处理请求，请稍后再试。");
const QString kUnreadable = QStringLiteral("服务器的回答无法读懂，请确认服务器地址无误。");

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

bool WorthAnotherTry(const DoorExchange& outcome) {
    if (outcome.failure == DoorExchange::Failure::TimedOut) return false;
    if (outcome.status == 502 || outcome.status == 503 || outcome.status == 504) return true;
    return outcome.failure == DoorExchange::Failure::Closed;
}

// Lets the window paint (not the user act) while it waits.
void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
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

bool DoorConnection::close() {
    bool told = true;
    if (!credential_.isEmpty()) {
        // A credential the server no longer knows is gone all the same: not a lapse to report.
        const std::function<void()> lapsed = std::exchange(lapsed_, nullptr);
        try {
            post(QStringLiteral("/door/close"), QJsonObject(), kCloseTimeoutMs);
        } catch (const ServerError& e) {
            told = e.SqlState() == QLatin1String("door:lapsed");
        }
        lapsed_ = lapsed;
        credential_.clear();
    }
    open_ = false;
    socket_.reset();
    return told;
}

QJsonObject DoorConnection::post(const QString& path, const QJsonObject& body, int timeoutMs) {
    return postBody(path, QJsonDocument(body).toJson(QJsonDocument::Compact), timeoutMs);
}

QJsonObject DoorConnection::postBody(const QString& path, const QByteArray& payload, int timeoutMs) {
    const QUrl url(baseUrl_ + path);
    if (!url.isValid() || url.host().isEmpty()) throw ServerError(kUnreachable);
    // Passwords and credentials travel only encrypted, unless they never leave this machine.
    const bool encrypted = url.scheme() == QLatin1String("https");
    if (!encrypted && !(url.scheme() == QLatin1String("http") && IsThisMachine(url.host())))
        throw ServerError(
            QStringLiteral("服务器地址必须以 https:// 开头：程序只通过加密的连接与服务器通信。"));
    if (!QCoreApplication::instance()) throw ServerError(kUnreachable);
    if (!socket_) socket_ = std::make_unique<DoorSocket>();

    const QByteArray headers =
        credential_.isEmpty() ? QByteArray() : "Authorization: Bearer " + credential_.toLatin1() + "\r\n";
    DoorExchange outcome;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        outcome = socket_->post(url, headers, payload, timeoutMs);
        // A kept connection the door had closed meanwhile: the request never reached it.
        if (outcome.reused && outcome.failure == DoorExchange::Failure::Closed && !outcome.answered)
            outcome = socket_->post(url, headers, payload, timeoutMs);
        if (attempt == kAttempts || !WorthAnotherTry(outcome)) break;
        Pause(attempt == 1 ? 300 : 1000);
    }

    if (outcome.failure == DoorExchange::Failure::TimedOut)
        throw ServerError(
            QStringLiteral("服务器在 %1 秒内没有回答，请稍后再试。").arg((timeoutMs + 999) / 1000));
    if (outcome.status >= 200 && outcome.status < 300) {
        const QJsonDocument answer = QJsonDocument::fromJson(outcome.body);
        if (!answer.isObject()) throw ServerError(kUnreadable);
        return answer.object();
    }
    if (outcome.status != 0) throw refusal(outcome.status, outcome.body);
    if (outcome.failure == DoorExchange::Failure::Tls || !outcome.sslErrors.isEmpty())
        throw ServerError(UntrustedCertificate(outcome.sslErrors));
    if (outcome.failure == DoorExchange::Failure::Refused ||
        outcome.failure == DoorExchange::Failure::NotFound)
        throw ServerError(kUnreachable);
    throw ServerError(kConnectionLost);
}

ServerError DoorConnection::refusal(int status, const QByteArray& body) {
    const QString code = CodeOf(body);
    switch (status) {
        case 401:
            credential_.clear();
            if (lapsed_) lapsed_();
            return ServerError(QStringLiteral("登录已过期，请重新登录后再试。"),
                               QStringLiteral("door:lapsed"));
        case 400:
            if (code == QLatin1String("nul"))
                return ServerError(QStringLiteral("服务器拒绝了这个请求：其中有不能保存的字符（NUL）。"),
                                   QStringLiteral("door:nul"));
            return ServerError(QStringLiteral("服务器拒绝了这个请求：请求的内容有误。"),
                               QStringLiteral("door:") + code);
        case 403:
            if (code == QLatin1String("other_account"))
                return ServerError(QStringLiteral("服务器拒绝了这个请求：其中有不是本次登录帐号的操作。"),
                                   QStringLiteral("door:other_account"));
            return ServerError(QStringLiteral("服务器拒绝了这个请求。"), QStringLiteral("door:") + code);
        case 413:
            return ServerError(QStringLiteral("发送的内容太大，服务器拒收。"));
        case 429:
            return ServerError(QStringLiteral("服务器正忙：从本机来的请求太多。请稍后再试。"));
        default:
            if (status >= 500) return ServerError(kServerTroubled);
            // A refusal the caller words itself: a procedure's failure (its database code and, when the
            // server's functions said something on purpose, their words), an unknown procedure.
            if (status == 422) {
                const QJsonObject failed = QJsonDocument::fromJson(body).object();
                return ServerError(failed.value(QStringLiteral("message")).toString(),
                                   failed.value(QStringLiteral("state")).toString());
            }
            if (!code.isEmpty()) return ServerError(QString(), QStringLiteral("door:") + code);
            return ServerError(
                QStringLiteral("服务器不认识这个请求（HTTP %1）：它可能不是本程序的社区服务器。")
                    .arg(status));
    }
}
