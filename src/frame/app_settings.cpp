#include "frame/app_settings.h"

#include "platform/settings_store.h"

QString GetAppSetting(const QString& key) {
    return GetSetting(key);
}

void SaveAppSetting(const QString& key, const QString& value) {
    SaveSetting(key, value);
}
