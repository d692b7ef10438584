#pragma once

#include <QByteArray>
#include <QList>
#include <QStringView>
#include <QVariant>
#include <string>

namespace dao {

// Values bound to a statement, in order of its "?" markers. A null QVariant binds NULL, bool binds 0/1.
using Params = QList<QVariant>;

// Text already in UTF-8, bound as TEXT as it is. Text given as UTF-16 the engine converts itself, one
// unit at a time, at a cost above that of inserting a short row. Make the bytes with AppendEngineUtf8,
// so that they equal what the same text bound as UTF-16 would store.
struct Utf8Text {
    QByteArray bytes;
};

// Appends the bytes the engine stores for the whole value `text` bound as UTF-16, odd texts too: it
// drops a byte-order mark (U+FEFF) at the start, reads the rest in the other byte order after a U+FFFE
// there, and takes the unit after a surrogate as its partner whatever that unit is.
void AppendEngineUtf8(std::string& out, QStringView text);

}  // namespace dao

Q_DECLARE_METATYPE(dao::Utf8Text)
