#pragma once

#include <QString>

// The book folder: the three book files and everything the program writes beside them.
// $QENTARA_HOME when set, else the per-user application data folder; always ends with "/".
// The folder is created when missing.
QString GetAppPath();

// A stored path may carry "\" separators from older books; the file system wants "/".
QString ToLocalSeparators(const QString& storedPath);
