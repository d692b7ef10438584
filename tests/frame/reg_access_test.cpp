#include "frame/reg_access.h"

#include <gtest/gtest.h>
#include <QSettings>

namespace {

constexpr qint32 kUser = static_cast<qint32>(ClsRegAccess::kCurrentUser);
constexpr qint32 kMachine = static_cast<qint32>(ClsRegAccess::kLocalMachine);
const QString kKey = QStringLiteral("Software\\QentaraZp\\Test");

class RegAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QStringLiteral("QentaraZp"), QStringLiteral("QentaraZpRegistry")).clear();
    }
    void TearDown() override { SetUp(); }
    ClsRegAccess reg;
};

}  // namespace

TEST_F(RegAccessTest, TextValuesRoundTripUnderTheirRootAndKey) {
    QString value = QStringLiteral("王氏族谱 C:\\path/with%signs");
    EXPECT_TRUE(reg.UpdateKey(kUser, kKey, QStringLiteral("Book"), value));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Book")), value);
    // Registry names compare without case; other roots, keys and names are separate.
    EXPECT_EQ(reg.GetKeyValue(kUser, QStringLiteral("software\\QENTARAZP\\test"), QStringLiteral("BOOK")),
              value);
    EXPECT_EQ(reg.GetKeyValue(kMachine, kKey, QStringLiteral("Book")), QString());
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey + QStringLiteral("\\Sub"), QStringLiteral("Book")), QString());
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Other")), QString());

    // Separators inside a name stay part of the name.
    QString slashed = QStringLiteral("x");
    EXPECT_TRUE(reg.UpdateKey(kUser, kKey, QStringLiteral("a/b"), slashed));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("a/b")), QStringLiteral("x"));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey + QStringLiteral("\\a"), QStringLiteral("b")), QString());

    // The unnamed value of a key, and a rewrite replacing the first.
    QString first = QStringLiteral("1");
    QString second = QStringLiteral("2");
    EXPECT_TRUE(reg.UpdateKey(kUser, kKey, QString(), first));
    EXPECT_TRUE(reg.UpdateKey(kUser, kKey, QString(), second));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QString()), QStringLiteral("2"));
}

TEST_F(RegAccessTest, EmptyValueIsStoredAsOneSpace) {
    QString value;
    EXPECT_TRUE(reg.UpdateKey(kUser, kKey, QStringLiteral("Blank"), value));
    EXPECT_EQ(value, QStringLiteral(" "));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Blank")), QStringLiteral(" "));
}

TEST_F(RegAccessTest, ValuesReadByTheirType) {
    EXPECT_TRUE(reg.WriteValue(kUser, kKey, QStringLiteral("Count"), ClsRegAccess::kRegDword, 261));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Count")), QStringLiteral("261"));
    EXPECT_TRUE(reg.WriteValue(kUser, kKey, QStringLiteral("Raw"), ClsRegAccess::kRegBinary,
                               QByteArray("\x01\x02\x03", 3)));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Raw")), QString());
    EXPECT_TRUE(reg.WriteValue(kUser, kKey, QStringLiteral("Path"), ClsRegAccess::kRegExpandSz,
                               QStringLiteral("%HOME%\\zp")));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Path")), QStringLiteral("%HOME%\\zp"));
    EXPECT_TRUE(reg.WriteValue(kUser, kKey, QStringLiteral("Cut"), ClsRegAccess::kRegSz,
                               QString(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"))));
    EXPECT_EQ(reg.GetKeyValue(kUser, kKey, QStringLiteral("Cut")), QStringLiteral("ab"));
}

TEST_F(RegAccessTest, UnknownRootFailsQuietly) {
    QString value = QStringLiteral("v");
    EXPECT_FALSE(reg.UpdateKey(12345, kKey, QStringLiteral("Name"), value));
    EXPECT_EQ(value, QStringLiteral("v"));
    EXPECT_EQ(reg.GetKeyValue(12345, kKey, QStringLiteral("Name")), QString());
    EXPECT_FALSE(reg.WriteValue(kUser, kKey, QStringLiteral("Name"), ClsRegAccess::ValueType(7), 1));
}
