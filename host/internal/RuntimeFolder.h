// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
#pragma once

// The private runtime folder Qt wants before the application starts: one file per kind of
// system, chosen by CMake (RuntimeFolderPosix.cpp on Unix, macOS included;
// RuntimeFolderQt.cpp elsewhere).

namespace kritzel {

// Qt warns on every start when no runtime folder is named: on Unix the one it would choose
// by itself, below the temporary folder, is named (XDG_RUNTIME_DIR) unless one is set;
// elsewhere Qt needs none and nothing happens.
void NameRuntimeFolder();

} // namespace kritzel
