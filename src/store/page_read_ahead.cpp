#include "store/page_read_ahead.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"

namespace {

// Pages kept read ahead of the writer at most (a few hundred kilobytes), and how many a worker takes up
// at once.
constexpr size_t kWindow = 512;
constexpr size_t kChunk = 16;
constexpr unsigned kMaxWorkers = 3;

int gStartBacklog = 128;

}  // namespace

void PageReadAhead::SetStartBacklog(int members) {
    gStartBacklog = members;
}

int PageReadAhead::StartBacklog() {
    return gStartBacklog;
}

PageReadAhead::PageReadAhead(std::function<void(QString&)> finish) : finish_(std::move(finish)) {}

PageReadAhead::~PageReadAhead() {
    Stop();
}

void PageReadAhead::Ask(const QString& filial) {
    if (started_) {
        // Handed over at the next Take: one lock a member for the writer.
        asked_.push_back(filial);
        return;
    }
    const std::lock_guard guard(lock_);
    if (failed_) return;
    entries_.push_back({filial, {}, false});
    if (gStartBacklog != 0 && entries_.size() >= size_t(std::abs(gStartBacklog))) Start();
}

std::optional<PageReadAhead::Page> PageReadAhead::Take(const QString& filial) {
    std::unique_lock guard(lock_);
    if (failed_) {
        asked_.clear();
        return std::nullopt;
    }
    for (QString& name : asked_) entries_.push_back({std::move(name), {}, false});
    asked_.clear();
    if (entries_.empty() || entries_.front().filial != filial) {
        // Out of turn: no page read ahead can be trusted to be this member's.
        failed_ = true;
        work_.notify_all();
        return std::nullopt;
    }
    if (!started_) {
        entries_.pop_front();
        return std::nullopt;
    }
    if (!entries_.front().read) {
        writerWaiting_ = true;
        if (idleWorkers_ > 0) work_.notify_all();
        ready_.wait(guard, [&] { return failed_ || entries_.front().read; });
        writerWaiting_ = false;
        if (failed_) return std::nullopt;
    }
    std::optional<Page> page = std::move(entries_.front().page);
    entries_.pop_front();
    --claimed_;
    if (idleWorkers_ > 0 && claimed_ < entries_.size() && claimed_ < kWindow) work_.notify_one();
    return page;
}

// Called with the lock held.
void PageReadAhead::Start() {
    started_ = true;
    const QString pagePath = DescriptDbPath();
    const QString picturePath = ImageDbPath();
    const QString password = BookDbPassword();
    const bool fail = gStartBacklog < 0;
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned count = std::clamp(cores > 1 ? cores - 1 : 1u, 1u, kMaxWorkers);
    try {
        for (unsigned i = 0; i < count; ++i)
            workers_.emplace_back([=, this] { Work(pagePath, picturePath, password, fail); });
    } catch (const std::system_error&) {
        // No thread to be had: the workers already started read on, or the writer reads alone.
        if (workers_.empty()) failed_ = true;
    }
}

void PageReadAhead::Work(const QString& pagePath, const QString& picturePath, const QString& password,
                         bool fail) {
    try {
        dao::Database pages = dao::Database::OpenReader(pagePath, password);
        dao::Database pictures = dao::Database::OpenReader(picturePath, password);
        // One read transaction for the whole run: each file is locked and checked for changes once.
        pages.Execute(QStringLiteral("BEGIN"));
        pictures.Execute(QStringLiteral("BEGIN"));
        // A picture's row is read once, across pages of its own: caching them only costs memory.
        pictures.Execute(QStringLiteral("PRAGMA cache_size=-256"));
        int chunks = 0;
        std::unique_lock guard(lock_);
        while (true) {
            ++idleWorkers_;
            work_.wait(guard, [&] {
                return stopping_ || failed_ || (claimed_ < entries_.size() && claimed_ < kWindow);
            });
            --idleWorkers_;
            if (stopping_ || failed_) break;
            if (fail && chunks++ > 0) throw std::runtime_error("reading ahead made to fail");
            // Entries stay where they are until the writer has taken them, which waits for them to be read.
            std::vector<Entry*> mine;
            while (mine.size() < kChunk && claimed_ < entries_.size() && claimed_ < kWindow)
                mine.push_back(&entries_[claimed_++]);
            guard.unlock();
            std::vector<Page> read;
            read.reserve(mine.size());
            for (const Entry* entry : mine) {
                Page page;
                page.text = PageCodeIn(pages, entry->filial);
                page.stored = !page.text.isEmpty();
                if (page.stored) {
                    finish_(page.text);
                    page.pictures = PictureRows(pictures, entry->filial);
                }
                read.push_back(std::move(page));
            }
            guard.lock();
            for (size_t i = 0; i < mine.size(); ++i) {
                mine[i]->page = std::move(read[i]);
                mine[i]->read = true;
            }
            if (writerWaiting_) ready_.notify_one();
        }
        guard.unlock();
        pictures.Execute(QStringLiteral("COMMIT"));
        pages.Execute(QStringLiteral("COMMIT"));
    } catch (...) {
        const std::lock_guard guard(lock_);
        failed_ = true;
        work_.notify_all();
        ready_.notify_all();
    }
}

void PageReadAhead::Stop() {
    {
        const std::lock_guard guard(lock_);
        stopping_ = true;
    }
    work_.notify_all();
    ready_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}
