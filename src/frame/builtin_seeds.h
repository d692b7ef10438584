#pragma once

#include <QString>

// The fixed seeds from which every key of the program is derived at run time. No key is stored.

QString BuiltinSeedPhrase();  // local book files, member pages and picture names
QString SettingsPhrase();     // the settings record and the installation number
QString ServerText();         // texts exchanged with the community server, strong-password digest
QString OneCharSeed();        // e-book download addresses
QString EmptySeed();          // message board, installation report, fixed texts of update and download

QString StoreKey();
QString BookDbPassword();  // first 11 digits of StoreKey()
QString SettingsKey();
QString ServerKey();
QString OneCharKey();
QString EmptySeedKey();
