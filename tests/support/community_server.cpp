#include "support/community_server.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <atomic>
#include <mutex>

#include "db/pg_error.h"
#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "online/user_record.h"
#include "pages/schema_loader.h"
#include "platform/door/server_error.h"
#include "platform/settings_store.h"
#include "support/pg_test_server.h"

namespace {

// The page service's password on the throwaway cluster.
const QString kPagesTestPassword = QStringLiteral("qntzp-pages-test");

QString NewDatabaseName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("qnt_test_%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate() & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

// The cluster's accounts, made once per test program. Test programs run at once and an account is the
// cluster's, not a database's: the first program makes them under a lock, the others then find them and
// their loads change nothing.
QString EnsureServerAccounts() {
    static std::once_flag once;
    static QString error;
    std::call_once(once, [] {
        auto admin = PgConnection::Open(PgSuperuserParams(), &error);
        if (!admin) return;
        if (!admin->exec(QStringLiteral("SELECT pg_advisory_lock(72019302)")).ok) error = admin->lastError();
        if (error.isEmpty()) error = LoadServerAccounts(*admin);
        const PgResult password =
            admin->exec(QStringLiteral("ALTER ROLE qntzp_pages PASSWORD '%1'").arg(kPagesTestPassword));
        if (error.isEmpty() && !password.ok) error = password.error;
    });  // closing the connection releases the lock
    return error;
}

}  // namespace

TestCommunityServer::TestCommunityServer() : dbname_(NewDatabaseName()) {
    previousCa_ = GetSetting(QStringLiteral("server_ca"));
    error_ = EnsureServerAccounts();
    if (!error_.isEmpty()) return;
    QString failure;
    auto postgres = PgConnection::Open(PgSuperuserParams(), &failure);
    if (!postgres) {
        error_ = QStringLiteral("superuser connection failed: ") + failure;
        return;
    }
    // A database name cannot be a parameter; this one is made here, never taken from input.
    const PgResult created =
        postgres->exec(QStringLiteral("CREATE DATABASE ") + PgConnection::QuoteIdentifier(dbname_));
    if (!created.ok) {
        error_ = created.error;
        return;
    }
    admin_ = PgConnection::Open(PgSuperuserParams(dbname_), &failure);
    if (!admin_) {
        error_ = failure;
        return;
    }
    error_ = LoadServerSchema(*admin_);
    if (error_.isEmpty()) error_ = startPages();
}

TestCommunityServer::~TestCommunityServer() {
    ServerConnection().reset();
    door_.reset();
    secondPages_.reset();
    if (pages_) pages_->stop();
    pages_.reset();
    SetBuiltInServerUrl(QString());
    SaveSetting(QStringLiteral("server_ca"), previousCa_);
    admin_.reset();
    if (auto postgres = PgConnection::Open(PgSuperuserParams()))
        postgres->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + PgConnection::QuoteIdentifier(dbname_) +
                       QStringLiteral(" WITH (FORCE)"));
}

PgParams TestCommunityServer::pagesParams() const {
    PgParams params = PgSuperuserParams(dbname_);
    params.user = QStringLiteral("qntzp_pages");
    params.password = kPagesTestPassword;
    return params;
}

QString TestCommunityServer::startPages(const QString& staticRoot,
                                        const std::function<void(PageService&)>& addPages) {
    PageServiceConfig config;
    // Connections the program opened before keep working: the service comes back where it was.
    config.port = pages_ ? pages_->port() : 0;
    config.database = pagesParams();
    config.staticRoot = staticRoot;
    // The test door connects from here, as nginx does on one machine.
    config.doorAddresses = {QStringLiteral("127.0.0.1")};
    if (pages_) pages_->stop();
    pages_ = std::make_unique<PageService>(config);
    if (addPages) addPages(*pages_);
    QString failure;
    if (!pages_->start(&failure)) return failure;
    if (!door_) SetBuiltInServerUrl(pages_->baseUrl());
    return {};
}

QString TestCommunityServer::startDoor(int pageServices) {
    if (!pages_) return QStringLiteral("no page service");
    QList<int> ports{pages_->port()};
    if (pageServices > 1) {
        PageServiceConfig config;
        config.port = 0;
        config.database = pagesParams();
        config.staticRoot = pages_->staticRoot();
        config.doorAddresses = {QStringLiteral("127.0.0.1")};
        secondPages_ = std::make_unique<PageService>(config);
        QString failure;
        if (!secondPages_->start(&failure)) return failure;
        ports << secondPages_->port();
    }
    door_ = std::make_unique<TestDoor>();
    if (QString failure = door_->start(ports); !failure.isEmpty()) return failure;
    SaveSetting(QStringLiteral("server_ca"), TestDoor::authorityFile());
    SetBuiltInServerUrl(door_->url());
    return {};
}

void CommunityServerTest::SetUp() {
    if (!PgTestServerExpected()) GTEST_SKIP() << "no PostgreSQL test cluster (PGHOST unset)";
    server_ = std::make_unique<TestCommunityServer>();
    ASSERT_TRUE(server_->ok()) << server_->error().toStdString();
}

std::unique_ptr<DoorConnection> OpenTestConnection(const QString& credential) {
    auto connection = std::make_unique<DoorConnection>(BuiltInServerUrl());
    connection->open(credential);
    return connection;
}

QString ServerErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ServerError& e) {
        return e.Description();
    }
    return QString();
}

int CallTryLogon(ServerCommand& cmd, const QString& number, const QString& digest, int logonType,
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
    // A log-on proves the account by its password alone, as the program's log-on does.
    cmd.ActiveConnection()->setCredential(QString());
    cmd.Execute();
    return cmd.Value(QStringLiteral("@z_state")).toInt();
}

qint32 RegisterTestAccount(ServerCommand& cmd, const QString& number, const QString& nick, int right) {
    if (CallTryLogon(cmd, number, QStringLiteral("digest-") + number, 1, nick, right) != 3) return 0;
    return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
}

qint32 LogOnTestAccount(ServerCommand& cmd, const QString& number) {
    if (CallTryLogon(cmd, number, QStringLiteral("digest-") + number, 0) != 1) return 0;
    return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
}

qint32 LogOnProgramUser(const QString& number) {
    std::unique_ptr<DoorConnection> connection;
    try {
        connection = OpenTestConnection();
    } catch (const ServerError&) {
        return 0;
    }
    ServerCommand cmd(connection.get());
    const qint32 account = LogOnTestAccount(cmd, number);
    if (account == 0) return 0;
    App().ServerCredential = connection->credential();
    Cls_User& user = CurrentUserRecord();
    user.acc_id = account;
    user.NickName = cmd.Value(QStringLiteral("@z_nick")).toString();
    user.curGroup_Id = cmd.Value(QStringLiteral("@z_group_id")).toInt();
    user.Logoned = true;
    return account;
}

void FetchTestMember(ServerCommand& cmd, qint32 id) {
    cmd.SetCommandText(QStringLiteral("sp_Getzpdata2"));
    for (const QString& name : cmd.ParameterNames()) cmd.SetValue(name, QString());
    for (const char* number :
         {"@z_boy_sex", "@z_boy_active", "@z_mother_active", "@z_boy_sort", "@z_boy_right", "@z_myacc_id"})
        cmd.SetValue(QString::fromLatin1(number), 0);
    cmd.SetValue(QStringLiteral("@z_filial_id"), id);
    cmd.Execute();
}

qint32 SaveTestMember(ServerCommand& cmd, qint32 account, qint32 id, const TestServerMember& member,
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

RawReply RawExchange(int port, const QByteArray& request, int waitMs, const QString& source) {
    QTcpSocket socket;
    socket.bind(QHostAddress(source));
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (!socket.waitForConnected(5000)) return {};
    socket.write(request);
    QByteArray all;
    while (socket.waitForReadyRead(waitMs) || socket.bytesAvailable()) all += socket.readAll();
    return ParseRawReply(all);
}

RawReply RawPageRequest(int port, const QByteArray& method, const QByteArray& target,
                        const QString& credential) {
    QByteArray request = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (!credential.isEmpty()) request += "Authorization: Bearer " + credential.toLatin1() + "\r\n";
    return RawExchange(port, request + "\r\n");
}
