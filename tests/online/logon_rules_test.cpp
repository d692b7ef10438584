#include <gtest/gtest.h>

#include "online/logon_rules.h"
#include "platform/interaction/interaction.h"

namespace {

using Field = LogonRules::Field;

TEST(LogonRulesTest, RegistrationIsRefusedAtTheFirstBrokenRuleInOrder) {
    struct Case {
        LogonRules::Registration fields;
        std::optional<Field> field;
        const char* message;
        int style;
    };
    const QString six = QStringLiteral("123456");
    const Case cases[] = {
        {{"ab", "1", "2", "3", "x"}, Field::Account, "帐号太短。", vb::Critical},
        {{"abc", "12345", "2", "3", "x"}, Field::Password, "密码太短。", vb::Critical},
        {{"abc", six, "654321", "3", "x"}, Field::PasswordAgain, "密码不一致！", vb::Information},
        {{"abc", six, six, "12345", "x"}, Field::SecondPassword, "二级密码太短。", vb::Critical},
        {{"abc", six, six, six, "x"}, Field::Nickname, "昵称太短。", vb::Critical},
        {{"abc", six, six, six, "王五"}, std::nullopt, "", 0},
    };
    for (const Case& c : cases) {
        const auto refusal = LogonRules::CheckRegistration(c.fields);
        ASSERT_EQ(refusal.has_value(), c.field.has_value()) << c.message;
        if (!refusal) continue;
        EXPECT_EQ(refusal->field, *c.field);
        EXPECT_EQ(refusal->message, QString::fromUtf8(c.message));
        EXPECT_EQ(refusal->style, c.style);
    }
}

TEST(LogonRulesTest, FieldsAreTrimmedAndNicknamesLoseRecordEnds) {
    EXPECT_EQ(LogonRules::CleanField(QStringLiteral("  abc \t ")), QStringLiteral("abc \t"));
    EXPECT_EQ(LogonRules::CleanNickname(QStringLiteral(" 张@~三 ")), QStringLiteral("张三"));
    EXPECT_EQ(LogonRules::CleanNickname(QStringLiteral("a@@~~b")), QStringLiteral("ab"));
}

TEST(LogonRulesTest, BookRootRepliesGiveTheirItemsAndWhetherTheListIsComplete) {
    struct Case {
        const char* reply;
        QStringList items;  // "text=id"
        bool complete;
    };
    const Case cases[] = {
        {"", {}, false},
        {"王氏宗谱%!17@~李家%!23@~", {"王氏宗谱=17", "李家=23"}, true},
        {"@~王氏%!5@~@~", {"王氏=5"}, true},
        {"甲%!1@~乙@~丙%!3@~", {"甲=1"}, false},  // a record without an id ends the list
        {"甲%!1%!extra@~", {"甲=1"}, true},
    };
    for (const Case& c : cases) {
        const LogonRules::BookRoots list = LogonRules::ParseBookRoots(QString::fromUtf8(c.reply));
        QStringList items;
        for (const auto& root : list.roots) items << root.text + u'=' + root.id;
        EXPECT_EQ(items, c.items) << c.reply;
        EXPECT_EQ(list.complete, c.complete) << c.reply;
    }
}

TEST(LogonRulesTest, TickingKeepsOnlyItemsWithTheSameText) {
    const QStringList texts = {"王氏", "李氏", "王氏", "张氏"};
    EXPECT_EQ(LogonRules::ItemsToUntick(texts, {true, true, true, false}, 0), QList<int>({1}));
    EXPECT_EQ(LogonRules::ItemsToUntick(texts, {true, true, true, true}, 3), QList<int>({0, 1, 2}));
    EXPECT_TRUE(LogonRules::ItemsToUntick(texts, {false, false, true, false}, 2).isEmpty());
}

TEST(LogonRulesTest, LatencyBands) {
    const std::pair<double, int> cases[] = {{0, 0},     {-1, 0},  {0.2, 1}, {89.9, 1},  {90, 2},  {130, 2},
                                            {130.5, 3}, {131, 3}, {180, 3}, {180.5, 4}, {181, 4}, {250, 4}};
    for (const auto& [ms, picture] : cases) EXPECT_EQ(LogonRules::LatencyPicture(ms), picture) << ms;
}

TEST(LogonRulesTest, LevelsAndTheAssociationButton) {
    EXPECT_EQ(LogonRules::LevelOf(QStringLiteral("公开到宗亲会")), 2);
    EXPECT_EQ(LogonRules::LevelOf(QStringLiteral("公开")), -1);
    EXPECT_EQ(LogonRules::GroupButtonTip(1), QStringLiteral("成员列表"));
    EXPECT_EQ(LogonRules::GroupButtonTip(0), QStringLiteral("宗亲会列表"));
}

}  // namespace
