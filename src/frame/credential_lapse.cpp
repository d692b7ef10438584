#include "frame/credential_lapse.h"

#include "frame/app_state.h"

namespace {

std::function<void()>& LogOff() {
    static std::function<void()> logOff;
    return logOff;
}

}  // namespace

void CredentialLapsed() {
    App().ServerCredential.clear();
    App().CredentialLapsed = true;
    if (LogOff()) LogOff()();
}

bool TakeCredentialLapse() {
    const bool lapsed = App().CredentialLapsed;
    App().CredentialLapsed = false;
    return lapsed;
}

bool CredentialLapsePending() {
    return App().CredentialLapsed;
}

void SetCredentialLapseLogOff(std::function<void()> logOff) {
    LogOff() = std::move(logOff);
}
