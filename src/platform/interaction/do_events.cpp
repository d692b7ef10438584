#include "platform/interaction/do_events.h"

#include <QCoreApplication>
#include <QEventLoop>

void DoEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

PacedDoEvents::PacedDoEvents(int everyMs) : everyMs_(everyMs) {
    clock_.start();
}

void PacedDoEvents::Tick() {
    if (clock_.elapsed() < everyMs_) return;
    DoEvents();
    clock_.restart();
}
