#include <QSettings>
#include <gtest/gtest.h>

#include "support/test_settings.h"

#include "platform/chinese_convert.h"
#include "platform/settings_store.h"

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void TearDown() override {
        QSettings raw(QStringLiteral("QentaraZp"), QStringLiteral("QentaraZp"));
        raw.remove(QStringLiteral("Setting/TestBookTitle"));
        raw.remove(QStringLiteral("Setting/TestCount"));
    }
};

TEST_F(SettingsStore, ChineseTextRoundTripsUnderTheSettingGroup) {
    SaveSetting(QStringLiteral("TestBookTitle"), QStringLiteral("王氏族谱·第三卷"));
    EXPECT_EQ(GetSetting(QStringLiteral("TestBookTitle")), QStringLiteral("王氏族谱·第三卷"));

    QSettings raw(QStringLiteral("QentaraZp"), QStringLiteral("QentaraZp"));
    EXPECT_EQ(raw.value(QStringLiteral("Setting/TestBookTitle")).toString(),
              QStringLiteral("王氏族谱·第三卷"));
    EXPECT_FALSE(raw.contains(QStringLiteral("TestBookTitle")));
    // Tests keep the user's own settings untouched.
    EXPECT_TRUE(raw.fileName().startsWith(TestSettingsDir())) << raw.fileName().toStdString();
}

TEST_F(SettingsStore, NumbersAreStoredAsTextAndMissingKeysReadEmpty) {
    SaveSetting(QStringLiteral("TestCount"), QStringLiteral("007"));
    EXPECT_EQ(GetSetting(QStringLiteral("TestCount")), QStringLiteral("007"));
    EXPECT_EQ(GetSetting(QStringLiteral("TestNeverSaved")), QString());
}

TEST(ChineseConvert, ConvertsBothWays) {
    EXPECT_EQ(ToTraditional(QStringLiteral("汉族")), QStringLiteral("漢族"));
    EXPECT_EQ(ToSimplified(QStringLiteral("漢族")), QStringLiteral("汉族"));
    EXPECT_EQ(ToTraditional(QStringLiteral("发展")), QStringLiteral("發展"));

    const QString sentence = QStringLiteral("我们的祖先来自山东，后迁居广东。");
    const QString traditional = ToTraditional(sentence);
    EXPECT_EQ(traditional, QStringLiteral("我們的祖先來自山東，後遷居廣東。"));
    EXPECT_EQ(ToSimplified(traditional), sentence);

    EXPECT_EQ(ToTraditional(QString()), QString());
    EXPECT_EQ(ToSimplified(QString()), QString());
    EXPECT_EQ(ToTraditional(QStringLiteral("Wang 1923")), QStringLiteral("Wang 1923"));
}

}  // namespace
