#pragma once

// A community server of the test's own, for every on-line test: a fresh database on the throwaway
// cluster of pg_virtualenv, loaded with the server's schema, which the program's ConnectServerDb reaches
// (through the setting "server_db"), and on request the page service on a free port, which the program's
// HTTP procedures reach (through SetBuiltInServerUrl). Everything is undone when the object goes.

#include <gtest/gtest.h>
#include <QString>

#include <memory>

#include "pages/page_service.h"
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

    // Starts the page service (static files from staticRoot when given); "" on success.
    QString startPages(const QString& staticRoot = QString());
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
