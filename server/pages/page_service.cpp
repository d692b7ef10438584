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

#include "db/pg_error.h"
#include "pages/connection_pool.h"
#include "pages/connection_threads.h"
#include "pages/door_calls.h"
#include "pages/pages_catalogue.h"
#include "pages/printable_text.h"
#include "pages/static_files.h"
#include "platform/http/installation_header.h"

struct PageService::Impl {
    explicit Impl(PageServiceConfig c) : config(std::move(c)), pool(config.database) {}

    struct Page {
        PageHandler handler;
        QByteArray notDone;
    };

    void dispatch(const httplib::Request& req, httplib::Response& res);
    void answerPage(const Page& page, const httplib::Request& req, httplib::Response& res);
    void answerDoor(const httplib::Request& req, httplib::Response& res);
    // Runs work on a connection of the pool. A connection the database dropped while it lay in the pool
    // (a restart) costs one more try, but only when nothing that could have committed left for it: a
    // statement that may have done its work is never sent twice.
    void onPooledConnection(const QString& what, const std::function<void(PgConnection&)>& work,
                            httplib::Response& res);
    bool answerFile(const httplib::Request& req, httplib::Response& res);

    PageServiceConfig config;
    ConnectionPool pool;
    std::map<QString, Page> pages;  // by lower-case path
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

// The credential of "Authorization: Bearer <credential>" (the scheme in any case, as HTTP has it); ""
// for none.
QByteArray Credential(const httplib::Request& req) {
    const QByteArray header = QByteArray::fromStdString(req.get_header_value("Authorization")).trimmed();
    const qsizetype space = header.indexOf(' ');
    if (space < 0 || header.left(space).toLower() != "bearer") return {};
    return header.mid(space + 1).trimmed();
}

bool IsLoopback(const QString& address) {
    return address == QLatin1String("127.0.0.1") || address == QLatin1String("::1") ||
           address.startsWith(QLatin1String("127."));
}

// The caller as the pages tell it: behind the door on this machine, the address the door saw.
QString CallerAddressOf(const httplib::Request& req) {
    QString address = FromUtf8(req.remote_addr);
    // An IPv4 caller on a dual-stack socket: the pages tell the dotted address.
    if (address.startsWith(QLatin1String("::ffff:"))) address.remove(0, 7);
    const QString forwarded = FromUtf8(req.get_header_value("X-Real-IP")).trimmed();
    if (IsLoopback(address) && !forwarded.isEmpty()) return forwarded;
    return address;
}

bool HasBody(const httplib::Request& req) {
    return req.has_header("Transfer-Encoding") ||
           (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
}

std::string Printable(const std::string& text) {
    return PrintableText(QString::fromUtf8(text.data(), qsizetype(text.size()))).toStdString();
}

// The path alone (it arrives decoded), shown safely: queries carry password digests and numbers that act
// with a secret, and a log is read by more people than the database.
void Log(const httplib::Request& req, int status) {
    std::cerr << QDateTime::currentDateTime().toString(Qt::ISODate).toStdString() << ' '
              << Printable(req.method) << ' ' << Printable(req.path) << ' ' << status << std::endl;
}

void SetBody(httplib::Response& res, int status, const QByteArray& body, const char* contentType) {
    res.status = status;
    res.set_content(body.constData(), size_t(body.size()), contentType);
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

void PageService::Impl::answerPage(const Page& page, const httplib::Request& req, httplib::Response& res) {
    PageRequest request;
    request.path = FromUtf8(req.path);
    request.remoteAddress = CallerAddressOf(req);
    request.installationSecret = FromUtf8(req.get_header_value(kInstallationSecretHeader)).trimmed();
    for (const auto& [key, value] : req.params) {
        request.query.append({FromUtf8(key), FromUtf8(value)});
        // The database would cut the value there: "S%00x" must not act as "S".
        if (request.query.last().first.contains(QChar(0)) || request.query.last().second.contains(QChar(0)))
            return SetBody(res, 400, page.notDone, "text/plain; charset=utf-8");
    }
    const QByteArray credential = Credential(req);
    onPooledConnection(
        request.path,
        [&](PgConnection& db) {
            // One transaction: a connection lost before its COMMIT left did nothing, and is tried again.
            if (const PgResult begun = db.begin(); !begun.ok) throw PgError(begun.error, begun.sqlState);
            if (!credential.isEmpty()) {
                request.provenAccount =
                    PageQuery(db, QStringLiteral("SELECT page_credential_account($1::text)"),
                              {QString::fromLatin1(credential)})
                        .rows.value(0)
                        .value(0)
                        .toInt();
                // Told apart from an ordinary "not done", so that the program can ask for a new log-on.
                if (request.provenAccount == 0) {
                    res.set_header("WWW-Authenticate", "Bearer error=\"invalid_token\"");
                    return SetBody(res, 401, page.notDone, "text/plain; charset=utf-8");
                }
            }
            const PageReply reply = page.handler(request, db);
            if (const PgResult done = db.commit(); !done.ok) throw PgError(done.error, done.sqlState);
            SetBody(res, reply.status, reply.body, reply.contentType.constData());
        },
        res);
}

void PageService::Impl::answerDoor(const httplib::Request& req, httplib::Response& res) {
    DoorRequest request;
    request.path = FromUtf8(req.path);
    request.body = QByteArray::fromStdString(req.body);
    request.credential = Credential(req);
    request.remoteAddress = CallerAddressOf(req);
    onPooledConnection(
        request.path,
        [&](PgConnection& db) {
            const DoorReply reply = AnswerDoor(request, db);
            SetBody(res, reply.status, reply.body, "application/json");
        },
        res);
    if (config.logRequests) Log(req, res.status);
}

void PageService::Impl::onPooledConnection(const QString& what,
                                           const std::function<void(PgConnection&)>& work,
                                           httplib::Response& res) {
    for (int attempt = 1;; ++attempt) {
        QString error;
        ConnectionPool::Lease lease = pool.take(&error);
        if (!lease.connection) {
            std::cerr << "page service: no database connection: " << error.toStdString() << std::endl;
            res.status = 503;
            return;
        }
        PgConnection& db = *lease.connection;
        const qint64 commitsBefore = db.commitsSent();
        bool again = false;
        try {
            work(db);
        } catch (const PgError& e) {
            if (attempt == 1 && lease.reused && db.commitsSent() == commitsBefore &&
                LostConnection(e.SqlState(), db)) {
                db.close();
                again = true;
            } else {
                // The program reads an empty reply as "not done".
                std::cerr << "page service: " << Printable(what.toStdString()) << ": "
                          << Printable(e.Description().toStdString()) << std::endl;
                res.status = LostConnection(e.SqlState(), db) ? 503 : 500;
                res.body.clear();
            }
        }
        // Nothing a request began stays on the connection for the next one.
        if (db.inTransaction()) db.rollback();
        pool.give(std::move(lease.connection));
        if (!again) return;
    }
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
// The largest call the program sends: a picture of 12 MB, as base64 in JSON.
constexpr size_t kMaxDoorBody = 24 * 1024 * 1024;

}  // namespace

PageService::PageService(PageServiceConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {
    RegisterAllPages(*this);
    impl_->server.new_task_queue = [] { return new ConnectionThreads(kMaxConnectionThreads); };
    // The door keeps connections to the service open between requests and drops them first (after 2 s),
    // so that it never sends a request on one the service is closing.
    impl_->server.set_keep_alive_timeout(4);
    // An answer goes out as soon as it is written, not after the client acknowledged its head.
    impl_->server.set_tcp_nodelay(true);
    impl_->server.set_keep_alive_max_count(10000);
    // A client holds its thread only this long without sending a whole request.
    impl_->server.set_read_timeout(5);
    impl_->server.set_write_timeout(60);
    impl_->server.set_payload_max_length(kMaxDoorBody);
    impl_->server.set_socket_options([impl = impl_.get()](socket_t sock) {
        httplib::default_socket_options(sock);
        impl->listeningSocket = sock;
    });
    // No page reads a body: one sent with GET or HEAD is refused before it is read, and the connection
    // closed (the unread body cannot be told from a next request). Only the door's calls are POSTed.
    impl_->server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        // Answers go out as they are: the library would compress them on request, which costs the
        // service seconds for a picture (any client could ask for that), and saves nothing on this
        // machine's way to the door.
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        const bool pageRequest = req.method == "GET" || req.method == "HEAD";
        if (pageRequest && !HasBody(req)) return httplib::Server::HandlerResponse::Unhandled;
        if (req.method == "POST" && req.path.rfind("/door/", 0) == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = pageRequest ? 413 : 405;
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
    });
    impl_->server.Get(".*", [impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
        impl->dispatch(req, res);
    });
    impl_->server.Post("/door/.*", [impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
        impl->answerDoor(req, res);
    });
}

PageService::~PageService() {
    stop();
}

void PageService::addPage(const QString& path, PageHandler handler, const QByteArray& notDone) {
    impl_->pages[path.toLower()] = {std::move(handler), notDone};
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
