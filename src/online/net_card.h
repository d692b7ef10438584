#pragma once

#include <QByteArray>
#include <QString>

// The address of the machine's first network adapter as the community server receives it.
class ClsNetCard {
public:
    // Twelve upper-case hex digits, two per byte ("001A05FF0B10"); twelve zeros when the machine has no
    // adapter with a hardware address.
    QString NetCardAddress() const;

    // The six address bytes as text, two digits each; bytes beyond six are ignored, missing ones are 0.
    static QString FormatAddress(const QByteArray& bytes);
};
