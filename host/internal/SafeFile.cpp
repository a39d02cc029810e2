#include "SafeFile.h"

#include "../Exceptions.h"
#include "../Strings.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kritzel {

namespace {

#if defined(Q_OS_UNIX)
// The writer's own temporaries: ".<name>.kritzelwerk-<pid>.tmp" beside the file.
std::string TemporaryPrefix(const std::string& base) {
    return "." + base + ".kritzelwerk-";
}

// Removes the temporaries of this writer for base in dir whose process has ended: a
// save that was killed between naming its temporary and renaming it left them.
void RemoveStaleTemporaries(int dir, const std::string& base) {
    const int fd = ::dup(dir);
    if (fd < 0) return;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    const std::string prefix = TemporaryPrefix(base);
    const std::string suffix = ".tmp";
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() <= prefix.size() + suffix.size() || n.compare(0, prefix.size(), prefix) != 0 ||
            n.compare(n.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits =
            n.substr(prefix.size(), n.size() - prefix.size() - suffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) ::unlinkat(dir, n.c_str(), 0);
    }
    ::closedir(d);
}

// Everything written, or the reason it was not (a full disk, a file too large).
bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int& error) {
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        p += n;
        left -= std::size_t(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        error = errno;
        return false;
    }
    return true;
}
#endif

} // namespace

void SaveFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes,
                   const std::string& what) {
    const QString name = ToUnicode(fileName);
    // The name as it can be shown: without a NUL, and valid UTF-8.
    const std::string shown = FromUnicode(QString(name).replace(QChar(0), QStringLiteral("\\0")));
    auto fail = [&](const std::string& why) {
        throw EKritzelwerk("cannot save the " + what + " \"" + shown + "\": " + why);
    };
    if (name.isEmpty()) fail("no file name");
    // A NUL would end the name early, and a name that is not UTF-8 would be written as
    // another one: both would write some other file.
    if (fileName.find('\0') != TString::npos) fail("the name holds a NUL character");
    if (FromUnicode(name) != fileName) fail("the name is not valid UTF-8 text");
    // The save renames a new file into place: only a regular file may be replaced so.
    const QFileInfo existing(name);
    if (existing.isSymLink()) fail("it is a symbolic link");
    if (existing.isDir()) fail("it is a folder");
    if (existing.exists() && !existing.isFile())
        fail("it is a device, a pipe or a socket, not a regular file");

#if defined(Q_OS_UNIX)
    const std::string folder = QFile::encodeName(existing.absolutePath()).toStdString();
    const std::string base = QFile::encodeName(existing.fileName()).toStdString();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) fail(std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closeDir{dir};
    RemoveStaleTemporaries(dir, base);
    const std::string temporary = TemporaryPrefix(base) + std::to_string(::getpid()) + ".tmp";
    // Unnamed while it is written, where the file system allows: a process killed then
    // leaves nothing behind. It gets its name only for the rename.
    bool named = false;
    int fd = -1;
#if defined(O_TMPFILE)
    fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        ::unlinkat(dir, temporary.c_str(), 0);
        fd = ::openat(dir, temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) fail(std::strerror(errno));
        named = true;
    }
    struct stat old {};
    if (::fstatat(dir, base.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    int error = 0;
    bool ok = WriteAll(fd, bytes, error);
    if (ok && !named) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        ::unlinkat(dir, temporary.c_str(), 0);
        ok = ::linkat(AT_FDCWD, self.c_str(), dir, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (!ok) error = errno;
        named = ok;
    }
    ::close(fd);
    if (ok && ::renameat(dir, temporary.c_str(), dir, base.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        if (named) ::unlinkat(dir, temporary.c_str(), 0);
        fail(std::strerror(error));
    }
#else
    // QSaveFile writes a temporary file beside the target and renames it into place on
    // commit, so a failure leaves an older file of that name as it was.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(FromUnicode(file.errorString()));
    const char* p = reinterpret_cast<const char*>(bytes.data());
    for (qint64 left = qint64(bytes.size()); left > 0;) {
        const qint64 n = file.write(p, left);
        if (n <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            fail(FromUnicode(why));
        }
        p += n;
        left -= n;
    }
    if (!file.commit()) fail(FromUnicode(file.errorString()));
#endif
}

} // namespace kritzel
