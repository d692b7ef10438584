#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cerrno>

#include "platform/disk_full.h"
#include "support/file_size_limit.h"

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

// A QSaveFile hands on its last buffered bytes while committing, and the system's refusal then does
// not stop the commit: the file would replace the earlier one cut short. CommitWhole refuses instead.
TEST(DiskFull, AWriteRefusedAtTheCommitKeepsTheEarlierFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.htm");
    Write(path, "the earlier file");
    bool committed = true;
    {
        const FileSizeLimit full(100);
        QSaveFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(QByteArray(300, 'x')), 300);  // buffered: nothing refused yet
        committed = CommitWhole(file);
        EXPECT_TRUE(IsNoRoomError(errno));
    }
    EXPECT_FALSE(committed);
    EXPECT_EQ(Bytes(path), "the earlier file");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.htm"});
}

// A copy tells the side that failed; a copy refused for room leaves nothing behind.
TEST(DiskFull, ACopyTellsWhichSideFailed) {
    QTemporaryDir dir;
    const QString source = dir.filePath("package.mdb");
    Write(source, QByteArray(200000, 'p'));
    const QString copy = dir.filePath("copy.mdb");
    EXPECT_EQ(CopyWholeFile(source, copy), CopyFailure::None);
    EXPECT_EQ(Bytes(copy), Bytes(source));
    EXPECT_EQ(CopyWholeFile(dir.filePath("missing.mdb"), dir.filePath("other.mdb")), CopyFailure::Reading);
    EXPECT_EQ(CopyWholeFile(source, dir.filePath("no-such-folder/copy.mdb")), CopyFailure::Writing);
    QFile::remove(copy);
    {
        const FileSizeLimit full(64 * 1024);
        EXPECT_EQ(CopyWholeFile(source, copy), CopyFailure::NoRoom);
    }
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_EQ(DiskFullText("/书/谱.chm"), QStringLiteral("磁盘已满，不能写入文件 '/书/谱.chm'。"));
}
