#pragma once

#include <QString>
#include <QVariant>

// Values kept under a root key number, a "\"-separated subkey and a value name, each with its type, in a
// settings scope of their own (organisation "QentaraZp", application "QentaraZpRegistry"), apart from the
// program's own settings. Key and value names compare without regard to case.
class ClsRegAccess {
public:
    // The root keys that exist; any other root number fails.
    static constexpr quint32 kClassesRoot = 0x80000000u;
    static constexpr quint32 kCurrentUser = 0x80000001u;
    static constexpr quint32 kLocalMachine = 0x80000002u;
    static constexpr quint32 kUsers = 0x80000003u;
    static constexpr quint32 kCurrentConfig = 0x80000005u;

    // Value types by their old numbers.
    enum ValueType : int { kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4 };

    // Writes value as text; an empty value is stored, and left in the caller's variable, as one space.
    // True when written.
    bool UpdateKey(qint32 root, const QString& subkey, const QString& name, QString& value);
    // The value as text: text values as stored (expandable ones not expanded), numbers as decimal text;
    // "" for any other type and when the key or value is missing.
    QString GetKeyValue(qint32 root, const QString& subkey, const QString& name);

    // Writes a value of any type: a QString for the text types, a number for kRegDword, a QByteArray for
    // kRegBinary. True when written.
    bool WriteValue(qint32 root, const QString& subkey, const QString& name, ValueType type,
                    const QVariant& data);
};
