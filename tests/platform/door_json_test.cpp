// A call's JSON, written by hand for speed, must be byte for byte what QJsonDocument writes: the server
// reads it, and a batch counts its bytes against the door's limit.

#include "platform/door/door_json.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTime>

namespace {

QByteArray AllBytes(int n) {
    QByteArray bytes;
    for (int i = 0; i < n; ++i) bytes += char(i * 7 + 3);
    return bytes;
}

QJsonObject Base64Of(const QByteArray& bytes) {
    return {{QStringLiteral("base64"), QString::fromLatin1(bytes.toBase64())}};
}

}  // namespace

TEST(DoorJsonTest, ACallIsWrittenAsQJsonDocumentWritesIt) {
    const QString awkward = QStringLiteral("q\"b\\s/\b\f\n\r\t") + QChar(0x01) + QChar(0x1f) + QChar(0x7f) +
                            QStringLiteral("中文é") + QChar(0x7ff) + QChar(0x800) + QChar(0xffff) +
                            QStringLiteral("😀") + QChar(0xd800) + QStringLiteral("a") + QChar(0xdc00) +
                            QChar(0xdbff);
    struct Case {
        QVariant value;
        QString kind;
        QJsonValue wire;
    };
    const QDateTime when(QDate(2026, 12, 10), QTime(13, 5, 7, 89));
    const Case cases[] = {
        {QStringLiteral("张三"), QStringLiteral("text"), QStringLiteral("张三")},
        {awkward, QStringLiteral("text"), awkward},
        {QVariant(QMetaType(QMetaType::QString)), QStringLiteral("text"), QJsonValue::Null},
        {QVariant(), QStringLiteral("int"), QJsonValue::Null},
        {42, QStringLiteral("int"), QStringLiteral("42")},
        {qlonglong(-9007199254740993), QStringLiteral("long"), QStringLiteral("-9007199254740993")},
        {-1.5, QStringLiteral("double"), QStringLiteral("-1.5")},
        {-1, QStringLiteral("bool"), QStringLiteral("true")},
        {0, QStringLiteral("bool"), QStringLiteral("false")},
        {false, QStringLiteral("text"), QStringLiteral("false")},
        {when, QStringLiteral("text"), QStringLiteral("2026-12-10T13:05:07.089")},
        {when.date(), QStringLiteral("text"), QStringLiteral("2026-12-10")},
        {when.time(), QStringLiteral("text"), QStringLiteral("13:05:07.089")},
        {QByteArray("ab\xff"), QStringLiteral("text"), QString::fromUtf8("ab\xff")},
        {QVariant(QMetaType(QMetaType::QByteArray)), QStringLiteral("bytes"), QJsonValue::Null},
        {QByteArray(""), QStringLiteral("bytes"), Base64Of("")},
        {AllBytes(1), QStringLiteral("bytes"), Base64Of(AllBytes(1))},
        {AllBytes(2), QStringLiteral("bytes"), Base64Of(AllBytes(2))},
        {AllBytes(300), QStringLiteral("bytes"), Base64Of(AllBytes(300))},
        {AllBytes(301), QStringLiteral("bytes"), Base64Of(AllBytes(301))},
        {QStringLiteral("图"), QStringLiteral("bytes"), Base64Of(QStringLiteral("图").toUtf8())},
    };
    std::map<QString, door_json::CallValue> values;
    QJsonObject expected;
    int i = 0;
    for (const Case& c : cases) {
        // Names whose order as text differs from their order here: @p10 goes before @p2, @P before @p.
        const QString name = (i % 3 ? QStringLiteral("@p%1") : QStringLiteral("@P_%1")).arg(i);
        ++i;
        values[name] = {&c.value, c.kind, -1, QString()};
        expected.insert(name, c.wire);
    }
    values[QStringLiteral("@father")] = {nullptr, QString(), 12, QStringLiteral("@z_Id")};
    expected.insert(QStringLiteral("@father"), QJsonObject{{QStringLiteral("from"), 12},
                                                           {QStringLiteral("out"), QStringLiteral("@z_Id")}});

    const QString key = QStringLiteral("0b7c9f2e-4d1a-4e8b-9c3f-2a6d5e7f8a9b");
    const QString procedure = QStringLiteral("sp_Save\"成员\"");
    EXPECT_EQ(door_json::Call(procedure, key, values),
              QJsonDocument(QJsonObject{{QStringLiteral("procedure"), procedure},
                                        {QStringLiteral("key"), key},
                                        {QStringLiteral("values"), expected}})
                  .toJson(QJsonDocument::Compact));
}
