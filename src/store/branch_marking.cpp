#include "store/branch_marking.h"

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

qint32 KeptStartGeneration(const QString& name) {
    constexpr qint32 kNumberedAbove = -999;  // -9999 marks a member without a generation number
    const QVariant g = App().DataDb.Scalar(
        QStringLiteral("SELECT \"generation\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {name});
    if (g.isNull() || g.toLongLong() <= kNumberedAbove) return 1;
    return qint32(g.toLongLong());
}

void MarkBranchToActOn(Cls数据操作& ops, const QString& name, qint32 branch) {
    constexpr quint8 kKeepProtection = 99;
    qint32 start = KeptStartGeneration(name);
    qint16 force = qint16(qBound(1, branch, 32767));
    quint8 protection = kKeepProtection;
    ops.标识世祖(name, branch, 0, start, force, protection);
}

qint32 BackUpBranch(Cls数据操作& ops, const QString& name, qint32 branch, const QString& path,
                    const QString& password) {
    MarkBranchToActOn(ops, name, branch);
    App().FormParamString = name;
    // The package is written afresh in one transaction that only adds rows, so it holds no free pages:
    // compacting it would copy the whole file for nothing.
    return ops.族谱备份(path, name, branch, password);
}
