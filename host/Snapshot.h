// Pictures kept as PNG files where no display shows them.
#pragma once

#include "Export.h"

#include <QImage>
#include <QString>

namespace kritzel {

/// Writes picture to path as PNG, whole or not at all,
/// so that an interrupted run or a full disk leaves no half-written file,
/// and an older one is kept.
/// Raises an error naming the file and the system's reason.
KRITZELWERK_EXPORT void SavePicture(const QImage& picture, const QString& path);

/// The folder for such pictures: KRITZEL_OUTPUT_DIR, else the current folder.
KRITZELWERK_EXPORT QString PictureFolder();

/// Keeps every shown top-level window as a picture in folder,
/// one file per window named after its caption,
/// and says on standard output where each went.
/// A window that cannot be written is reported on standard error,
/// and the others are still kept.
/// Returns the exit status: 0, or 1 when a window could not be written.
KRITZELWERK_EXPORT int SaveShownWindows(const QString& folder);

} // namespace kritzel
