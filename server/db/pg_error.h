#pragma once

#include <QString>
#include <stdexcept>

// A failure of the server connection or of a server procedure call, raised to the operation that made
// it. The description is what the user is shown; sqlState is the server's five-character code, "" when
// the failure happened on the client side.
class PgError : public std::runtime_error {
public:
    explicit PgError(const QString& description, const QString& sqlState = QString())
        : std::runtime_error(description.toStdString()), description_(description), sqlState_(sqlState) {}
    const QString& Description() const { return description_; }
    const QString& SqlState() const { return sqlState_; }

private:
    QString description_;
    QString sqlState_;
};
