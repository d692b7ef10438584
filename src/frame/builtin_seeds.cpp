#include "frame/builtin_seeds.h"

#include "frame/text_scramble.h"
#include "platform/dao/dao_file_guard.h"

// These seeds must never change: every book file, package and settings record already written depends
// on the keys derived from them.

QString BuiltinSeedPhrase() {
    return QStringLiteral("敬宗收族慎终追远");
}

QString SettingsPhrase() {
    return QStringLiteral("一脉相承万代同宗百世其昌盛");
}

QString ServerText() {
    return QStringLiteral("Qz#7pLm2&Wr9Tk");
}

QString OneCharSeed() {
    return QStringLiteral("k");
}

QString EmptySeed() {
    return QString();
}

QString StoreKey() {
    static const QString key = DeriveKey(BuiltinSeedPhrase());
    return key;
}

QString BookDbPassword() {
    static const QString password = [] {
        const QString p = StoreKey().left(11);
        dao::DeclareBuiltInPassword(p);
        return p;
    }();
    return password;
}

QString SettingsKey() {
    static const QString key = DeriveKey(SettingsPhrase());
    return key;
}

QString ServerKey() {
    static const QString key = DeriveKey(ServerText());
    return key;
}

QString OneCharKey() {
    static const QString key = DeriveKey(OneCharSeed());
    return key;
}

QString EmptySeedKey() {
    static const QString key = DeriveKey(EmptySeed());
    return key;
}
