#pragma once

#include <QString>

// The program's own settings (organisation and application "QentaraZp", group "Setting"). Every value is
// text, as the old registry values were.

// "" when the key was never saved.
QString GetSetting(const QString& key);
void SaveSetting(const QString& key, const QString& value);
