// A turtle's drawing as geometry in LE, read back from the metafile the control records, so
// that two drawings can be compared in real units whatever device drew them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kritzel::vergleich {

/// A point in LE (1 LE = 1 cm): origin in the picture's middle, x to the right, y up.
struct Point {
    double x = 0, y = 0;
};

/// A colour as the turtle's TColor keeps it: red in the lowest byte, then green, then blue
/// (0x0000FF is red).
using Colour = std::uint32_t;

/// A straight stroke from a to b (Forwd, SetPosition with the pen down, an arc's pieces).
/// width: the pen's width in LE; 0 is the thin pen, one pixel wide at any scale.
struct Line {
    Point a, b;
    Colour colour = 0;
    double width = 0;
};

/// A circle (DrawCircle, FillCircle): centre and radius in LE. colour is the outline's
/// colour; a filled circle is also painted inside with fill.
struct Circle {
    Point centre;
    double radius = 0;
    Colour colour = 0;
    bool filled = false;
    Colour fill = 0;
};

/// A filled shape (FillRectangle, a fill, a rectangle filled without an outline): its corners
/// in order, the first not repeated at the end. When outlined, the outline is drawn in colour.
struct Area {
    std::vector<Point> outline;
    Colour fill = 0;
    Colour colour = 0;
    bool outlined = false;
};

/// A text (DrawStringPos, DrawStringCent): at is its top-left corner in LE, text is UTF-8,
/// height the character height in LE.
struct Text {
    Point at;
    std::string text;
    Colour colour = 0;
    double height = 0;
};

/// One control's drawing. Each list keeps the order in which it was drawn.
struct Drawing {
    double width = 0, height = 0; ///< the control's size in LE
    double pixelsPerCm = 0;       ///< the recording's scale: whole device pixels per LE
    /// The colour the whole picture was last filled with (SetBackColor, Clear); what was drawn
    /// before that fill is hidden by it and is not in the lists. None when it was never filled.
    std::optional<Colour> background;
    std::vector<Line> lines;
    std::vector<Circle> circles;
    std::vector<Area> areas;
    std::vector<Text> texts;
};

/// The drawing of an enhanced metafile as the control records it (SaveToFile to .emf, the
/// clipboard, the recorded devices). Device pixels become LE as the turtle maps them, with
/// the picture's size and the header's scale. Bitmaps in the file (a stamped sprite) are
/// not geometry and are left out. Throws std::runtime_error, saying why, for bytes that are
/// not such a metafile; hostile bytes are never read beyond their end.
Drawing ReadDrawing(std::span<const std::uint8_t> emf);

} // namespace kritzel::vergleich
