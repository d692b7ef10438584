#pragma once

#include <QElapsedTimer>

// Lets queued work (repaints, timers, network replies) run during a long loop, without taking the
// user's clicks and keys, which could re-enter the loop's own command.
void DoEvents();

// DoEvents for a loop of many short rounds: at most once per interval, since one round of messages per
// row can cost more than the loop itself.
class PacedDoEvents {
public:
    explicit PacedDoEvents(int everyMs = 50);
    void Tick();

private:
    qint64 everyMs_;
    QElapsedTimer clock_;
};
