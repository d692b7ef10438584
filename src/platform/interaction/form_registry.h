#pragma once

#include <QString>
#include <functional>

class QObject;

// Lets core code open a window by its old form name without knowing the window's class: the ui library
// registers a factory per name at start-up.
class FormRegistry {
public:
    using Factory = std::function<QObject*()>;

    // A second registration under the same name replaces the first.
    static void Register(const QString& name, Factory factory);
    static void Unregister(const QString& name);
    // A new, parentless instance owned by the caller; nullptr when the name is unknown.
    static QObject* Create(const QString& name);
};
