#pragma once

#include <QString>

// The form name under which the log-on window is registered.
inline constexpr char kLogonFormName[] = "FrmLogon";

// Every on-line command asks this first: when nobody is logged on it shows the log-on form (modal) and
// answers whether somebody is logged on when the form has closed. A false answer ends the command
// without a word: the form has said whatever there was to say. A lapse of the log-on that nobody has
// told yet is told before the form.
bool RequireLogon();

// The book download asks this instead: the form is always shown, with the ticked book root forgotten
// first. The server id of the book root ticked there, "" when the command must stop (nobody logged on
// or nothing ticked).
QString ChooseBookRootToDownload();

// Where a command tells what became of it: when the log-on lapsed during the command, the user is told
// (`before`, what was not done, then 「登录已过期，请重新登录后再试。」) and the log-on form comes back;
// true, and the command says nothing else. False, doing nothing, otherwise.
bool TellLapsedLogon(const QString& before = QString());
