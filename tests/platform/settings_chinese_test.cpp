#include <gtest/gtest.h>
#include <QSettings>

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

// Traditional as it is written every day, character for character: the program's own words are kept,
// and every text comes back as written.
TEST(ChineseConvert, TraditionalInEverydayFormsKeepsTheWordsAndComesBack) {
    struct Case {
        const char* simplified;
        const char* traditional;
    };
    for (const Case c :
         {Case{"恢复为独立新谱", "恢復為獨立新譜"},
          Case{"QQ在线，是否优先启用它？", "QQ在線，是否優先啟用它？"}, Case{"里面写着", "裡面寫著"},
          Case{"复制", "複製"}, Case{"打开一个Html文件", "打開一個Html文件"}, Case{"系统设置", "系統設置"},
          Case{"无法连接服务器，请检查网络连接", "無法連接服務器，請檢查網絡連接"},
          Case{"网页文件(*.Htm)|*.htm|所有文件（*.*）|*.*", "網頁文件(*.Htm)|*.htm|所有文件（*.*）|*.*"},
          Case{"最后一页是第 ", "最後一頁是第 "}}) {
        const QString simplified = QString::fromUtf8(c.simplified);
        EXPECT_EQ(ToTraditional(simplified), QString::fromUtf8(c.traditional)) << c.simplified;
        EXPECT_EQ(ToSimplified(QString::fromUtf8(c.traditional)), simplified) << c.traditional;
    }
}

}  // namespace
