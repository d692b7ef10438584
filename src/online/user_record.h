#pragma once

#include <QString>
#include <QVariant>

// The user logged on to the community server: one shared instance, App().CurrentUser, created by the
// launcher with Logoned False. Every member is a plain stored value; the log-on form fills them.
class Cls_User {
public:
    // Asks the community server to change the account's data-openness level: 1 when it did. Any other
    // reply, an empty one (no server) included, gives 0, which the caller reads as not done.
    quint8 ChangeProtected(qint32 accid, quint8 right);
    // Placeholder of the old interface: ignores its arguments.
    qint32 Logon(const QString&, const QString&, const QString&, const QString&, quint8) { return 0; }
    // Log-on over HTTP ("/flsh2/tryLogon3.asp" of the public web site): the account number as typed
    // (sent scrambled under the server text key, as sp_trylogon gets it), the two password digests as
    // the log-on form sends them to sp_trylogon, the nickname, and R 1 to register. Answers the page's
    // reply unchanged; "" when the request fails.
    QString Logon2(const QString& u_no, const QString& pswd, const QString& pswd2, const QString& nick,
                   quint8 R);
    QString GetPswd() const { return Pswd; }
    QString GetPswd2() const { return Pswd2; }
    // A value only the program itself keeps; nothing uses it.
    QString GetFriendText() const { return friendText_; }
    void SetFriendText(const QString& text) { friendText_ = text; }

    qint32 odklj_id = 0;     // book category id
    quint8 OpenLevel = 0;    // 0 不公开, 1 公开到世界, 2 公开到宗亲会
    bool Logoned = false;    // a log-on or registration of this run succeeded
    quint8 position_id = 0;  // position in the current clan association
    quint8 Protected = 0;    // data-openness level after a change; also the protection prompt's answer
    qint32 curGroup_Id = 0;  // clan association; below 1 means none
    QVariant Tag;            // a plain value or an object: the ticked book root's server id
    qint32 acc_id = 0;       // server account id; 0 when none
    QString SelectedZp;
    QString User_No;
    QString NickName;
    QString Info_Prop;
    QVariant Info_Pswd;
    QString Pswd2;
    QString Pswd;
    QString Create_DT;
    QString LastGroup;
    qint32 User_SW = 0;
    QString User_Name;

private:
    QString friendText_;
};

// App().CurrentUser, made (logged off) when the launcher has not made it yet.
Cls_User& CurrentUserRecord();
