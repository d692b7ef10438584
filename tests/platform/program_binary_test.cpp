// The program as built holds no way into the server's database: it does not link the database's client
// library, nor carry its calls or the password that every copy of it once held.

#include <gtest/gtest.h>
#include <QFile>

namespace {

// Texts the program keeps as QStringLiteral lie in it as UTF-16.
QByteArray Utf16(const char* text) {
    const QString wide = QString::fromLatin1(text);
    return QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
}

}  // namespace

TEST(ProgramBinaryTest, HoldsNoDatabaseClientAndNoDatabasePassword) {
    QFile program(QStringLiteral(QENTARA_PROGRAM));
    ASSERT_TRUE(program.open(QIODevice::ReadOnly)) << QENTARA_PROGRAM;
    const QByteArray bytes = program.readAll();
    ASSERT_GT(bytes.size(), 1000000);
    ASSERT_TRUE(
        bytes.startsWith("\x7f"
                         "ELF"));
    // The library shows among the needed ones, its calls among the symbols, the password as it stood.
    for (const char* never : {"libpq.so", "PQconnectdb", "PQexecParams", "PQsendQueryParams", "h27wd913",
                              "qntzp_pages", "postgresql://"})
        EXPECT_TRUE(bytes.indexOf(never) < 0 && bytes.indexOf(Utf16(never)) < 0) << never;
    // What it holds instead: the door.
    EXPECT_GE(bytes.indexOf(Utf16("/door/call")), 0);
}
