#include "platform/interaction/form_registry.h"

#include <QHash>
#include <QObject>

namespace {

QHash<QString, FormRegistry::Factory>& factories() {
    static QHash<QString, FormRegistry::Factory> map;
    return map;
}

}  // namespace

void FormRegistry::Register(const QString& name, Factory factory) {
    factories().insert(name, std::move(factory));
}

void FormRegistry::Unregister(const QString& name) {
    factories().remove(name);
}

QObject* FormRegistry::Create(const QString& name) {
    const auto it = factories().constFind(name);
    if (it == factories().constEnd() || !*it) return nullptr;
    return (*it)();
}
