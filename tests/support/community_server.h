#pragma once

// A community server of the test's own, for every on-line test: a fresh database on the throwaway
// cluster of pg_virtualenv, loaded with the server's schema and accounts as `./dev server` loads them,
// and the page service on a free port, logged on with the page service's own account, which the program
// reaches directly (through SetBuiltInServerUrl). On request the door in front of it (nginx with TLS, the
// program told to trust the test authority), and a second page service behind the same door. Everything
// is undone when the object goes.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

#include "db/pg_connection.h"
#include "pages/page_service.h"
#include "platform/door/server_command.h"
#include "support/test_door.h"

class TestCommunityServer {
public:
    TestCommunityServer();
    ~TestCommunityServer();
    TestCommunityServer(const TestCommunityServer&) = delete;
    TestCommunityServer& operator=(const TestCommunityServer&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    QString databaseName() const { return dbname_; }

    // The cluster's administrator on this database, for looking at tables directly.
    PgConnection& admin() { return *admin_; }
    // How the page service logs on to this database.
    PgParams pagesParams() const;

    // Starts the page service again (on the port it had), with static files from staticRoot when given;
    // addPages may add or replace pages first. "" on success.
    QString startPages(const QString& staticRoot = QString(),
                       const std::function<void(PageService&)>& addPages = nullptr);
    PageService* pages() { return pages_.get(); }
    QString pagesUrl() const { return pages_ ? pages_->baseUrl() : QString(); }
    // Where the program is pointed: the door once it stands, else the page service.
    QString url() const { return door_ ? door_->url() : pagesUrl(); }

    // Puts the door in front of the page service (and, with two, a second page service of its own on the
    // same database) and points the program at it: its address and the authority it must trust. "" on
    // success.
    QString startDoor(int pageServices = 1);
    TestDoor* door() { return door_.get(); }
    PageService* secondPages() { return secondPages_.get(); }

private:
    QString dbname_;
    QString error_;
    QString previousCa_;
    std::unique_ptr<PgConnection> admin_;
    std::unique_ptr<PageService> pages_;
    std::unique_ptr<PageService> secondPages_;
    std::unique_ptr<TestDoor> door_;
};

// Tests that need a community server derive from this: without a test cluster they skip, with one the
// server must come up.
class CommunityServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { server_.reset(); }

    std::unique_ptr<TestCommunityServer> server_;
};

// Calls of the procedures as the on-line operations make them, for tests that need accounts and members.

// A connection to the server the program is pointed at, opened (with a credential when given).
std::unique_ptr<DoorConnection> OpenTestConnection(const QString& credential = QString());

// The description of the ServerError the call raises; "" when it raises none.
QString ServerErrorOf(const std::function<void()>& call);

// sp_trylogon; returns @z_state (1 logged on, 2 refused, 3 registered). The second password is the first
// with "-2" appended.
int CallTryLogon(ServerCommand& cmd, const QString& number, const QString& digest, int logonType,
                 const QString& nick = QString(), int right = 0);
// Registers number with the digest "digest-" + number; the account id, 0 when it failed. The command's
// connection then acts for the new account.
qint32 RegisterTestAccount(ServerCommand& cmd, const QString& number, const QString& nick, int right = 0);
// Logs the account registered as number on through the command's connection, which then acts for it;
// the account id, 0 when refused.
qint32 LogOnTestAccount(ServerCommand& cmd, const QString& number);
// The program's user logged on as the account registered as number, as the log-on form leaves it: the
// user record and the credential that goes with the program's calls and pages.
qint32 LogOnProgramUser(const QString& number);

struct TestServerMember {
    TestServerMember(const QString& name, const QString& father = QString(),
                     const QString& mother = QString(), int protection = 0)
        : name(name), father(father), mother(mother), protection(protection) {}
    QString name;
    QString father;
    QString mother;
    int protection;
};
// sp_savezpdata2 with the member's fields (sex No, living Yes, born "1901-02-03", name parts
// "a%b%c%d%e%f", sibling order 2); the server id, *serverName the name the server keeps.
qint32 SaveTestMember(ServerCommand& cmd, qint32 account, qint32 id, const TestServerMember& member,
                      QString* serverName = nullptr);
// sp_Getzpdata2 for the member with the id, with the placeholders the downloads put in; the answer is in
// the command's out values.
void FetchTestMember(ServerCommand& cmd, qint32 id);

// A request exactly as written (Qt's own client would tidy "..", which the service must refuse), with
// the credential of a log-on when one is given, straight to a page service.
RawReply RawPageRequest(int port, const QByteArray& method, const QByteArray& target,
                        const QString& credential = QString());
// As RawPageRequest, with whatever head and body (method, target, headers, blank line and body), from
// the source address given (any of 127.0.0.0/8).
RawReply RawExchange(int port, const QByteArray& request, int waitMs = 5000,
                     const QString& source = QStringLiteral("127.0.0.1"));
