#pragma once

#include <QList>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "store/page_read_run.h"

// Members' pages (and their pictures' rows) read on worker threads, each with read-only connections of
// its own to the page and picture files, ahead of a writer that takes them in the order they were asked
// for. Reading a page costs more than writing it; this takes the reading off the writer's thread. The
// workers start once enough members wait, and keep a bounded number of pages ready. Whatever goes wrong
// on a worker (or a member taken out of turn) ends the reading ahead: from then on Take answers nothing
// and the writer reads itself. Ask and Take belong to one thread; a PageReadRun must live around this
// object.
class PageReadAhead {
public:
    // finish: what the writer does to every page read (runs on the workers; must touch no shared state).
    explicit PageReadAhead(std::function<void(QString&)> finish);
    ~PageReadAhead();
    PageReadAhead(const PageReadAhead&) = delete;
    PageReadAhead& operator=(const PageReadAhead&) = delete;

    // The next member whose page the writer will take.
    void Ask(const QString& filial);
    struct Page {
        QString text;                // as PageCodeIn gives it, then made over by finish
        bool stored = false;         // the member has a page: finish ran on it
        QList<PictureRow> pictures;  // of a member with a page, for ExtractPictureRows
    };
    // The page of the member asked first and not yet taken; nothing when the writer must read it
    // itself. Every member asked must be taken in turn.
    std::optional<Page> Take(const QString& filial);

    // Members waiting before the workers start: below it a small branch is read by the writer alone.
    // Tests set 1 to read ahead in any book, 0 never to read ahead, -1 to make the workers fail.
    static void SetStartBacklog(int members);
    static int StartBacklog();

private:
    struct Entry {
        QString filial;
        Page page;
        bool read = false;
    };
    void Start();
    void Work(const QString& pagePath, const QString& picturePath, const QString& password, bool fail);
    void Stop();

    std::function<void(QString&)> finish_;
    std::mutex lock_;
    std::condition_variable work_;   // workers: members asked, room made, or the end
    std::condition_variable ready_;  // the writer: a page read, or a failure
    std::vector<QString> asked_;     // the writer's alone: asked since its last Take, once started
    std::deque<Entry> entries_;      // asked and not yet taken, from the member next taken on
    size_t claimed_ = 0;             // entries at the front that workers have taken up
    int idleWorkers_ = 0;
    bool writerWaiting_ = false;
    bool started_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};
