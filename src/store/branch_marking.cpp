#include "store/branch_marking.h"

#include "frame/app_state.h"
#include "platform/bookdir.h"
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
    const qint32 written = ops.族谱备份(path, name, branch, password);
    // Compaction gives back free pages; a package written afresh only gained rows and usually has
    // none, and copying the whole file then would cost as long as writing it.
    const bool hasFreePages = [&] {
        dao::Database package = dao::Database::Open(path, password);
        return package.Scalar(QStringLiteral("PRAGMA freelist_count")).toLongLong() > 0;
    }();
    if (hasFreePages) ops.Dao修复压缩(path, GetAppPath() + QStringLiteral("gmap.mdb"), password);
    return written;
}
