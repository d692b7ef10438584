#include "pages/page_service.h"

#include <httplib.h>

#include <QDateTime>
#include <QFile>

#include <arpa/inet.h>
#include <malloc.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <thread>

#include "db/pg_error.h"
#include "pages/connection_pool.h"
#include "pages/connection_threads.h"
#include "pages/door_body.h"
#include "pages/door_calls.h"
#include "pages/page_http_server.h"
#include "pages/pages_catalogue.h"
#include "pages/printable_text.h"
#include "pages/request_watch.h"
#include "pages/static_files.h"
#include "platform/http/installation_header.h"

namespace {

// A request or answer larger than this gives its memory back once it is gone.
constexpr size_t kLargeRequest = 1024 * 1024;

// The address in its usual text ("::ffff:1.2.3.4" is "1.2.3.4"); "" for anything that is not one.
QString CanonicalAddress(const QString& text) {
    const QByteArray latin = text.trimmed().toLatin1();
    unsigned char bytes[16];
    char out[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, latin.constData(), bytes) == 1) {
        inet_ntop(AF_INET, bytes, out, sizeof out);
    } else if (inet_pton(AF_INET6, latin.constData(), bytes) == 1) {
        static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        if (std::equal(mapped, mapped + 12, bytes))
            inet_ntop(AF_INET, bytes + 12, out, sizeof out);
        else
            inet_ntop(AF_INET6, bytes, out, sizeof out);
    }
    return QString::fromLatin1(out);
}

}  // namespace

struct PageService::Impl {
    explicit Impl(PageServiceConfig c) : config(std::move(c)), pool(config.database) {}

    struct Page {
        PageHandler handler;
        QByteArray notDone;
        bool logOn = false;
    };

    void dispatch(const httplib::Request& req, httplib::Response& res);
    void answerPage(const Page& page, const httplib::Request& req, httplib::Response& res);
    void answerDoor(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& body);
    // Runs work on a connection of the pool, as the claim's share allows, until the request is stopped
    // (its caller gone, its time up: the statement it runs is cancelled). A connection the database
    // dropped while it lay in the pool (a restart) costs another try on a connection opened since, but
    // only when nothing that could have committed left for it: a statement that may have done its work
    // is never sent twice.
    void onPooledConnection(const QString& what, const ConnectionPool::Claim& claim, WatchedRequest& watched,
                            const std::function<void(PgConnection&)>& work, httplib::Response& res);
    bool answerFile(const httplib::Request& req, httplib::Response& res);
    QString callerAddressOf(const httplib::Request& req) const;

    PageServiceConfig config;
    QStringList doors;  // the door's addresses, canonical
    ConnectionPool pool;
    RequestWatch watch;
    std::map<QString, Page> pages;  // by their one spelling
    PageHttpServer server;
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

// The request target's path, exactly as sent (the library decodes req.path).
QString TargetPath(const httplib::Request& req) {
    return FromUtf8(req.target.substr(0, req.target.find('?')));
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

// The caller as the pages tell it: the address the request came from, or, when the door sent it, the
// address the door saw. Nobody else is believed: any local process can write the header.
QString PageService::Impl::callerAddressOf(const httplib::Request& req) const {
    const QString peer = CanonicalAddress(FromUtf8(req.remote_addr));
    if (!doors.contains(peer)) return peer;
    const QString forwarded = CanonicalAddress(FromUtf8(req.get_header_value("X-Real-IP")));
    return forwarded.isEmpty() ? peer : forwarded;
}

void PageService::Impl::dispatch(const httplib::Request& req, httplib::Response& res) {
    const auto page = pages.find(TargetPath(req));
    if (page != pages.end())
        answerPage(page->second, req, res);
    else if (!answerFile(req, res))
        res.status = 404;
    if (config.logRequests) Log(req, res.status);
}

void PageService::Impl::answerPage(const Page& page, const httplib::Request& req, httplib::Response& res) {
    PageRequest request;
    request.path = TargetPath(req);
    request.remoteAddress = callerAddressOf(req);
    request.installationSecret = FromUtf8(req.get_header_value(kInstallationSecretHeader)).trimmed();
    for (const auto& [key, value] : req.params) {
        request.query.append({FromUtf8(key), FromUtf8(value)});
        // The database would cut the value there: "S%00x" must not act as "S".
        if (request.query.last().first.contains(QChar(0)) || request.query.last().second.contains(QChar(0)))
            return SetBody(res, 400, page.notDone, "text/plain; charset=utf-8");
    }
    const QByteArray credential = Credential(req);
    const std::unique_ptr<WatchedRequest> watched =
        watch.watch(PageHttpServer::CurrentSocket(), std::chrono::steady_clock::now() + config.requestTime);
    onPooledConnection(
        request.path, {request.remoteAddress, credential.isEmpty() || page.logOn, page.logOn}, *watched,
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

void PageService::Impl::answerDoor(const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& body) {
    DoorRequest request;
    request.path = TargetPath(req);
    request.credential = Credential(req);
    request.remoteAddress = callerAddressOf(req);
    // The body is measured as it comes, before anything else is done for it (a connection of the pool
    // above all); it is read to its end all the same, so that the connection stays usable.
    bool known = false;
    qint64 announced = QByteArray::fromStdString(req.get_header_value("Content-Length")).toLongLong(&known);
    if (!known) announced = -1;
    if (announced < 0 || announced > qint64(kLargeRequest)) PageHttpServer::TrimAfterRequest();
    DoorBodyReader reader(request.path, announced);
    const bool whole = body([&reader](const char* data, size_t size) {
        reader.take(data, size);
        return true;
    });
    std::optional<DoorReply> refused;
    if (!whole) {
        // Beyond the door's limit, or cut off: the library has said which.
        refused = DoorReply::Failed(res.status == 413 ? 413 : 400, res.status == 413 ? "too_large" : "malformed");
        res.set_header("Connection", "close");
    } else {
        refused = IsDoorPath(request.path) ? reader.finish(request) : DoorReply::Failed(404, "no_such_request");
    }
    if (refused) {
        SetBody(res, refused->status, refused->body, "application/json");
        if (config.logRequests) Log(req, res.status);
        return;
    }
    // The log-on checks a password whatever credential comes with it.
    const bool logOn = request.path == QLatin1String("/door/logon");
    const bool anonymous = request.credential.isEmpty() || logOn;
    // Only an account's pictures and batches may take longer: bytes sent without one buy no more time.
    const bool lasting = !anonymous && (request.sendsBytes || request.path == QLatin1String("/door/calls"));
    const std::unique_ptr<WatchedRequest> watched = watch.watch(
        PageHttpServer::CurrentSocket(),
        std::chrono::steady_clock::now() + (lasting ? config.longRequestTime : config.requestTime));
    request.stopped = [&watched] { return watched->stopped() != WatchedRequest::Stop::None; };
    onPooledConnection(
        request.path, {request.remoteAddress, anonymous, logOn}, *watched,
        [&](PgConnection& db) {
            const DoorReply reply = AnswerDoor(request, db);
            SetBody(res, reply.status, reply.body, "application/json");
        },
        res);
    if (res.body.size() > kLargeRequest) PageHttpServer::TrimAfterRequest();
    if (config.logRequests) Log(req, res.status);
}

void PageService::Impl::onPooledConnection(const QString& what, const ConnectionPool::Claim& claim,
                                           WatchedRequest& watched,
                                           const std::function<void(PgConnection&)>& work,
                                           httplib::Response& res) {
    const auto stopped = [&watched] { return watched.stopped() != WatchedRequest::Stop::None; };
    for (;;) {
        QString error;
        ConnectionPool::Lease lease = pool.take(claim, watched.deadline(), stopped, &error);
        if (!lease.connection) {
            if (watched.stopped() != WatchedRequest::Stop::CallerGone)
                std::cerr << "page service: " << Printable(what.toStdString())
                          << ": no database connection: " << error.toStdString() << std::endl;
            res.status = 503;
            res.body.clear();
            return;
        }
        PgConnection& db = *lease.connection;
        const qint64 commitsBefore = db.commitsSent();
        bool again = false;
        watched.attach(db);
        try {
            if (stopped()) throw PgError(QStringLiteral("stopped before its work began"), QStringLiteral("57014"));
            work(db);
        } catch (const PgError& e) {
            if (lease.reused && db.commitsSent() == commitsBefore && LostConnection(e.SqlState(), db)) {
                // As old as this one, every idle connection is as likely dead: the next try opens anew.
                db.close();
                pool.dropIdle();
                again = true;
            } else {
                if (watched.stopped() != WatchedRequest::Stop::CallerGone)
                    std::cerr << "page service: " << Printable(what.toStdString()) << ": "
                              << Printable(e.Description().toStdString()) << std::endl;
                // The program reads an empty reply as "not done".
                res.status = LostConnection(e.SqlState(), db) ? 503 : 500;
                res.body.clear();
            }
        }
        watched.detach();
        // Nothing a request began stays on the connection for the next one.
        if (db.inTransaction()) db.rollback();
        pool.give(std::move(lease));
        if (!again) return;
    }
}

bool PageService::Impl::answerFile(const httplib::Request& req, httplib::Response& res) {
    const std::optional<QString> path = ExactStaticPath(TargetPath(req).toUtf8());
    if (!path) return false;
    const std::optional<StaticFile> file = FindStaticFile(config.staticRoot, *path);
    if (!file) return false;
    std::shared_ptr<std::FILE> stream(std::fopen(QFile::encodeName(file->localPath).constData(), "rb"),
                                      [](std::FILE* f) {
                                          if (f) std::fclose(f);
                                      });
    if (!stream) return false;
    const QByteArray modified = HttpDate(file->modified);
    res.status = 200;
    res.set_header("Last-Modified", modified.toStdString());
    res.set_header("Accept-Ranges", "bytes");
    // A part, as a download that was cut off asks for the rest; only of the file as it was asked for.
    const QByteArray ifRange = QByteArray::fromStdString(req.get_header_value("If-Range")).trimmed();
    const FileRange range = ifRange.isEmpty() || ifRange == modified
                                ? RangeOf(QByteArray::fromStdString(req.get_header_value("Range")), file->size)
                                : FileRange();
    if (range.kind == FileRange::Unsatisfiable) {
        res.status = 416;
        res.set_header("Content-Range", "bytes */" + std::to_string(file->size));
        return true;
    }
    if (file->size == 0) {
        res.set_content("", file->contentType.constData());
        return true;
    }
    qint64 first = 0, length = file->size;
    if (range.kind == FileRange::Part) {
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(range.first) + '-' +
                                            std::to_string(range.last) + '/' + std::to_string(file->size));
        first = range.first;
        length = range.last - range.first + 1;
    }
    // Files go out in pieces: e-books and update archives may be large.
    res.set_content_provider(size_t(length), file->contentType.constData(),
                             [stream, first](size_t offset, size_t length, httplib::DataSink& sink) {
                                 char buffer[64 * 1024];
                                 if (std::fseek(stream.get(), long(first + qint64(offset)), SEEK_SET) != 0)
                                     return false;
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
    impl_->server.set_pre_routing_handler([impl = impl_.get()](const httplib::Request& req,
                                                                httplib::Response& res) {
        // Answers go out as they are: the library would compress them on request, which costs the
        // service seconds for a picture (any client could ask for that), and saves nothing on this
        // machine's way to the door.
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        // Ranges of files are answered by the service itself, for the files alone (the library would
        // cut any answer, and say 200 over a part).
        const_cast<httplib::Request&>(req).ranges.clear();
        const bool pageRequest = req.method == "GET" || req.method == "HEAD";
        if (pageRequest && !HasBody(req)) return httplib::Server::HandlerResponse::Unhandled;
        if (req.method == "POST" && req.path.rfind("/door/", 0) == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        // A page may not be posted to; what is no page is not there at all.
        res.status = pageRequest ? 413 : impl->pages.count(TargetPath(req)) ? 405 : 404;
        res.set_header("Connection", "close");
        return httplib::Server::HandlerResponse::Handled;
    });
    impl_->server.Get(".*", [impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
        impl->dispatch(req, res);
    });
    impl_->server.Post("/door/.*", [impl = impl_.get()](const httplib::Request& req, httplib::Response& res,
                                                        const httplib::ContentReader& body) {
        impl->answerDoor(req, res, body);
    });
}

PageService::~PageService() {
    stop();
}

void PageService::addPage(const QString& path, PageHandler handler, const QByteArray& notDone, bool logOn) {
    impl_->pages[path] = {std::move(handler), notDone, logOn};
}

bool PageService::start(QString* error) {
    if (impl_->thread.joinable()) return true;
    // A large body or answer takes memory of its own, which goes back to the system once it is freed:
    // glibc would otherwise raise these thresholds after the first one and keep that memory in the heap
    // of each worker thread that had one (a few large requests at once kept the service at 1.5 GB).
    mallopt(M_MMAP_THRESHOLD, int(kLargeRequest));
    mallopt(M_TRIM_THRESHOLD, int(4 * kLargeRequest));
    impl_->doors.clear();
    for (const QString& door : impl_->config.doorAddresses) {
        const QString address = CanonicalAddress(door);
        if (address.isEmpty()) {
            if (error) *error = QStringLiteral("not an address of the door: %1").arg(door);
            return false;
        }
        impl_->doors << address;
    }
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
