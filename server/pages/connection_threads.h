#pragma once

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The page service's workers: a thread for every connection waiting, up to a bound. A client that
// connects and sends nothing, or sends slowly, holds only its own thread until the read time-out, so
// that it never delays the requests of others (a fixed pool of a few threads would be taken by a few idle
// clients). Threads made for a crowd stay for the next one.
class ConnectionThreads : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(size_t maxThreads) : max_(maxThreads) {}
    ~ConnectionThreads() override { shutdown(); }

    void enqueue(std::function<void()> job) override;
    // Lets the jobs queued finish, then ends every thread.
    void shutdown() override;

private:
    void work();

    const size_t max_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    size_t idle_ = 0;
    bool stopping_ = false;
};
