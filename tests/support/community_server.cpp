#include "support/community_server.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <atomic>

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "online/user_record.h"
#include "pages/schema_loader.h"
#include "platform/pg/pg_error.h"
#include "platform/settings_store.h"
#include "support/pg_test_server.h"

namespace {

QString NewDatabaseName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("qnt_test_%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate() & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

}  // namespace

TestCommunityServer::TestCommunityServer() : dbname_(NewDatabaseName()) {
    previousServerDb_ = GetSetting(QStringLiteral("server_db"));
    QString failure;
    auto admin = PgConnection::Open(PgSuperuserParams(), &failure);
    if (!admin) {
        error_ = QStringLiteral("superuser connection failed: ") + failure;
        return;
    }
    // A database name cannot be a parameter; this one is made here, never taken from input.
    const PgResult created =
        admin->exec(QStringLiteral("CREATE DATABASE ") + PgConnection::QuoteIdentifier(dbname_));
    if (!created.ok) {
        error_ = created.error;
        return;
    }
    owner_ = PgConnection::Open(ownerParams(), &failure);
    if (!owner_) {
        error_ = failure;
        return;
    }
    error_ = LoadServerSchema(*owner_);
    SaveSetting(QStringLiteral("server_db"), QStringLiteral("%%") + dbname_);
}

TestCommunityServer::~TestCommunityServer() {
    if (pages_) pages_->stop();
    pages_.reset();
    SetBuiltInServerUrl(QString());
    ServerConnection().reset();
    owner_.reset();
    SaveSetting(QStringLiteral("server_db"), previousServerDb_);
    if (auto admin = PgConnection::Open(PgSuperuserParams()))
        admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + PgConnection::QuoteIdentifier(dbname_) +
                    QStringLiteral(" WITH (FORCE)"));
}

PgParams TestCommunityServer::ownerParams() const {
    return PgSuperuserParams(dbname_);
}

QString TestCommunityServer::startPages(const QString& staticRoot,
                                        const std::function<void(PageService&)>& addPages) {
    PageServiceConfig config;
    config.port = 0;
    config.database = ownerParams();
    config.staticRoot = staticRoot;
    pages_ = std::make_unique<PageService>(config);
    if (addPages) addPages(*pages_);
    QString failure;
    if (!pages_->start(&failure)) return failure;
    SetBuiltInServerUrl(pages_->baseUrl());
    return {};
}

void CommunityServerTest::SetUp() {
    if (!PgTestServerExpected()) GTEST_SKIP() << "no PostgreSQL test cluster (PGHOST unset)";
    server_ = std::make_unique<TestCommunityServer>();
    ASSERT_TRUE(server_->ok()) << server_->error().toStdString();
}

QString PgErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const PgError& e) {
        return e.Description();
    }
    return QString();
}

int CallTryLogon(PgCommand& cmd, const QString& number, const QString& digest, int logonType,
                 const QString& nick, int right) {
    cmd.SetCommandText(QStringLiteral("sp_trylogon"));
    cmd.SetValue(QStringLiteral("@z_user_no"), number);
    cmd.SetValue(QStringLiteral("@z_pswd"), digest);
    cmd.SetValue(QStringLiteral("@z_pswd2"), digest + QStringLiteral("-2"));
    cmd.SetValue(QStringLiteral("@z_right"), right);
    cmd.SetValue(QStringLiteral("@z_acc_id"), 0);
    cmd.SetValue(QStringLiteral("@z_nick"), nick);
    cmd.SetValue(QStringLiteral("@z_state"), 0);
    cmd.SetValue(QStringLiteral("@z_group_id"), 0);
    cmd.SetValue(QStringLiteral("@z_logon_type"), logonType);
    cmd.Execute();
    return cmd.Value(QStringLiteral("@z_state")).toInt();
}

qint32 RegisterTestAccount(PgCommand& cmd, const QString& number, const QString& nick, int right) {
    if (CallTryLogon(cmd, number, QStringLiteral("digest-") + number, 1, nick, right) != 3) return 0;
    return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
}

qint32 LogOnTestAccount(PgCommand& cmd, const QString& number) {
    if (CallTryLogon(cmd, number, QStringLiteral("digest-") + number, 0) != 1) return 0;
    return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
}

QString TestCredential(PgConnection& connection) {
    return connection.exec(QStringLiteral("SELECT zp_session_token()")).rows.value(0).value(0);
}

qint32 LogOnProgramUser(const QString& number) {
    auto connection = PgConnection::Open(ServerDbParams());
    if (!connection) return 0;
    PgCommand cmd(connection.get());
    const qint32 account = LogOnTestAccount(cmd, number);
    if (account == 0) return 0;
    App().ServerCredential = TestCredential(*connection);
    Cls_User& user = CurrentUserRecord();
    user.acc_id = account;
    user.NickName = cmd.Value(QStringLiteral("@z_nick")).toString();
    user.curGroup_Id = cmd.Value(QStringLiteral("@z_group_id")).toInt();
    user.Logoned = true;
    return account;
}

qint32 SaveTestMember(PgCommand& cmd, qint32 account, qint32 id, const TestServerMember& member,
                      QString* serverName) {
    cmd.SetCommandText(QStringLiteral("sp_savezpdata2"));
    cmd.SetValue(QStringLiteral("@z_accid"), account);
    cmd.SetValue(QStringLiteral("@z_filial_id"), id);
    cmd.SetValue(QStringLiteral("@z_father"), member.father);
    cmd.SetValue(QStringLiteral("@z_mother"), member.mother);
    cmd.SetValue(QStringLiteral("@z_filial"), member.name);
    cmd.SetValue(QStringLiteral("@z_Boy_Sex"), 0);      // the old "No"
    cmd.SetValue(QStringLiteral("@z_boy_active"), -1);  // the old "Yes"
    cmd.SetValue(QStringLiteral("@z_boy_birthday"), QStringLiteral("1901-02-03"));
    for (const char* text :
         {"@z_boy_death", "@z_mother_birthday", "@z_mother_death", "@z_mother_folk", "@z_m_education",
          "@z_m_position", "@z_boy_folk", "@z_boy_education", "@z_boy_position"})
        cmd.SetValue(QString::fromLatin1(text), QString());
    cmd.SetValue(QStringLiteral("@z_Mother_active"), true);
    cmd.SetValue(QStringLiteral("@z_c_jc_w_z_h"), QStringLiteral("a%b%c%d%e%f"));
    cmd.SetValue(QStringLiteral("@z_boy_sort"), 2);
    cmd.SetValue(QStringLiteral("@z_boy_right"), member.protection);
    cmd.Execute();
    if (serverName) *serverName = cmd.Value(QStringLiteral("@z_filial")).toString();
    return cmd.Value(QStringLiteral("@z_filial_id")).toInt();
}

RawReply RawPageRequest(int port, const QByteArray& method, const QByteArray& target,
                        const QString& credential) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    RawReply reply;
    if (!socket.waitForConnected(5000)) return reply;
    QByteArray request = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!credential.isEmpty()) request += "Authorization: Bearer " + credential.toLatin1() + "\r\n";
    socket.write(request + "\r\n");
    QByteArray all;
    while (socket.waitForReadyRead(5000) || socket.bytesAvailable()) all += socket.readAll();
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (end < 0) return reply;
    const QList<QByteArray> lines = all.left(end).split('\n');
    reply.status = lines.value(0).split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            reply.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
    }
    reply.body = all.mid(end + 4);
    return reply;
}
