// The download class against the community server's real page service (its static files) and, for
// transfers that misbehave, a server that sends exactly the bytes a case gives.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "community/cls_download.h"
#include "community/raw_http_server.h"
#include "pages/page_service.h"
#include "support/test_http_server.h"

namespace {

// Everything the class reported during one use.
struct Events {
    explicit Events(clsDownLoad& tg) {
        QObject::connect(&tg, &clsDownLoad::GetData, [this](qint64 n) { progress.push_back(n); });
        QObject::connect(&tg, &clsDownLoad::ErrMassage, [this](const QString& t) { errors << t; });
        QObject::connect(&tg, &clsDownLoad::DownLoadOver, [this] { ++over; });
        QObject::connect(&tg, &clsDownLoad::Cancelled, [this] { ++cancelled; });
    }
    std::vector<qint64> progress;
    QStringList errors;
    int over = 0;
    int cancelled = 0;
};

QByteArray RandomBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20240522);
    for (int i = 0; i < size; ++i) bytes[i] = char(generator.bounded(256));
    return bytes;
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid() && target_.isValid());
        ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("ebook")));
        PageServiceConfig config;
        config.port = 0;
        config.staticRoot = root_.path();
        pages_ = std::make_unique<PageService>(config);
        ASSERT_TRUE(pages_->start());
    }
    void TearDown() override { clsDownLoad::SetStallTimeoutMs(0); }

    QString put(const QString& name, const QByteArray& bytes) {
        QFile file(root_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return pages_->baseUrl() + QLatin1Char('/') + name;
    }
    QString target() const { return target_.filePath(QStringLiteral("downtmp.mdb")); }
    QByteArray targetBytes() const {
        QFile file(target());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

    QTemporaryDir root_;
    QTemporaryDir target_;
    std::unique_ptr<PageService> pages_;
};

TEST_F(Download, AFileOfSomeMegabytesArrivesByteForByteWithItsHeaders) {
    const QByteArray bytes = RandomBytes(3 * 1024 * 1024 + 17);
    // Letter case of the address is kept: the file is found only under its own spelling.
    const QString url = put(QStringLiteral("ebook/WangShi.MDB"), bytes);
    clsDownLoad tg;
    Events events(tg);
    tg.setURL(url);
    tg.setSaveFile(target());
    tg.Execute();
    ASSERT_TRUE(tg.IsOpen()) << events.errors.join(u'\n').toStdString();
    EXPECT_EQ(tg.StatusCode(), 200);
    EXPECT_EQ(tg.GetHeader(QStringLiteral("content-length")), QString::number(bytes.size()));
    EXPECT_EQ(tg.GetHeader(QStringLiteral("Content-Length")), QString::number(bytes.size()));
    EXPECT_TRUE(tg.GetHeader(QStringLiteral("LAST-MODIFIED")).endsWith(QLatin1String(" GMT")));
    EXPECT_EQ(tg.GetHeader(QStringLiteral("ETag")), QStringLiteral("0"));
    EXPECT_TRUE(tg.GetHeader(QString()).startsWith(QStringLiteral("HTTP/1.1 200 OK") + QChar(0)));

    EXPECT_TRUE(tg.StartDownLoad());
    EXPECT_EQ(targetBytes(), bytes);
    EXPECT_EQ(events.over, 1);
    EXPECT_TRUE(events.errors.isEmpty());
    ASSERT_FALSE(events.progress.empty());
    EXPECT_EQ(events.progress.back(), bytes.size());
    EXPECT_FALSE(tg.IsOpen());
}

TEST_F(Download, AMissingFileIsToldByItsStatusAndNeverSaved) {
    QFile earlier(target());
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier file");
    earlier.close();
    put(QStringLiteral("ebook/WangShi.MDB"), "x");

    clsDownLoad tg;
    Events events(tg);
    tg.setURL(pages_->baseUrl() + QStringLiteral("/ebook/wangshi.mdb"));
    tg.setSaveFile(target());
    tg.Execute();
    EXPECT_EQ(tg.StatusCode(), 404);
    EXPECT_EQ(tg.GetHeader(QStringLiteral("LAST-MODIFIED")), QStringLiteral("0"));
    EXPECT_TRUE(events.errors.isEmpty());
    EXPECT_FALSE(tg.StartDownLoad());
    ASSERT_EQ(events.errors.size(), 1);
    EXPECT_TRUE(events.errors[0].startsWith(QStringLiteral("服务器不能提供文件（404 ")))
        << events.errors[0].toStdString();
    EXPECT_EQ(targetBytes(), QByteArray("an earlier file"));
    EXPECT_EQ(events.over, 0);
}

TEST_F(Download, TransfersThatEndBadlyLeaveNoFile) {
    clsDownLoad::SetStallTimeoutMs(400);
    const QByteArray part = RandomBytes(4000);
    struct Case {
        const char* what;
        QByteArray reply;
        bool hold;
        const char* error;
        bool headers;  // the headers arrived, so Execute succeeded
    };
    const Case cases[] = {
        {"short of its Content-Length", OkHeader(10000) + part, false, "下载", true},
        {"stops sending in the middle", OkHeader(10000) + part, true, "下载中断：0 秒没有收到数据。", true},
        {"never answers", QByteArray(), true, "连接服务器超时：", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawHttpServer server(c.reply, c.hold);
        clsDownLoad tg;
        Events events(tg);
        tg.setURL(server.url(QStringLiteral("/ebook/a.mdb")));
        tg.setSaveFile(target());
        tg.Execute();
        EXPECT_EQ(tg.IsOpen(), c.headers);
        EXPECT_FALSE(tg.StartDownLoad());
        ASSERT_EQ(events.errors.size(), 1);
        EXPECT_TRUE(events.errors[0].startsWith(QString::fromUtf8(c.error)))
            << events.errors[0].toStdString();
        EXPECT_EQ(events.over, 0);
        EXPECT_FALSE(QFile::exists(target()));
    }
    const struct {
        QString url;
        const char* error;
    } refused[] = {
        {QStringLiteral("http://127.0.0.1:%1/x.mdb").arg(ClosedLocalPort()), "无法连接到下载地址："},
        {QStringLiteral("file:///etc/passwd"), "下载地址无效："},
        {QString(), "下载地址无效："}};
    for (const auto& r : refused) {
        clsDownLoad tg;
        Events events(tg);
        tg.setURL(r.url);
        tg.Execute();
        EXPECT_FALSE(tg.IsOpen());
        ASSERT_EQ(events.errors.size(), 1);
        EXPECT_TRUE(events.errors[0].startsWith(QString::fromUtf8(r.error))) << r.url.toStdString();
    }
}

TEST_F(Download, ACancelInTheMiddleKeepsNothing) {
    RawHttpServer server(OkHeader(1 << 20) + RandomBytes(70000), true);
    clsDownLoad tg;
    Events events(tg);
    QObject::connect(&tg, &clsDownLoad::GetData, &tg, [&tg] { tg.CloseAll(); });
    tg.setURL(server.url(QStringLiteral("/big.mdb")));
    tg.setSaveFile(target());
    tg.Execute();
    EXPECT_FALSE(tg.StartDownLoad());
    EXPECT_EQ(events.cancelled, 1);
    EXPECT_EQ(events.over, 0);
    EXPECT_TRUE(events.errors.isEmpty());
    EXPECT_EQ(events.progress.size(), 1u);
    EXPECT_FALSE(QFile::exists(target()));
    // Closing after a header probe is no cancel.
    tg.Execute();
    tg.CloseAll();
    EXPECT_EQ(events.cancelled, 1);
}

}  // namespace
