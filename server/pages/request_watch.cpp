#include "pages/request_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

WatchedRequest::~WatchedRequest() {
    watch_->forget(id_);
}

namespace {

constexpr auto kCancelAgain = std::chrono::seconds(1);

}  // namespace

void WatchedRequest::attach(const PgConnection& db) {
    auto attachment = std::make_shared<Attachment>();
    attachment->canceller = db.canceller();
    std::lock_guard lock(mutex_);
    attachment_ = std::move(attachment);
    // Stopped already: whatever it starts there is cancelled at the watch's next turn.
    lastCancel_ = {};
}

void WatchedRequest::detach() {
    std::shared_ptr<Attachment> attachment;
    {
        std::lock_guard lock(mutex_);
        attachment = std::move(attachment_);
    }
    if (!attachment) return;
    std::unique_lock lock(attachment->mutex);
    attachment->canceller.reset();
    attachment->settled.wait(lock, [&] { return attachment->sending == 0; });
}

std::shared_ptr<WatchedRequest::Attachment> WatchedRequest::stop(Stop why,
                                                                 std::chrono::steady_clock::time_point now) {
    std::lock_guard lock(mutex_);
    Stop none = Stop::None;
    stop_.compare_exchange_strong(none, why);
    if (!attachment_ || now - lastCancel_ < kCancelAgain) return nullptr;
    lastCancel_ = now;
    return attachment_;
}

std::chrono::steady_clock::time_point WatchedRequest::nextCancel() {
    std::lock_guard lock(mutex_);
    if (stop_ == Stop::None) return deadline_;
    return attachment_ ? lastCancel_ + kCancelAgain : std::chrono::steady_clock::time_point::max();
}

RequestWatch::RequestWatch() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    watcher_ = std::thread([this] { watchLoop(); });
    canceller_ = std::thread([this] { cancelLoop(); });
}

RequestWatch::~RequestWatch() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake();
    cancelsWaiting_.notify_all();
    watcher_.join();
    canceller_.join();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

std::unique_ptr<WatchedRequest> RequestWatch::watch(int socket, std::chrono::steady_clock::time_point deadline) {
    std::unique_ptr<WatchedRequest> request;
    {
        std::lock_guard lock(mutex_);
        request.reset(new WatchedRequest(this, nextId_++, socket, deadline));
        watched_[request->id_] = request.get();
    }
    wake();
    return request;
}

void RequestWatch::forget(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    watched_.erase(id);
}

void RequestWatch::wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void RequestWatch::watchLoop() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    while (!ending_) {
        // What to wait for: the wake-up, every caller still to be heard from, and the nearest deadline.
        std::vector<pollfd> waiting{{wakeFd_, POLLIN, 0}};
        std::vector<std::uint64_t> ids;
        Clock::time_point nearest = Clock::now() + std::chrono::seconds(1);
        for (const auto& [id, request] : watched_) {
            nearest = std::min(nearest, request->nextCancel());
            if (request->stopped() != WatchedRequest::Stop::None || request->socket_ < 0) continue;
            // Only the end of the caller's side: a request is read whole before its work starts.
            waiting.push_back({request->socket_, POLLRDHUP, 0});
            ids.push_back(id);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nearest - Clock::now()).count();
        lock.unlock();
        ::poll(waiting.data(), waiting.size(), int(std::max<long long>(wait, 0)));
        std::uint64_t drained = 0;
        [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &drained, sizeof drained);
        lock.lock();

        const Clock::time_point now = Clock::now();
        std::vector<std::shared_ptr<WatchedRequest::Attachment>> cancels;
        for (size_t i = 0; i < ids.size(); ++i) {
            if (!(waiting[i + 1].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))) continue;
            // Gone meanwhile, and its socket perhaps another request's now.
            const auto found = watched_.find(ids[i]);
            if (found == watched_.end()) continue;
            if (auto cancel = found->second->stop(WatchedRequest::Stop::CallerGone, now))
                cancels.push_back(cancel);
        }
        for (const auto& [id, request] : watched_)
            if (now >= request->nextCancel())
                if (auto cancel = request->stop(WatchedRequest::Stop::TimeUp, now)) cancels.push_back(cancel);
        if (!cancels.empty()) {
            cancels_.insert(cancels_.end(), cancels.begin(), cancels.end());
            cancelsWaiting_.notify_one();
        }
    }
}

void RequestWatch::cancelLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        cancelsWaiting_.wait(lock, [this] { return ending_ || !cancels_.empty(); });
        if (cancels_.empty()) return;
        const std::shared_ptr<WatchedRequest::Attachment> attachment = std::move(cancels_.front());
        cancels_.pop_front();
        lock.unlock();
        std::shared_ptr<PgCancel> canceller;
        {
            std::lock_guard held(attachment->mutex);
            canceller = attachment->canceller;  // none: the request let its connection go meanwhile
            if (canceller) ++attachment->sending;
        }
        if (canceller) {
            canceller->cancel();
            std::lock_guard held(attachment->mutex);
            --attachment->sending;
            attachment->settled.notify_all();
        }
        lock.lock();
    }
}
