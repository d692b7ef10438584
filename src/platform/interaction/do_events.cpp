#include "platform/interaction/do_events.h"

#include <QCoreApplication>
#include <QEventLoop>

void DoEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
