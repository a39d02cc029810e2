// Saving a file whole where the system is not a Unix: Qt's QSaveFile writes a temporary
// beside the file and renames it into place on commit.
#include "SafeFile.h"

#include "../Strings.h"

#include <QSaveFile>

namespace kritzel {

std::string ReplaceFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes) {
    QSaveFile file(ToUnicode(fileName));
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
