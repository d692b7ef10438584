#pragma once

#include <QVariant>
#include <functional>
#include <optional>

class QWebEnginePage;

// The engine answers scripts and loads asynchronously; callers that need the answer now wait here, in a
// local event loop that takes no user input, for at most timeoutMs.

// False when the time ran out before done() held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// The script's result; nothing when the engine did not answer in time.
std::optional<QVariant> RunScriptAndWait(QWebEnginePage* page, const QString& script, quint32 worldId,
                                         int timeoutMs);
