// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// A drawing saved in one step as a file, in the format the file name's ending chooses
// from the table of formats (PictureFormats.h lists them for programs).
#pragma once

#include "../Canvas.h"
#include "../Types.h"

#include <memory>

class QWidget;

namespace kritzel {

class PictureFile {
public:
    // A surface laid out as an image of width x height pixels at the screen's resolution,
    // of which pixelsPerLE make a centimetre: vector files come out at true size. Raises
    // EKritzelwerk naming the file, and the endings it knows, for a name without one of
    // them.
    PictureFile(const TString& fileName, int width, int height, int pixelsPerLE,
                const QWidget* paletteSource);
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;
    ~PictureFile();

    TCanvas* Canvas();
    // Completes the picture and writes it under the name given, through a temporary file
    // and a rename: whole or not at all, an older file intact on failure. Raises
    // EKritzelwerk naming the file.
    void Save();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kritzel
