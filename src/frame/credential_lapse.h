#pragma once

#include <QString>
#include <functional>

// The server no longer knows the log-on's credential (twelve hours unused, pushed out by newer ones, or
// revoked): the procedure calls' door and the pages that act for the account both say so. Whichever
// path hears it first calls CredentialLapsed; what the user is told follows once the operation that
// heard it has ended (the on-line layer's TellLapsedLogon).

// The message the user is shown for it.
inline const QString kLogonLapsedMessage = QStringLiteral("登录已过期，请重新登录后再试。");

// Forgets the credential, logs the user off (through the handler the on-line layer installs) and keeps
// the lapse until TakeCredentialLapse takes it.
void CredentialLapsed();
// True once per lapse: the caller tells it.
bool TakeCredentialLapse();
bool CredentialLapsePending();

// What logging off means to the user record, which lives on a floor above this one.
void SetCredentialLapseLogOff(std::function<void()> logOff);
