// Crash trials. The parent makes a generated book once; for each operation it runs the operation to the
// end in a child process to learn its length and its result, then, trial after trial, on a fresh copy of
// the book, kills a child running it at a random moment (SIGKILL to its whole process group, or, every
// other trial, to the child alone, as a crash of the program leaves what it started), starts the book
// again in another child and checks it: sound files, no orphans, no work files, the page starts a fresh
// walk cuts, and the book (with what the operation writes for the user) either as it was before or as
// the whole operation leaves it.
//
//   crash_trials [--trials N] [--seed S] [--members M] [--only OP,OP] [--jobs J] [--keep FOLDER]
//                [--place memory|disk]
//
// N trials per operation. With J above 1 the operations are tried J at a time, each in a run of its own.
// The book lives in memory (/dev/shm, where there is one) or on the disk beside this program, where the
// engine's syncs reach the disk.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <optional>
#include <random>

#include "trial_book.h"
#include "trial_checks.h"
#include "trial_operations.h"

namespace {

void Say(const QString& text) {
    std::fputs(qUtf8Printable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// ---- The child processes

int MakeChild(const QString& root, int members, unsigned seed) {
    trial_book::Make(root, members, seed);
    return 0;
}

int RunChild(const QString& root, const QString& operation) {
    trial_book::UseTrial(root);
    trial_operations::Run(operation, root, [] { Say(QStringLiteral("ready")); });
    return 0;
}

int CheckChild(const QString& root) {
    const trial_checks::Findings found = trial_checks::StartAndCheck(root);
    for (const QString& fault : found.faults) Say(QStringLiteral("fault: ") + fault);
    Say(QStringLiteral("data: ") + found.data);
    Say(QStringLiteral("marking: ") + found.marking);
    Say(QStringLiteral("outputs: ") + found.outputs);
    return 0;
}

// ---- The parent

struct State {
    QStringList faults;
    QString data, marking, outputs;
    QString result(bool marking) const {
        return (marking ? this->marking : data) + QLatin1Char('/') + outputs;
    }
};

QProcess* Start(const QStringList& arguments) {
    auto* child = new QProcess;
    child->setProgram(QCoreApplication::applicationFilePath());
    child->setArguments(arguments);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Its own process group, so that a kill takes whatever it started (the e-book compiler) with it.
    child->setChildProcessModifier([] { ::setpgid(0, 0); });
    child->start();
    child->waitForStarted(-1);
    return child;
}

QString Finish(QProcess* child) {
    child->waitForFinished(-1);
    const QString out = QString::fromUtf8(child->readAllStandardOutput());
    if (child->exitStatus() != QProcess::NormalExit || child->exitCode() != 0)
        throw std::runtime_error("child failed: " + child->arguments().join(' ').toStdString() + "\n" +
                                 out.toStdString());
    delete child;
    return out;
}

State Check(const QString& root) {
    State state;
    for (const QString& line : Finish(Start({QStringLiteral("--check"), root})).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("fault: "))) state.faults << line.mid(7);
        if (line.startsWith(QLatin1String("data: "))) state.data = line.mid(6);
        if (line.startsWith(QLatin1String("marking: "))) state.marking = line.mid(9);
        if (line.startsWith(QLatin1String("outputs: "))) state.outputs = line.mid(9);
    }
    return state;
}

void CopyFolder(const QString& from, const QString& to) {
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    for (QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(path, target);
    }
}

// Runs the operation on a copy of the book; with a delay, kills it that long after the book was open,
// with its process group or alone (then *leftGroup is the group what it started may still run in). The
// time from open to end, in milliseconds (-1 when killed).
qint64 RunOperation(const QString& root, const QString& operation, std::optional<qint64> killAfterMs,
                    bool killGroup = true, pid_t* leftGroup = nullptr) {
    QProcess* child = Start({QStringLiteral("--run"), root, operation});
    QByteArray out;
    while (!out.contains("ready\n") && child->state() == QProcess::Running) {
        child->waitForReadyRead(50);
        out += child->readAllStandardOutput();
    }
    QElapsedTimer clock;
    clock.start();
    if (killAfterMs) {
        if (!child->waitForFinished(int(*killAfterMs))) {
            const pid_t pid = pid_t(child->processId());
            ::kill(killGroup ? -pid : pid, SIGKILL);
            child->waitForFinished(-1);
            delete child;
            if (!killGroup && leftGroup) *leftGroup = pid;
            return -1;
        }
    }
    Finish(child);
    return clock.elapsed();
}

struct Tally {
    int trials = 0, done = 0, undone = 0, failures = 0, alone = 0;
};

struct Options {
    int trials = 8, members = 2000, jobs = 1;
    unsigned seed = 1;
    QStringList only;
    QString keep, pristine, place = QStringLiteral("memory");
    std::optional<State> before;  // the new book's state, when a run above has checked it
};

State CheckBeforehand(const QString& pristine, const QString& work) {
    const QString trial = work + QStringLiteral("/trial");
    CopyFolder(pristine, trial);
    const State before = Check(trial);
    if (!before.faults.isEmpty())
        throw std::runtime_error("the new book fails its checks: " + before.faults.join("; ").toStdString());
    return before;
}

// The operation run to its end once, then killed `trials` times; every failure is told as it comes.
Tally TryOperation(const QString& operation, const Options& options, const State& before, const QString& work,
                   std::mt19937& rng) {
    const QString trial = work + QStringLiteral("/trial");
    const bool marking = trial_operations::ResultIsMarking(operation);
    CopyFolder(options.pristine, trial);
    const qint64 length = RunOperation(trial, operation, std::nullopt);
    const State after = Check(trial);
    if (!after.faults.isEmpty())
        throw std::runtime_error(operation.toStdString() + " run to its end fails the checks: " +
                                 after.faults.join("; ").toStdString());
    Tally tally;
    for (int t = 0; t < options.trials; ++t) {
        CopyFolder(options.pristine, trial);
        const qint64 delay = std::uniform_int_distribution<qint64>(0, length + length / 10)(rng);
        const bool killGroup = t % 2 == 0;
        pid_t leftGroup = 0;
        RunOperation(trial, operation, delay, killGroup, &leftGroup);
        const State found = Check(trial);
        // What outlived the operation had its chance at the book while it was started again; now it goes.
        if (leftGroup > 0) ::kill(-leftGroup, SIGKILL);
        ++tally.trials;
        if (!killGroup) ++tally.alone;
        QStringList faults = found.faults;
        if (found.result(marking) == before.result(marking))
            ++tally.undone;
        else if (found.result(marking) == after.result(marking))
            ++tally.done;
        else
            faults << QStringLiteral("the book is neither as before nor as after the operation");
        if (!faults.isEmpty()) {
            ++tally.failures;
            Say(QStringLiteral("%1, killed %2 after %3 of %4 ms: %5")
                    .arg(operation, killGroup ? QStringLiteral("with its group") : QStringLiteral("alone"))
                    .arg(delay)
                    .arg(length)
                    .arg(faults.join(QStringLiteral("; "))));
            if (!options.keep.isEmpty())
                CopyFolder(trial, work + QStringLiteral("/failed-%1-%2").arg(operation).arg(t));
        }
    }
    Say(QStringLiteral("%1: %2 trials, %3 done, %4 undone, %5 failed, %6 killed alone (runs %7 ms)")
            .arg(operation, -10)
            .arg(tally.trials)
            .arg(tally.done)
            .arg(tally.undone)
            .arg(tally.failures)
            .arg(tally.alone)
            .arg(length));
    return tally;
}

// One run of this program per operation, `jobs` at a time, each in a folder of its own on the one book.
void RunSideBySide(const Options& options, const QStringList& operations, const QString& work, int& total,
                   int& failed) {
    QList<QProcess*> running;
    qsizetype next = 0;
    bool broken = false;
    while (next < operations.size() || !running.isEmpty()) {
        while (next < operations.size() && running.size() < options.jobs) {
            const QString operation = operations[next];
            running << Start(
                {QStringLiteral("--only"), operation, QStringLiteral("--trials"),
                 QString::number(options.trials), QStringLiteral("--seed"),
                 QString::number(options.seed + unsigned(next)), QStringLiteral("--pristine"),
                 options.pristine, QStringLiteral("--before"),
                 QStringList{options.before->data, options.before->marking, options.before->outputs}.join(
                     ','),
                 QStringLiteral("--keep"), work + QLatin1Char('/') + operation});
            ++next;
        }
        for (qsizetype i = 0; i < running.size(); ++i) {
            QProcess* child = running[i];
            if (!child->waitForFinished(20)) continue;
            const QStringList lines = QString::fromUtf8(child->readAllStandardOutput())
                                          .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const QString& line : lines) {
                int trials = 0, failures = 0;
                if (std::sscanf(qUtf8Printable(line), "%d trials, %d failed", &trials, &failures) == 2) {
                    total += trials;
                    failed += failures;
                } else {
                    Say(line);
                }
            }
            broken = broken || child->exitCode() == 2 || child->exitStatus() != QProcess::NormalExit;
            if (options.keep.isEmpty())
                QDir(work + QLatin1Char('/') + child->arguments().value(1)).removeRecursively();
            delete child;
            running.removeAt(i--);
        }
    }
    if (broken) throw std::runtime_error("an operation could not be tried");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.value(1) == QLatin1String("--make"))
            return MakeChild(args.value(2), args.value(3).toInt(), args.value(4).toUInt());
        if (args.value(1) == QLatin1String("--run")) return RunChild(args.value(2), args.value(3));
        if (args.value(1) == QLatin1String("--check")) return CheckChild(args.value(2));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--trials")) options.trials = args[i + 1].toInt();
        if (args[i] == QLatin1String("--seed")) options.seed = args[i + 1].toUInt();
        if (args[i] == QLatin1String("--members")) options.members = args[i + 1].toInt();
        if (args[i] == QLatin1String("--only")) options.only = args[i + 1].split(QLatin1Char(','));
        if (args[i] == QLatin1String("--keep")) options.keep = args[i + 1];
        if (args[i] == QLatin1String("--jobs")) options.jobs = qMax(1, args[i + 1].toInt());
        if (args[i] == QLatin1String("--pristine")) options.pristine = args[i + 1];
        if (args[i] == QLatin1String("--place")) options.place = args[i + 1];
        if (args[i] == QLatin1String("--before")) {
            const QStringList parts = args[i + 1].split(QLatin1Char(','));
            options.before = State{{}, parts.value(0), parts.value(1), parts.value(2)};
        }
    }
    // In memory when the system has it: a killed process loses nothing the disk would have kept, and the
    // trials do not wait for syncs. On the disk the syncs are real.
    const bool onDisk = options.place == QLatin1String("disk");
    if (!onDisk && options.place != QLatin1String("memory")) {
        std::fprintf(stderr, "--place is memory or disk\n");
        return 2;
    }
    const QString base = onDisk                      ? QCoreApplication::applicationDirPath()
                         : QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm")
                                                     : QDir::tempPath();
    QTemporaryDir scratch(QDir(base).filePath(QStringLiteral("crash-trials-XXXXXX")));
    const QString work = options.keep.isEmpty() ? scratch.path() : options.keep;
    QDir().mkpath(work);
    const QString runtime = work + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    int total = 0, failed = 0;
    try {
        if (options.pristine.isEmpty()) {
            options.pristine = work + QStringLiteral("/pristine");
            QDir(options.pristine).removeRecursively();
            Finish(Start({QStringLiteral("--make"), options.pristine, QString::number(options.members),
                          QString::number(options.seed)}));
        }
        QStringList operations;
        for (const QString& operation : trial_operations::Names())
            if (options.only.isEmpty() || options.only.contains(operation)) operations << operation;
        if (!options.before) options.before = CheckBeforehand(options.pristine, work);
        if (options.jobs > 1 && operations.size() > 1) {
            RunSideBySide(options, operations, work, total, failed);
        } else {
            const State& before = *options.before;
            std::mt19937 rng(options.seed);
            for (const QString& operation : operations) {
                const Tally tally = TryOperation(operation, options, before, work, rng);
                total += tally.trials;
                failed += tally.failures;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    Say(QStringLiteral("%1 trials, %2 failed (%3)")
            .arg(total)
            .arg(failed)
            .arg(onDisk ? "on disk" : "in memory"));
    return failed > 0 ? 1 : 0;
}
