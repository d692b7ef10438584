#pragma once

#include <QString>

// Whether another copy of the program is running on the same book folder: a lock file there, holding
// the owner's process id, locked with flock. The system drops the lock when its process ends, however
// it ends, so a file left behind by a crashed copy never counts.
class SingleCopyLock {
public:
    explicit SingleCopyLock(const QString& folder);
    ~SingleCopyLock();
    SingleCopyLock(const SingleCopyLock&) = delete;
    SingleCopyLock& operator=(const SingleCopyLock&) = delete;

    bool acquired() const { return acquired_; }
    // Another holder has the folder. A lock file that cannot be made at all tells nothing either way.
    bool heldElsewhere() const { return heldElsewhere_; }

    static QString LockFileName();

private:
    int fd_ = -1;
    bool acquired_ = false;
    bool heldElsewhere_ = false;
};

namespace MainProc {

// The book part of the start: creates missing book files and checks them; the copy that holds the
// folder's lock also removes what a killed run left behind. Errors reach the caller.
void PrepareBook(bool holdsFolderLock);

// The program's entry: asks before a second copy runs, sets the start-up module values, creates any
// missing book file and shows the launcher modeless. False when the user declined a second copy, in
// which case nothing was touched and the program must end.
bool Main();

// Lets go of this process's single-copy lock (tests; otherwise it goes with the process).
void ReleaseSingleCopyLock();

}  // namespace MainProc
