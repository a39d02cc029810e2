// Saving a file whole where the system is not a Unix: Qt's QSaveFile writes a temporary
// beside the file and renames it into place on commit.
#include "SafeFile.h"

#include "../Strings.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kritzel {

std::string ReplaceFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes) {
    const QString name = ToUnicode(fileName);
    // The rename would put the new file in the place of anything at the name: only a
    // regular file the user may write is replaced.
    const QFileInfo existing(name);
    if (existing.isSymLink()) return "it is a symbolic link";
    if (existing.isDir()) return "it is a folder";
    if (existing.exists() && !existing.isFile())
        return "it is a device, a pipe or a socket, not a regular file";
    if (existing.exists() && !existing.isWritable()) return "Permission denied";
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FromUnicode(file.errorString());
    const char* p = reinterpret_cast<const char*>(bytes.data());
    for (qint64 left = qint64(bytes.size()); left > 0;) {
        const qint64 n = file.write(p, left);
        if (n <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            return FromUnicode(why);
        }
        p += n;
        left -= n;
    }
    if (!file.commit()) return FromUnicode(file.errorString());
    return {};
}

} // namespace kritzel
