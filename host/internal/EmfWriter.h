// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// Records the drawing operations of a GDI-like canvas as an Enhanced Metafile (EMF) in memory.
//
// Coordinates are device pixels of the picture (MM_TEXT: origin top left, y down). Colours are
// TColor values (byte 0 red, byte 1 green, byte 2 blue, as a COLORREF); byte 3 is ignored, so
// system colours must be resolved by the caller. The output is little-endian on every host.
#pragma once

#include "../Types.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kritzel {

class EmfWriter {
public:
    // widthPx/heightPx: picture size in device pixels; ppi: pixels per inch of the screen the
    // picture was made for (e.g. 96). The drawing's scale is whole pixels per centimetre (38 at
    // 96 ppi), and the header says that scale, so that readers show 1 LE as 1 cm. Sizes below 1
    // are taken as 1, a ppi below 1 as 96.
    EmfWriter(int widthPx, int heightPx, int ppi);

    // One pen, brush and font stay selected; each Use* call emits records only when the value
    // differs from the selected one, so callers may call them before every drawing operation.
    // A width of 0 is the cosmetic pen, one pixel wide at any playback scale, and is recorded
    // as 0; a negative width is taken as 0.
    void UsePen(std::int32_t color, int width);
    // A clear brush selects the stock hollow brush (BS_NULL); its colour does not matter.
    void UseBrush(std::int32_t color, bool clear);
    // heightPx is the character height (LOGFONT lfHeight = -heightPx); the face name is cut to
    // 31 UTF-16 units. The colour is the text colour (SetTextColor), set when it changes.
    void UseFont(const std::u16string& face, int heightPx, std::int32_t color);
    // Background mode for text; bkColor is the text background while not transparent.
    void SetBkModeTransparent(bool transparent, std::int32_t bkColor = 0xFFFFFF);

    // A move is recorded only before the line that starts there, so connected lines cost
    // 16 bytes each. A line that follows any other record (an object selection, a shape, a
    // text) gets a move of its own: GDI keeps the position across them, but readers that
    // build paths start a new path there and drop a line without a start point.
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    // The box is right/bottom exclusive, as GDI's Ellipse; drawn with the current pen and brush.
    void Ellipse(int l, int t, int r, int b);
    // Fills [l, r) x [t, b) with a solid colour and no outline. Recorded as GDI records PatBlt:
    // the colour's brush is selected (it stays the current brush) and an EMR_BITBLT with PATCOPY
    // and no source bitmap covers exactly the given pixels.
    void FillRect(int l, int t, int r, int b, std::int32_t color);
    // xy holds count points as x0, y0, x1, y1, ...; fewer than 2 points draw nothing.
    void Polygon(const std::int32_t* xy, int count);
    // Top-left aligned text in the current font. widthPx is the drawn width of the whole text;
    // advances, when it has one entry per UTF-16 unit, gives the advance of each unit (pass the
    // measured ones for proportional fonts, since readers place the glyphs by them); otherwise
    // widthPx is spread evenly over the characters. Empty text records nothing.
    void TextOut(int x, int y, const std::u16string& text, int widthPx,
                 std::span<const std::int32_t> advances = {});
    // Copies a w x h block of 32-bit pixels (0xAARRGGBB, i.e. BGRA bytes as QImage::Format_RGB32);
    // stride is the row pitch in pixels. Recorded as EMR_STRETCHDIBITS with SRCCOPY and a
    // bottom-up 32-bpp BI_RGB DIB; byte 3 is written as 0xFF so readers that take it as alpha
    // still draw the block opaque.
    void BitBlt(int dx, int dy, int w, int h, const std::uint32_t* pixels, int stride);

    // The largest file the format can describe: its header counts bytes in 32 bits.
    static constexpr std::size_t MaxBytes = 0xFFFFFFFFu;
    // A record that would take the file beyond its limit is refused with EKritzelwerk and
    // nothing of it is written; the file keeps room for its end record, so that Finish
    // completes what fitted. Tests lower the limit (at least 64 KiB).
    void SetLimit(std::size_t bytes) { limit_ = std::max<std::size_t>(bytes, 64 * 1024); }
    // Whether a record was refused at the limit: the picture is incomplete.
    bool Full() const { return full_; }

    struct Free {
        void operator()(std::uint8_t* p) const noexcept { std::free(p); }
    };
    struct Bytes {
        std::unique_ptr<std::uint8_t, Free> data;
        std::size_t size = 0;
    };
    // Appends EMR_EOF, completes the header and hands over the bytes without copying them.
    // The writer is spent afterwards: any further call throws std::logic_error.
    Bytes FinishBytes();
    // The same, as a vector.
    std::vector<std::uint8_t> Finish();
    // Records written so far, the header included (and EMR_EOF after Finish).
    std::size_t RecordCount() const { return records_; }

private:
    // Writes one record field by field, in the order of its layout (EmfWriter.cpp).
    class Record;

    // What a shape covers before it is cut to the picture; wide enough for any pen on
    // any coordinate.
    struct Extent {
        std::int64_t l, t, r, b; // inclusive
    };

    std::uint8_t* Reserve(std::size_t bytes);
    void Grow(std::size_t bytes);
    void CheckOpen() const;
    void WriteHeader(Record& header) const;
    void AddBounds(const Extent& e);
    void AddBounds(const TBounds& box) {
        AddBounds(Extent{box.xMin, box.yMin, box.xMax, box.yMax});
    }
    void WriteSimple(std::uint32_t type, std::uint32_t value);
    std::uint32_t AllocHandle();
    void SelectNew(std::uint32_t& selected, std::uint32_t handle);
    void SelectStock(std::uint32_t& selected, std::uint32_t stock);

    // Grown with realloc, which the system can do by remapping pages instead of copying
    // them: near the 4 GiB limit the memory stays near the file's size.
    std::unique_ptr<std::uint8_t, Free> buf_;
    std::size_t cap_ = 0; // len_ bytes of cap_ are used
    std::size_t len_ = 0;
    std::size_t limit_ = MaxBytes;
    bool full_ = false;
    bool closing_ = false;
    std::size_t records_ = 0;
    bool finished_ = false;

    std::int32_t width_, height_;
    std::int32_t cm_; // pixels per centimetre of the reference device
    TRect bounds_;    // the pixels drawn on, cut to the picture; empty until something lands

    // Where the next line starts, and the current position the records so far leave
    // (a device context starts at the origin).
    std::int32_t posX_ = 0, posY_ = 0;
    std::int32_t streamX_ = 0, streamY_ = 0;
    // The last record written is a move or a line, so a further line continues its path.
    bool inPath_ = false;

    std::uint32_t usedHandles_ = 1; // bit i: object table slot i in use; slot 0 is reserved
    std::uint32_t maxHandle_ = 0;
    std::uint32_t pen_ = 0, brush_ = 0, font_ = 0; // selected slot, 0 = none or stock

    bool penSet_ = false;
    std::uint32_t penColor_ = 0;
    std::int32_t penWidth_ = 1;
    bool brushSet_ = false, brushClear_ = false;
    std::uint32_t brushColor_ = 0;
    bool fontSet_ = false;
    std::u16string fontFace_;
    std::int32_t fontHeight_ = 0;
    bool textColorSet_ = false;
    std::uint32_t textColor_ = 0;
    bool bkModeSet_ = false, bkTransparent_ = false;
    bool bkColorSet_ = false;
    std::uint32_t bkColor_ = 0;
    bool textAlignSet_ = false;
};

} // namespace kritzel
