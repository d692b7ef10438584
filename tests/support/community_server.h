#pragma once

// A community server of the test's own, for every on-line test: a fresh database on the throwaway
// cluster of pg_virtualenv, loaded with the server's schema, which the program's ConnectServerDb reaches
// (through the setting "server_db"), and on request the page service on a free port, which the program's
// HTTP procedures reach (through SetBuiltInServerUrl). Everything is undone when the object goes.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>

#include "pages/page_service.h"
#include "platform/pg/pg_command.h"
#include "platform/pg/pg_connection.h"

class TestCommunityServer {
public:
    TestCommunityServer();
    ~TestCommunityServer();
    TestCommunityServer(const TestCommunityServer&) = delete;
    TestCommunityServer& operator=(const TestCommunityServer&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    QString databaseName() const { return dbname_; }

    // The schema's owner on this database, for looking at tables directly.
    PgParams ownerParams() const;
    PgConnection& owner() { return *owner_; }

    // Starts the page service (static files from staticRoot when given; addPages may add or replace pages
    // first); "" on success.
    QString startPages(const QString& staticRoot = QString(),
                       const std::function<void(PageService&)>& addPages = nullptr);
    PageService* pages() { return pages_.get(); }
    QString pagesUrl() const { return pages_ ? pages_->baseUrl() : QString(); }

private:
    QString dbname_;
    QString error_;
    QString previousServerDb_;
    std::unique_ptr<PgConnection> owner_;
    std::unique_ptr<PageService> pages_;
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

// The description of the PgError the call raises; "" when it raises none.
QString PgErrorOf(const std::function<void()>& call);

// sp_trylogon; returns @z_state (1 logged on, 2 refused, 3 registered). The second password is the first
// with "-2" appended.
int CallTryLogon(PgCommand& cmd, const QString& number, const QString& digest, int logonType,
                 const QString& nick = QString(), int right = 0);
// Registers number with the digest "digest-" + number; the account id, 0 when it failed. The command's
// connection then acts for the new account.
qint32 RegisterTestAccount(PgCommand& cmd, const QString& number, const QString& nick, int right = 0);
// Logs the account registered as number on through the command's connection, which then acts for it;
// the account id, 0 when refused.
qint32 LogOnTestAccount(PgCommand& cmd, const QString& number);
// A credential for the account the connection proved, as the program's log-on takes it.
QString TestCredential(PgConnection& connection);
// The program's user logged on as the account registered as number, as the log-on form leaves it: the
// user record and the credential that binds the program's connections and goes with its pages.
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
qint32 SaveTestMember(PgCommand& cmd, qint32 account, qint32 id, const TestServerMember& member,
                      QString* serverName = nullptr);

// A page request exactly as written (Qt's own client would tidy "..", which the service must refuse),
// with the credential of a log-on when one is given.
struct RawReply {
    int status = 0;
    QMap<QByteArray, QByteArray> headers;  // lower-case names
    QByteArray body;
};
RawReply RawPageRequest(int port, const QByteArray& method, const QByteArray& target,
                        const QString& credential = QString());
