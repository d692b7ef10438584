#include "support/community_server.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <atomic>

#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "pages/schema_loader.h"
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

QString TestCommunityServer::startPages(const QString& staticRoot) {
    PageServiceConfig config;
    config.port = 0;
    config.database = ownerParams();
    config.staticRoot = staticRoot;
    pages_ = std::make_unique<PageService>(config);
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
