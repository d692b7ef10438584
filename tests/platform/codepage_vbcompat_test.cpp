#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/codepage.h"
#include "platform/vbcompat.h"

namespace {

template <typename F>
int ErrorNumberOf(F&& call, QString* description = nullptr) {
    try {
        call();
    } catch (const VbError& e) {
        if (description) *description = e.Description();
        return e.number;
    }
    return 0;
}

}  // namespace

TEST(CodePageTest, SignedCodesOfOneUnit) {
    EXPECT_EQ(Asc936(QChar(u'A')), 65);
    EXPECT_EQ(Asc936(QChar(u'\0')), 0);
    EXPECT_EQ(Asc936(QChar(0x4E00)), 0xD2BB - 65536);  // 一
    EXPECT_EQ(Asc936(QChar(0x9FA5)), 0xFD9B - 65536);
    EXPECT_EQ(Asc936(QChar(0x3000)), 0xA1A1 - 65536);  // full-width space
    EXPECT_EQ(Asc936(QChar(0x20AC)), 128);             // the euro sign is a single byte in code page 936
    // Unrepresentable units, lone surrogates and units the converter drops all count as "?".
    for (char16_t u : {char16_t(0x0080), char16_t(0xD800), char16_t(0xDBFF), char16_t(0xDC00),
                       char16_t(0x200B), char16_t(0xFEFF), char16_t(0xFFFD)}) {
        EXPECT_EQ(Asc936(QChar(u)), 63) << int(u);
    }
    EXPECT_TRUE(IsSingleByte936(QChar(u'~')));
    EXPECT_TRUE(IsSingleByte936(QChar(0xD800)));
    EXPECT_FALSE(IsSingleByte936(QChar(0x4E00)));
}

TEST(CodePageTest, WholeTextsRoundTrip) {
    const QString text = QStringLiteral("张三 abc 敬宗收族");
    EXPECT_EQ(ToGbk(QStringLiteral("一a")), QByteArray("\xD2\xBB"
                                                       "a"));
    EXPECT_EQ(FromGbk(ToGbk(text)), text);
    EXPECT_EQ(FromGb18030(ToGb18030(text)), text);
    // A character beyond the BMP exists only in GB18030.
    const QString ext = QString::fromUcs4(U"\U00020000");
    EXPECT_EQ(FromGb18030(ToGb18030(ext)), ext);
    EXPECT_EQ(ToGb18030(ext).size(), 4);
}

TEST(VbCompatTest, ValReadsTheLeadingNumber) {
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val("  12 34abc"), 1234);
    EXPECT_EQ(Val("\t7\n8"), 78);
    EXPECT_EQ(Val("- 5"), -5);
    EXPECT_EQ(Val("+5"), 5);
    EXPECT_EQ(Val("--5"), 0);
    EXPECT_EQ(Val("-1.5e2"), -150);
    EXPECT_EQ(Val("1D3"), 1000);
    EXPECT_EQ(Val("1e"), 1);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val(".5"), 0.5);
    EXPECT_EQ(Val("3,000"), 3);
    EXPECT_EQ(Val("12%34"), 12);
    EXPECT_EQ(Val(QStringLiteral("１２")), 0);
    EXPECT_EQ(Val("&HFFFF"), -1);
    EXPECT_EQ(Val("&hff"), 255);
    EXPECT_EQ(Val("&H10000"), 65536);
    EXPECT_EQ(Val("&HFFFFFFFF"), -1);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("&H"), 0);
    EXPECT_EQ(ErrorNumberOf([] { Val("1e400"); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { Val("&H100000000"); }), 6);
}

TEST(VbCompatTest, ConversionsRoundHalfToEvenAndRefuseOverflow) {
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(2.51), 3);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(-32768.5), -32768);
    EXPECT_EQ(CLng(-2147483648.0), std::numeric_limits<qint32>::min());
    EXPECT_EQ(CLng(1e9 + 0.5), 1000000000);
    EXPECT_EQ(CByte(-0.5), 0);
    EXPECT_EQ(CByte(254.5), 254);

    QString text;
    EXPECT_EQ(ErrorNumberOf([] { CInt(32767.5); }, &text), 6);
    EXPECT_EQ(text, QStringLiteral("溢出"));
    EXPECT_EQ(ErrorNumberOf([] { CInt(-32769); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { CLng(2147483647.5); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { CByte(255.5); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { CByte(-0.6); }), 6);
    EXPECT_EQ(ErrorNumberOf([] { CLng(std::nan("")); }), 6);
}

TEST(VbCompatTest, TextHelpers) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_EQ(Trim("\ta\r\n"), "\ta\r\n");
    EXPECT_EQ(Trim(QStringLiteral("\u3000a")), QStringLiteral("\u3000a"));
    EXPECT_EQ(Trim("   "), "");

    EXPECT_TRUE(Split("", ",").isEmpty());
    EXPECT_EQ(Split("a,,b", ","), QStringList({"a", "", "b"}));
    EXPECT_EQ(Split("a%", "%"), QStringList({"a", ""}));
    EXPECT_EQ(Split("a<>b", "<>"), QStringList({"a", "b"}));
    EXPECT_EQ(Split("abc", ""), QStringList({"abc"}));

    EXPECT_EQ(CStr(true), "True");
    EXPECT_EQ(CStr(false), "False");

    EXPECT_EQ(Asc("Ab"), 65);
    EXPECT_EQ(Asc(QStringLiteral("一")), 0xD2BB - 65536);
    QString text;
    EXPECT_EQ(ErrorNumberOf([] { Asc(""); }, &text), 5);
    EXPECT_EQ(text, QStringLiteral("无效的过程调用或参数"));
}
