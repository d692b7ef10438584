#include "platform/dao/dao_function.h"

#include <sqlite3.h>

#include <array>
#include <exception>
#include <vector>

#include "platform/dao/dao_connection.h"
#include "platform/dao/dao_database.h"

namespace dao {

namespace {

QVariant ValueOf(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_value_int64(value)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_value_double(value));
        case SQLITE_TEXT: {
            const auto* p = static_cast<const char16_t*>(sqlite3_value_text16(value));
            return QVariant(QString::fromUtf16(p, sqlite3_value_bytes16(value) / 2));
        }
        case SQLITE_BLOB: {
            const void* p = sqlite3_value_blob(value);
            return QVariant(QByteArray(static_cast<const char*>(p), sqlite3_value_bytes(value)));
        }
        default:
            return {};
    }
}

void SetResult(sqlite3_context* context, const QVariant& result) {
    if (!result.isValid() || (result.isNull() && result.typeId() != QMetaType::QString)) {
        sqlite3_result_null(context);
        return;
    }
    switch (result.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            sqlite3_result_int64(context, result.toLongLong());
            return;
        case QMetaType::Double:
            sqlite3_result_double(context, result.toDouble());
            return;
        case QMetaType::QByteArray: {
            // An empty blob stays a blob: a null pointer would make it Null.
            const QByteArray bytes = result.toByteArray();
            if (bytes.isEmpty())
                sqlite3_result_zeroblob(context, 0);
            else
                sqlite3_result_blob64(context, bytes.constData(), sqlite3_uint64(bytes.size()),
                                      SQLITE_TRANSIENT);
            return;
        }
        default: {
            const QString text = result.toString();
            sqlite3_result_text16(context, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        }
    }
}

void Call(sqlite3_context* context, int count, sqlite3_value** values) {
    const auto* body = static_cast<const SqlFunction::Body*>(sqlite3_user_data(context));
    try {
        // Most functions take a few arguments: they are not worth a list on the heap.
        constexpr int kOnStack = 4;
        std::array<QVariant, kOnStack> few;
        std::vector<QVariant> many;
        if (count > kOnStack) many.resize(size_t(count));
        QVariant* arguments = count > kOnStack ? many.data() : few.data();
        for (int i = 0; i < count; ++i) arguments[i] = ValueOf(values[i]);
        SetResult(context, (*body)(std::span<const QVariant>(arguments, size_t(count))));
    } catch (const std::exception& e) {
        sqlite3_result_error(context, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(context, "function failed", -1);
    }
}

void Destroy(void* body) {
    delete static_cast<SqlFunction::Body*>(body);
}

}  // namespace

SqlFunction::SqlFunction(Database& db, const QString& name, int arguments, Body body)
    : conn_(db.connection()), name_(name.toUtf8()), arguments_(arguments) {
    auto* kept = new Body(std::move(body));
    const int rc = sqlite3_create_function_v2(conn_->raw(), name_.constData(), arguments, SQLITE_UTF16, kept,
                                              &Call, nullptr, nullptr, &Destroy);
    // On failure the engine has already destroyed the body.
    if (rc != SQLITE_OK) conn_->fail(rc, QString::fromUtf8(name_));
}

SqlFunction::~SqlFunction() {
    sqlite3_create_function_v2(conn_->raw(), name_.constData(), arguments_, SQLITE_UTF16, nullptr, nullptr,
                               nullptr, nullptr, nullptr);
}

}  // namespace dao
