// Where the pupils' programs and their builds run: in a bubblewrap sandbox that sees a
// read-only system, its own work folder and nothing of the solution, the other pupils or
// the report; with no network, a private /tmp and home, and limits on CPU time, memory,
// file size and processes, and a wall clock that ends the whole sandbox.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <sys/types.h>
#include <vector>

namespace kritzel::vergleich {

/// No sandbox can be made here; the message says why.
struct SandboxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// What one program in the sandbox may use.
struct Limits {
    double wallSeconds = 10;            ///< then the sandbox is killed
    long cpuSeconds = 10;               ///< CPU time of each process
    long long addressBytes = 4LL << 30; ///< address space of each process
    long long fileBytes = 64LL << 20;   ///< the largest file a process may write
};

/// A folder the sandbox sees, at the same path as outside.
struct Bind {
    QString path;
    bool writable = false;
};

/// How a program in the sandbox ended.
struct Outcome {
    enum class End { Exited, Signal, TimedOut, NotStarted };
    End end = End::NotStarted;
    int code = 0;       ///< the exit status, or the signal's number
    QByteArray output;  ///< standard output and error together, at most 64 KiB of it
    double seconds = 0; ///< wall-clock time
};

/// Runs commands confined (bubblewrap), or as they are where the teacher said so.
class Sandbox {
public:
    /// Checks that a sandbox can be made (bubblewrap is there and starts: it needs user
    /// namespaces). Throws SandboxError saying why not, unless unconfined is asked for.
    /// `jobs` is how many run at once: each gets a process limit of its own. `binds` are
    /// the folders every sandbox will see (the installation, the run's folder): a sandbox's
    /// user that cannot reach them is found here, not in the first pupil's build.
    static Sandbox Make(bool confined, int jobs, const std::vector<Bind>& binds);

    bool Confined() const { return confined_; }

    /// Gives the folder (and all in it) to the user the slot's programs run as, so that
    /// only they and the grader can reach it.
    void HandOver(const QString& folder, int slot) const;

    /// Runs the command in `directory` with only `env` set (and PATH), seeing the system
    /// read-only and `binds`. Output beyond 64 KiB is dropped.
    Outcome Run(const QStringList& command, const QString& directory,
                const std::vector<Bind>& binds, const QStringList& env, const Limits& limits,
                int slot) const;

private:
    bool confined_ = true;
    bool root_ = false;
    long processes_ = 0;       ///< RLIMIT_NPROC for the sandbox's user
    std::vector<uid_t> users_; ///< as root: each slot's own user
    long baseline_ = 0;        ///< the processes the user (not root) had before the first sandbox
};

} // namespace kritzel::vergleich
