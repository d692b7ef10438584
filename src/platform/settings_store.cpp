#include "platform/settings_store.h"

#include <QSettings>

namespace {

const QString kOrganisation = QStringLiteral("QentaraZp");
const QString kApplication = QStringLiteral("QentaraZp");
const QString kGroup = QStringLiteral("Setting");

}  // namespace

QString GetSetting(const QString& key) {
    QSettings settings(kOrganisation, kApplication);
    settings.beginGroup(kGroup);
    return settings.value(key).toString();
}

void SaveSetting(const QString& key, const QString& value) {
    QSettings settings(kOrganisation, kApplication);
    settings.beginGroup(kGroup);
    settings.setValue(key, value);
}
