// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// Writing a whole file under the name given, or not at all (internal).
#pragma once

#include "../Strings.h"

#include <cstdint>
#include <span>
#include <string>

namespace kritzel {

// Writes bytes to the file fileName through a temporary file beside it and a rename, so
// that a failure leaves an older file of that name as it was. Only a regular file (or
// nothing) is replaced: a folder, a symbolic link, a device, a pipe or a socket at the
// name is refused, and so is a name that holds a NUL or is not UTF-8. Every write error
// surfaces: a full disk, a file too large, the final flush and close, the rename. Raises
// EKritzelwerk "cannot save the <what> "<name>": <why>".
//
// What each platform adds (CMake builds one of the two files):
// - Unix, macOS included (SafeFilePosix.cpp): the name is resolved as the system resolves
//   it, never shortened as text, so "pfad/../bild" needs the folder "pfad". A file the
//   user may not write is refused with "Permission denied" and kept, as cp would; root
//   may replace it, as cp may. The temporary has no name while it is written where the
//   system allows (Linux), and otherwise is ".<name>.kritzelwerk-<pid>.tmp", cut short to
//   fit the longest name the folder takes; such temporaries of a killed save are removed
//   at the next save beside them. The bytes reach the disk before the rename, and the new
//   file keeps the permissions of the one it replaces.
// - Elsewhere (SafeFileQt.cpp): Qt's QSaveFile, which names its temporary after the file,
//   so a name within a few characters of the system's limit is refused, and a killed save
//   may leave that temporary behind. The name is resolved as Qt and the system resolve
//   it. A file the user may not write is refused with "Permission denied".
void SaveFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes,
                   const std::string& what);

// The platform's part of SaveFileWhole, given a name already checked: replaces the
// regular file at fileName, or nothing, by bytes and returns an empty text, or returns
// why it could not, in the system's words.
std::string ReplaceFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes);

} // namespace kritzel
