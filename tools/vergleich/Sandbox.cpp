#include "Sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kritzel::vergleich {

namespace {

constexpr qsizetype OutputCap = 64 * 1024 - 16;
constexpr qsizetype OutputTail = 8 * 1024;

// A grader run as root runs each slot's programs as a user of its own from this range
// (Debian's range of users made on demand, below systemd's), so that one pupil's fork bomb
// exhausts the process limit of its own user only, never that of a pupil built beside it.
// Graders running at once claim different users through lock files only root may write.
constexpr uid_t FirstSlotUser = 61000;
constexpr uid_t SlotUsers = 1000;
constexpr const char* ClaimFolder = "/run/kritzelwerk-vergleich";

// Processes one slot's user may have: a CMake build with make and the compiler needs a
// few dozen, a fork bomb meets the limit at once.
constexpr long SlotProcesses = 96;

// The next user of the range that no other grader holds; its lock is held (the file kept
// open) until the grader ends.
uid_t ClaimUser(uid_t from) {
    ::mkdir(ClaimFolder, 0700);
    for (uid_t user = from; user < FirstSlotUser + SlotUsers; ++user) {
        const std::string path = std::string(ClaimFolder) + "/" + std::to_string(user);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return user;
        ::close(fd);
    }
    throw SandboxError("all sandbox users (uids " + std::to_string(FirstSlotUser) + " to " +
                       std::to_string(FirstSlotUser + SlotUsers - 1) +
                       ") are held by other graders, or " + ClaimFolder + " cannot be written");
}

long ProcessesOf(uid_t user) {
    long count = 0;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        bool number = false;
        entry.fileName().toLong(&number);
        if (number && entry.ownerId() == user) ++count;
    }
    return count;
}

QStringList BwrapArguments(const QString& directory, const std::vector<Bind>& binds,
                           const QStringList& env) {
    QStringList args{QStringLiteral("--die-with-parent"),
                     QStringLiteral("--unshare-all"),
                     QStringLiteral("--new-session"),
                     QStringLiteral("--ro-bind"),
                     QStringLiteral("/usr"),
                     QStringLiteral("/usr")};
    for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        const QString path = QString::fromLatin1(top);
        const QFileInfo info(path);
        if (info.isSymLink())
            args << QStringLiteral("--symlink") << QFile::symLinkTarget(path) << path;
        else if (info.isDir())
            args << QStringLiteral("--ro-bind") << path << path;
    }
    args << QStringLiteral("--ro-bind") << QStringLiteral("/etc") << QStringLiteral("/etc")
         << QStringLiteral("--ro-bind-try") << QStringLiteral("/var/cache/fontconfig")
         << QStringLiteral("/var/cache/fontconfig") << QStringLiteral("--proc")
         << QStringLiteral("/proc") << QStringLiteral("--dev") << QStringLiteral("/dev")
         << QStringLiteral("--size") << QString::number(512LL << 20) << QStringLiteral("--tmpfs")
         << QStringLiteral("/tmp") << QStringLiteral("--dir") << QStringLiteral("/tmp/home");
    for (const Bind& bind : binds)
        if (!bind.path.startsWith(QLatin1String("/usr/")))
            args << (bind.writable ? QStringLiteral("--bind") : QStringLiteral("--ro-bind"))
                 << bind.path << bind.path;
    args << QStringLiteral("--chdir") << directory << QStringLiteral("--clearenv");
    for (const QString& variable : env) {
        const qsizetype at = variable.indexOf(QLatin1Char('='));
        args << QStringLiteral("--setenv") << variable.left(at) << variable.mid(at + 1);
    }
    return args;
}

// Ends every process left of the slot's user and waits until the kernel has let enough of
// them go: the processes of a killed fork bomb count against the user's process limit
// until they are released, and the next pupil of the slot would find no room to start in.
// A few that are still on their way out do no harm.
void EndAllOf(uid_t user) {
    for (int round = 0; round < 500; ++round) {
        const pid_t killer = ::fork();
        if (killer == 0) {
            // As the user itself, -1 reaches exactly the user's own processes.
            if (::setuid(user) == 0) ::kill(-1, SIGKILL);
            ::_exit(0);
        }
        if (killer > 0) ::waitpid(killer, nullptr, 0);
        if (ProcessesOf(user) <= SlotProcesses / 4) return;
        ::usleep(10000);
    }
}

} // namespace

Sandbox Sandbox::Make(bool confined, int jobs, const std::vector<Bind>& binds) {
    Sandbox sandbox;
    sandbox.confined_ = confined;
    sandbox.root_ = ::geteuid() == 0;
    // RLIMIT_NPROC counts every process of the real user, and root is exempt: as root each
    // slot runs as a user of its own; as anyone else the jobs share the user's own limit,
    // which must leave room for what the user already runs.
    sandbox.baseline_ = sandbox.root_ ? 0 : ProcessesOf(::getuid());
    sandbox.processes_ = sandbox.root_ ? SlotProcesses : sandbox.baseline_ + SlotProcesses * jobs;
    for (int job = 0; sandbox.root_ && job < jobs; ++job) {
        sandbox.users_.push_back(
            ClaimUser(sandbox.users_.empty() ? FirstSlotUser : sandbox.users_.back() + 1));
        // What a grader that ended before its time may have left of this user.
        EndAllOf(sandbox.users_.back());
    }
    if (!confined) return sandbox;
    const QString bwrap = QStandardPaths::findExecutable(QStringLiteral("bwrap"));
    if (bwrap.isEmpty())
        throw SandboxError("bubblewrap (bwrap) is not installed: without it the pupils' "
                           "programs cannot be confined (Debian: apt install bubblewrap)");
    const Outcome probe =
        sandbox.Run({QStringLiteral("/bin/true")}, QStringLiteral("/"), binds, {}, Limits{}, 0);
    if (probe.end != Outcome::End::Exited || probe.code != 0)
        throw SandboxError("bubblewrap cannot make a sandbox here (it needs user namespaces: "
                           "sysctl kernel.unprivileged_userns_clone=1, or a container that "
                           "allows them; and the sandbox's user must reach the Kritzel-Werk "
                           "installation and the temporary folder): " +
                           QString::fromLocal8Bit(probe.output).trimmed().toStdString());
    return sandbox;
}

void Sandbox::HandOver(const QString& folder, int slot) const {
    if (!root_) return;
    const uid_t user = root_ ? users_.at(static_cast<std::size_t>(slot)) : ::getuid();
    namespace fs = std::filesystem;
    const fs::path top(folder.toStdString());
    if (::lchown(top.c_str(), user, user) != 0)
        throw SandboxError("cannot hand " + folder.toStdString() + " to the sandbox's user");
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(top))
        if (::lchown(entry.path().c_str(), user, user) != 0)
            throw SandboxError("cannot hand " + entry.path().string() + " to the sandbox's user");
}

Outcome Sandbox::Run(const QStringList& command, const QString& directory,
                     const std::vector<Bind>& binds, const QStringList& env, const Limits& limits,
                     int slot) const {
    QProcess process;
    QStringList environment = env;
    environment << QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin");
    if (confined_) {
        QStringList args = BwrapArguments(directory, binds, environment);
        args << QStringLiteral("--") << command;
        process.setProgram(QStandardPaths::findExecutable(QStringLiteral("bwrap")));
        process.setArguments(args);
    } else {
        // A shell in between reports a signal as 128 + its number, as bubblewrap does.
        process.setProgram(QStringLiteral("/bin/sh"));
        process.setArguments(QStringList{QStringLiteral("-c"), QStringLiteral("\"$@\"; exit $?"),
                                         QStringLiteral("sh")} +
                             command);
        process.setWorkingDirectory(directory);
        QProcessEnvironment vars;
        for (const QString& variable : environment) {
            const qsizetype at = variable.indexOf(QLatin1Char('='));
            vars.insert(variable.left(at), variable.mid(at + 1));
        }
        process.setProcessEnvironment(vars);
    }
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    const bool root = root_;
    const uid_t user = root_ ? users_.at(static_cast<std::size_t>(slot)) : ::getuid();
    const long processes = processes_;
    process.setChildProcessModifier([limits, root, user, processes] {
        // In the child, before bubblewrap starts: a group of its own to kill as a whole,
        // the limits, which every process inside inherits, and no more root.
        ::setpgid(0, 0);
        const auto limit = [](int resource, rlim_t value) {
            const rlimit bounds{value, value};
            if (::setrlimit(resource, &bounds) != 0) ::_exit(125);
        };
        limit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpuSeconds));
        limit(RLIMIT_AS, static_cast<rlim_t>(limits.addressBytes));
        limit(RLIMIT_FSIZE, static_cast<rlim_t>(limits.fileBytes));
        limit(RLIMIT_NPROC, static_cast<rlim_t>(processes));
        limit(RLIMIT_CORE, 0);
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0))
            ::_exit(125);
    });

    Outcome outcome;
    QElapsedTimer clock;
    clock.start();
    process.start();
    if (!process.waitForStarted(10000)) {
        outcome.output = process.errorString().toLocal8Bit();
        return outcome;
    }
    QByteArray tail;
    const auto take = [&] {
        const QByteArray bytes = process.readAll();
        const qsizetype room = OutputCap - OutputTail - outcome.output.size();
        if (room > 0) outcome.output += bytes.left(room);
        if (bytes.size() > room) {
            tail += bytes.mid(std::max<qsizetype>(room, 0));
            if (tail.size() > OutputTail) tail = tail.right(OutputTail);
        }
    };
    const qint64 deadline = static_cast<qint64>(limits.wallSeconds * 1000);
    bool timedOut = false;
    while (process.state() != QProcess::NotRunning) {
        const qint64 left = deadline - clock.elapsed();
        if (left <= 0) {
            timedOut = true;
            ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
            process.waitForFinished(5000);
            break;
        }
        process.waitForReadyRead(static_cast<int>(std::min<qint64>(left, 200)));
        take();
    }
    take();
    outcome.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (root_) {
        EndAllOf(user);
    } else if (timedOut) {
        // The user's own processes cannot be told from the sandbox's: wait (a little) for
        // the killed ones to be released before the slot's next build needs room.
        for (int round = 0; round < 300 && ProcessesOf(::getuid()) > baseline_ + SlotProcesses / 4;
             ++round)
            ::usleep(10000);
    }
    if (!tail.isEmpty()) outcome.output += QByteArray("\n[...]\n") + tail;
    if (timedOut) {
        outcome.end = Outcome::End::TimedOut;
    } else if (process.exitStatus() == QProcess::CrashExit) {
        outcome.end = Outcome::End::Signal;
        outcome.code = SIGKILL;
    } else if (process.exitCode() > 128 && process.exitCode() < 128 + 65) {
        outcome.end = Outcome::End::Signal;
        outcome.code = process.exitCode() - 128;
    } else {
        outcome.end = Outcome::End::Exited;
        outcome.code = process.exitCode();
    }
    return outcome;
}

} // namespace kritzel::vergleich
