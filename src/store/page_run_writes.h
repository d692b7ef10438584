#pragma once

// What the page walks share about their writes and window messages (data_ops_tree.cpp,
// data_ops_page_jump.cpp).

#include <QElapsedTimer>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "store/page_start_store.h"

// The writes of page jumps made one after another, in one transaction that is committed before window
// messages run (so nothing a message does joins it) and when the run ends: a disk flush per page would
// cost more than the page.
class PageRunWrites {
public:
    explicit PageRunWrites(dao::Database& db) : db_(db), connection_(db.connection()) { sinceMessages.start(); }
    // Only for the members database it began on: a book opened since runs on its own.
    bool Serves(dao::Database& db) const { return connection_.lock() == db.connection() && db.connection(); }
    void Open() {
        if (!tx_) tx_.emplace(db_.BeginTrans());
    }
    void Commit() {
        if (!tx_) return;
        dao::Transaction tx = std::move(*tx_);
        tx_.reset();
        try {
            tx.Commit();
        } catch (...) {
            // The pages the jumps cut are lost with it, and those noted as agreeing with them.
            PageStartStore::DropAgreement();
            throw;
        }
    }

    // Carried from one jump to the next: each jump alone is far shorter than the pause between rounds
    // of window messages.
    QElapsedTimer sinceMessages;

private:
    dao::Database& db_;
    std::weak_ptr<dao::Connection> connection_;
    std::optional<dao::Transaction> tx_;
};

namespace page_walk {

constexpr qint64 kEventsEveryMs = 15;
constexpr qint64 kRunEventsEveryMs = 60;

// Lets window messages run now and then during a walk; one round per row would cost more than the
// walk itself on a large book.
class EventPump {
public:
    explicit EventPump(PageRunWrites* run = nullptr) : run_(run) { clock_.start(); }
    void Tick() {
        // In a run of page jumps each round of messages costs a commit too: fewer rounds, still
        // several a second.
        QElapsedTimer& clock = run_ ? run_->sinceMessages : clock_;
        if (clock.elapsed() < (run_ ? kRunEventsEveryMs : kEventsEveryMs)) return;
        if (run_) run_->Commit();
        DoEvents();
        clock.restart();
    }

private:
    PageRunWrites* run_;
    QElapsedTimer clock_;
};

// The positions of the starts a walk kept queued, when its choice is the one recorded with the page:
// then the next page is a window of the same order. Nothing when they differ (the book changed since,
// or the page was cut by other means).
inline std::optional<std::vector<qint64>> KeptPositions(const std::vector<PageStartEntry>& page,
                                                 const std::vector<QString>& kept) {
    std::vector<qint64> out;
    size_t k = 0;
    for (const PageStartEntry& e : page) {
        const bool isKept = k < kept.size() && kept[k] == e.name;
        if (isKept != e.queued || (isKept && e.position < 0)) return std::nullopt;
        if (isKept) {
            out.push_back(e.position);
            ++k;
        }
    }
    if (k != kept.size()) return std::nullopt;
    return out;
}

}  // namespace page_walk
