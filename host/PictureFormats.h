// The formats a drawing is saved in, chosen by the file name's ending, as a program's file
// dialog offers them.
#pragma once

#include "Export.h"
#include "Types.h"

#include <vector>

namespace kritzel {

/// A file format that `TTurtle::SaveToFile` writes.
struct TPictureFormat {
    /// What a file dialog calls it, in English: "PNG image".
    TString Name;
    /// Its endings, lower case and without the dot, the usual one first:
    /// `{"jpg", "jpeg"}`.
    std::vector<TString> Endings;
};

/// The formats `TTurtle::SaveToFile` writes on this machine,
/// in the order its error text names them.
/// A raster format whose Qt image plugin is missing is left out,
/// and `SaveToFile` then refuses its ending (JPEG is a plugin of Qt's).
KRITZELWERK_EXPORT std::vector<TPictureFormat> PictureFormats();

} // namespace kritzel
