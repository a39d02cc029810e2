#include "EmfWriter.h"

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

constexpr std::size_t kHeaderSize = 108; // with both header extensions (szlMicrometers)
constexpr std::size_t kFaceUnits = 32;   // LOGFONTW lfFaceName, terminator included

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
inline void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutI(std::uint8_t* p, std::int32_t v) {
    Put32(p, static_cast<std::uint32_t>(v));
}
inline void PutF(std::uint8_t* p, float v) {
    Put32(p, std::bit_cast<std::uint32_t>(v));
}
inline void PutRect(std::uint8_t* p, std::int32_t l, std::int32_t t, std::int32_t r,
                    std::int32_t b) {
    PutI(p, l);
    PutI(p + 4, t);
    PutI(p + 8, r);
    PutI(p + 12, b);
}

inline std::uint32_t Rgb(std::int32_t color) {
    return static_cast<std::uint32_t>(color) & 0xFFFFFFu;
}

inline std::int32_t Saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

inline std::int32_t Round(std::int64_t num, std::int64_t den) {
    return Saturate((2 * num + den) / (2 * den));
}

std::uint32_t RecordSize(std::size_t bytes) {
    if (bytes > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("EMF record too large");
    return static_cast<std::uint32_t>(bytes);
}

inline bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

EmfWriter::EmfWriter(int widthPx, int heightPx, int ppi)
    : width_(std::max(widthPx, 1)), height_(std::max(heightPx, 1)), ppi_(ppi < 1 ? 96 : ppi) {
    buf_.resize(64 * 1024);
    std::uint8_t* p = Append(kHeaderSize);
    std::memset(p, 0, kHeaderSize);
    Put32(p, EMR_HEADER);
    Put32(p + 4, kHeaderSize);
    // Bounds, nBytes, nRecords and nHandles are filled in by Finish.
    PutRect(p + 24, 0, 0, Round(std::int64_t{width_} * 2540, ppi_) - 1,
            Round(std::int64_t{height_} * 2540, ppi_) - 1);
    Put32(p + 40, ENHMETA_SIGNATURE);
    Put32(p + 44, ENHMETA_VERSION);
    // Readers scale device pixels by szlMillimeters / szlDevice, and szlMillimeters is whole
    // millimetres. A reference device of whole multiples of 5 inches (5 * ppi pixels = 127 mm)
    // covering the picture keeps that ratio exact.
    const std::int64_t unit = 5 * std::int64_t{ppi_};
    const std::int64_t kx = (width_ + unit - 1) / unit;
    const std::int64_t ky = (height_ + unit - 1) / unit;
    PutI(p + 72, Saturate(kx * unit));
    PutI(p + 76, Saturate(ky * unit));
    PutI(p + 80, Saturate(kx * 127));
    PutI(p + 84, Saturate(ky * 127));
    PutI(p + 100, Saturate(kx * 127000));
    PutI(p + 104, Saturate(ky * 127000));
}

void EmfWriter::Grow(std::size_t bytes) {
    const std::size_t need = len_ + bytes;
    if (bytes > std::numeric_limits<std::uint32_t>::max() ||
        need > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("EMF larger than 4 GiB");
    buf_.resize(std::max(need, buf_.size() * 2));
}

// No per-record allocation: the buffer grows geometrically and a record is a bump of len_.
std::uint8_t* EmfWriter::Append(std::size_t bytes) {
    if (buf_.size() - len_ < bytes) Grow(bytes);
    std::uint8_t* p = buf_.data() + len_;
    len_ += bytes;
    ++records_;
    inPath_ = false;
    return p;
}

void EmfWriter::CheckOpen() const {
    if (finished_) throw std::logic_error("EmfWriter used after Finish");
}

void EmfWriter::AddBounds(const Extent& e) {
    // Only what lands on the picture counts, as on the widget.
    const auto l = static_cast<std::int32_t>(std::max<std::int64_t>(e.l, 0));
    const auto t = static_cast<std::int32_t>(std::max<std::int64_t>(e.t, 0));
    const auto r = static_cast<std::int32_t>(std::min<std::int64_t>(e.r, width_ - 1));
    const auto b = static_cast<std::int32_t>(std::min<std::int64_t>(e.b, height_ - 1));
    if (l > r || t > b) return;
    if (!drawn_) {
        bounds_ = {l, t, r, b};
        drawn_ = true;
        return;
    }
    bounds_.l = std::min(bounds_.l, l);
    bounds_.t = std::min(bounds_.t, t);
    bounds_.r = std::max(bounds_.r, r);
    bounds_.b = std::max(bounds_.b, b);
}

void EmfWriter::WriteSimple(std::uint32_t type, std::uint32_t value) {
    std::uint8_t* p = Append(12);
    Put32(p, type);
    Put32(p + 4, 12);
    Put32(p + 8, value);
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

void EmfWriter::SelectStock(std::uint32_t& selected, std::uint32_t stock) {
    WriteSimple(EMR_SELECTOBJECT, stock);
    if (selected != 0) {
        WriteSimple(EMR_DELETEOBJECT, selected);
        usedHandles_ &= ~(1u << selected);
    }
    selected = 0;
}

void EmfWriter::UsePen(std::int32_t color, int width) {
    CheckOpen();
    const std::uint32_t c = Rgb(color);
    const std::int32_t w = std::max(width, 0);
    if (penSet_ && c == penColor_ && w == penWidth_) return;
    const std::uint32_t h = AllocHandle();
    std::uint8_t* p = Append(28);
    Put32(p, EMR_CREATEPEN);
    Put32(p + 4, 28);
    Put32(p + 8, h);
    Put32(p + 12, PS_SOLID);
    PutI(p + 16, w);
    PutI(p + 20, 0);
    Put32(p + 24, c);
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
    std::uint8_t* p = Append(24);
    Put32(p, EMR_CREATEBRUSHINDIRECT);
    Put32(p + 4, 24);
    Put32(p + 8, h);
    Put32(p + 12, BS_SOLID);
    Put32(p + 16, c);
    Put32(p + 20, 0);
    SelectNew(brush_, h);
    brushSet_ = true;
    brushClear_ = false;
    brushColor_ = c;
}

void EmfWriter::UseFont(const std::u16string& face, int heightPx, std::int32_t color) {
    CheckOpen();
    if (!fontSet_ || heightPx != fontHeight_ || face != fontFace_) {
        const std::uint32_t h = AllocHandle();
        constexpr std::size_t size = 12 + 28 + 2 * kFaceUnits; // ihFont + plain LOGFONTW
        std::uint8_t* p = Append(size);
        std::memset(p, 0, size);
        Put32(p, EMR_EXTCREATEFONTINDIRECTW);
        Put32(p + 4, size);
        Put32(p + 8, h);
        PutI(p + 12, -heightPx);
        PutI(p + 28, FW_NORMAL);
        p[35] = DEFAULT_CHARSET;
        std::size_t n = std::min(face.size(), kFaceUnits - 1);
        if (n > 0 && n < face.size() && IsHigh(face[n - 1])) --n; // keep surrogate pairs whole
        for (std::size_t i = 0; i < n; ++i)
            Put16(p + 40 + 2 * i, static_cast<std::uint16_t>(face[i]));
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
    if (!inPath_ || posX_ != streamX_ || posY_ != streamY_) {
        std::uint8_t* m = Append(16);
        Put32(m, EMR_MOVETOEX);
        Put32(m + 4, 16);
        PutI(m + 8, posX_);
        PutI(m + 12, posY_);
    }
    std::uint8_t* p = Append(16);
    Put32(p, EMR_LINETO);
    Put32(p + 4, 16);
    PutI(p + 8, x);
    PutI(p + 12, y);
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
    std::uint8_t* p = Append(24);
    Put32(p, EMR_ELLIPSE);
    Put32(p + 4, 24);
    PutRect(p + 8, l, t, r, b);
    const std::int64_t ext = penWidth_ / 2;
    AddBounds(Extent{l - ext, t - ext, std::int64_t{r} - 1 + ext, std::int64_t{b} - 1 + ext});
}

void EmfWriter::FillRect(int l, int t, int r, int b, std::int32_t color) {
    CheckOpen();
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    if (l == r || t == b) return;
    UseBrush(color, false);
    constexpr std::size_t size = 100;
    std::uint8_t* p = Append(size);
    std::memset(p, 0, size);
    Put32(p, EMR_BITBLT);
    Put32(p + 4, size);
    PutRect(p + 8, l, t, r - 1, b - 1);
    PutI(p + 24, l);
    PutI(p + 28, t);
    PutI(p + 32, r - l);
    PutI(p + 36, b - t);
    Put32(p + 40, PATCOPY);
    PutF(p + 52, 1.0f); // xformSrc: identity (eM11, eM12, eM21, eM22, eDx, eDy)
    PutF(p + 64, 1.0f);
    // crBkColorSrc, iUsageSrc and the source bitmap fields stay 0: no source.
    AddBounds(Extent{l, t, std::int64_t{r} - 1, std::int64_t{b} - 1});
}

void EmfWriter::Polygon(const std::int32_t* xy, int count) {
    CheckOpen();
    if (xy == nullptr || count < 2) return;
    const auto n = static_cast<std::size_t>(count);
    std::int32_t minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
    for (std::size_t i = 1; i < n; ++i) {
        minX = std::min(minX, xy[2 * i]);
        maxX = std::max(maxX, xy[2 * i]);
        minY = std::min(minY, xy[2 * i + 1]);
        maxY = std::max(maxY, xy[2 * i + 1]);
    }
    constexpr std::int32_t lo = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int16_t>::max();
    const bool small = minX >= lo && minY >= lo && maxX <= hi && maxY <= hi;
    const std::size_t size = 28 + n * (small ? 4 : 8);
    const std::uint32_t size32 = RecordSize(size);
    const std::int64_t ext = penWidth_ / 2;
    const Box box{Saturate(minX - ext), Saturate(minY - ext), Saturate(maxX + ext),
                  Saturate(maxY + ext)};
    std::uint8_t* p = Append(size);
    Put32(p, small ? EMR_POLYGON16 : EMR_POLYGON);
    Put32(p + 4, size32);
    PutRect(p + 8, box.l, box.t, box.r, box.b);
    Put32(p + 24, static_cast<std::uint32_t>(n));
    p += 28;
    if (small) {
        for (std::size_t i = 0; i < 2 * n; ++i, p += 2)
            Put16(p, static_cast<std::uint16_t>(static_cast<std::int16_t>(xy[i])));
    } else {
        for (std::size_t i = 0; i < 2 * n; ++i, p += 4)
            PutI(p, xy[i]);
    }
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
    const Box box{x, y, Saturate(std::int64_t{x} + std::max(width, 1) - 1),
                  Saturate(std::int64_t{y} + std::max(fontHeight_, 1) - 1)};

    constexpr std::size_t fixed = 76;
    const std::size_t strBytes = (2 * n + 3) & ~std::size_t{3};
    const std::size_t offDx = fixed + strBytes;
    const std::size_t size = offDx + 4 * n;
    const std::uint32_t size32 = RecordSize(size);
    std::uint8_t* p = Append(size);
    std::memset(p, 0, size);
    Put32(p, EMR_EXTTEXTOUTW);
    Put32(p + 4, size32);
    PutRect(p + 8, box.l, box.t, box.r, box.b);
    Put32(p + 24, GM_COMPATIBLE);
    // Page units (pixels) to 0.01 mm of the reference device.
    PutF(p + 28, 2540.0f / static_cast<float>(ppi_));
    PutF(p + 32, 2540.0f / static_cast<float>(ppi_));
    PutI(p + 36, x);
    PutI(p + 40, y);
    Put32(p + 44, static_cast<std::uint32_t>(n));
    Put32(p + 48, static_cast<std::uint32_t>(fixed));
    // fOptions 0 (no clipping/opaque rectangle), but the rectangle is still present: several
    // readers expect it whatever fOptions says.
    PutRect(p + 56, 0, 0, -1, -1);
    Put32(p + 72, static_cast<std::uint32_t>(offDx));
    for (std::size_t i = 0; i < n; ++i)
        Put16(p + fixed + 2 * i, static_cast<std::uint16_t>(text[i]));

    std::uint8_t* dx = p + offDx;
    if (ownAdvances) {
        for (std::size_t i = 0; i < n; ++i)
            PutI(dx + 4 * i, advances[i]);
    } else {
        // Even spread over characters; the low half of a surrogate pair advances by 0.
        std::size_t chars = 0;
        for (std::size_t i = 0; i < n; ++i)
            if (!(IsLow(text[i]) && i > 0 && IsHigh(text[i - 1]))) ++chars;
        std::size_t k = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (IsLow(text[i]) && i > 0 && IsHigh(text[i - 1])) continue; // stays 0
            const auto from = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(k) /
                              static_cast<std::int64_t>(chars);
            ++k;
            const auto to = static_cast<std::int64_t>(width) * static_cast<std::int64_t>(k) /
                            static_cast<std::int64_t>(chars);
            PutI(dx + 4 * i, static_cast<std::int32_t>(to - from));
        }
    }
    AddBounds(box);
}

void EmfWriter::BitBlt(int dx, int dy, int w, int h, const std::uint32_t* pixels, int stride) {
    CheckOpen();
    if (pixels == nullptr || w <= 0 || h <= 0) return;
    constexpr std::size_t fixed = 80;
    constexpr std::size_t bmiSize = 40;
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
    const std::size_t bits = rowBytes * static_cast<std::size_t>(h);
    const std::uint32_t size32 = RecordSize(fixed + bmiSize + bits);
    const std::size_t size = size32;
    const std::int32_t pelsPerMetre = Round(std::int64_t{ppi_} * 10000, 254);

    std::uint8_t* p = Append(size);
    std::memset(p, 0, fixed + bmiSize);
    Put32(p, EMR_STRETCHDIBITS);
    Put32(p + 4, size32);
    PutRect(p + 8, dx, dy, Saturate(std::int64_t{dx} + w - 1), Saturate(std::int64_t{dy} + h - 1));
    PutI(p + 24, dx);
    PutI(p + 28, dy);
    // Src stays (0, 0).
    PutI(p + 40, w);
    PutI(p + 44, h);
    Put32(p + 48, static_cast<std::uint32_t>(fixed));
    Put32(p + 52, static_cast<std::uint32_t>(bmiSize));
    Put32(p + 56, static_cast<std::uint32_t>(fixed + bmiSize));
    Put32(p + 60, static_cast<std::uint32_t>(bits));
    Put32(p + 64, DIB_RGB_COLORS);
    Put32(p + 68, SRCCOPY);
    PutI(p + 72, w);
    PutI(p + 76, h);

    std::uint8_t* bmi = p + fixed;
    Put32(bmi, static_cast<std::uint32_t>(bmiSize));
    PutI(bmi + 4, w);
    PutI(bmi + 8, h); // positive: bottom-up rows
    Put16(bmi + 12, 1);
    Put16(bmi + 14, 32);
    // biCompression 0 = BI_RGB
    Put32(bmi + 20, static_cast<std::uint32_t>(bits));
    PutI(bmi + 24, pelsPerMetre);
    PutI(bmi + 28, pelsPerMetre);

    std::uint8_t* out = bmi + bmiSize;
    for (int row = h - 1; row >= 0; --row) {
        const std::uint32_t* src = pixels + static_cast<std::ptrdiff_t>(row) * stride;
        for (int i = 0; i < w; ++i, out += 4)
            Put32(out, src[i] | 0xFF000000u);
    }
    AddBounds(Extent{dx, dy, std::int64_t{dx} + w - 1, std::int64_t{dy} + h - 1});
}

std::vector<std::uint8_t> EmfWriter::Finish() {
    CheckOpen();
    std::uint8_t* p = Append(20);
    Put32(p, EMR_EOF);
    Put32(p + 4, 20);
    Put32(p + 8, 0);   // nPalEntries
    Put32(p + 12, 16); // offPalEntries: where a palette would start
    Put32(p + 16, 20); // nSizeLast
    finished_ = true;

    std::uint8_t* h = buf_.data();
    // An empty picture has the empty bounds GDI writes for it.
    const Box b = drawn_ ? bounds_ : Box{0, 0, -1, -1};
    PutRect(h + 8, b.l, b.t, b.r, b.b);
    Put32(h + 48, static_cast<std::uint32_t>(len_));
    Put32(h + 52, static_cast<std::uint32_t>(records_));
    Put16(h + 56, static_cast<std::uint16_t>(maxHandle_ + 1));
    buf_.resize(len_);
    buf_.shrink_to_fit();
    return std::move(buf_);
}

} // namespace kritzel
