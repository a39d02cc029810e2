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
// name is refused, and so is a name that holds a NUL or is not UTF-8. The temporary
// has no name while it is written; temporaries of this writer that a process killed
// during its save left behind are removed at the next save beside them. Raises
// EKritzelwerk "cannot save the <what> "<name>": <why>".
void SaveFileWhole(const TString& fileName, std::span<const std::uint8_t> bytes,
                   const std::string& what);

} // namespace kritzel
