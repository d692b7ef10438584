#include "online/server_session.h"

#include "frame/app_state.h"
#include "frame/credential_lapse.h"

ServerSession::ServerSession(Binding binding) {
    try {
        ConnectServerDb(binding == Binding::LoggedOnAccount ? App().ServerCredential : QString(),
                        CredentialLapsed);
    } catch (...) {
        ServerConnection().reset();
        throw;
    }
}
