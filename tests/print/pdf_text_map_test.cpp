#include <gtest/gtest.h>

#include <QRegularExpression>
#include <map>

#include "print/golden.h"
#include "print/pdf_text_map.h"

namespace {

const QByteArray kHead =
    "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
    "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n<0000> <FFFF>\n"
    "endcodespacerange\n";
const QByteArray kTail = "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

// The code -> text pairs of a map's bfchar sections, as "code=text".
std::map<QString, QString> Pairs(const QByteArray& cmap) {
    std::map<QString, QString> pairs;
    static const QRegularExpression pair(QStringLiteral("<([0-9A-F]+)> <([0-9A-F]+)>\\n"));
    QString sections;
    for (qsizetype at = cmap.indexOf("beginbfchar"); at >= 0; at = cmap.indexOf("beginbfchar", at + 1))
        sections += QString::fromLatin1(cmap.mid(at, cmap.indexOf("endbfchar", at) - at));
    for (auto it = pair.globalMatch(sections); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QByteArray units = QByteArray::fromHex(m.captured(2).toLatin1());
        QString text;
        for (qsizetype i = 0; i + 1 < units.size(); i += 2)
            text.append(QChar(char16_t((quint8(units[i]) << 8) | quint8(units[i + 1]))));
        pairs[m.captured(1)] = text;
    }
    return pairs;
}

TEST(PdfTextMap, RadicalsAndStrokesReadAsTheirIdeographs) {
    struct Case {
        char32_t in, out;
    };
    for (const Case& c : {Case{0x2EDA, 0x9875},   // ⻚ 页
                          Case{0x2F17, 0x5341},   // ⼗ 十
                          Case{0x2E8C, 0x5C0F},   // first of a range
                          Case{0x2E8D, 0x5C0F},   // last of it
                          Case{0x2E87, 0x20628},  // beyond the basic plane
                          Case{0x31CF, 0x4E40},   // a stroke
                          Case{0x2E80, 0x2E80},   // a radical without an equivalent
                          Case{0x9875, 0x9875}, Case{u'A', u'A'}, Case{0x1F600, 0x1F600}})
        EXPECT_EQ(uint(pdf_text_map::Unified(c.in)), uint(c.out)) << std::hex << uint(c.in);
}

TEST(PdfTextMap, MapsAreRewrittenWithThePrintedText) {
    struct Case {
        const char* what;
        QByteArray sections;
        std::map<QString, QString> pairs;
    };
    const std::vector<Case> cases = {
        {"Qt's footer: an array range, the space read as a tab and 页 as a radical",
         "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0004> [<7B2C> <0009> <0031> <2EDA> ]\nendbfrange\n",
         {{"0000", QString(QChar(u'\0'))}, {"0001", "第"}, {"0002", " "}, {"0003", "1"}, {"0004", "页"}}},
        {"a counted range and one-byte codes",
         "1 beginbfrange\n<20> <22> <2F16>\nendbfrange\n1 beginbfchar\n<41> <0041>\nendbfchar\n",
         {{"20", "匸"}, {"21", "十"}, {"22", "卜"}, {"41", "A"}}},
        {"a text of two units, and an ideograph beyond the basic plane",
         "2 beginbfchar\n<0005> <2E87>\n<0006> <D841DE28>\nendbfchar\n",
         {{"0005", QString::fromUcs4(U"\U00020628")}, {"0006", QString::fromUcs4(U"\U00020628")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QByteArray> mended = pdf_text_map::Mended(kHead + c.sections + kTail);
        ASSERT_TRUE(mended);
        EXPECT_TRUE(mended->startsWith(kHead)) << mended->toStdString();
        EXPECT_TRUE(mended->endsWith(kTail)) << mended->toStdString();
        EXPECT_FALSE(mended->contains("bfrange"));
        EXPECT_EQ(Pairs(*mended), c.pairs) << mended->toStdString();
    }
}

TEST(PdfTextMap, MapsWithNothingToMendOrUnreadableStayAsTheyAre) {
    for (const QByteArray& sections : {QByteArray("1 beginbfchar\n<0001> <9875>\nendbfchar\n"), QByteArray(),
                                       QByteArray("1 beginbfchar\n<0001> /uni2EDA\nendbfchar\n"),
                                       QByteArray("1 beginbfrange\n<0001> <0002> [<2EDA>\nendbfrange\n"),
                                       QByteArray("1 beginbfchar\n<0001> <2EDA>\n")})
        EXPECT_FALSE(pdf_text_map::Mended(kHead + sections + kTail)) << sections.toStdString();
}

}  // namespace
