#include "EmfWriter.h"

#include "../Exceptions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace kritzel {

namespace {

// Record types and values used here (names as in wingdi.h).
constexpr std::uint32_t EMR_HEADER = 1;
constexpr std::uint32_t EMR_POLYGON = 3;
constexpr std::uint32_t EMR_EOF = 14;
constexpr std::uint32_t EMR_SETBKMODE = 18;
constexpr std::uint32_t EMR_SETTEXTALIGN = 22;
constexpr std::uint32_t EMR_SETTEXTCOLOR = 24;
constexpr std::uint32_t EMR_SETBKCOLOR = 25;
constexpr std::uint32_t EMR_MOVETOEX = 27;
constexpr std::uint32_t EMR_SELECTOBJECT = 37;
constexpr std::uint32_t EMR_CREATEPEN = 38;
constexpr std::uint32_t EMR_CREATEBRUSHINDIRECT = 39;
constexpr std::uint32_t EMR_DELETEOBJECT = 40;
constexpr std::uint32_t EMR_ELLIPSE = 42;
constexpr std::uint32_t EMR_LINETO = 54;
constexpr std::uint32_t EMR_BITBLT = 76;
constexpr std::uint32_t EMR_STRETCHDIBITS = 81;
constexpr std::uint32_t EMR_EXTCREATEFONTINDIRECTW = 82;
constexpr std::uint32_t EMR_EXTTEXTOUTW = 84;
constexpr std::uint32_t EMR_POLYGON16 = 86;

constexpr std::uint32_t ENHMETA_SIGNATURE = 0x464D4520;
constexpr std::uint32_t ENHMETA_VERSION = 0x10000;
constexpr std::uint32_t PS_SOLID = 0;
constexpr std::uint32_t BS_SOLID = 0;
constexpr std::uint32_t NULL_BRUSH = 0x80000005; // stock object
constexpr std::uint32_t TRANSPARENT = 1;
constexpr std::uint32_t OPAQUE = 2;
constexpr std::uint32_t TA_TOP_LEFT = 0; // TA_TOP | TA_LEFT | TA_NOUPDATECP
constexpr std::uint32_t GM_COMPATIBLE = 1;
constexpr std::uint32_t SRCCOPY = 0x00CC0020;
constexpr std::uint32_t PATCOPY = 0x00F00021;
constexpr std::uint32_t DIB_RGB_COLORS = 0;
constexpr std::int32_t FW_NORMAL = 400;
constexpr std::uint8_t DEFAULT_CHARSET = 1;

constexpr std::size_t HeaderSize = 108; // with both header extensions (szlMicrometers)
constexpr std::size_t FaceUnits = 32;   // LOGFONTW lfFaceName, terminator included

inline void Put32(std::uint8_t* p, std::uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 4);
    } else {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }
}

inline std::uint32_t Rgb(std::int32_t color) {
    return static_cast<std::uint32_t>(color) & 0xFFFFFFu;
}

inline std::int32_t Round(std::int64_t num, std::int64_t den) {
    return SaturateToInt32((2 * num + den) / (2 * den));
}

// The drawing's whole pixels per centimetre at ppi, rounded as the turtle rounds its scale
// (100 * ppi / 254 is never halfway between two whole numbers).
inline std::int32_t PixelsPerCentimetre(int ppi) {
    return std::max<std::int32_t>(Round(std::int64_t{ppi} * 100, 254), 1);
}

inline bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

// A record is written front to back, each field after the one before, little-endian on every
// host: a record reads as its field list. The writer reserves the record's room up front, so a
// field costs one store; End fills in nSize with what was written and adds the record to the
// file.
class EmfWriter::Record {
public:
    // A new record at the end of the file, of at most room bytes.
    Record(EmfWriter& w, std::uint32_t type, std::size_t room) : writer_(&w), room_(room) {
        start_ = p_ = w.Reserve(room);
        U32(type).U32(0); // iType, nSize
    }
    // The same record written again over itself, for the header once the counts are known.
    Record(std::uint8_t* at, std::uint32_t type) : start_(at), p_(at) { U32(type).U32(0); }

    Record& U32(std::uint32_t v) {
        Put32(p_, v);
        p_ += 4;
        return *this;
    }
    Record& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
    Record& F32(float v) { return U32(std::bit_cast<std::uint32_t>(v)); }
    Record& U16(std::uint16_t v) {
        p_[0] = static_cast<std::uint8_t>(v);
        p_[1] = static_cast<std::uint8_t>(v >> 8);
        p_ += 2;
        return *this;
    }
    Record& I16(std::int16_t v) { return U16(static_cast<std::uint16_t>(v)); }
    Record& U8(std::uint8_t v) {
        *p_++ = v;
        return *this;
    }
    // RECTL, both corners inside.
    Record& Rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
        return I32(l).I32(t).I32(r).I32(b);
    }
    Record& Rect(const TBounds& b) { return Rect(b.xMin, b.yMin, b.xMax, b.yMax); }
    // POINTL and SIZEL.
    Record& Point(std::int32_t x, std::int32_t y) { return I32(x).I32(y); }
    Record& Size(std::int32_t cx, std::int32_t cy) { return I32(cx).I32(cy); }
    Record& Zeros(std::size_t bytes) {
        std::memset(p_, 0, bytes);
        p_ += bytes;
        return *this;
    }
    Record& Utf16(const char16_t* units, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            U16(static_cast<std::uint16_t>(units[i]));
        return *this;
    }
    // Zeros up to the next multiple of 4 bytes from the record's start.
    Record& Align4() { return Zeros(static_cast<std::size_t>(-(p_ - start_)) & 3); }

    void End() {
        const auto size = static_cast<std::size_t>(p_ - start_);
        Put32(start_ + 4, static_cast<std::uint32_t>(size));
        if (!writer_) return;
        if (size > room_) throw std::logic_error("EMF record overran its room");
        writer_->len_ += size;
    }

private:
    EmfWriter* writer_ = nullptr;
    std::size_t room_ = 0;
    std::uint8_t* start_;
    std::uint8_t* p_;
};

EmfWriter::EmfWriter(int widthPx, int heightPx, int ppi)
    : width_(std::max(widthPx, 1)), height_(std::max(heightPx, 1)),
      cm_(PixelsPerCentimetre(ppi < 1 ? 96 : ppi)) {
    Grow(64 * 1024);
    // Written now with the counts so far, and again by Finish with the final ones.
    Record header(*this, EMR_HEADER, HeaderSize);
    WriteHeader(header);
}

// ENHMETAHEADER with both extensions (up to szlMicrometers), no description and no palette.
void EmfWriter::WriteHeader(Record& header) const {
    // Readers scale device pixels by szlMillimeters / szlDevice, and szlMillimeters is whole
    // millimetres. A reference device of whole centimetres (cm_ pixels = 10 mm) covering the
    // picture keeps that ratio exactly what the drawing used.
    const std::int64_t kx = (width_ + cm_ - 1) / cm_;
    const std::int64_t ky = (height_ + cm_ - 1) / cm_;
    // An empty picture has the empty bounds GDI writes for it, (0, 0, -1, -1).
    header
        .Rect(bounds_.Left, bounds_.Top, bounds_.Right - 1, bounds_.Bottom - 1) // rclBounds
        .Rect(0, 0, Round(std::int64_t{width_} * 1000, cm_) - 1,
              Round(std::int64_t{height_} * 1000, cm_) - 1) // rclFrame, 0.01 mm
        .U32(ENHMETA_SIGNATURE)
        .U32(ENHMETA_VERSION)
        .U32(static_cast<std::uint32_t>(len_))                          // nBytes
        .U32(static_cast<std::uint32_t>(records_))                      // nRecords
        .U16(static_cast<std::uint16_t>(maxHandle_ + 1))                // nHandles, slot 0 included
        .U16(0)                                                         // sReserved
        .U32(0)                                                         // nDescription
        .U32(0)                                                         // offDescription
        .U32(0)                                                         // nPalEntries
        .Size(SaturateToInt32(kx * cm_), SaturateToInt32(ky * cm_))     // szlDevice
        .Size(SaturateToInt32(kx * 10), SaturateToInt32(ky * 10))       // szlMillimeters
        .U32(0)                                                         // cbPixelFormat
        .U32(0)                                                         // offPixelFormat
        .U32(0)                                                         // bOpenGL
        .Size(SaturateToInt32(kx * 10000), SaturateToInt32(ky * 10000)) // szlMicrometers
        .End();
}

// The end record's size: until the writer finishes, room for it is always kept, so that
// finishing never needs memory and never passes the limit.
constexpr std::size_t EofBytes = 20;

void EmfWriter::Grow(std::size_t bytes) {
    const std::size_t keep = closing_ ? 0 : EofBytes;
    if (bytes > limit_ || len_ + keep > limit_ - bytes) {
        full_ = true;
        throw EKritzelwerk("the metafile has reached the 4 GiB its format allows; this "
                           "drawing command was left out of it");
    }
    const std::size_t need = len_ + bytes + keep;
    const std::size_t cap = std::min(std::max(need, cap_ * 2), limit_);
    auto* grown = static_cast<std::uint8_t*>(std::realloc(buf_.get(), cap));
    if (!grown) throw std::bad_alloc();
    (void)buf_.release();
    buf_.reset(grown);
    cap_ = cap;
}

// No per-record allocation: the buffer grows geometrically and a record is a bump of len_.
std::uint8_t* EmfWriter::Reserve(std::size_t bytes) {
    const std::size_t keep = closing_ ? 0 : EofBytes;
    const std::size_t end = std::min(cap_, limit_);
    if (end < len_ + keep || end - len_ - keep < bytes) Grow(bytes);
    ++records_;
    inPath_ = false;
    return buf_.get() + len_;
}

void EmfWriter::CheckOpen() const {
    if (finished_) throw std::logic_error("EmfWriter used after Finish");
}

void EmfWriter::AddBounds(const Extent& e) {
    // Only what lands on the picture counts, as on the widget. The ends are compared
    // before they are narrowed: an extent far beyond the range must not wrap onto it.
    const std::int64_t l = std::max<std::int64_t>(e.l, 0);
    const std::int64_t t = std::max<std::int64_t>(e.t, 0);
    const std::int64_t r = std::min<std::int64_t>(e.r, width_ - 1);
    const std::int64_t b = std::min<std::int64_t>(e.b, height_ - 1);
    if (l > r || t > b) return;
    bounds_ =
        Unite(bounds_, TRect{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t),
                             static_cast<std::int32_t>(r + 1), static_cast<std::int32_t>(b + 1)});
}

void EmfWriter::WriteSimple(std::uint32_t type, std::uint32_t value) {
    Record(*this, type, 12).U32(value).End();
}

std::uint32_t EmfWriter::AllocHandle() {
    // At most two objects of each of the three kinds live at once (the selected one and its
    // successor), so the lowest free slot stays below 7.
    const auto slot = static_cast<std::uint32_t>(std::countr_one(usedHandles_));
    usedHandles_ |= 1u << slot;
    maxHandle_ = std::max(maxHandle_, slot);
    return slot;
}

// The old object is deleted only once the new one is selected in its place.
void EmfWriter::SelectNew(std::uint32_t& selected, std::uint32_t handle) {
    WriteSimple(EMR_SELECTOBJECT, handle);
    if (selected != 0) {
        WriteSimple(EMR_DELETEOBJECT, selected);
        usedHandles_ &= ~(1u << selected);
    }
    selected = handle;
}

// A stock object takes no slot of the table.
void EmfWriter::SelectStock(std::uint32_t& selected, std::uint32_t stock) {
    SelectNew(selected, stock);
    selected = 0;
}

void EmfWriter::UsePen(std::int32_t color, int width) {
    CheckOpen();
    const std::uint32_t c = Rgb(color);
    const std::int32_t w = std::max(width, 0);
    if (penSet_ && c == penColor_ && w == penWidth_) return;
    const std::uint32_t h = AllocHandle();
    Record(*this, EMR_CREATEPEN, 28)
        .U32(h)        // ihPen
        .U32(PS_SOLID) // LOGPEN lopnStyle
        .Point(w, 0)   // lopnWidth: only x counts
        .U32(c)        // lopnColor
        .End();
    SelectNew(pen_, h);
    penSet_ = true;
    penColor_ = c;
    penWidth_ = w;
}

void EmfWriter::UseBrush(std::int32_t color, bool clear) {
    CheckOpen();
    if (clear) {
        if (brushSet_ && brushClear_) return;
        SelectStock(brush_, NULL_BRUSH);
        brushSet_ = true;
        brushClear_ = true;
        return;
    }
    const std::uint32_t c = Rgb(color);
    if (brushSet_ && !brushClear_ && c == brushColor_) return;
    const std::uint32_t h = AllocHandle();
    Record(*this, EMR_CREATEBRUSHINDIRECT, 24)
        .U32(h)        // ihBrush
        .U32(BS_SOLID) // LOGBRUSH lbStyle
        .U32(c)        // lbColor
        .U32(0)        // lbHatch
        .End();
    SelectNew(brush_, h);
    brushSet_ = true;
    brushClear_ = false;
    brushColor_ = c;
}

void EmfWriter::UseFont(const std::u16string& face, int heightPx, std::int32_t color) {
    CheckOpen();
    if (!fontSet_ || heightPx != fontHeight_ || face != fontFace_) {
        const std::uint32_t h = AllocHandle();
        std::size_t n = std::min(face.size(), FaceUnits - 1);
        if (n > 0 && n < face.size() && IsHigh(face[n - 1])) --n; // keep surrogate pairs whole
        // ihFont and a plain LOGFONTW, without the extended font fields.
        Record(*this, EMR_EXTCREATEFONTINDIRECTW, 12 + 28 + 2 * FaceUnits)
            .U32(h)         // ihFont
            .I32(-heightPx) // lfHeight: character height, not cell height
            .I32(0)         // lfWidth
            .I32(0)         // lfEscapement
            .I32(0)         // lfOrientation
            .I32(FW_NORMAL) // lfWeight
            .U8(0)          // lfItalic
            .U8(0)          // lfUnderline
            .U8(0)          // lfStrikeOut
            .U8(DEFAULT_CHARSET)
            .U8(0) // lfOutPrecision
            .U8(0) // lfClipPrecision
            .U8(0) // lfQuality
            .U8(0) // lfPitchAndFamily
            .Utf16(face.data(), n)
            .Zeros(2 * (FaceUnits - n)) // lfFaceName, terminated
            .End();
        SelectNew(font_, h);
        fontSet_ = true;
        fontFace_ = face;
        fontHeight_ = heightPx;
    }
    const std::uint32_t c = Rgb(color);
    if (!textColorSet_ || c != textColor_) {
        WriteSimple(EMR_SETTEXTCOLOR, c);
        textColorSet_ = true;
        textColor_ = c;
    }
}

void EmfWriter::SetBkModeTransparent(bool transparent, std::int32_t bkColor) {
    CheckOpen();
    if (!bkModeSet_ || transparent != bkTransparent_) {
        WriteSimple(EMR_SETBKMODE, transparent ? TRANSPARENT : OPAQUE);
        bkModeSet_ = true;
        bkTransparent_ = transparent;
    }
    const std::uint32_t c = Rgb(bkColor);
    if (!transparent && (!bkColorSet_ || c != bkColor_)) {
        WriteSimple(EMR_SETBKCOLOR, c);
        bkColorSet_ = true;
        bkColor_ = c;
    }
}

void EmfWriter::MoveTo(int x, int y) {
    CheckOpen();
    // Recorded only when a line starts there, right before it: a reader such as
    // Inkscape's adds a move that follows a fill to the fill's path and loses it for
    // the line, and moves that no line follows cost nothing.
    posX_ = x;
    posY_ = y;
}

void EmfWriter::LineTo(int x, int y) {
    CheckOpen();
    if (!inPath_ || posX_ != streamX_ || posY_ != streamY_)
        Record(*this, EMR_MOVETOEX, 16).Point(posX_, posY_).End();
    Record(*this, EMR_LINETO, 16).Point(x, y).End();
    // The pen is centred on the line; round caps reach as far past the ends.
    const std::int64_t ext = penWidth_ / 2;
    AddBounds(Extent{std::min(posX_, x) - ext, std::min(posY_, y) - ext, std::max(posX_, x) + ext,
                     std::max(posY_, y) + ext});
    posX_ = streamX_ = x;
    posY_ = streamY_ = y;
    inPath_ = true;
}

void EmfWriter::Ellipse(int l, int t, int r, int b) {
    CheckOpen();
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    Record(*this, EMR_ELLIPSE, 24).Rect(l, t, r, b).End(); // rclBox
    const std::int64_t ext = penWidth_ / 2;
    AddBounds(Extent{l - ext, t - ext, std::int64_t{r} - 1 + ext, std::int64_t{b} - 1 + ext});
}

void EmfWriter::FillRect(int l, int t, int r, int b, std::int32_t color) {
    CheckOpen();
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    if (l == r || t == b) return;
    UseBrush(color, false);
    Record(*this, EMR_BITBLT, 100)
        .Rect(l, t, r - 1, b - 1) // rclBounds
        .Point(l, t)              // xDest, yDest
        .Size(r - l, b - t)       // cxDest, cyDest
        .U32(PATCOPY)             // dwRop
        .Point(0, 0)              // xSrc, ySrc
        .F32(1.0f)                // xformSrc: identity (eM11, eM12, eM21, eM22, eDx, eDy)
        .F32(0.0f)
        .F32(0.0f)
        .F32(1.0f)
        .F32(0.0f)
        .F32(0.0f)
        .U32(0) // crBkColorSrc
        .U32(0) // iUsageSrc
        .U32(0) // offBmiSrc, cbBmiSrc, offBitsSrc, cbBitsSrc: no source
        .U32(0)
        .U32(0)
        .U32(0)
        .End();
    AddBounds(Extent{l, t, std::int64_t{r} - 1, std::int64_t{b} - 1});
}

void EmfWriter::Polygon(const std::int32_t* xy, int count) {
    CheckOpen();
    if (xy == nullptr || count < 2) return;
    const auto n = static_cast<std::size_t>(count);
    TBounds pts = TBounds::Of(xy[0], xy[1]);
    for (std::size_t i = 1; i < n; ++i)
        pts.Add(xy[2 * i], xy[2 * i + 1]);
    constexpr std::int32_t Int16Min = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t Int16Max = std::numeric_limits<std::int16_t>::max();
    const bool small = pts.xMin >= Int16Min && pts.yMin >= Int16Min && pts.xMax <= Int16Max &&
                       pts.yMax <= Int16Max;
    const std::int64_t ext = penWidth_ / 2;
    const TBounds box{SaturateToInt32(pts.xMin - ext), SaturateToInt32(pts.yMin - ext),
                      SaturateToInt32(pts.xMax + ext), SaturateToInt32(pts.yMax + ext)};
    Record rec(*this, small ? EMR_POLYGON16 : EMR_POLYGON, 28 + n * (small ? 4 : 8));
    rec.Rect(box).U32(static_cast<std::uint32_t>(n)); // rclBounds, cptl
    if (small) {
        for (std::size_t i = 0; i < 2 * n; ++i)
            rec.I16(static_cast<std::int16_t>(xy[i]));
    } else {
        for (std::size_t i = 0; i < 2 * n; ++i)
            rec.I32(xy[i]);
    }
    rec.End();
    AddBounds(box);
}

void EmfWriter::TextOut(int x, int y, const std::u16string& text, int widthPx,
                        std::span<const std::int32_t> advances) {
    CheckOpen();
    if (text.empty()) return;
    if (!textAlignSet_) {
        WriteSimple(EMR_SETTEXTALIGN, TA_TOP_LEFT);
        textAlignSet_ = true;
    }
    const std::size_t n = text.size();
    const bool ownAdvances = advances.size() == n;
    std::int32_t width = std::max(widthPx, 0);
    if (ownAdvances && widthPx <= 0) {
        std::int64_t sum = 0;
        for (std::int32_t a : advances)
            sum += a;
        width = static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, 0, 1 << 30));
    }
    const TBounds box{x, y, SaturateToInt32(std::int64_t{x} + std::max(width, 1) - 1),
                      SaturateToInt32(std::int64_t{y} + std::max(fontHeight_, 1) - 1)};

    constexpr std::size_t offString = 76; // the fixed part: the string follows it
    const std::size_t offDx = offString + ((2 * n + 3) & ~std::size_t{3});
    // Page units (pixels) to 0.01 mm of the reference device.
    const float scale = 1000.0f / static_cast<float>(cm_);
    Record rec(*this, EMR_EXTTEXTOUTW, offDx + 4 * n);
    rec.Rect(box)           // rclBounds
        .U32(GM_COMPATIBLE) // iGraphicsMode
        .F32(scale)         // exScale
        .F32(scale)         // eyScale
        // EMRTEXT
        .Point(x, y)                                // ptlReference
        .U32(static_cast<std::uint32_t>(n))         // nChars
        .U32(static_cast<std::uint32_t>(offString)) // offString
        // fOptions 0 (no clipping/opaque rectangle), but the rectangle is still present:
        // several readers expect it whatever fOptions says.
        .U32(0)
        .Rect(0, 0, -1, -1)
        .U32(static_cast<std::uint32_t>(offDx))
        .Utf16(text.data(), n)
        .Align4();
    if (ownAdvances) {
        for (std::int32_t a : advances)
            rec.I32(a);
    } else {
        // Even spread over characters; the low half of a surrogate pair advances by 0.
        std::size_t chars = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (!(IsLow(text[i]) && i > 0 && IsHigh(text[i - 1]))) ++chars;
        std::size_t k = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (IsLow(text[i]) && i > 0 && IsHigh(text[i - 1])) {
                rec.I32(0);
                continue;
            }
            const auto from = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(k) /
                              static_cast<std::int64_t>(chars);
            ++k;
            const auto to = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(k) /
                            static_cast<std::int64_t>(chars);
            rec.I32(static_cast<std::int32_t>(to - from));
        }
    }
    rec.End();
    AddBounds(box);
}

void EmfWriter::BitBlt(int dx, int dy, int w, int h, const std::uint32_t* pixels, int stride) {
    CheckOpen();
    if (pixels == nullptr || w <= 0 || h <= 0) return;
    constexpr std::size_t offBmi = 80; // the fixed part: the bitmap header follows it
    constexpr std::size_t bmiSize = 40;
    const std::size_t bits = static_cast<std::size_t>(w) * 4 * static_cast<std::size_t>(h);
    const std::int32_t pelsPerMetre = 100 * cm_;

    Record rec(*this, EMR_STRETCHDIBITS, offBmi + bmiSize + bits);
    rec.Rect(dx, dy, SaturateToInt32(std::int64_t{dx} + w - 1),
             SaturateToInt32(std::int64_t{dy} + h - 1))    // rclBounds
        .Point(dx, dy)                                     // xDest, yDest
        .Point(0, 0)                                       // xSrc, ySrc
        .Size(w, h)                                        // cxSrc, cySrc
        .U32(static_cast<std::uint32_t>(offBmi))           // offBmiSrc
        .U32(static_cast<std::uint32_t>(bmiSize))          // cbBmiSrc
        .U32(static_cast<std::uint32_t>(offBmi + bmiSize)) // offBitsSrc
        .U32(static_cast<std::uint32_t>(bits))             // cbBitsSrc
        .U32(DIB_RGB_COLORS)                               // iUsageSrc
        .U32(SRCCOPY)                                      // dwRop
        .Size(w, h)                                        // cxDest, cyDest
        // BITMAPINFOHEADER
        .U32(static_cast<std::uint32_t>(bmiSize)) // biSize
        .I32(w)                                   // biWidth
        .I32(h)                                   // biHeight, positive: bottom-up rows
        .U16(1)                                   // biPlanes
        .U16(32)                                  // biBitCount
        .U32(0)                                   // biCompression: BI_RGB
        .U32(static_cast<std::uint32_t>(bits))    // biSizeImage
        .I32(pelsPerMetre)                        // biXPelsPerMeter
        .I32(pelsPerMetre)                        // biYPelsPerMeter
        .U32(0)                                   // biClrUsed
        .U32(0);                                  // biClrImportant
    for (int row = h - 1; row >= 0; --row) {
        const std::uint32_t* src = pixels + static_cast<std::ptrdiff_t>(row) * stride;
        for (int i = 0; i < w; ++i)
            rec.U32(src[i] | 0xFF000000u);
    }
    rec.End();
    AddBounds(Extent{dx, dy, std::int64_t{dx} + w - 1, std::int64_t{dy} + h - 1});
}

std::vector<std::uint8_t> EmfWriter::Finish() {
    const Bytes bytes = FinishBytes();
    return std::vector<std::uint8_t>(bytes.data.get(), bytes.data.get() + bytes.size);
}

EmfWriter::Bytes EmfWriter::FinishBytes() {
    CheckOpen();
    closing_ = true;
    Record(*this, EMR_EOF, 20)
        .U32(0)  // nPalEntries
        .U32(16) // offPalEntries: where a palette would start
        .U32(20) // nSizeLast
        .End();
    finished_ = true;

    Record header(buf_.get(), EMR_HEADER);
    WriteHeader(header);
    // Shrinking in place; should the system not manage that, the larger block will do.
    if (auto* fitted = static_cast<std::uint8_t*>(std::realloc(buf_.get(), len_))) {
        (void)buf_.release();
        buf_.reset(fitted);
        cap_ = len_;
    }
    Bytes done{std::move(buf_), len_};
    cap_ = len_ = 0;
    return done;
}

} // namespace kritzel
