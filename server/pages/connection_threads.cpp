#include "pages/connection_threads.h"

void ConnectionThreads::enqueue(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    jobs_.push_back(std::move(job));
    // Every job waiting must find a thread of its own while the bound allows.
    if (jobs_.size() > idle_ && threads_.size() < max_) threads_.emplace_back([this] { work(); });
    ready_.notify_one();
}

void ConnectionThreads::shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    ready_.notify_all();
    for (std::thread& thread : threads) thread.join();
}

void ConnectionThreads::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            ++idle_;
            ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            --idle_;
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}
