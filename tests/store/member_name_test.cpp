#include <gtest/gtest.h>

#include "store/member_name.h"

namespace {

TEST(MemberNameTest, MarkupCharactersGoAndTheNameIsCut) {
    struct Case {
        QString typed, clean;
    };
    const QString rare = QStringLiteral("甲") + QString::fromUcs4(U"\U00020000");
    for (const Case& c : {
             Case{QStringLiteral("  王'%大{3}}\\明\r\n  "), QStringLiteral("王大3明")},
             Case{QStringLiteral("a\rb\nc"), QStringLiteral("abc")},
             Case{QString(60, QChar(0x5B57)), QString(49, QChar(0x5B57))},
             Case{QStringLiteral("'%{}"), QString()},
             // Controls (DEL and C1 among them) and the marks that turn the direction of text.
             Case{QString("王\t\x01\x7f") + QChar(0x85) + QChar(0x9F) + QChar(0) + "大",
                  QStringLiteral("王大")},
             Case{QString(QChar(0x202E)) + "大王" + QChar(0x202C) + QChar(0x200F) + QChar(0x2067) +
                      QChar(0x061C),
                  QStringLiteral("大王")},
             Case{QString(48, QChar(0x5B57)) + QStringLiteral("   乙"), QString(48, QChar(0x5B57))},
             Case{QStringLiteral("甲") + QString(48, QChar(u' ')) + QStringLiteral("乙"),
                  QStringLiteral("甲")},
         }) {
        EXPECT_EQ(CleanMemberName(c.typed), c.clean) << c.typed.toStdString();
        EXPECT_EQ(CleanMemberName(c.clean), c.clean);  // cleaning again changes nothing
    }
    EXPECT_EQ(CleanMemberName(rare, 2), QStringLiteral("甲"));
    EXPECT_EQ(CleanMemberName(QString(60, QChar(0x5B57)), -1).size(), 60);
    EXPECT_EQ(CleanMemberName(QStringLiteral("张三;李四"), -1), QStringLiteral("张三;李四"));
    EXPECT_EQ(CleanSingleMemberName(QStringLiteral("张/三;李'四")), QStringLiteral("张三李四"));
}

}  // namespace
