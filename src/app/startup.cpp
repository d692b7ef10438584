#include "app/startup.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <exception>
#include <memory>

#include "app/killed_run_leftovers.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/interaction.h"

namespace {

std::unique_ptr<SingleCopyLock>& heldLock() {
    static std::unique_ptr<SingleCopyLock> lock;
    return lock;
}

}  // namespace

QString SingleCopyLock::LockFileName() {
    return QStringLiteral("qentara.lock");
}

SingleCopyLock::SingleCopyLock(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + LockFileName());
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        qWarning("Cannot create the lock file %s", path.constData());
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        heldElsewhere_ = errno == EWOULDBLOCK;
        return;
    }
    acquired_ = true;
    // The id is for people looking at the folder; the lock itself is what counts.
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    if (::ftruncate(fd_, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd_, pid.constData(), size_t(pid.size()), 0);
    }
}

SingleCopyLock::~SingleCopyLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the descriptor drops the lock
}

namespace MainProc {

void PrepareBook(bool holdsFolderLock) {
    EnsureBookFiles();
    CheckBookFiles();
    // Only the copy that holds the folder's lock may take work files for leftovers of a killed run.
    if (!holdsFolderLock) return;
    RemoveStaleWorkFiles();
    RemoveKilledRunLeftovers();
}

bool Main() {
    auto lock = std::make_unique<SingleCopyLock>(GetAppPath());
    if (lock->heldElsewhere()) {
        // The launcher, and with it the language switch, does not exist yet: the text stays as written.
        const int answer =
            UI().MsgBox(QStringLiteral("您是否下定决心运行多份程序！"), vb::YesNo + vb::Exclamation);
        if (answer != vb::Yes) return false;
    } else if (lock->acquired()) {
        heldLock() = std::move(lock);
    }

    AppState& state = App();
    state.ChildInputStyle = 1;
    state.SurnameLength = 1;
    state.StrgPswdDigest.clear();

    // A first run has no book yet. A folder where it cannot be made is not reported here: the launcher
    // opens with no book, as it does for a locked one, and each book command reports its own failure.
    // A missing or damaged book file is said at once, before anything could be written into the book.
    try {
        PrepareBook(heldLock() != nullptr);
    } catch (const dao::DaoError& e) {
        if (e.Number() == dao::kErrDamaged || e.Number() == dao::kErrFileNotFound)
            UI().MsgBox(e.Description(), vb::Critical);
        else
            qWarning("The book files cannot be opened in %s: %s", qUtf8Printable(GetAppPath()), e.what());
    } catch (const std::exception& e) {
        qWarning("The book files cannot be created in %s: %s", qUtf8Printable(GetAppPath()), e.what());
    }

    UI().ShowForm(QStringLiteral("mQentaraQp"), false);
    return true;
}

void ReleaseSingleCopyLock() {
    heldLock().reset();
}

}  // namespace MainProc
