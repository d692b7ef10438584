#pragma once

// What the fuzz targets share: a Qt application object, a throwaway book folder and the package-import
// call with the book put back as it was afterwards, so that every input meets the same book.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzz_support {

// Once per process: the application object and the book folder ($QENTARA_HOME) with a small family.
void StartBook();
// The folder the book lives in, ending with "/".
QString BookFolder();
// Writes bytes to a file in the book folder and returns its path.
QString WriteFile(const QString& name, const QByteArray& bytes);
// Imports the package at path (no password) and removes whatever the import added; returns ReLoad's
// result. A duplicate name (3022) is a fault of the import and stops the run.
qint32 ImportAndForget(const QString& path);
// The members, keywords, pictures and pages of the seed package, exported from the seed book.
void ExportSeedPackage(const QString& path);

}  // namespace fuzz_support

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
