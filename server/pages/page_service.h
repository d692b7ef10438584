#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

#include "db/pg_connection.h"
#include "pages/page_request.h"

struct PageServiceConfig {
    QString host = QStringLiteral("127.0.0.1");  // loopback unless told otherwise
    int port = 18080;                            // 0 takes a free port (tests)
    PgParams database;                           // the account that owns the server's schema
    QString staticRoot;                          // "" serves no files
    bool logRequests = false;                    // one line per request on stderr
    // The door's addresses: a request from one of them is the door's, which names its caller in X-Real-IP.
    // Every other request's caller is the address it came from, whatever it sends.
    QStringList doorAddresses;
    // How long a request may take from its arrival, its wait for a connection included: a little less
    // than the program waits (30 s; 120 s for a batch with a credential and for a call that sends
    // pictures), so that the program hears why rather than giving up.
    std::chrono::seconds requestTime{25};
    std::chrono::seconds longRequestTime{115};
};

// A page: reads the request, asks the database, answers plain text.
using PageHandler = std::function<PageReply(const PageRequest& request, PgConnection& db)>;

// The community server's HTTP service behind the door (nginx): every page of the catalogue
// (pages_catalogue.cpp) and the files of the static root to GET and HEAD, the program's procedure calls
// to POST under /door/ (door_calls.h), answered on worker threads of its own. It answers only the paths
// it serves, each in the one spelling the program sends: any other (case, doubled or trailing slashes,
// percent-escapes, dot segments) is not found, so that no spelling passes the door's limits unseen. It
// keeps nothing between requests, so that any number of them can serve one database behind one door.
class PageService {
public:
    explicit PageService(PageServiceConfig config);
    ~PageService();
    PageService(const PageService&) = delete;
    PageService& operator=(const PageService&) = delete;

    // Adds a page or replaces the one at that path, which requests must spell exactly so. Before start().
    // notDone is the body the page answers a query it cannot use with (status 400), as the program
    // reads it: a query holding NUL gets it without the page being asked. A page that checks a password
    // (logOn) shares the database connections with the callers without a credential, whatever it carries.
    void addPage(const QString& path, PageHandler handler, const QByteArray& notDone = QByteArray(),
                 bool logOn = false);

    // Listening when it returns true; otherwise *error says why.
    bool start(QString* error = nullptr);
    void stop();

    int port() const;
    QString staticRoot() const;  // "" when the service serves no files
    QString baseUrl() const;     // "http://host:port", without a closing "/"

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
