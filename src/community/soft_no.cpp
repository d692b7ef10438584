#include "community/soft_no.h"

#include <QCryptographicHash>
#include <QSysInfo>

#include "platform/bookdir.h"

QString MakeSoftNo() {
    QByteArray seed = QSysInfo::machineUniqueId();
    if (seed.isEmpty()) seed = QSysInfo::machineHostName().toUtf8();
    seed += '\n' + GetAppPath().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(seed, QCryptographicHash::Md5);
    QString digits;
    for (int i = 0; i < 12; ++i) digits += QChar(u'0' + quint8(digest.at(i)) % 10);
    return digits;
}
