#include "frame/http_procedures.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>

#include "frame/app_state.h"
#include "frame/language.h"
#include "platform/dao/dao_error.h"
#include "platform/http/http_client.h"
#include "platform/interaction/interaction.h"
#include "platform/settings_store.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

const QString kDefaultServerUrl = QStringLiteral("http://127.0.0.1:18080");

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

// Whole-text number test of the old runtime (signs, decimals, exponents, &H/&O), blanks around allowed.
bool IsNumeric(const QString& text) {
    static const QRegularExpression number(QStringLiteral(
        "^[ \\t]*(?:[+-]?[ "
        "\\t]*(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?|&[hH][0-9A-Fa-f]+|&[oO]?[0-7]+)"
        "[ \\t]*$"));
    return number.match(text).hasMatch();
}

// Message texts pass through the language switch before they are shown.
QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
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

QString HttpGetTextAsUser(const QString& url) {
    if (url.isEmpty()) return {};
    QList<QPair<QByteArray, QByteArray>> headers;
    const QString& credential = App().ServerCredential;
    if (!credential.isEmpty()) headers.append({"Authorization", "Bearer " + credential.toLatin1()});
    return DecodeReplyText(HttpGetBlocking(ToRequestUrl(url), HttpTimeoutMs(), nullptr, nullptr, headers));
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
    return fromEnvironment.isEmpty() ? kDefaultServerUrl : fromEnvironment;
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

// The user's own QQ number as the prompt last stored it: the latest entry of "MyQQ" ("%111%222"), the
// prompt's stand-in "0" for an empty list aside; "" when there is none.
QString StoredQQNumber() {
    const QStringList entries = GetSetting(QStringLiteral("MyQQ")).split(u'%');
    for (qsizetype i = entries.size() - 1; i >= 1; --i)
        if (const QString entry = entries.at(i).trimmed(); !entry.isEmpty() && entry != u'0') return entry;
    return QString();
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

void OpenServiceChat() {
    AppState& app = App();
    app.FormParamString.clear();
    // The prompt proposes the number stored for the user, never what another prompt left behind.
    app.FormParamString2 = StoredQQNumber();
    app.LittleRunType = 8;
    const bool confirmed = UI().ShowForm(QStringLiteral("FrmLittle"), true) == 1;
    const QString given = app.FormParamString;
    // Confirmed without a number: no QQ to chat from, so the message board.
    if (given.isEmpty() && !confirmed) return;

    QString service;
    try {
        Cls数据操作 ops;
        service = Trim(ops.GetQQNo());
    } catch (const dao::DaoError&) {
        // Without a readable contact record the built-in service number still reaches the desk.
    } catch (const VbError&) {
    }
    if (service.isEmpty()) service = QString::fromLatin1(kBuiltInServiceQQ);

    if (IsNumeric(given)) {
        if (UI().MsgBox(Trans(QStringLiteral("QQ在线，是否优先启用它？")), vb::YesNo) == vb::Yes) {
            const QString link = QStringLiteral("tencent://message/?uin=") +
                                 PercentEncodeQueryValue(service) + QStringLiteral("&Site=&Menu=yes");
            if (UI().OpenUrl(link)) return;
            UI().MsgBox(Trans(QStringLiteral("本机没有能打开QQ链接的程序，请在留言板上与客服联系。")),
                        vb::Information);
        }
    } else {
        UI().MsgBox(Trans(QStringLiteral("QQ未上线，不能启动客服。")), vb::OKOnly);
    }
    UI().ShowForm(QStringLiteral("FrmMsg_1A"), true);
}
