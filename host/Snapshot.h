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

/// The folder where a program without a display also keeps its windows' drawings:
/// KRITZEL_DRAWINGS; empty when it is not set, and then nothing keeps them.
KRITZELWERK_EXPORT QString DrawingFolder();

/// Keeps the drawing of every shown turtle of every shown window in folder,
/// as `SaveToFile` saves it (no sprite),
/// drawn as the window's last repaint drew it:
/// NN.emf and NN.png, numbered 01, 02, ...
/// in the windows' order and each window's in the order of its controls,
/// and drawings.json, which says for each the window's caption,
/// the control's place on it (0 for the first), its size in pixels,
/// and how many pixels make a centimetre.
/// A file that cannot be written is reported on standard error,
/// and the others are still written.
/// Returns the exit status: 0, or 1 when a file could not be written.
KRITZELWERK_EXPORT int SaveShownDrawings(const QString& folder);

/// What a program without a display keeps as it ends:
/// its shown windows as pictures in PictureFolder() (SaveShownWindows), and,
/// where DrawingFolder() names a folder, their drawings there (SaveShownDrawings).
/// Returns the exit status: 0, or 1 when a file could not be written.
KRITZELWERK_EXPORT int KeepShownWindows();

} // namespace kritzel
