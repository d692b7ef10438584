#include "online/server_session.h"

#include "frame/app_state.h"
#include "online/user_record.h"

namespace {

// The log-on ends with its credential.
void LogOff() {
    App().ServerCredential.clear();
    CurrentUserRecord().Logoned = false;
}

}  // namespace

ServerSession::ServerSession(Binding binding) {
    try {
        ConnectServerDb(binding == Binding::LoggedOnAccount ? App().ServerCredential : QString(), LogOff);
    } catch (...) {
        ServerConnection().reset();
        throw;
    }
}
