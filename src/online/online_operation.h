#pragma once

#include <QString>
#include <stdexcept>

#include "frame/progress.h"

// A member exchange with the server that could not be done, or stopped part-way: the description says
// what was done and why it stopped, in words for the user.
class SyncError : public std::runtime_error {
public:
    explicit SyncError(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    const QString& Description() const { return description_; }

private:
    QString description_;
};

// One on-line operation at a time. Message boxes and the wait window let events run in the middle of an
// exchange, and an operation started from there would share the server connection and the staging file:
// it is refused with SyncError. The wait window is up for the whole operation and hidden however it ends.
class OnlineOperation {
public:
    OnlineOperation() = default;
    OnlineOperation(const OnlineOperation&) = delete;
    OnlineOperation& operator=(const OnlineOperation&) = delete;

    static bool Running() { return running(); }

private:
    static bool& running() {
        static bool flag = false;
        return flag;
    }
    struct Claim {
        Claim() {
            if (running()) throw SyncError(QStringLiteral("另一项联网操作正在进行，请等它完成后再试。"));
            running() = true;
        }
        ~Claim() { running() = false; }
    };
    Claim claim_;  // first: a refused operation shows no wait window
    ProgressScope progress_;
};
