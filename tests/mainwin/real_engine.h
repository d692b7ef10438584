#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLibraryInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <functional>

// Helpers of the real web-engine tests (suites named *RealEngineTest).
namespace real_engine {

// "" when the engine can start here, else why not. Sets what the engine needs to start as root
// without a GPU.
inline QString Prepare() {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) +
                       QStringLiteral("/QtWebEngineProcess")))
        return QStringLiteral("the web engine is not installed");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    return QString();
}

inline bool WaitFor(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// In the program's own world: pages run no script of their own.
inline QVariant RunScript(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    WaitFor([&] { return done; }, 10000);
    return result;
}

}  // namespace real_engine
