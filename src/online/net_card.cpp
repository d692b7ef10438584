#include "online/net_card.h"

#include <QNetworkInterface>

#include <algorithm>

namespace {

// "00:1a:05:ff:0b:10" -> six bytes; anything that is not six hex pairs gives an empty array.
QByteArray HardwareBytes(const QString& text) {
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (bytes.size() != 6 || bytes == QByteArray(6, '\0')) return {};
    return bytes;
}

}  // namespace

QString ClsNetCard::FormatAddress(const QByteArray& bytes) {
    QByteArray six = bytes.left(6);
    six.append(QByteArray(6 - six.size(), '\0'));
    return QString::fromLatin1(six.toHex().toUpper());
}

QString ClsNetCard::NetCardAddress() const {
    // Adapter 0 of the old interface: the first adapter by interface number, preferring one that is up.
    QList<QNetworkInterface> adapters = QNetworkInterface::allInterfaces();
    std::stable_sort(
        adapters.begin(), adapters.end(),
        [](const QNetworkInterface& a, const QNetworkInterface& b) { return a.index() < b.index(); });
    QByteArray chosen;
    for (const bool mustBeUp : {true, false}) {
        for (const QNetworkInterface& adapter : adapters) {
            if (adapter.flags().testFlag(QNetworkInterface::IsLoopBack)) continue;
            if (mustBeUp && !adapter.flags().testFlag(QNetworkInterface::IsUp)) continue;
            chosen = HardwareBytes(adapter.hardwareAddress());
            if (!chosen.isEmpty()) break;
        }
        if (!chosen.isEmpty()) break;
    }
    return FormatAddress(chosen);
}
