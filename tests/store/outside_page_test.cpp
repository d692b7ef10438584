#include <gtest/gtest.h>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "store/outside_page.h"

namespace {

// The page as a hostile sender writes it, and what the book keeps of it. The member brings two
// pictures: _app.path_\a.jpg and the background _app.bg_\bg.png.
TEST(OutsidePage, KeepsTheBroughtPicturesAndNothingThatLeadsOutside) {
    const QStringList brought{"file://_app.path_\\a.jpg", "file://_app.bg_\\bg.png"};
    struct Case {
        const char* page;
        const char* kept;
    };
    const Case cases[] = {
        // The pictures it brings, however the placeholder is written.
        {R"(<img src="file://_app.path_\a.jpg">)", R"(<img src="file://_app.path_\a.jpg">)"},
        {R"(<img src="_app.path_/a.jpg"><img src='file:_app.path_\a.jpg'>)",
         R"(<img src="_app.path_/a.jpg"><img src='file:_app.path_\a.jpg'>)"},
        {R"(<body background='_app.bg_\bg.png'>)", R"(<body background='_app.bg_\bg.png'>)"},
        // A placeholder it does not bring, or one that climbs out of its folder.
        {R"(<img src="file://_app.path_\b.jpg">)", "<img>"},
        {R"(<img src="file://_app.path_\x\..\a.jpg"><img src="_app.path_/%2e%2e/a.jpg">)", "<img><img>"},
        // The web, in pictures, backgrounds, media and frames.
        {R"(<img src="http://127.0.0.1:9/a.jpg" alt=x>)", "<img alt=x>"},
        {R"(<body background="https://h/bg.jpg" bgcolor=red>)", "<body bgcolor=red>"},
        {R"(<IMG SRC=HTTP://h/a.jpg><img src="//h/a.jpg">)", "<IMG><img>"},
        {R"(<embed  src='http://h/a.mp3'><iframe src="http://h/"></iframe>)", "<embed><iframe></iframe>"},
        {R"(<video poster="http://h/p.jpg"></video><img srcset="http://h/a.jpg 2x">)", "<video></video><img>"},
        // Local files: "file:", absolute, relative, "..", a drive, however spelled.
        {R"(<a href="file:///home/u/.ssh/id_rsa">k</a>)", "<a>k</a>"},
        {R"(<a href="/proc/self/environ">e</a><a href="../../../etc/passwd">p</a>)", "<a>e</a><a>p</a>"},
        {R"(<a href="C:\secret.txt">s</a><img src="a.jpg">)", "<a>s</a><img>"},
        {R"(<img src="&#102;ile:///etc/passwd"><img src=" file:///etc/passwd ">)", "<img><img>"},
        {R"(<img src="fi&#x0a;le:///etc/passwd"><embed src="FILE:///etc/passwd">)", "<img><embed>"},
        {R"(<table background="file:///x.jpg"><td background=y.jpg>)", "<table><td>"},
        {R"(<object data="x.swf"></object><svg><image xlink:href="/etc/passwd"/></svg>)",
         "<object></object><svg><image/></svg>"},
        {R"(<form action="http://h/"><button formaction="file:///x">b</button></form><base href="file:///h/">)",
         "<form><button>b</button></form><base>"},
        {R"(<link rel=stylesheet href="http://h/s.css"><meta http-equiv=refresh content="0;url=file:///etc">)",
         "<link rel=stylesheet><meta http-equiv=refresh>"},
        // Styles that name a file, however spelled, go; others stay.
        {R"~(<div style="background:url(file:///etc/passwd)">x</div><p style="color:red">y</p>)~",
         R"(<div>x</div><p style="color:red">y</p>)"},
        {R"~(<div style="background:u&#114;l(/x)">a</div><div style="b:\75rl(/x)">b</div>)~",
         "<div>a</div><div>b</div>"},
        {"<style>body{background:url(http://h/b.jpg)}</style><style>p{color:red}</style><p>t</p>",
         "<style>p{color:red}</style><p>t</p>"},
        {"<style>@import 'file:///etc/x.css'", ""},
        // What leads nowhere stays: anchors, mail, data, web pages to read, text that only looks like it.
        {R"(<a href="#top">t</a><a href="mailto:a@b.cn">m</a><img src="data:image/gif;base64,R0lG">)",
         R"(<a href="#top">t</a><a href="mailto:a@b.cn">m</a><img src="data:image/gif;base64,R0lG">)"},
        {R"(<a href="http://example.com/">w</a><p title="file:///etc/passwd">src="a.jpg"</p>)",
         R"(<a href="http://example.com/">w</a><p title="file:///etc/passwd">src="a.jpg"</p>)"},
        // A cut that joins what stood around it into an address is cut again; scripts go as before.
        {R"(<img s src="http://h/"rc=file:///etc/passwd>)", "<img>"},
        {R"(<img src=x onerror=steal()><script>steal()</script>)", "<img>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outside_page::Cleaned(QString::fromUtf8(c.page), brought), QString::fromUtf8(c.kept))
            << c.page;
}

TEST(OutsidePage, AStoredPageStaysTheSameTextWhenNothingIsCut) {
    const QString path = DecodeText("file://_app.path_\\a.jpg", StoreKey());
    const QString clean = EncodeText(R"(<p>传<img src="file://_app.path_\a.jpg"></p>)", StoreKey());
    EXPECT_EQ(outside_page::StoredCleaned(clean, {path}), clean);
    EXPECT_EQ(DecodeText(outside_page::StoredCleaned(clean, {}), StoreKey()), "<p>传<img></p>");
}

}  // namespace
