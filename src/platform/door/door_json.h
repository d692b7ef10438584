#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <map>

// A call's JSON written straight into its bytes, as compact as QJsonDocument writes it and byte for byte
// the same: the server and the batch's count of bytes read exactly what they read before. Through
// QJsonValue and UTF-16, a batch's pictures were most of the program's own work for an upload.
namespace door_json {

// One value of a call: a parameter's value of its kind, or an out value of an earlier call of the batch.
struct CallValue {
    const QVariant* value = nullptr;  // with kind, when from < 0
    QString kind;
    int from = -1;
    QString out;
};

// text as a JSON string, quoted.
void AppendString(QByteArray& json, QStringView text);
// A value as the server reads it: its text form, bytes as {"base64": ...}, null for a null value.
void AppendValue(QByteArray& json, const QVariant& value, const QString& kind);
// {"key":...,"procedure":...,"values":{...}}, the values by their names in QJsonObject's order.
QByteArray Call(const QString& procedure, const QString& key, const std::map<QString, CallValue>& values);

}  // namespace door_json
