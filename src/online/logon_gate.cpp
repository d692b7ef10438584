#include "online/logon_gate.h"

#include "frame/credential_lapse.h"
#include "frame/progress.h"
#include "online/user_record.h"
#include "platform/interaction/interaction.h"

namespace {

void ShowLogonForm() {
    UI().ShowForm(QString::fromLatin1(kLogonFormName), true);
}

void TellPendingLapse() {
    if (TakeCredentialLapse()) UI().MsgBox(kLogonLapsedMessage, vb::Exclamation);
}

}  // namespace

bool RequireLogon() {
    if (CurrentUserRecord().Logoned) return true;
    TellPendingLapse();
    ShowLogonForm();
    return CurrentUserRecord().Logoned;
}

QString ChooseBookRootToDownload() {
    CurrentUserRecord().Tag = QString();
    TellPendingLapse();
    ShowLogonForm();
    const Cls_User& user = CurrentUserRecord();
    if (!user.Logoned) return {};
    return user.Tag.toString();
}

bool TellLapsedLogon(const QString& before) {
    if (!TakeCredentialLapse()) return false;
    ProgressPause pause;
    UI().MsgBox(before + kLogonLapsedMessage, vb::Exclamation);
    ShowLogonForm();
    return true;
}
