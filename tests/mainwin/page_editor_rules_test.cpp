// The window-free rules of the page editor: the command table, the status answer, the text extractor
// and the page colours.
#include <gtest/gtest.h>
#include <stdexcept>

#include "mainwin/dhtml_edit.h"
#include "mainwin/html_text.h"
#include "mainwin/page_properties.h"

namespace {

class FakeEditor : public DhtmlEditor {
public:
    void ExecCommand(int command, const QVariantList& rest) override { calls.push_back({command, rest}); }
    int QueryStatus(int) override {
        if (fail) throw std::runtime_error("no answer");
        return status;
    }
    std::vector<std::pair<int, QVariantList>> calls;
    int status = 0;
    bool fail = false;
};

TEST(ClsDhtmlEditTest, EveryKeyRunsItsCommandWithItsArguments) {
    const QVariantList none;
    const QVariantList option{0};
    const QVariantList optionAndArgument{0, QVariant::fromValue(qint16(0))};
    const std::vector<std::tuple<const char*, int, QVariantList>> table{
        {"b_copy", 5002, none},
        {"b_paste", 5032, optionAndArgument},
        {"b_cut", 5003, none},
        {"b_delete", 5004, none},
        {"b_redo", 5033, none},
        {"b_undo", 5049, none},
        {"b_b", 5000, optionAndArgument},
        {"b_i", 5023, optionAndArgument},
        {"b_u", 5048, none},
        {"b_left", 5025, none},
        {"b_center", 5024, none},
        {"b_right", 5026, none},
        {"b_unent", 5031, none},
        {"b_ent", 5018, none},
        {"b_order", 5030, none},
        {"b_item", 5051, none},
        {"b_img", 5017, none},
        {"b_bg", 5022, option},
        {"b_selectall", 5035, none},
        {"b_find", 5008, option},
        {"b_font", 5009, none},
    };
    for (const auto& [key, command, rest] : table) {
        FakeEditor editor;
        ClsDhtmlEdit().EditCmd(editor, QString::fromLatin1(key));
        ASSERT_EQ(editor.calls.size(), 1u) << key;
        EXPECT_EQ(editor.calls[0].first, command) << key;
        EXPECT_EQ(editor.calls[0].second, rest) << key;
        if (rest.size() == 2) {
            EXPECT_EQ(editor.calls[0].second[1].typeId(), QMetaType::Short) << key;
        }
    }
    FakeEditor editor;
    for (const char* key : {"b_table", "B_B", "b_meda", "f_open", ""}) ClsDhtmlEdit().EditCmd(editor, key);
    EXPECT_TRUE(editor.calls.empty());
}

TEST(ClsDhtmlEditTest, OnlyEnabledLatchedAndNinchedCommandsAreAvailable) {
    FakeEditor editor;
    for (const auto& [status, available] :
         {std::pair{0, false}, {1, false}, {3, true}, {5, false}, {7, true}, {11, true}}) {
        editor.status = status;
        EXPECT_EQ(ClsDhtmlEdit::ButtonEnable(editor, decmd::kBold), available) << status;
    }
    editor.status = 3;
    editor.fail = true;
    EXPECT_FALSE(ClsDhtmlEdit::ButtonEnable(editor, decmd::kBold));
    // Eighteen buttons follow a command; b_meda has none.
    EXPECT_EQ(ClsDhtmlEdit::StatusButtons().size(), 18u);
    EXPECT_EQ(ClsDhtmlEdit::StatusButtons().back(), std::pair(QStringLiteral("b_font"), 5009));
}

TEST(ClsHtmlTextTest, TagsSpacesAndSingleByteMarksGoChineseStays) {
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("<p>a b</p>&nbsp;x&gt;y"), QStringLiteral("abx>y")},
        {QStringLiteral("<div class='c'>王氏 宗谱</div>\r\n<br>{~}|"), QStringLiteral("王氏宗谱")},
        {QStringLiteral("先祖𠀀公<b>讳</b>"), QStringLiteral("先祖𠀀公讳")},
        {QStringLiteral("x < y > z"), QStringLiteral("xz")},
        {QStringLiteral("5€\t1é"), QStringLiteral("51é")},  // é is double-byte in the code page
    };
    for (const auto& [html, text] : cases) {
        QString t = html;
        ClsHtml处理().HtmlToText(t);
        EXPECT_EQ(t, text) << html.toStdString();
    }
}

TEST(PageColoursTest, NumbersAndPageTextsBothWays) {
    using page_colours::HTML2RGB;
    using page_colours::RGB2HTML;
    EXPECT_EQ(RGB2HTML(255), QStringLiteral("#FF0000"));
    EXPECT_EQ(RGB2HTML(16711680), QStringLiteral("#0000FF"));
    EXPECT_EQ(RGB2HTML(0x0A0B0C), QStringLiteral("#0C0B0A"));
    for (const auto& [text, colour] : {std::pair{"#00ff00", 0x00FF00u},
                                       {"#FF0000", 255u},
                                       {"red", 255u},
                                       {"#FFF", 0xFFFFFFu},
                                       {"#f00", 255u},
                                       {"0000ff", 0xFF0000u},
                                       {"purple", 0x800080u},
                                       {"", 0u},
                                       {"nocolour", 0u}}) {
        EXPECT_EQ(HTML2RGB(QString::fromLatin1(text)), colour) << text;
        if (colour) {
            EXPECT_EQ(HTML2RGB(RGB2HTML(colour)), colour) << text;
        }
    }
    EXPECT_EQ(RGB2HTML(HTML2RGB(QStringLiteral("#00ff00"))), QStringLiteral("#00FF00"));
}

}  // namespace
