#include "pages/page_service.h"

#include <httplib.h>

#include <QDateTime>
#include <QFile>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <thread>

#include <sys/socket.h>

#include "pages/connection_pool.h"
#include "pages/connection_threads.h"
#include "pages/pages_catalogue.h"
#include "pages/static_files.h"
#include "platform/pg/pg_error.h"

struct PageService::Impl {
    explicit Impl(PageServiceConfig c) : config(std::move(c)), pool(config.database) {}

    void dispatch(const httplib::Request& req, httplib::Response& res);
    void answerPage(const PageHandler& handler, const httplib::Request& req, httplib::Response& res);
    // One try at a page on a connection of the pool; false when the connection was lost before any
    // statement of this request went through, so that trying again cannot do anything twice.
    bool tryPage(const PageHandler& handler, PageRequest request, const QByteArray& credential,
                 httplib::Response& res, bool lastTry);
    bool answerFile(const httplib::Request& req, httplib::Response& res);

    PageServiceConfig config;
    ConnectionPool pool;
    std::map<QString, PageHandler> pages;  // by lower-case path
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> loopEnded{false};
    int port = 0;
    int listeningSocket = -1;
};

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The credential of "Authorization: Bearer <credential>"; "" for none.
QByteArray Credential(const httplib::Request& req) {
    const std::string header = req.get_header_value("Authorization");
    static const std::string scheme = "Bearer ";
    if (header.size() <= scheme.size() || header.compare(0, scheme.size(), scheme) != 0) return {};
    return QByteArray::fromStdString(header.substr(scheme.size())).trimmed();
}

// A failure that took the connection with it (the server went away or ended the session).
bool ConnectionLost(const PgError& e, PgConnection& db) {
    const QString state = e.SqlState();
    return !db.isOpen() || state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
           state == QLatin1String("57P02") || state == QLatin1String("57P03");
}

void Log(const httplib::Request& req, int status) {
    // A log-on's query carries password digests, which log on as well as the passwords: never written.
    const bool secret =
        QString::fromStdString(req.target).contains(QLatin1String("pswd"), Qt::CaseInsensitive);
    std::cerr << QDateTime::currentDateTime().toString(Qt::ISODate).toStdString() << ' ' << req.method << ' '
              << (secret ? req.path : req.target) << ' ' << status << std::endl;
}

}  // namespace

void PageService::Impl::dispatch(const httplib::Request& req, httplib::Response& res) {
    const auto page = pages.find(FromUtf8(req.path).toLower());
    if (page != pages.end())
        answerPage(page->second, req, res);
    else if (!answerFile(req, res))
        res.status = 404;
    if (config.logRequests) Log(req, res.status);
}

void PageService::Impl::answerPage(const PageHandler& handler, const httplib::Request& req,
                                   httplib::Response& res) {
    PageRequest request;
    request.path = FromUtf8(req.path);
    request.remoteAddress = FromUtf8(req.remote_addr);
    // An IPv4 caller on a dual-stack socket: the pages tell the dotted address.
    if (request.remoteAddress.startsWith(QLatin1String("::ffff:"))) request.remoteAddress.remove(0, 7);
    for (const auto& [key, value] : req.params) request.query.append({FromUtf8(key), FromUtf8(value)});
    const QByteArray credential = Credential(req);
    // A connection the database dropped while it lay in the pool (a restart) costs one more try.
    if (!tryPage(handler, request, credential, res, false)) tryPage(handler, request, credential, res, true);
}

bool PageService::Impl::tryPage(const PageHandler& handler, PageRequest request, const QByteArray& credential,
                                httplib::Response& res, bool lastTry) {
    QString error;
    ConnectionPool::Lease lease = pool.take(&error);
    if (!lease.connection) {
        std::cerr << "page service: no database connection: " << error.toStdString() << std::endl;
        res.status = 503;
        return true;
    }
    PgConnection& db = *lease.connection;
    const qint64 doneBefore = db.statementsDone();
    bool answered = true;
    try {
        if (!credential.isEmpty())
            request.provenAccount = PageQuery(db, QStringLiteral("SELECT page_credential_account($1::text)"),
                                              {QString::fromLatin1(credential)})
                                        .rows.value(0)
                                        .value(0)
                                        .toInt();
        const PageReply reply = handler(request, db);
        res.status = reply.status;
        res.set_content(reply.body.constData(), size_t(reply.body.size()), reply.contentType.constData());
    } catch (const PgError& e) {
        if (!lastTry && lease.reused && db.statementsDone() == doneBefore && ConnectionLost(e, db)) {
            db.close();
            answered = false;
        } else {
            // The program reads an empty reply as "not done".
            std::cerr << "page service: " << request.path.toStdString() << ": "
                      << e.Description().toStdString() << std::endl;
            res.status = 500;
        }
    }
    pool.give(std::move(lease.connection));
    return answered;
}

bool PageService::Impl::answerFile(const httplib::Request& req, httplib::Response& res) {
    const std::optional<StaticFile> file = FindStaticFile(config.staticRoot, FromUtf8(req.path));
    if (!file) return false;
    std::shared_ptr<std::FILE> stream(std::fopen(QFile::encodeName(file->localPath).constData(), "rb"),
                                      [](std::FILE* f) {
                                          if (f) std::fclose(f);
                                      });
    if (!stream) return false;
    res.status = 200;
    res.set_header("Last-Modified", HttpDate(file->modified).toStdString());
    if (file->size == 0) {
        res.set_content("", file->contentType.constData());
        return true;
    }
    // Files go out in pieces: e-books and update archives may be large.
    res.set_content_provider(size_t(file->size), file->contentType.constData(),
                             [stream](size_t offset, size_t length, httplib::DataSink& sink) {
                                 char buffer[64 * 1024];
                                 if (std::fseek(stream.get(), long(offset), SEEK_SET) != 0) return false;
                                 const size_t got =
                                     std::fread(buffer, 1, std::min(length, sizeof buffer), stream.get());
                                 if (got == 0) return false;
                                 return sink.write(buffer, got);
                             });
    return true;
}

namespace {

// Connections served at once, each by a thread of its own; more wait for a free thread.
constexpr size_t kMaxConnectionThreads = 512;
// Connections a burst may open before the first is accepted (the library asks for only 5).
constexpr int kListenBacklog = 1024;

}  // namespace

PageService::PageService(PageServiceConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {
    RegisterAllPages(*this);
    impl_->server.new_task_queue = [] { return new ConnectionThreads(kMaxConnectionThreads); };
    // A client holds its thread only this long without sending a whole request.
    impl_->server.set_keep_alive_timeout(3);
    impl_->server.set_read_timeout(5);
    impl_->server.set_write_timeout(60);
    impl_->server.set_socket_options([impl = impl_.get()](socket_t sock) {
        httplib::default_socket_options(sock);
        impl->listeningSocket = sock;
    });
    impl_->server.Get(".*", [impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
        impl->dispatch(req, res);
    });
}

PageService::~PageService() {
    stop();
}

void PageService::addPage(const QString& path, PageHandler handler) {
    impl_->pages[path.toLower()] = std::move(handler);
}

bool PageService::start(QString* error) {
    if (impl_->thread.joinable()) return true;
    const std::string host = impl_->config.host.toStdString();
    if (impl_->config.port == 0) {
        impl_->port = impl_->server.bind_to_any_port(host);
    } else {
        impl_->port = impl_->server.bind_to_port(host, impl_->config.port) ? impl_->config.port : -1;
    }
    if (impl_->port <= 0) {
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2").arg(impl_->config.host).arg(impl_->config.port);
        impl_->port = 0;
        return false;
    }
    // Listening again on the bound socket only lengthens its queue of connections not yet accepted.
    if (impl_->listeningSocket >= 0) ::listen(impl_->listeningSocket, kListenBacklog);
    // The socket already listens: requests made before the loop runs wait in its queue.
    impl_->loopEnded = false;
    impl_->thread = std::thread([impl = impl_.get()] {
        impl->server.listen_after_bind();
        impl->loopEnded = true;
    });
    return true;
}

void PageService::stop() {
    if (!impl_->thread.joinable()) return;
    // A stop that came before the loop started would be lost and the join would never return.
    while (!impl_->server.is_running() && !impl_->loopEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->server.stop();
    impl_->thread.join();
}

QString PageService::staticRoot() const {
    return impl_->config.staticRoot;
}

int PageService::port() const {
    return impl_->port;
}

QString PageService::baseUrl() const {
    return QStringLiteral("http://%1:%2").arg(impl_->config.host).arg(impl_->port);
}
