#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "platform/codepage.h"
#include "store/data_ops.h"
#include "store/picture_refs.h"
#include "support/suite_book_fixture.h"
#include "support/test_http_server.h"

namespace {

// Serves every path with the bytes of the path's text, answers 404 for "/missing..." and never
// answers "/never...".
class PictureServer : public TestHttpServer {
public:
    PictureServer() {
        answerWith("/", "200 OK", BodyFor, "image/png");
        answer("/missing", "404 Not Found", "not here", "image/png");
        neverAnswer("/never");
    }
    static QByteArray BodyFor(const QByteArray& target) { return "PNG-bytes-of " + target; }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

std::string U(const QString& s) {
    return s.toStdString();
}

const QString kMeta =
    QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb18030\">");

// One book for the whole suite: every keyed open costs a key derivation. Each case starts from empty
// page, picture and member tables and an empty temp folder.
class PageStore : public SuiteBookFixture {
protected:
    void SetUp() override {
        ResetAppState();
        ops_ = std::make_unique<Cls数据操作>();
        images().Execute("DELETE FROM \"imageylk\"");
        pages().Execute("DELETE FROM \"story\"");
        App().DataDb.Execute("DELETE FROM \"本姓成员\"");
        QDir(T()).removeRecursively();
        QDir(book_->file("chm")).removeRecursively();
    }
    void TearDown() override {
        ops_.reset();
        picture_refs::SetDownloadTimeoutMs(10000);
        picture_refs::SetDownloadMaxBytes(12 * 1024 * 1024 - 1);
        ResetAppState();
    }

    static dao::Database images() { return dao::Database::Open(ImageDbPath(), BookDbPassword()); }
    static dao::Database pages() { return dao::Database::Open(DescriptDbPath(), BookDbPassword()); }
    static QString T() { return book_->path() + "temp"; }

    // (filial, reference as the readers see it, bytes) of every picture row in table order.
    static QList<std::tuple<QString, QString, QByteArray>> pictureRows() {
        QList<std::tuple<QString, QString, QByteArray>> rows;
        for (auto rs =
                 images().OpenRecordset("SELECT filial, imagepath, myimage FROM \"imageylk\" ORDER BY rowid");
             rs.hasRow(); rs.MoveNext())
            rows.append(
                {rs.Text("filial"), EncodeText(rs.Text("imagepath"), StoreKey()), rs.Bytes("myimage")});
        return rows;
    }
    static QString storedImagepath(int row) {
        auto rs = images().OpenRecordset("SELECT imagepath FROM \"imageylk\" ORDER BY rowid LIMIT 1 OFFSET ?",
                                         {row});
        return rs.Text("imagepath");
    }
    // As UTF-8, so that a failure shows the text.
    static std::string pageFile(const QString& path) { return FromGb18030(ReadAll(path)).toStdString(); }

    static void AddMember(const QString& filial, const QString& father, const QString& mother, int sort,
                          bool motherActive, const QString& motherFolk = {},
                          const QString& motherBirthday = {}) {
        App().DataDb.Execute(
            "INSERT INTO \"本姓成员\" (filial, father, mother, boy_sort, Mother_active, mother_folk, "
            "mother_birthday) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)",
            {filial, father, mother, sort, motherActive, motherFolk, motherBirthday});
    }

    std::unique_ptr<Cls数据操作> ops_;
};

}  // namespace

TEST_F(PageStore, ReferencesOfTempBackgroundAndOutsidePictures) {
    QTemporaryDir outside;
    const QString outsideFile = outside.path() + "/photos/a.jpg";
    WriteFile(T() + "/family/x.png", "family picture");
    WriteFile(T() + "/bg.jpg", "background");
    WriteFile(outsideFile, "outside picture");

    EXPECT_TRUE(ops_->SaveAnyImage("file://" + T() + "/family/x.png", false, "王一", false));
    EXPECT_TRUE(ops_->SaveAnyImage("file://" + T() + "/bg.jpg", false, "王一", true));
    EXPECT_TRUE(ops_->SaveAnyImage("file://" + outsideFile, false, "王一", false));

    const QString outsideRef = "file://_app.path_" + QString(outsideFile).replace('/', '\\');
    const QList<std::tuple<QString, QString, QByteArray>> expected{
        {"王一", "file://_app.path_\\family\\x.png", "family picture"},
        {"王一", "file://_app.bg_\\bg.jpg", "background"},
        {"王一", outsideRef, "outside picture"}};
    EXPECT_EQ(pictureRows(), expected);
    // imagepath holds the reference run through DecodeText, not EncodeText.
    EXPECT_EQ(storedImagepath(0), DecodeText("file://_app.path_\\family\\x.png", StoreKey()));

    // The same picture again replaces the bytes of its row; a picture of the temp folder and one
    // outside it with the same path below share the reference rule.
    WriteFile(T() + "/family/x.png", "family picture v2");
    EXPECT_TRUE(ops_->SaveAnyImage("file://" + T() + "/family/x.png", false, "王一", false));
    EXPECT_EQ(pictureRows().size(), 3);
    EXPECT_EQ(std::get<2>(pictureRows()[0]), QByteArray("family picture v2"));
    EXPECT_EQ(picture_refs::StoredReference("file:///family/x.png", false),
              "file://_app.path_\\family\\x.png");
    EXPECT_EQ(picture_refs::StoredReference("file://" + T() + "\\family\\.\\x.png", false),
              "file://_app.path_\\family\\x.png");

    // Shown again from an emptied temp folder: the page points into it and the pictures come back.
    QString page =
        "<BODY background=\"file://_app.bg_\\bg.jpg\"><IMG src=\"file://_app.path_\\family\\x.png\">"
        "<img src='" +
        outsideRef + "'></BODY>";
    ops_->SaveAnyHtml(page, "王一");
    QDir(T()).removeRecursively();
    const QString target = book_->file("ltmp.htm");
    EXPECT_FALSE(ops_->GetAnyHtml(target, "王一"));
    EXPECT_EQ(pageFile(target),
              U(kMeta + "\r\n<BODY background=\"file://" + T() + "/bg.jpg\"><IMG src=\"file://" + T() +
                "/family/x.png\"><img src='file://" + T() + outsideFile + "'></BODY>\r\n"));
    EXPECT_EQ(ReadAll(T() + "/family/x.png"), QByteArray("family picture v2"));
    EXPECT_EQ(ReadAll(T() + "/bg.jpg"), QByteArray("background"));
    EXPECT_EQ(ReadAll(T() + outsideFile), QByteArray("outside picture"));

    // An extracted picture is a cache: it is not written again.
    WriteFile(T() + "/bg.jpg", "edited locally");
    EXPECT_FALSE(ops_->GetAnyHtml(target, "王一"));
    EXPECT_EQ(ReadAll(T() + "/bg.jpg"), QByteArray("edited locally"));

    // Dropping the member's pictures leaves the others alone.
    WriteFile(T() + "/other.png", "other");
    EXPECT_TRUE(ops_->SaveAnyImage("file://" + T() + "/other.png", false, "王二", false));
    EXPECT_TRUE(ops_->SaveAnyImage("file://whatever", true, "王一", false));
    EXPECT_EQ(pictureRows().size(), 1);
    EXPECT_EQ(std::get<0>(pictureRows()[0]), "王二");
}

TEST_F(PageStore, MissingOrEmptyPicturesAreReportedAndNotStored) {
    WriteFile(T() + "/empty.png", "");
    EXPECT_FALSE(ops_->SaveAnyImage("file://" + T() + "/gone.png", false, "王一", false));
    EXPECT_FALSE(ops_->SaveAnyImage("file://" + T() + "/empty.png", false, "王一", false));
    EXPECT_FALSE(ops_->SaveAnyImage("no separator", false, "王一", false));
    EXPECT_TRUE(pictureRows().isEmpty());
}

TEST_F(PageStore, DownloadsGoBelowTheTempFolderAndFailuresAreReported) {
    PictureServer server;
    EXPECT_TRUE(ops_->SaveAnyImage(server.url("/pics/sub/a.jpg"), false, "王一", false));
    EXPECT_TRUE(ops_->SaveAnyImage(server.url("/b.jpg"), false, "王一", false));
    EXPECT_EQ(ReadAll(T() + "/pics/sub/a.jpg"), PictureServer::BodyFor("/pics/sub/a.jpg"));
    EXPECT_EQ(ReadAll(T() + "/b.jpg"), PictureServer::BodyFor("/b.jpg"));
    const QList<std::tuple<QString, QString, QByteArray>> expected{
        {"王一", "file://_app.path_\\pics\\sub\\a.jpg", PictureServer::BodyFor("/pics/sub/a.jpg")},
        {"王一", "file://_app.path_\\b.jpg", PictureServer::BodyFor("/b.jpg")}};
    EXPECT_EQ(pictureRows(), expected);
    EXPECT_EQ(picture_refs::StoredReference(server.url("/pics/sub/a.jpg"), true),
              "file://_app.bg_\\pics\\sub\\a.jpg");

    // A 404, a server that never answers and an address that names no file store nothing.
    picture_refs::SetDownloadTimeoutMs(300);
    EXPECT_FALSE(ops_->SaveAnyImage(server.url("/missing/c.jpg"), false, "王一", false));
    EXPECT_FALSE(ops_->SaveAnyImage(server.url("/never/d.jpg"), false, "王一", false));
    EXPECT_FALSE(ops_->SaveAnyImage(server.url("/pics/"), false, "王一", false));
    // Only "http:" downloads; other schemes are taken for local paths, which do not exist.
    EXPECT_FALSE(ops_->SaveAnyImage(server.url("/e.jpg").replace("http:", "HTTP:"), false, "王一", false));
    // A picture beyond the size limit is given up: nothing stored, no file written.
    picture_refs::SetDownloadMaxBytes(PictureServer::BodyFor("/big/f.jpg").size() - 1);
    EXPECT_FALSE(ops_->SaveAnyImage(server.url("/big/f.jpg"), false, "王一", false));
    picture_refs::SetDownloadMaxBytes(PictureServer::BodyFor("/big/f.jpg").size());
    EXPECT_TRUE(ops_->SaveAnyImage(server.url("/big/f.jpg"), false, "王二", false));
    EXPECT_EQ(pictureRows().size(), 3);
    EXPECT_FALSE(QFileInfo::exists(T() + "/missing/c.jpg"));
    EXPECT_FALSE(QFileInfo::exists(T() + "/never/d.jpg"));
}

TEST_F(PageStore, DotDotNeverLeadsOutOfTheTempFolder) {
    EXPECT_EQ(picture_refs::PictureFile("file://_app.path_\\..\\..\\etc\\x.png"), T() + "/etc/x.png");
    EXPECT_EQ(picture_refs::PictureFile("file://_app.bg_\\a\\..\\..\\b.png"), T() + "/b.png");
    EXPECT_EQ(picture_refs::PictureFile("file://_app.path_a.png"), T() + "/a.png");
    EXPECT_EQ(picture_refs::PictureFile("file://C:\\x\\y.png"), T() + "/x/y.png");
    EXPECT_EQ(picture_refs::PictureFile("file://_app.path_\\..\\"), QString());
    EXPECT_EQ(picture_refs::DownloadTarget("http://host/../../../x.jpg"), T() + "/x.jpg");
    EXPECT_EQ(picture_refs::DownloadTarget("http://host/a/..%2F/../.."), QString());

    // A package row whose reference climbs out is extracted inside the temp folder, and the page
    // points at that same file.
    images().Execute(
        "INSERT INTO \"imageylk\" (filial, myimage, imagepath) VALUES (?, ?, ?)",
        {"王一", QByteArray("escaped"), DecodeText("file://_app.path_\\..\\..\\escape.png", StoreKey())});
    EXPECT_EQ(ops_->GnAnyImage("王一"), 0);
    EXPECT_EQ(ReadAll(T() + "/escape.png"), QByteArray("escaped"));
    EXPECT_FALSE(QFileInfo::exists(book_->file("escape.png")));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(book_->path() + "..").absoluteFilePath() + "/escape.png"));

    QString page = "<img src=\"file://_app.path_\\..\\..\\escape.png\">";
    ops_->SaveAnyHtml(page, "王一");
    QString html;
    EXPECT_FALSE(ops_->GetAnyHtmlCode("王一", html));
    EXPECT_EQ(html, "<img src=\"file://" + T() + "/escape.png\">");
}

TEST_F(PageStore, ChinesePageRoundTripsScrambled) {
    const QString original = QStringLiteral(
        "<html><head><meta charset=\"utf-8\"><title>王氏</title></head>\n<body><p>先祖王公，字\"子明\"。"
        "𠀀 &amp; ~</p>\n</body></html>");
    QString html = original;
    ops_->SaveAnyHtml(html, "王一");
    EXPECT_EQ(html, EncodeText(original, StoreKey()));  // the caller's text comes back scrambled
    EXPECT_NE(html, original);
    EXPECT_EQ(pages().Scalar("SELECT Hisdescript FROM \"story\" WHERE filial=?", {"王一"}).toString(), html);

    // Saving again edits the one row.
    QString again = original;
    ops_->SaveAnyHtml(again, "王一");
    EXPECT_EQ(pages().Scalar("SELECT count(*) FROM \"story\"").toInt(), 1);

    QString back;
    EXPECT_FALSE(ops_->GetAnyHtmlCode("王一", back));
    EXPECT_EQ(back, original);

    // The page file is GB18030 with CR LF line ends and declares its own character set only.
    const QString target = book_->file("ltmp.htm");
    EXPECT_FALSE(ops_->GetAnyHtml(target, "王一"));
    EXPECT_EQ(
        pageFile(target),
        U(QStringLiteral("<html><head>") + kMeta +
          QStringLiteral("<title>王氏</title></head>\r\n<body><p>先祖王公，字\"子明\"。𠀀 &amp; ~</p>\r\n"
                         "</body></html>\r\n")));
}

TEST_F(PageStore, MemberWithoutPageGivesTrueAndNoFile) {
    const QString target = book_->file("ltmp.htm");
    WriteFile(target, "old page");
    EXPECT_TRUE(ops_->GetAnyHtml(target, "无页"));
    EXPECT_FALSE(QFileInfo::exists(target));
    WriteFile(target, "old page");
    EXPECT_TRUE(ops_->GetAnyHtml2(target, "无页", true));
    EXPECT_FALSE(QFileInfo::exists(target));
    QString html = "left over";
    EXPECT_TRUE(ops_->GetAnyHtmlCode("无页", html));
    EXPECT_EQ(html, "");
}

TEST_F(PageStore, HelpOutputNamesPicturesByRowNumber) {
    WriteFile(T() + "/family/x.png", "family picture");
    WriteFile(T() + "/bg.jpg", "background");
    ASSERT_TRUE(ops_->SaveAnyImage("file://" + T() + "/family/x.png", false, "王一", false));
    ASSERT_TRUE(ops_->SaveAnyImage("file://" + T() + "/bg.jpg", false, "王一", true));
    const qint64 first = images().Scalar("SELECT min(image_id) FROM \"imageylk\"").toLongLong();
    QString page =
        "<BODY background=\"file://_app.bg_\\bg.jpg\"><IMG src=\"file://_app.path_\\family\\x.png\"></BODY>";
    ops_->SaveAnyHtml(page, "王一");

    const QString target = book_->file("chm/m1.htm");
    EXPECT_FALSE(ops_->GetAnyHtml2(target, "王一", false));
    EXPECT_EQ(pageFile(target),
              QStringLiteral("%1\r\n<BODY background=\"images/z%2.jpg\"><IMG src=\"images/z%3.png\">"
                             "</BODY>\r\n")
                  .arg(kMeta)
                  .arg(first + 1)
                  .arg(first)
                  .toStdString());
    EXPECT_EQ(ReadAll(QStringLiteral("%1chm/images/z%2.png").arg(book_->path()).arg(first)),
              "family picture");
    EXPECT_EQ(ReadAll(QStringLiteral("%1chm/images/z%2.jpg").arg(book_->path()).arg(first + 1)),
              "background");
}

TEST_F(PageStore, PublishedPagesRunNoScriptOfTheirOwn) {
    QString page = "<P onclick=\"steal()\">传记</P><script>steal()</script><A href=\"javascript:steal()\">x</A>";
    ops_->SaveAnyHtml(page, "王一");
    const QString target = book_->file("chm/m1.htm");
    EXPECT_FALSE(ops_->GetAnyHtml2(target, "王一", false));
    EXPECT_EQ(pageFile(target), QStringLiteral("%1\r\n<P>传记</P><A>x</A>\r\n").arg(kMeta).toStdString());
}

TEST_F(PageStore, MemberHtmlWithOneAndTwoWives) {
    App().SurnameLength = 1;
    App().DataDb.Execute(
        "INSERT INTO \"本姓成员\" (filial, father, mother, boy_birthday, boy_death, boy_education, "
        "boy_active, "
        "Boy_Sex, generation, c_jc_w_z_h) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {"王大[2]", "王父[1]", "李氏", "1900", "", "进士", true, true, 3, "%1%%子明%%"});
    AddMember("王小", "王大[2]", "张氏", 1, true, "汉族", "1901");
    QString page = "<HTML><Head><TITLE>t</TITLE></HEAD><BODY><P>传记 A.JPG</P></BODY></HTML>";
    ops_->SaveAnyHtml(page, "王大[2]");

    const QString label = "<FONT size=4><font color='#FF0000'>【</font>%1<font color='#FF0000'>】</font>";
    const QString head = kMeta + "\r\n" +
                         "<P align=center><b><font size=4 color='#FF0000'>三世祖</font></b></P>\r\n"
                         "<P align=left><b><font size=5 color='#0'>王公大</font></b>\r\n"
                         "，字 子明。\r\n"
                         "<FONT size=4><font color='#ff0000 '>【</font>父<font color='#FF0000'>】</font>\r\n"
                         "王父\r\n" +
                         label.arg("母") + "\r\n李氏。\r\n" + label.arg("生于") + "\r\n1900。\r\n";
    const QString tail =
        "王大[2]" + label.arg("学历") + "\r\n进士。\r\n" + "<BODY><P>传记 A.JPG</P></BODY>\r\n";

    const QString target = book_->file("chm/m1.htm");
    EXPECT_FALSE(ops_->GetAnyHtml2(target, "王大[2]", true));
    EXPECT_EQ(pageFile(target), U(head + label.arg("室") + "\r\n张氏，汉族人士，生于1901。\r\n" + tail));

    AddMember("王二", "王大[2]", "赵氏", 2, false);
    EXPECT_FALSE(ops_->GetAnyHtml2(target, "王大[2]", true));
    EXPECT_EQ(pageFile(target), U(head + label.arg("室1") + "\r\n张氏，汉族人士，生于1901。\r\n" +
                                  label.arg("妣2") + "\r\n赵氏。\r\n" + tail));
}

TEST_F(PageStore, MemberHtmlFieldsAreTextNotMarkup) {
    App().DataDb.Execute(
        "INSERT INTO \"本姓成员\" (filial, father, mother, boy_position, generation, c_jc_w_z_h) "
        "VALUES (?, ?, ?, ?, ?, ?)",
        {"<b>甲", "父&子", "<script>x()</script>", "'理事'", 1, "%%<i>%%%"});
    QString text = "<P>传记</P>";
    ops_->SaveAnyHtml(text, "<b>甲");
    const QString target = book_->file("chm/m2.htm");
    EXPECT_FALSE(ops_->GetAnyHtml2(target, "<b>甲", true));
    const QString page = QString::fromStdString(pageFile(target));
    for (const char* escaped : {"&lt;b&gt;甲", "父&amp;子", "&lt;script&gt;x()&lt;/script&gt;", "讳 &lt;i&gt;"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(escaped))) << escaped;
    EXPECT_FALSE(page.contains(QStringLiteral("<script>")));
}

TEST_F(PageStore, DeleteHtmlHeadKeepsTextAsWritten) {
    const auto cut = [&](QString html) {
        ops_->DeleteHtmlHead(html);
        return html;
    };
    EXPECT_EQ(cut("<HTML>\r\n<Head><TITLE>T</TITLE></HEAD>\r\n<BODY><P>Photo A.JPG</P></BODY></HTML>"),
              "<BODY><P>Photo A.JPG</P></BODY>");
    EXPECT_EQ(cut("  <P class=x>Text <B>B</B></P><p>second</p>"), "Text <B>B</B><p>second</p>");
    EXPECT_EQ(cut("<!DOCTYPE html><!-- c --><DIV align=center>a<Div>b</Div></DIV>"), "a<Div>b</DIV>");
    EXPECT_EQ(cut("<pre>x</pre>"), "<pre>x</pre>");  // a "<p" that is not a paragraph
    EXPECT_EQ(cut("<p>no end"), "no end");
    EXPECT_EQ(cut("<html><body>open"), "<body>open");
    EXPECT_EQ(cut("<!unfinished"), "<!unfinished");
    EXPECT_EQ(cut("<head><title>x</title>rest"), "<title>x</title>rest");
}

TEST_F(PageStore, PageSaveReplacesNamedFilesKeepsUnreadableOnesAndDropsTheRest) {
    QTemporaryDir outside;
    WriteFile(T() + "/a.png", "A-old");
    WriteFile(T() + "/b.png", "B-old");
    WriteFile(outside.path() + "/c.png", "C-old");
    const QString a = "file://" + T() + "/a.png";
    const QString c = "file://" + outside.path() + "/c.png";
    ASSERT_TRUE(ops_->SaveAnyImage(a, false, "王一", false));
    ASSERT_TRUE(ops_->SaveAnyImage("file://" + T() + "/b.png", false, "王一", false));
    ASSERT_TRUE(ops_->SaveAnyImage(c, false, "王一", false));
    ASSERT_TRUE(ops_->SaveAnyImage(a, false, "王二", false));
    QString old = "old page";
    ops_->SaveAnyHtml(old, "王一");

    WriteFile(T() + "/a.png", "A-new");
    QFile::remove(outside.path() + "/c.png");
    WriteFile(T() + "/d.png", "D");
    const QString missing = "file://" + T() + "/e.png";
    const QStringList unread = ops_->SavePageAndFiles(
        "王一", "新的生平",
        {{a, false}, {c, false}, {"file://" + T() + "/d.png", true}, {missing, false}, {a, false}});
    EXPECT_EQ(unread, QStringList{missing});
    const QString outsideRef = "file://_app.path_" + QString(outside.path()).replace('/', '\\') + "\\c.png";
    const QList<std::tuple<QString, QString, QByteArray>> expected{
        {"王一", "file://_app.path_\\a.png", "A-new"},
        {"王一", outsideRef, "C-old"},  // not readable now: the stored copy stays
        {"王二", "file://_app.path_\\a.png", "A-old"},
        {"王一", "file://_app.bg_\\d.png", "D"}};
    EXPECT_EQ(pictureRows(), expected);
    QString page;
    EXPECT_FALSE(ops_->GetAnyHtmlCode("王一", page));
    EXPECT_EQ(page, "新的生平");
    EXPECT_EQ(pages().Scalar("SELECT count(*) FROM \"story\" WHERE filial=?", {"王一"}).toInt(), 1);
}

TEST_F(PageStore, FailedPageSaveLeavesPageAndPicturesByteIdentical) {
    WriteFile(T() + "/a.png", "A-old");
    WriteFile(T() + "/b.png", "B-old");
    ASSERT_TRUE(ops_->SaveAnyImage("file://" + T() + "/a.png", false, "王一", false));
    ASSERT_TRUE(ops_->SaveAnyImage("file://" + T() + "/b.png", false, "王一", false));
    QString old = "old page";
    ops_->SaveAnyHtml(old, "王一");
    const auto snapshot = [] {
        QList<QByteArray> rows;
        for (auto rs = images().OpenRecordset("SELECT image_id, filial, imagepath, myimage FROM \"imageylk\" "
                                              "ORDER BY rowid");
             rs.hasRow(); rs.MoveNext())
            rows << rs.Text("image_id").toUtf8() + rs.Text("filial").toUtf8() +
                        rs.Text("imagepath").toUtf8() + rs.Bytes("myimage");
        for (auto rs =
                 pages().OpenRecordset("SELECT rowid, filial, Hisdescript FROM \"story\" ORDER BY rowid");
             rs.hasRow(); rs.MoveNext())
            rows << rs.Text("filial").toUtf8() + rs.Text("Hisdescript").toUtf8();
        return rows;
    };
    const QList<QByteArray> before = snapshot();

    // The page is written last, after the pictures have been replaced and dropped: it fails there.
    pages().Execute(
        "CREATE TRIGGER refuse_page BEFORE UPDATE ON \"story\" BEGIN SELECT RAISE(ABORT, 'forced'); END");
    WriteFile(T() + "/a.png", "A-new");
    WriteFile(T() + "/c.png", "C");
    try {
        ops_->SavePageAndFiles("王一", "新的生平",
                               {{"file://" + T() + "/a.png", false}, {"file://" + T() + "/c.png", false}});
        ADD_FAILURE() << "the save went through";
    } catch (const dao::DaoError& e) {
        EXPECT_TRUE(e.Description().contains("forced")) << e.Description().toStdString();
    }
    pages().Execute("DROP TRIGGER refuse_page");
    EXPECT_EQ(snapshot(), before);
}
