// Saving a file whole on Unix (Linux, the BSDs, macOS): a temporary beside the file is
// written, flushed to the disk and renamed over it.
#include "SafeFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kritzel {

namespace {

struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
};

// What a temporary's name adds to the file's: ".", ".kritzelwerk-", the process's number
// (at most ten digits) and ".tmp".
constexpr std::size_t TemporaryRoom = 1 + 13 + 10 + 4;

// The start of the writer's own temporaries for base: ".<base>.kritzelwerk-", with base cut
// short, at the start of a character, where the whole would be longer than the longest
// name the folder takes.
std::string TemporaryPrefix(int dir, const std::string& base) {
    std::string kept = base;
    const long longest = ::fpathconf(dir, _PC_NAME_MAX);
    if (longest > 0 && kept.size() + TemporaryRoom > std::size_t(longest)) {
        std::size_t n =
            std::size_t(longest) > TemporaryRoom ? std::size_t(longest) - TemporaryRoom : 0;
        while (n > 0 && (static_cast<unsigned char>(kept[n]) & 0xC0) == 0x80)
            --n;
        kept.resize(n);
    }
    return "." + kept + ".kritzelwerk-";
}

// Removes the temporaries of this writer with the prefix in dir whose process has ended:
// a save that was killed between naming its temporary and renaming it left them.
void RemoveStaleTemporaries(int dir, const std::string& prefix) {
    const int fd = ::dup(dir);
    if (fd < 0) return;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    const std::string suffix = ".tmp";
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() <= prefix.size() + suffix.size() || n.compare(0, prefix.size(), prefix) != 0 ||
            n.compare(n.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits =
            n.substr(prefix.size(), n.size() - prefix.size() - suffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 10)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stoll(digits));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) ::unlinkat(dir, n.c_str(), 0);
    }
    ::closedir(d);
}

// Everything written and on the disk, or the reason it was not (a full disk, a file too
// large, a failed flush).
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

} // namespace

std::string ReplaceFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes) {
    // The folder and the name in it, split where the system splits them: "pfad/../bild"
    // lies in "pfad/..", which the system finds only where "pfad" exists.
    const std::size_t slash = fileName.rfind('/');
    const std::string folder = slash == TString::npos ? "." : fileName.substr(0, slash + 1);
    std::string base = slash == TString::npos ? fileName : fileName.substr(slash + 1);
    if (base.empty()) base = "."; // "bild/" names a folder
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return std::strerror(errno);
    const Closer closeDir{dir};

    // The rename would put the new file in the place of anything at the name, and it
    // needs only the folder's permission: only a regular file the user may write is
    // replaced, as cp would write it.
    struct stat old {};
    const bool replaces = ::fstatat(dir, base.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!replaces && errno != ENOENT) return std::strerror(errno);
    if (replaces) {
        if (S_ISLNK(old.st_mode)) return "it is a symbolic link";
        if (S_ISDIR(old.st_mode)) return "it is a folder";
        if (!S_ISREG(old.st_mode)) return "it is a device, a pipe or a socket, not a regular file";
        if (::faccessat(dir, base.c_str(), W_OK, AT_EACCESS) != 0) return std::strerror(errno);
    }

    const std::string prefix = TemporaryPrefix(dir, base);
    RemoveStaleTemporaries(dir, prefix);
    const std::string temporary = prefix + std::to_string(::getpid()) + ".tmp";
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
        if (fd < 0) return std::strerror(errno);
        named = true;
    }
    if (replaces) ::fchmod(fd, old.st_mode & 07777);
    int error = 0;
    bool ok = WriteAll(fd, bytes, error);
    if (ok && !named) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        ::unlinkat(dir, temporary.c_str(), 0);
        ok = ::linkat(AT_FDCWD, self.c_str(), dir, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (!ok) error = errno;
        named = ok;
    }
    // Some file systems (NFS) report a failed write only when the file is closed.
    if (::close(fd) != 0 && ok && errno != EINTR) {
        ok = false;
        error = errno;
    }
    if (ok && ::renameat(dir, temporary.c_str(), dir, base.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        if (named) ::unlinkat(dir, temporary.c_str(), 0);
        return std::strerror(error);
    }
    return {};
}

} // namespace kritzel
