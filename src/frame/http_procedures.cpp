#include "frame/http_procedures.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>

#include "frame/app_state.h"
#include "frame/credential_lapse.h"
#include "platform/http/http_client.h"
#include "platform/settings_store.h"
#include "platform/vbcompat.h"

namespace {

const QString kDefaultServerUrl = QStringLiteral("https://127.0.0.1:18443");

int& TimeoutSlot() {
    static int ms = 30000;
    return ms;
}

QString& ServerUrlOverride() {
    static QString url;
    return url;
}

// Addresses come as text from many callers, some with escapes already in them and some with Chinese
// query values: escape only what cannot stand in a URL, keep existing escapes as they are.
QUrl ToRequestUrl(const QString& url) {
    QUrl parsed = BuildUrl(QString(), url, {});
    if (!parsed.isValid()) parsed = QUrl(url, QUrl::TolerantMode);
    return parsed;
}

}  // namespace

int HttpTimeoutMs() {
    return TimeoutSlot();
}

void SetHttpTimeoutMs(int ms) {
    TimeoutSlot() = ms > 0 ? ms : 30000;
}

QString HttpGetText(const QString& url) {
    if (url.isEmpty()) return {};
    return DecodeReplyText(HttpGetBlocking(ToRequestUrl(url), HttpTimeoutMs()));
}

QString HttpGetTextAsUser(const QString& url, QList<QPair<QByteArray, QByteArray>> headers) {
    if (url.isEmpty()) return {};
    // A copy: a lapse forgets the credential.
    const QString credential = App().ServerCredential;
    if (!credential.isEmpty()) headers.append({"Authorization", "Bearer " + credential.toLatin1()});
    int status = 0;
    const QByteArray body = HttpGetBlocking(ToRequestUrl(url), HttpTimeoutMs(), nullptr, &status, headers);
    // The body is the page's "not done", which the caller reads as such.
    if (status == 401 && !credential.isEmpty()) CredentialLapsed();
    return DecodeReplyText(body);
}

quint8 HttpUrlOk(const QString& url) {
    if (url.isEmpty()) return 0;
    int status = 0;
    HttpGetBlocking(ToRequestUrl(url), HttpTimeoutMs(), nullptr, &status);
    return status == 200 ? 1 : 0;
}

void HttpGetAsync(const QString& url) {
    if (url.isEmpty()) return;
    App().AsyncReplyText.clear();
    App().AsyncReplyDone = false;

    AsyncHttpGet request;
    QEventLoop loop;
    QObject::connect(&request, &AsyncHttpGet::finished, &loop, &QEventLoop::quit);
    request.start(ToRequestUrl(url), HttpTimeoutMs());
    // Everything may run meanwhile, another request included; this one's result is written when control
    // comes back here, so the later completion overwrites the slot.
    if (!request.isDone()) loop.exec();

    App().AsyncReplyText = request.text();
    App().AsyncReplyDone = true;
}

QString BuiltInServerUrl() {
    if (!ServerUrlOverride().isEmpty()) return ServerUrlOverride();
    static const QString fromEnvironment = qEnvironmentVariable("QENTARA_SERVER_URL").trimmed();
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    QString fromSetting = GetSetting(QStringLiteral("server_url")).trimmed();
    while (fromSetting.endsWith(u'/')) fromSetting.chop(1);
    return fromSetting.isEmpty() ? kDefaultServerUrl : fromSetting;
}

void SetBuiltInServerUrl(const QString& url) {
    ServerUrlOverride() = url.trimmed();
}

QString GetServerBaseUrl() {
    QString base = GetSetting(QStringLiteral("web_hlp_prg_sys")).section(u'%', 0, 0);
    if (base.isEmpty()) base = BuiltInServerUrl();
    // Every caller appends "/..." itself.
    while (base.endsWith(u'/')) base.chop(1);
    return base;
}

QVariant GetSiteUrl() {
    return QVariant(BuiltInServerUrl());
}

namespace {

// "1" or "0" (newer than this program or not) + "%" + the version text the server sent.
QString VersionAnswer(QString text) {
    if (text.startsWith(u'-')) text.remove(0, 1);
    const QStringList fields = (text + QStringLiteral("..")).split(u'.');
    bool newer = false;
    try {
        const double major = std::fabs(Val(fields.at(0)));
        const double minor = Val(fields.at(1));
        const double revision = Val(fields.at(2));
        if (major != kRunningMajor)
            newer = major > kRunningMajor;
        else if (minor != kRunningMinor)
            newer = minor > kRunningMinor;
        else
            newer = revision > kRunningRevision;
    } catch (const VbError&) {
        // A number too large to read is a damaged file, not an offer.
        newer = false;
    }
    return QString(newer ? u'1' : u'0') + u'%' + text;
}

QString VersionFileUrl() {
    return GetServerBaseUrl() + QStringLiteral("/data/newver.txt");
}

}  // namespace

QString CheckNewVersion(quint8 mode) {
    if (mode != 0) return {};
    // An error page is no version file: it reads as no answer.
    bool ok = false;
    const QByteArray body = HttpGetBlocking(ToRequestUrl(VersionFileUrl()), HttpTimeoutMs(), &ok);
    return VersionAnswer(ok ? DecodeReplyText(body) : QString());
}

void CheckNewVersionAsync(QObject* context, int timeoutMs, std::function<void(const QString&)> done) {
    auto* request = new AsyncHttpGet(context);
    QObject::connect(request, &AsyncHttpGet::finished, context,
                     [request, done = std::move(done)](const QString& text, bool ok) {
                         request->deleteLater();
                         done(VersionAnswer(ok ? text : QString()));
                     });
    request->start(ToRequestUrl(VersionFileUrl()), timeoutMs);
}

QString OfferedVersionText(const QString& reply) {
    static const QRegularExpression version(QStringLiteral("[0-9A-Za-z][0-9A-Za-z.\\-]*"));
    const auto m = version.match(reply.mid(reply.indexOf(u'%') + 1));
    return m.hasMatch() ? m.captured(0) : QString();
}
