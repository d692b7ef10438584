#include <gtest/gtest.h>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "store/page_scripts.h"

namespace {

// Every way a page could run something of its own goes; everything else stays as written.
TEST(PageScripts, ScriptsAndHandlersGoAndTheRestStays) {
    struct Case {
        const char* page;
        const char* kept;
    };
    const Case cases[] = {
        {"<p>生平</p>", "<p>生平</p>"},
        {"<p>a</p><SCRIPT type=x>steal()</script ><p>b</p>", "<p>a</p><p>b</p>"},
        {"<p>a</p><script>never closed <p>b</p>", "<p>a</p>"},
        {"<scr<script></script>ipt>joined()</script>", ""},
        {"<p>a<scrip onclick=\"x\"t>joined()</script>b", "<p>ab"},
        {"<img src=x onerror=steal()>", "<img src=x>"},
        {"<img src='a.png' ONLOAD = \"steal('>')\" alt=b>", "<img src='a.png' alt=b>"},
        {"<body onload='a()' bgcolor=red><p title=\"x onclick=y\">z</p></body>",
         "<body bgcolor=red><p title=\"x onclick=y\">z</p></body>"},
        {"<a href=a.htm/onclick=x>k</a>", "<a href=a.htm/onclick=x>k</a>"},
        {"<a/onmouseover=x href=b>k</a>", "<a href=b>k</a>"},
        {"<p>on=1 and onclick=2 in the text</p>", "<p>on=1 and onclick=2 in the text</p>"},
        {"<td nowrap one=1>x", "<td nowrap>x"},
        {"<img src=a onerror", "<img src=a"},
        {"<img onerror=\"never closed>", "<img"},
        {"<!-- <b onclick=x> --> < p", "<!-- <b> --> < p"},
        {"<a href=\"javascript:steal()\">k</a>", "<a>k</a>"},
        {"<a href=' JavaScript:steal()' title=t>k</a>", "<a title=t>k</a>"},
        {"<a href=\"java&#x09;script&colon;steal()\">k</a>", "<a>k</a>"},
        {"<a href=&#106;&#97vascript:steal()>k</a>", "<a>k</a>"},
        {"<iframe src=vbscript:msgbox></iframe>", "<iframe></iframe>"},
        {"<iframe srcdoc=\"&lt;script&gt;steal()&lt;/script&gt;\"></iframe>", "<iframe></iframe>"},
        {"<a href=\"javascript.htm\">k</a><a href=\"a.htm#javascript:x\">l</a>",
         "<a href=\"javascript.htm\">k</a><a href=\"a.htm#javascript:x\">l</a>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(page_scripts::WithoutScripts(QString::fromUtf8(c.page)), QString::fromUtf8(c.kept))
            << c.page;
}

// A stored page keeps its very text when there is nothing to cut; otherwise it is stored cleaned.
TEST(PageScripts, AStoredPageIsCleanedInItsStoredForm) {
    const QString clean = EncodeText(QStringLiteral("<p>生平</p>"), StoreKey());
    EXPECT_EQ(page_scripts::StoredWithoutScripts(clean), clean);
    const QString dirty = EncodeText(QStringLiteral("<p>生平</p><script>x()</script>"), StoreKey());
    EXPECT_EQ(DecodeText(page_scripts::StoredWithoutScripts(dirty), StoreKey()),
              QStringLiteral("<p>生平</p>"));
}

}  // namespace
