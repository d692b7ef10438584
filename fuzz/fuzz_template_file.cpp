// An input-template file of any bytes: it reads as rows or is refused with ZptFileError.
#include "fuzz_support.h"
#include "member/template_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::StartBook();
    const QString path = fuzz_support::WriteFile(QStringLiteral("input.Zpt"),
                                                 QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    try {
        const QList<ZptFile::Row> rows = ZptFile::Read(path);
        // What was read writes and reads back the same.
        ZptFile::Write(path, rows);
        const QList<ZptFile::Row> again = ZptFile::Read(path);
        if (again.size() != rows.size()) __builtin_trap();
    } catch (const ZptFileError&) {
    }
    return 0;
}
