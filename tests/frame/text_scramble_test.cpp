#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <vector>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "platform/vbcompat.h"

namespace {

QString Units(std::initializer_list<int> codes) {
    QString s;
    for (int c : codes) s += QChar(char16_t(c));
    return s;
}

bool IsDigits(const QString& s) {
    for (QChar c : s) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

// Both ends of every range of both variants, one unit beside each, and the extremes.
QString BoundaryText() {
    const std::vector<std::pair<int, int>> ranges = {{0x8000, 0x9FA5}, {33, 126},      {21000, 32000},
                                                     {300, 12300},     {12800, 20000}, {20500, 32000},
                                                     {32500, 40500},   {41000, 65500}};
    QString s;
    for (auto [low, high] : ranges) {
        for (int c : {low - 1, low, low + 1, high - 1, high, high + 1}) s += QChar(char16_t(c));
    }
    s += Units({0, 9, 10, 13, 32, 0xD800, 0xDFFF, 0xFFFF});
    return s;
}

}  // namespace

TEST(DeriveKeyTest, WorkedExamples) {
    // Ten two-digit codes are exactly twenty digits: no filler, no folding.
    EXPECT_EQ(DeriveKey("ABCDEFGHIJ"), "65666768697071727374");
    // Short seeds take both fillers (27 digits and more) and fold once.
    EXPECT_EQ(DeriveKey(""), "6184718257277");
    EXPECT_EQ(DeriveKey("   "), DeriveKey(""));
    EXPECT_EQ(DeriveKey("k"), "549954304356626");
    EXPECT_EQ(DeriveKey("k  "), DeriveKey("k"));
    EXPECT_NE(DeriveKey(" k"), DeriveKey("k"));
    // 30 Chinese characters give 150 digits, folded three times; the sum may start with 0.
    QString longSeed;
    for (int i = 0; i < 30; ++i) longSeed += QChar(char16_t(0x4E00 + (i * 37) % 5000));
    EXPECT_EQ(DeriveKey(longSeed), "037180352349437354");
}

TEST(DeriveKeyTest, AlwaysTenToTwentyDigits) {
    QRandomGenerator random(20240611);
    for (int round = 0; round < 2000; ++round) {
        QString seed;
        const int len = random.bounded(0, 60);
        for (int i = 0; i < len; ++i) {
            seed += QChar(char16_t(random.bounded(2) ? random.bounded(32, 127) : random.bounded(0, 65536)));
        }
        const QString key = DeriveKey(seed);
        ASSERT_GE(key.size(), 10) << round;
        ASSERT_LE(key.size(), 20) << round;
        ASSERT_TRUE(IsDigits(key)) << round;
    }
}

// Golden values: these keys open every existing book, package and settings record. Re-derived by hand:
// 敬宗收族慎终追远 has the codes -16716 -10278 -13611 -10267 -13833 -10539 -10313 -11082, i.e. 40 digits
// "16716102781361110267" + "13833105391031311082", whose halves added from the right (9, 4 carry 1, 3,
// ...) give 94312429327180294503.
TEST(DeriveKeyTest, BuiltInKeysNeverChange) {
    EXPECT_EQ(StoreKey(), "94312429327180294503");
    EXPECT_EQ(BookDbPassword(), "94312429327");
    EXPECT_EQ(SettingsKey(), "1718791875458217");
    EXPECT_EQ(ServerKey(), "0206075662216167");
    EXPECT_EQ(OneCharKey(), "549954304356626");
    EXPECT_EQ(EmptySeedKey(), "6184718257277");
    EXPECT_EQ(BuiltinSeedPhrase().size(), 8);
    EXPECT_EQ(SettingsPhrase().size(), 13);
    EXPECT_EQ(ServerText().size(), 14);
}

TEST(ScrambleTest, PlainEdgeCases) {
    // The first text unit takes the second key character.
    EXPECT_EQ(EncodeText("~", "01"), "!");
    EXPECT_EQ(DecodeText("!", "01"), "~");
    EXPECT_EQ(EncodeText("AAAA", "1234"), "CDEB");
    EXPECT_EQ(EncodeText("AAA", "5"), "FFF");
    EXPECT_EQ(EncodeText(Units({0x9FA5}), "01"), Units({0x8000}));
    EXPECT_EQ(EncodeText(Units({32000}), "09"), Units({21008}));
    EXPECT_EQ(EncodeText(Units({0x9FA6, 0x7D01, 0x5207, 0x80}), "99"), Units({0x9FA6, 0x7D01, 0x5207, 0x80}));
    // A non-digit key character shifts by nothing.
    EXPECT_EQ(EncodeText("AB", "xx"), "AB");

    const QString text = QStringLiteral("张三 abc~\r\n一脉");
    EXPECT_EQ(EncodeText(text, "0000"), text);
    EXPECT_EQ(DecodeText(text, "0000"), text);
    EXPECT_EQ(EncodeText(text, StoreKey()),
              Units({0x5F24, 0x4E09, ' ', 'c', 'f', 'e', ')', 13, 10, 0x4E00, 0x810A}));
}

TEST(ScrambleTest, ExEdgeCases) {
    EXPECT_EQ(EncodeTextEx("A~", "00"), "qP");  // 65 + 48; 126 + 48 wraps to 80
    EXPECT_EQ(DecodeTextEx("qP", "00"), "A~");
    EXPECT_EQ(EncodeTextEx(Units({65500}), "00"), Units({41047}));
    EXPECT_EQ(EncodeTextEx(Units({65500}), "99"), Units({41065}));
    EXPECT_EQ(EncodeTextEx(Units({65501, 65535, 12301, 299, 127, 32}), "99"),
              Units({65501, 65535, 12301, 299, 127, 32}));
    EXPECT_EQ(EncodeTextEx("A", "xA"), "$");  // shift 65, the code of "A"

    const QString text = QStringLiteral("张三 abc~\r\n一脉");
    EXPECT_EQ(EncodeTextEx(text, ServerKey()),
              Units({0x5F54, 0x3218, ' ', '3', 'B', '?', '\\', 13, 10, 0x3213, 0x813B}));
}

TEST(ScrambleTest, BlanksAndLineBreaksPassEverywhere) {
    const QString text = " \r\n";
    EXPECT_EQ(EncodeText(text, "987"), text);
    EXPECT_EQ(DecodeText(text, "987"), text);
    EXPECT_EQ(EncodeTextEx(text, "987"), text);
    EXPECT_EQ(DecodeTextEx(text, "987"), text);
}

TEST(ScrambleTest, RoundTripsKeepTextAndLength) {
    QString every;
    for (int u = 0; u < 65536; ++u) every += QChar(char16_t(u));
    const QString boundaries = BoundaryText();
    for (const QString& key :
         {QString("0"), QString("9"), QString("1234567890"), QString("99999999999999999999"), StoreKey(),
          SettingsKey(), ServerKey(), EmptySeedKey()}) {
        for (const QString& text : {boundaries, every}) {
            const QString plain = EncodeText(text, key);
            const QString ex = EncodeTextEx(text, key);
            ASSERT_EQ(plain.size(), text.size());
            ASSERT_EQ(ex.size(), text.size());
            ASSERT_EQ(DecodeText(plain, key), text) << key.toStdString();
            ASSERT_EQ(DecodeTextEx(ex, key), text) << key.toStdString();
        }
    }
}

// A key that is not all digits (never made by DeriveKey) may shift the Ex variant beyond a range's size or
// below zero; the text must still come back.
TEST(ScrambleTest, ExRoundTripsWithAnyKey) {
    const QString boundaries = BoundaryText();
    for (const QString& key : {QStringLiteral("敬宗"), Units({0x9000, 0xFFFF}), QString("xyz")}) {
        const QString ex = EncodeTextEx(boundaries, key);
        EXPECT_EQ(DecodeTextEx(ex, key), boundaries) << key.toStdString();
    }
}

TEST(ScrambleTest, EmptyTextAndEmptyKey) {
    EXPECT_EQ(EncodeText("", "123"), "");
    EXPECT_EQ(DecodeTextEx("", ""), "");
    for (auto call : {&EncodeText, &DecodeText, &EncodeTextEx, &DecodeTextEx}) {
        try {
            call("a", "");
            ADD_FAILURE() << "an empty key was accepted";
        } catch (const VbError& e) {
            EXPECT_EQ(e.number, 11);
        }
    }
}
