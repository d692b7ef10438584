#pragma once

#include <QString>
#include <stdexcept>

// A failure of the community server or of one of its procedures, raised to the operation that made the
// call. The description is what the user is shown, in the program's words; sqlState is the database's
// five-character code of a procedure's failure, "" for every other failure.
class ServerError : public std::runtime_error {
public:
    explicit ServerError(const QString& description, const QString& sqlState = QString())
        : std::runtime_error(description.toStdString()), description_(description), sqlState_(sqlState) {}
    const QString& Description() const { return description_; }
    const QString& SqlState() const { return sqlState_; }

private:
    QString description_;
    QString sqlState_;
};
