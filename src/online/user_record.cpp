#include "online/user_record.h"

#include <QRegularExpression>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/credential_lapse.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "platform/http/http_client.h"

namespace {

// A lapsed credential ends the log-on as logging off does.
[[maybe_unused]] const bool kLapseLogsOff = [] {
    SetCredentialLapseLogOff([] {
        if (!App().CurrentUser) return;
        App().CurrentUser->Logoned = false;
        App().CurrentUser->OpenLevel = 0;
    });
    return true;
}();

}  // namespace

quint8 Cls_User::ChangeProtected(qint32 accid, quint8 right) {
    // The level change goes to the built-in server host, never to the configurable server base.
    const QString reply =
        HttpGetTextAsUser(BuiltInServerUrl() + QStringLiteral("/flsh2/ChangeProtected.asp?accid=") +
                          QString::number(accid) + QStringLiteral("&right=") + QString::number(right))
            .trimmed();
    static const QRegularExpression wholeNumber(QStringLiteral("^[0-9]{1,3}$"));
    if (!wholeNumber.match(reply).hasMatch()) return 0;
    const int value = reply.toInt();
    return value <= 255 ? quint8(value) : 0;
}

QString Cls_User::Logon2(const QString& u_no, const QString& pswd, const QString& pswd2, const QString& nick,
                         quint8 R) {
    // Each value encoded: a "&" or "#" in a nickname must not end it or start another key.
    // The account number scrambled as sp_trylogon gets it, so that both name the same account.
    return HttpGetText(BuildUrl(GetSiteUrl().toString(), QStringLiteral("/flsh2/tryLogon3.asp"),
                                {{QStringLiteral("u_no"), EncodeTextEx(u_no, ServerKey())},
                                 {QStringLiteral("pswd"), pswd},
                                 {QStringLiteral("pswd2"), pswd2},
                                 {QStringLiteral("Nick"), nick},
                                 {QStringLiteral("R"), QString::number(R)}})
                           .toString(QUrl::FullyEncoded));
}

Cls_User& CurrentUserRecord() {
    auto& user = App().CurrentUser;
    if (!user) user = std::make_shared<Cls_User>();
    return *user;
}
