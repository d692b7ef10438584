// A whole package file as it arrives: any bytes, imported into the book. Nothing may crash, and the
// import either succeeds or reports a failure (ReLoad never throws).
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::StartBook();
    const QString path = fuzz_support::WriteFile(QStringLiteral("input.mdb"),
                                                 QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    fuzz_support::ImportAndForget(path);
    return 0;
}
