#include "online/logon_gate.h"

#include "online/user_record.h"
#include "platform/interaction/interaction.h"

bool RequireLogon() {
    if (CurrentUserRecord().Logoned) return true;
    UI().ShowForm(QString::fromLatin1(kLogonFormName), true);
    return CurrentUserRecord().Logoned;
}

QString ChooseBookRootToDownload() {
    CurrentUserRecord().Tag = QString();
    UI().ShowForm(QString::fromLatin1(kLogonFormName), true);
    const Cls_User& user = CurrentUserRecord();
    if (!user.Logoned) return {};
    return user.Tag.toString();
}
