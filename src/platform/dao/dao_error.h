#pragma once

#include <QString>
#include <stdexcept>

namespace dao {

// Error numbers of the old database engine, kept because callers compare them.
enum ErrorNumber : int {
    kErrFileNotFound = 3024,
    kErrWrongPassword = 3031,
    kErrFileInUse = 3045,
    kErrOpenedExclusively = 3356,
    kErrDuplicateKey = 3022,
    kErrReadOnly = 3027,
    kErrTableNotFound = 3078,
    kErrDatabaseExists = 3204,
    kErrItemNotFound = 3265,
    kErrLocked = 3260,
    kErrDamaged = 3049,
    kErrGeneric = 3000,
};

class DaoError : public std::runtime_error {
public:
    DaoError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    int Number() const { return number_; }
    const QString& Description() const { return description_; }

private:
    int number_;
    QString description_;
};

}  // namespace dao
