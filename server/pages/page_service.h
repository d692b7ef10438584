#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "pages/page_request.h"
#include "platform/pg/pg_connection.h"

struct PageServiceConfig {
    QString host = QStringLiteral("127.0.0.1");  // loopback unless told otherwise
    int port = 18080;                            // 0 takes a free port (tests)
    PgParams database;                           // the account that owns the server's schema
    QString staticRoot;                          // "" serves no files
    bool logRequests = false;                    // one line per request on stderr
};

// A page: reads the request, asks the database, answers plain text.
using PageHandler = std::function<PageReply(const PageRequest& request, PgConnection& db)>;

// The community server's HTTP service: every page of the catalogue (pages_catalogue.cpp) and the files of
// the static root, answered on worker threads of its own. GET and HEAD only.
class PageService {
public:
    explicit PageService(PageServiceConfig config);
    ~PageService();
    PageService(const PageService&) = delete;
    PageService& operator=(const PageService&) = delete;

    // Adds a page or replaces the one at that path; paths compare without regard to case. Before start().
    void addPage(const QString& path, PageHandler handler);

    // Listening when it returns true; otherwise *error says why.
    bool start(QString* error = nullptr);
    void stop();

    int port() const;
    QString staticRoot() const;  // "" when the service serves no files
    QString baseUrl() const;  // "http://host:port", without a closing "/"

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
