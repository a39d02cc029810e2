#include "SafeFile.h"

#include "../Exceptions.h"
#include "../Strings.h"

#include <QString>

namespace kritzel {

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
    const std::string why = ReplaceFileWhole(fileName, bytes);
    if (!why.empty()) fail(why);
}

} // namespace kritzel
