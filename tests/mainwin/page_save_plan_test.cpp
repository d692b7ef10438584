// The page save's transformation: addresses to stored references, the files to store, the character
// set declaration, the media insertion.
#include <gtest/gtest.h>

#include "mainwin/page_save_plan.h"
#include "support/temp_book.h"

namespace {

using page_save::BuildPageSave;
using page_save::DomFacts;

const QString kMeta = QStringLiteral("<META HTTP-EQUIV='CONTENT-TYPE' CONTENT='TEXT/HTML;CHARSET=GB18030'>");

class PageSavePlanTest : public ::testing::Test {
protected:
    QString T() const { return book_.path() + QStringLiteral("temp"); }
    TempBook book_;
};

TEST_F(PageSavePlanTest, AddressesBecomeStoredReferencesAndTheirFilesAreListedOnce) {
    DomFacts facts;
    facts.documentPath = QStringLiteral("/open/page.htm");
    facts.background = QStringLiteral("file://") + T() + QStringLiteral("/bg.jpg");
    facts.images = {QStringLiteral("file://") + T() + QStringLiteral("/family/x.png"),
                    QStringLiteral("file:///home/u/a b.png"),
                    QStringLiteral("file://") + T() + QStringLiteral("/c.png?v=2"),
                    QStringLiteral("file:///home/u/q.png?v=2"),
                    QStringLiteral("http://host/pics/w.jpg"),
                    QStringLiteral("https://host/s.jpg"),
                    QStringLiteral("data:image/png;base64,AA"),
                    QStringLiteral("rel/y.png"),
                    QStringLiteral("file:///home/u/x&y.png"),
                    QStringLiteral("file://") + T() + QStringLiteral("/family/x.png")};
    facts.embeds = {QStringLiteral("/music/a.mp3")};
    facts.links = {QStringLiteral("/docs/d.pdf"), QStringLiteral("/docs/d.pdf"),
                   QStringLiteral("http://web/x"), QStringLiteral("#top"), QStringLiteral("mailto:a@b")};
    const QString t = T();
    facts.html = QStringLiteral(
                     "<html><head><title>t</title></head><body background=\"file://%1/bg.jpg\">"
                     "<img src=\"file://%1/family/x.png\"><img src=\"file:///home/u/a b.png\">"
                     "<img src=\"file://%1/c.png?v=2\"><img src=\"file:///home/u/q.png?v=2\">"
                     "<img src=\"http://host/pics/w.jpg\"><img src=\"https://host/s.jpg\">"
                     "<img src=\"data:image/png;base64,AA\"><img src=\"rel/y.png\">"
                     "<img src=\"file:///home/u/x&amp;y.png\"><p>file:///home/u/a b.png</p>"
                     "<embed  src='/music/a.mp3'><a href=\"/docs/d.pdf\">d</a><a href=\"/docs/d.pdf\">e</a>"
                     "<a href=\"http://web/x\">w</a><a href=\"#top\">top</a><a href=\"mailto:a@b\">m</a>"
                     "<img src=\"file://%1/family/x.png\"></body></html>")
                     .arg(t);

    const page_save::Plan plan = BuildPageSave(facts);
    EXPECT_EQ(
        plan.html.toStdString(),
        (QStringLiteral("<html><head>") + kMeta +
         QStringLiteral(
             "<title>t</title></head><body background=\"file://_app.bg_\\bg.jpg\">"
             "<img src=\"file://_app.path_\\family\\x.png\"><img src=\"file://_app.path_\\home\\u\\a b.png\">"
             "<img src=\"file://_app.path_\\c.png?v=2\"><img src=\"file:///home/u/q.png?v=2\">"
             "<img src=\"file://_app.path_\\pics\\w.jpg\"><img src=\"file://_app.path_\\s.jpg\">"
             "<img src=\"data:image/png;base64,AA\"><img src=\"file://_app.path_\\open\\rel\\y.png\">"
             "<img src=\"file://_app.path_\\home\\u\\x&amp;y.png\"><p>file:///home/u/a b.png</p>"
             "<embed  src='file://_app.path_\\music\\a.mp3'><a href=\"file://_app.path_\\docs\\d.pdf\">d</a>"
             "<a href=\"file://_app.path_\\docs\\d.pdf\">e</a>"
             "<a href=\"http://web/x\">w</a><a href=\"#top\">top</a><a href=\"mailto:a@b\">m</a>"
             "<img src=\"file://_app.path_\\family\\x.png\"></body></html>"))
            .toStdString());
    const QList<PageFileSource> files{
        {QStringLiteral("file://") + t + QStringLiteral("/bg.jpg"), true},
        {QStringLiteral("file://") + t + QStringLiteral("/family/x.png"), false},
        {QStringLiteral("file:///home/u/a b.png"), false},
        {QStringLiteral("http://host/pics/w.jpg"), false},
        {QStringLiteral("https://host/s.jpg"), false},
        {QStringLiteral("file:///open/rel/y.png"), false},
        {QStringLiteral("file:///home/u/x&y.png"), false},
        {QStringLiteral("file:///music/a.mp3"), false},
        {QStringLiteral("file:///docs/d.pdf"), false},
    };
    EXPECT_EQ(plan.files, files);
}

TEST_F(PageSavePlanTest, BackgroundGivenAsAPlainPathOrNone) {
    QString html = QStringLiteral("<body background='/home/u/bg.jpg'>");
    EXPECT_EQ(page_save::LocalizePageBackground(QStringLiteral("/home/u/bg.jpg"), html),
              QStringLiteral("file:///home/u/bg.jpg"));
    EXPECT_EQ(html, QStringLiteral("<body background='file://_app.bg_\\home\\u\\bg.jpg'>"));
    html = QStringLiteral("<body>");
    EXPECT_EQ(page_save::LocalizePageBackground(QString(), html), QString());
    EXPECT_EQ(html, QStringLiteral("<body>"));
    DomFacts facts;
    facts.html = QStringLiteral("<html><head></head><body><img src=\"mine.png\"></body></html>");
    facts.images = {QStringLiteral("mine.png")};
    const page_save::Plan plan = BuildPageSave(facts);  // no document: a relative address names nothing
    EXPECT_TRUE(plan.files.isEmpty());
    EXPECT_EQ(plan.html, QStringLiteral("<html><head>") + kMeta +
                             QStringLiteral("</head><body><img src=\"mine.png\"></body></html>"));
}

TEST_F(PageSavePlanTest, CharsetDeclarationIsAddedOnceWhateverTheCase) {
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("<HTML><HEAD><TITLE>a</TITLE></HEAD>"),
         QStringLiteral("<HTML><HEAD>") + kMeta + QStringLiteral("<TITLE>a</TITLE></HEAD>")},
        {QStringLiteral("<html><head lang=zh>\r\n<meta charset=utf-8></head>"),
         QStringLiteral("<html><head lang=zh>") + kMeta + QStringLiteral("\r\n<meta charset=utf-8></head>")},
        {QStringLiteral("<html><header>x</header><body>y</body></html>"),
         QStringLiteral("<html><head>") + kMeta +
             QStringLiteral("</head><header>x</header><body>y</body></html>")},
        {QStringLiteral("<p>x</p>"), QStringLiteral("<head>") + kMeta + QStringLiteral("</head><p>x</p>")},
        {QStringLiteral("<head><meta content='text/html; charset=gb2312'></head>"),
         QStringLiteral("<head><meta content='text/html; charset=gb2312'></head>")},
        {QStringLiteral("<head><meta charset=\"GB18030\"></head>"),
         QStringLiteral("<head><meta charset=\"GB18030\"></head>")},
    };
    for (const auto& [page, declared] : cases)
        EXPECT_EQ(page_save::WithCharsetDeclaration(page), declared) << page.toStdString();
}

TEST_F(PageSavePlanTest, MediaGoesBeforeTheBodyEndAndKeepsIt) {
    EXPECT_EQ(page_save::InsertMediaBeforeBodyEnd(QStringLiteral("<BODY>x</BODY ></html>"),
                                                  QStringLiteral("/m/a.mp3")),
              QStringLiteral("<BODY>x<embed  src='/m/a.mp3'></BODY ></html>"));
    EXPECT_EQ(page_save::InsertMediaBeforeBodyEnd(QStringLiteral("<p>x</p>"), QStringLiteral("/m/a.swf")),
              QStringLiteral("<p>x</p><embed  src='/m/a.swf'>"));
}

}  // namespace
