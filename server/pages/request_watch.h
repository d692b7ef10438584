#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "db/pg_connection.h"

class RequestWatch;

// One request in work as the watch sees it: stopped once its caller has hung up (the door closes its
// connection to the service when its client goes) or its time is up; the database statement it runs
// then is cancelled. Unwatched when it goes.
class WatchedRequest {
public:
    enum class Stop { None, CallerGone, TimeUp };

    ~WatchedRequest();
    WatchedRequest(const WatchedRequest&) = delete;
    WatchedRequest& operator=(const WatchedRequest&) = delete;

    Stop stopped() const { return stop_.load(); }
    std::chrono::steady_clock::time_point deadline() const { return deadline_; }
    // The connection its database work runs on from now: stopping the request cancels its statement.
    void attach(const PgConnection& db);
    // Ends attach(), once no cancel for the connection is still being sent: then the connection may serve
    // another request (the server drops a cancel that finds it idle, and the next statement is sent only
    // after this).
    void detach();

    // The connection as the cancels queued for it see it.
    struct Attachment {
        std::mutex mutex;
        std::condition_variable settled;
        std::shared_ptr<PgCancel> canceller;  // none once detached
        int sending = 0;                      // cancels being sent now
    };

private:
    friend class RequestWatch;
    WatchedRequest(RequestWatch* watch, std::uint64_t id, int socket,
                   std::chrono::steady_clock::time_point deadline)
        : watch_(watch), id_(id), socket_(socket), deadline_(deadline) {}
    // Stops it (once) and answers the connection to cancel now, if any: a stopped request that still
    // holds one is cancelled again each second, lest a cancel that came between two statements be lost.
    // With the watch's lock held.
    std::shared_ptr<Attachment> stop(Stop why, std::chrono::steady_clock::time_point now);
    // When it is next due a cancel (with the watch's lock held); max() for never.
    std::chrono::steady_clock::time_point nextCancel();

    RequestWatch* watch_;
    const std::uint64_t id_;
    const int socket_;
    const std::chrono::steady_clock::time_point deadline_;
    std::atomic<Stop> stop_{Stop::None};
    std::mutex mutex_;
    std::shared_ptr<Attachment> attachment_;
    std::chrono::steady_clock::time_point lastCancel_;
};

// The requests in work of one service, watched by one thread: it waits on their sockets for the caller's
// end and on the nearest deadline, and hands cancels to a thread of their own (a cancel is a connection
// to the database, which must not hold up the watching).
class RequestWatch {
public:
    RequestWatch();
    ~RequestWatch();
    RequestWatch(const RequestWatch&) = delete;
    RequestWatch& operator=(const RequestWatch&) = delete;

    // Watches the request that came on socket (-1: its caller is not watched, only its time) until the
    // object returned goes.
    std::unique_ptr<WatchedRequest> watch(int socket, std::chrono::steady_clock::time_point deadline);

private:
    friend class WatchedRequest;
    void forget(std::uint64_t id);
    void wake();
    void watchLoop();
    void cancelLoop();

    std::mutex mutex_;
    std::map<std::uint64_t, WatchedRequest*> watched_;
    std::uint64_t nextId_ = 1;
    bool ending_ = false;
    int wakeFd_ = -1;
    std::deque<std::shared_ptr<WatchedRequest::Attachment>> cancels_;
    std::condition_variable cancelsWaiting_;
    std::thread watcher_, canceller_;
};
