#include "online/server_session.h"

#include "frame/app_state.h"
#include "online/user_record.h"
#include "platform/pg/pg_error.h"

namespace {

void BindToLoggedOnAccount(PgConnection& connection) {
    QString& credential = App().ServerCredential;
    if (credential.isEmpty()) return;
    const PgResult bound = connection.exec(QStringLiteral("SELECT zp_bind_session($1::text)"), {credential});
    if (!bound.ok) throw PgError(bound.error, bound.sqlState);
    if (bound.rows.value(0).value(0).toInt() > 0) return;
    credential.clear();
    CurrentUserRecord().Logoned = false;
    throw PgError(QStringLiteral("登录已过期，请重新登录后再试。"));
}

}  // namespace

ServerSession::ServerSession(Binding binding) {
    try {
        ConnectServerDb();
        if (binding == Binding::LoggedOnAccount && connection()->isOpen())
            BindToLoggedOnAccount(*connection());
    } catch (...) {
        ServerConnection().reset();
        throw;
    }
}
