#include "mainwin/forms/web_wait.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <memory>

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

std::optional<QVariant> RunScriptAndWait(QWebEnginePage* page, const QString& script, quint32 worldId,
                                         int timeoutMs) {
    // The answer may come after the wait gave up: it then lands in state that outlives this call.
    struct State {
        bool done = false;
        QVariant value;
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    page->runJavaScript(script, worldId, [state, waiting](const QVariant& value) {
        state->value = value;
        state->done = true;
        if (waiting) waiting->quit();
    });
    if (!state->done) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!state->done) return std::nullopt;
    return state->value;
}
