#pragma once

#include <QString>

// The settings every window shares, by the names the program uses. The storage itself is the platform's
// settings store (organisation and application "QentaraZp", group "Setting"); these only name it.

// "" when the key was never saved.
QString GetAppSetting(const QString& key);
// Replaces any earlier value.
void SaveAppSetting(const QString& key, const QString& value);
