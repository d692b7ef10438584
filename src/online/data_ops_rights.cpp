#include "frame/app_state.h"
#include "frame/text_utils.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace {

constexpr quint8 kMayChange = 3;

}  // namespace

quint8 Cls数据操作::GetMyRight(qint32 filial_id, const QString& filial) {
    dao::Database& db = App().DataDb;
    dao::Recordset rs =
        filial_id >= 0
            ? db.OpenRecordset(QStringLiteral("SELECT \"filial_protect\", \"myacc_id\", \"mysql_id\" FROM "
                                              "\"本姓成员\" WHERE \"filial_id\" = ? LIMIT 1"),
                               {filial_id})
            : db.OpenRecordset(QStringLiteral("SELECT \"filial_protect\", \"myacc_id\", \"mysql_id\" FROM "
                                              "\"本姓成员\" WHERE \"filial\" = ? LIMIT 1"),
                               {TextAfterBrace(filial)});
    if (!rs.hasRow()) return kMayChange;
    // An uploaded member starts from 3; the protection level adds to it.
    quint8 right = quint8((rs.value(2).toLongLong() > 0 ? 3 : 0) + rs.value(0).toLongLong());
    const auto& user = App().CurrentUser;
    const qint64 creator = rs.value(1).toLongLong();
    if (user && creator == user->acc_id) right = kMayChange;
    return right == 0 ? kMayChange : right;
}
