#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"
#include "support/temp_book.h"

namespace {

// The program itself, built beside the test programs.
QString ProgramPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/app/qentara"));
}

struct ProgramRun {
    bool crashed;
    int exitCode;
    QString out;
    QString err;
};

// Runs the program without any display, so that it only opens the book in folder and reports.
ProgramRun RunWithoutDisplay(const QString& folder) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("QENTARA_HOME"), folder);
    process.setProcessEnvironment(env);
    process.start(ProgramPath(), {});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {true, -1, {}, QStringLiteral("no end")};
    }
    return {process.exitStatus() == QProcess::CrashExit, process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(HeadlessRun, NewBookIsMadeAndCounted) {
    if (!QFileInfo(ProgramPath()).isExecutable()) GTEST_SKIP() << "the program is not built";
    TempBook book;
    const ProgramRun run = RunWithoutDisplay(book.path());
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("成员数: 0"))) << run.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(DataDbPath()));
}

TEST(HeadlessRun, ForeignMembersFileIsReportedNotACrash) {
    if (!QFileInfo(ProgramPath()).isExecutable()) GTEST_SKIP() << "the program is not built";
    TempBook book;
    ASSERT_EQ(RunWithoutDisplay(book.path()).exitCode, 0);
    ASSERT_TRUE(QFile::remove(DataDbPath()));
    {
        // Opens with the book password but has no members table.
        dao::Database foreign = dao::Database::Create(DataDbPath(), BookDbPassword());
        foreign.Execute(QStringLiteral("CREATE TABLE \"other\" (\"x\" INTEGER)"));
    }
    dao::ReleaseAllIdleConnections();
    const ProgramRun run = RunWithoutDisplay(book.path());
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("打开族谱数据库出错 (3078): "))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
}

// A torn members file and a lost pages file are told at start, and the files stay as they were.
TEST(HeadlessRun, DamagedAndMissingFilesAreToldAndLeftAlone) {
    if (!QFileInfo(ProgramPath()).isExecutable()) GTEST_SKIP() << "the program is not built";
    TempBook book;
    ASSERT_EQ(RunWithoutDisplay(book.path()).exitCode, 0);
    QFile members(DataDbPath());
    ASSERT_TRUE(members.resize(members.size() - 1000));
    const qint64 tornSize = members.size();
    const ProgramRun torn = RunWithoutDisplay(book.path());
    EXPECT_EQ(torn.exitCode, 1);
    EXPECT_TRUE(torn.err.contains(QStringLiteral("(3049): 文件 '%1' 已损坏").arg(DataDbPath()))) << torn.err.toStdString();
    EXPECT_EQ(QFileInfo(DataDbPath()).size(), tornSize);

    ASSERT_TRUE(QFile::remove(DescriptDbPath()));
    const ProgramRun missing = RunWithoutDisplay(book.path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("(3024): "))) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains(QStringLiteral("“descript.ctr”（传记页面）"))) << missing.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(DescriptDbPath()));
}
