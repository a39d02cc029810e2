// The system clipboard.
#pragma once

#include "Export.h"

namespace kritzel {

class TMetafile;

/// The system clipboard; reached through `Clipboard()`.
class KRITZELWERK_EXPORT TClipboard {
public:
    /// Puts the metafile on the clipboard as image/emf and image/x-emf,
    /// and under LibreOffice's own name for it,
    /// with a bitmap of the same picture for programs that paste images.
    /// Raises an error when the clipboard cannot take it.
    void Assign(const TMetafile& metafile);
};

/// The application's clipboard.
KRITZELWERK_EXPORT TClipboard& Clipboard();

} // namespace kritzel
