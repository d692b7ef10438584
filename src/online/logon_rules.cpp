#include "online/logon_rules.h"

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "frame/text_utils.h"
#include "online/adv_pswd.h"
#include "online/server_session.h"
#include "online/user_record.h"
#include "platform/door/server_command.h"
#include "platform/door/server_error.h"
#include "platform/http/http_client.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

namespace {

constexpr int kMinAccount = 3;
constexpr int kMinPassword = 6;
constexpr int kMinNickname = 2;

}  // namespace

QString LogonRules::CleanField(const QString& text) {
    return Trim(text);
}

QString LogonRules::CleanNickname(const QString& text) {
    QString cleaned = Trim(text);
    ReplaceAll(cleaned, QStringLiteral("@~"), QString());
    return cleaned;
}

std::optional<LogonRules::Refusal> LogonRules::CheckRegistration(const Registration& f) {
    if (f.account.size() < kMinAccount)
        return Refusal{Field::Account, QStringLiteral("帐号太短。"), vb::Critical};
    if (f.password.size() < kMinPassword)
        return Refusal{Field::Password, QStringLiteral("密码太短。"), vb::Critical};
    if (f.password != f.passwordAgain)
        return Refusal{Field::PasswordAgain, QStringLiteral("密码不一致！"), vb::Information};
    if (f.secondPassword.size() < kMinPassword)
        return Refusal{Field::SecondPassword, QStringLiteral("二级密码太短。"), vb::Critical};
    if (f.nickname.size() < kMinNickname)
        return Refusal{Field::Nickname, QStringLiteral("昵称太短。"), vb::Critical};
    return std::nullopt;
}

LogonRules::BookRoots LogonRules::ParseBookRoots(const QString& reply) {
    BookRoots list;
    if (reply.isEmpty()) return list;
    for (const QString& record : reply.split(QStringLiteral("@~"))) {
        if (record.isEmpty()) continue;
        const QStringList fields = record.split(QStringLiteral("%!"));
        if (fields.size() < 2) return list;
        list.roots.append({fields.at(0), fields.at(1)});
    }
    list.complete = true;
    return list;
}

QString LogonRules::BookRootsUrl(qint32 accountId) {
    return BuildUrl(GetSiteUrl().toString(), QStringLiteral("/flsh2/get_zproot3.asp"),
                    {{QStringLiteral("accid"), QString::number(accountId)}})
        .toString(QUrl::FullyEncoded);
}

QList<int> LogonRules::ItemsToUntick(const QStringList& texts, const QList<bool>& ticked, int index) {
    QList<int> untick;
    for (int i = 0; i < texts.size() && i < ticked.size(); ++i)
        if (i != index && ticked.at(i) && texts.at(i) != texts.value(index)) untick.append(i);
    return untick;
}

int LogonRules::LatencyPicture(double ms) {
    if (!(ms > 0)) return 0;
    if (ms < 90) return 1;
    if (ms <= 130) return 2;
    if (ms <= 180) return 3;
    return 4;
}

QStringList LogonRules::LevelNames() {
    return {QStringLiteral("不公开"), QStringLiteral("公开到世界"), QStringLiteral("公开到宗亲会")};
}

int LogonRules::LevelOf(const QString& text) {
    return int(LevelNames().indexOf(text));
}

QString LogonRules::GroupButtonTip(qint32 groupId) {
    return groupId >= 1 ? QStringLiteral("成员列表") : QStringLiteral("宗亲会列表");
}

LogonRules::Answer LogonRules::TryLogon(ClsAdvPswd& digests, const QString& account, const QString& password,
                                        const QString& secondPassword, const QString& nickname, int level,
                                        bool registering) {
    // The log-on proves the account by its password; no earlier credential goes with it.
    ServerSession session(ServerSession::Binding::None);
    ServerCommand cmd(session.connection());
    cmd.SetCommandText(QStringLiteral("sp_trylogon"));
    cmd.SetValue(QStringLiteral("@z_user_no"), EncodeTextEx(account, ServerKey()));
    cmd.SetValue(QStringLiteral("@z_pswd"), digests.Net_AdvPswd(password, account));
    cmd.SetValue(QStringLiteral("@z_pswd2"), digests.Net_AdvPswd(secondPassword, account));
    cmd.SetValue(QStringLiteral("@z_right"), level);
    cmd.SetValue(QStringLiteral("@z_acc_id"), 0);
    cmd.SetValue(QStringLiteral("@z_nick"), nickname);
    cmd.SetValue(QStringLiteral("@z_state"), 0);
    cmd.SetValue(QStringLiteral("@z_group_id"), 0);
    cmd.SetValue(QStringLiteral("@z_logon_type"), registering ? 1 : 0);
    cmd.Execute();
    Answer answer;
    answer.state = cmd.Value(QStringLiteral("@z_state")).toInt();
    answer.level = cmd.Value(QStringLiteral("@z_right")).toInt();
    answer.accountId = cmd.Value(QStringLiteral("@z_acc_id")).toInt();
    answer.nickname = cmd.Value(QStringLiteral("@z_nick")).toString();
    answer.groupId = cmd.Value(QStringLiteral("@z_group_id")).toInt();
    // The server answers a successful log-on with the credential for the later calls and pages.
    if (answer.state == kLoggedOn || answer.state == kRegistered)
        answer.credential = session.connection()->credential();
    return answer;
}

void LogonRules::ApplyLogon(const Answer& answer, Cls_User& user) {
    user.Logoned = true;
    user.OpenLevel = quint8(qBound(0, answer.level, 255));
    user.acc_id = answer.accountId;
    user.NickName = answer.nickname;
    user.curGroup_Id = answer.groupId;
    App().ServerCredential = answer.credential;
}
