#include "store/branch_marking.h"

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"

qint32 KeptStartGeneration(const QString& name) {
    constexpr qint32 kNumberedAbove = -999;  // -9999 marks a member without a generation number
    const QVariant g = App().DataDb.Scalar(
        QStringLiteral("SELECT \"generation\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {name});
    if (g.isNull() || g.toLongLong() <= kNumberedAbove) return 1;
    return qint32(g.toLongLong());
}
