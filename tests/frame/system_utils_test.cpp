#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <optional>

#include "frame/forms/cls_snd.h"
#include "frame/forms/window_utils.h"
#include "frame/system_utils.h"
#include "support/temp_book.h"

namespace {

// Sets an environment variable (nullopt: removes it) for the life of the object.
class EnvOverride {
public:
    EnvOverride(const char* name, std::optional<QString> value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value)
            qputenv(name, value->toLocal8Bit());
        else
            qunsetenv(name);
    }
    ~EnvOverride() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// A folder of stand-in programs that is the whole search path while the object lives. Each program
// writes its arguments, one a line, to "<name>.args" beside it.
class FakePrograms {
public:
    FakePrograms() : path_("PATH", dir_.path()) {}
    void Add(const QString& name, const QString& body) {
        QFile file(dir_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n%2\n")
                       .arg(ArgsFile(name), body)
                       .toUtf8());
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    QString ArgsFile(const QString& name) const { return dir_.filePath(name + ".args"); }
    QString Args(const QString& name) const {
        QFile file(ArgsFile(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<none>");
    }
    QString dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    EnvOverride path_;
};

bool WaitForFile(const QString& path, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(path) && clock.elapsed() < ms) QTest::qWait(20);
    QTest::qWait(50);  // let the writer finish its line
    return QFile::exists(path);
}

}  // namespace

TEST(SystemUtilsPing, RunsPingWithAnArgumentListAndReadsTheAverage) {
    FakePrograms fake;
    fake.Add("ping",
             "echo 'PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data.'\n"
             "echo 'rtt min/avg/max/mdev = 0.040/12.5/0.040/0.000 ms'");
    EXPECT_FLOAT_EQ(PingAverageMs("127.0.0.1"), 12.5f);
    EXPECT_EQ(fake.Args("ping"), "-n\n-c\n1\n-W\n2\n127.0.0.1\n");
    // A site address without its scheme: only the host is probed.
    EXPECT_FLOAT_EQ(PingAverageMs("localhost:8080/zp/"), 12.5f);
    EXPECT_EQ(fake.Args("ping"), "-n\n-c\n1\n-W\n2\nlocalhost\n");
    EXPECT_FLOAT_EQ(PingAverageMs("[::1]"), 12.5f);
    EXPECT_EQ(fake.Args("ping"), "-n\n-c\n1\n-W\n2\n::1\n");
}

TEST(SystemUtilsPing, AnythingButAPlainHostIsNeverProbed) {
    FakePrograms fake;
    fake.Add("ping", "echo 'rtt min/avg/max/mdev = 1/2/3/4 ms'");
    for (const char* host :
         {"", "-f", "--flood", "127.0.0.1;touch x", "a b", "$(id)", "`id`", "x|y", "\"q\""})
        EXPECT_EQ(PingAverageMs(QString::fromUtf8(host)), 0.0f) << host;
    EXPECT_FALSE(QFile::exists(fake.ArgsFile("ping")));
}

TEST(SystemUtilsPing, NoAnswerOrAHangingPingGivesZeroInBoundedTime) {
    FakePrograms fake;
    fake.Add("ping", "echo '1 packets transmitted, 0 received, 100% packet loss'");
    EXPECT_EQ(PingAverageMs("127.0.0.1"), 0.0f);
    fake.Add("ping", "exec /bin/sleep 30");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(PingAverageMs("127.0.0.1", 500), 0.0f);
    EXPECT_LT(clock.elapsed(), 2500);
}

TEST(SystemUtilsPing, WithoutPingTimesATcpConnect) {
    FakePrograms fake;  // an empty search path: no ping program
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const float ms = PingAverageMs(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
    EXPECT_GT(ms, 0.0f);
    EXPECT_LT(ms, 3000.0f);
    const quint16 closed = server.serverPort();
    server.close();
    EXPECT_EQ(PingAverageMs(QStringLiteral("127.0.0.1:%1").arg(closed)), 0.0f);
}

TEST(SystemUtilsPrinter, DefaultPrinterDecides) {
    FakePrograms fake;
    EnvOverride lpdest("LPDEST", std::nullopt);
    {
        EnvOverride printer("PRINTER", std::nullopt);
        EXPECT_FALSE(PrinterAvailable());  // no lpstat at all
        fake.Add("lpstat", "echo 'system default destination: Office_Laser'");
        EXPECT_TRUE(PrinterAvailable());
        EXPECT_EQ(fake.Args("lpstat"), "-d\n");
        fake.Add("lpstat", "echo 'system default destination: 传真'");
        EXPECT_FALSE(PrinterAvailable());
        fake.Add("lpstat", "echo 'no system default destination'");
        EXPECT_FALSE(PrinterAvailable());
    }
    EnvOverride printer("PRINTER", QStringLiteral("传真"));
    EXPECT_FALSE(PrinterAvailable());
    EnvOverride chosen("LPDEST", QStringLiteral("Office_Laser"));
    EXPECT_TRUE(PrinterAvailable());
}

TEST(SystemUtilsFolders, SystemDirIsInTheBookFolder) {
    TempBook book;
    EXPECT_EQ(GetSystemDir(), book.path() + "system/");
    EXPECT_TRUE(QFileInfo(book.path() + "system").isDir());
}

TEST(SystemUtilsSound, PlaysWaveFilesByAbsolutePathOnly) {
    FakePrograms fake;
    fake.Add("aplay", "");
    QFile wave(fake.dir() + "/msg.wav");
    ASSERT_TRUE(wave.open(QIODevice::WriteOnly));
    wave.write(QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16));
    wave.close();
    QFile text(fake.dir() + "/-x.wav");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a sound");
    text.close();

    const QString previous = QDir::currentPath();
    QDir::setCurrent(fake.dir());
    ClsSnd().PlayWav("-x.wav");
    ClsSnd().PlayWav("missing.wav");
    EXPECT_FALSE(WaitForFile(fake.ArgsFile("aplay"), 300));
    ClsSnd().PlayWav("msg.wav");
    QDir::setCurrent(previous);
    ASSERT_TRUE(WaitForFile(fake.ArgsFile("aplay"), 5000));
    EXPECT_EQ(fake.Args("aplay"), "-q\n" + fake.dir() + "/msg.wav\n");
}

TEST(SystemUtilsWindows, CloseWindowByTitleClosesOnlyThatWindow) {
    QWidget launcher;
    launcher.setWindowTitle("Qentara族谱");
    QWidget other;
    other.setWindowTitle("Qentara族谱 ");
    launcher.show();
    other.show();
    EXPECT_TRUE(CloseWindowByTitle("Qentara族谱"));
    EXPECT_FALSE(launcher.isVisible());
    EXPECT_TRUE(other.isVisible());
    EXPECT_TRUE(CloseWindowByTitle("nobody"));
}

TEST(SystemUtilsWindows, EnterMovesTheFocusOn) {
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* first = new QLineEdit(&form);
    auto* second = new QLineEdit(&form);
    layout->addWidget(first);
    layout->addWidget(second);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    first->setFocus();
    ASSERT_TRUE(first->hasFocus());
    EnterToTab('A');
    EXPECT_TRUE(first->hasFocus());
    EnterToTab(13);
    EXPECT_TRUE(second->hasFocus());
    EnterToTab(Qt::Key_Return);
    EXPECT_TRUE(first->hasFocus());
}
