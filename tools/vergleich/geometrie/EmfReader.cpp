#include "EmfReader.h"

#include "Drawing.h"

#include "component/DeviceMath.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

namespace kritzel::vergleich {

namespace {

// Record types and values read here (names as in wingdi.h).
constexpr std::uint32_t EMR_HEADER = 1;
constexpr std::uint32_t EMR_POLYGON = 3;
constexpr std::uint32_t EMR_EOF = 14;
constexpr std::uint32_t EMR_SETTEXTCOLOR = 24;
constexpr std::uint32_t EMR_MOVETOEX = 27;
constexpr std::uint32_t EMR_SELECTOBJECT = 37;
constexpr std::uint32_t EMR_CREATEPEN = 38;
constexpr std::uint32_t EMR_CREATEBRUSHINDIRECT = 39;
constexpr std::uint32_t EMR_DELETEOBJECT = 40;
constexpr std::uint32_t EMR_ELLIPSE = 42;
constexpr std::uint32_t EMR_LINETO = 54;
constexpr std::uint32_t EMR_BITBLT = 76;
constexpr std::uint32_t EMR_EXTCREATEFONTINDIRECTW = 82;
constexpr std::uint32_t EMR_EXTTEXTOUTW = 84;
constexpr std::uint32_t EMR_POLYGON16 = 86;

constexpr std::uint32_t ENHMETA_SIGNATURE = 0x464D4520;
constexpr std::uint32_t PS_NULL = 5;
constexpr std::uint32_t PS_STYLE_MASK = 0xF;
constexpr std::uint32_t BS_SOLID = 0;
constexpr std::uint32_t PATCOPY = 0x00F00021;
// Stock objects: the high bit set, the index below it.
constexpr std::uint32_t StockObject = 0x80000000;
constexpr std::uint32_t WHITE_BRUSH = 0x80000000;
constexpr std::uint32_t BLACK_BRUSH = 0x80000004;
constexpr std::uint32_t NULL_BRUSH = 0x80000005;
constexpr std::uint32_t WHITE_PEN = 0x80000006;
constexpr std::uint32_t BLACK_PEN = 0x80000007;
constexpr std::uint32_t NULL_PEN = 0x80000008;

// The fixed part of each record type this reader looks into, type and size included: a
// shorter record of that type is a fault.
std::uint32_t FixedSize(std::uint32_t type) {
    switch (type) {
    case EMR_HEADER:
        return 88; // ENHMETAHEADER up to szlMillimeters
    case EMR_POLYGON:
    case EMR_POLYGON16:
        return 28; // rclBounds, cptl
    case EMR_EOF:
        return 20;
    case EMR_MOVETOEX:
    case EMR_LINETO:
        return 16;
    case EMR_SETTEXTCOLOR:
    case EMR_SELECTOBJECT:
    case EMR_DELETEOBJECT:
        return 12;
    case EMR_CREATEPEN:
        return 28; // ihPen, LOGPEN
    case EMR_CREATEBRUSHINDIRECT:
        return 24; // ihBrush, LOGBRUSH
    case EMR_ELLIPSE:
        return 24;
    case EMR_BITBLT:
        return 100; // up to cbBitsSrc
    case EMR_EXTCREATEFONTINDIRECTW:
        return 104; // ihFont, LOGFONTW
    case EMR_EXTTEXTOUTW:
        return 76; // up to EMRTEXT's offDx
    default:
        return 8;
    }
}

// Little-endian fields read with bounds already checked by the caller.
std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::int32_t I32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(U32(p));
}
std::int16_t I16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(std::uint16_t(p[0] | p[1] << 8));
}

std::string At(std::size_t offset) {
    return " at " + std::to_string(offset);
}

} // namespace

std::string SplitRecords(std::span<const std::uint8_t> emf, std::vector<EmfRecord>& records) {
    records.clear();
    const std::size_t size = emf.size();
    if (size < FixedSize(EMR_HEADER)) return "shorter than a header";
    std::size_t off = 0;
    while (off < size) {
        if (size - off < 8) return "truncated record" + At(off);
        const std::uint32_t type = U32(emf.data() + off);
        const std::uint32_t length = U32(emf.data() + off + 4);
        const std::string what = "record type " + std::to_string(type) + At(off);
        if (length < 8 || length % 4 != 0 || length > size - off)
            return "bad size " + std::to_string(length) + " of " + what;
        if (length < FixedSize(type))
            return "size " + std::to_string(length) + " too small for " + what;
        if (records.empty() != (type == EMR_HEADER))
            return records.empty() ? "no header first" : "a second header, " + what;
        if (!records.empty() && records.back().type == EMR_EOF)
            return "a record after the end record, " + what;
        records.push_back({type, off, length});
        off += length;
    }
    if (records.back().type != EMR_EOF) return "no end record last";
    if (records.size() < 2) return "only a header";
    const std::uint8_t* header = emf.data();
    if (U32(header + 40) != ENHMETA_SIGNATURE) return "no EMF signature in the header";
    if (U32(header + 48) != size)
        return "the header counts " + std::to_string(U32(header + 48)) + " bytes of " +
               std::to_string(size);
    if (U32(header + 52) != records.size())
        return "the header counts " + std::to_string(U32(header + 52)) + " records of " +
               std::to_string(records.size());
    return {};
}

namespace {

// What the device context has selected and what its object table holds, as the records
// leave them.
struct Pen {
    bool visible = true;
    Colour colour = 0;
    std::int32_t width = 0;
};
struct Brush {
    bool solid = true;
    Colour colour = 0xFFFFFF;
};
struct Font {
    std::int32_t height = 0;
};
struct Object {
    enum Kind { None, PenObject, BrushObject, FontObject } kind = None;
    Pen pen;
    Brush brush;
    Font font;
};

class Reader {
public:
    Reader(std::span<const std::uint8_t> emf, const std::vector<EmfRecord>& records)
        : emf_(emf), records_(records) {}

    Drawing Read() {
        ReadHeader();
        for (std::size_t i = 1; i + 1 < records_.size(); ++i)
            Play(records_[i]);
        return std::move(drawing_);
    }

private:
    void ReadHeader() {
        const std::uint8_t* h = emf_.data();
        const std::int32_t frameRight = I32(h + 32), frameBottom = I32(h + 36);
        const std::int32_t deviceX = I32(h + 72), deviceY = I32(h + 76);
        const std::int32_t mmX = I32(h + 80), mmY = I32(h + 84);
        if (deviceX <= 0 || deviceY <= 0 || mmX <= 0 || mmY <= 0)
            throw std::runtime_error("the metafile's header has no reference device");
        // The writer's reference device is whole centimetres: its pixels over its
        // centimetres are the drawing's scale.
        const long double scale = static_cast<long double>(deviceX) * 10 / mmX;
        if (!(scale >= 1) || static_cast<long double>(deviceY) * 10 / mmY != scale)
            throw std::runtime_error("the metafile's header gives no scale in whole pixels per "
                                     "centimetre");
        scale_ = scale;
        // The frame is the picture in 0.01 mm, its far edge inside.
        if (frameRight < 0 || frameBottom < 0)
            throw std::runtime_error("the metafile's header has an empty frame");
        widthPx_ = std::rint((static_cast<long double>(frameRight) + 1) * scale / 1000);
        heightPx_ = std::rint((static_cast<long double>(frameBottom) + 1) * scale / 1000);
        drawing_.pixelsPerCm = static_cast<double>(scale);
        drawing_.width = static_cast<double>(widthPx_ / scale);
        drawing_.height = static_cast<double>(heightPx_ / scale);
        handles_ = std::uint16_t(h[56] | h[57] << 8);
    }

    Point ToLE(long double x, long double y) const {
        const DevicePoint p = DeviceToLE(x, y, widthPx_, heightPx_, scale_);
        return {static_cast<double>(p.x), static_cast<double>(p.y)};
    }
    double Length(long double px) const { return static_cast<double>(px / scale_); }

    const std::uint8_t* Field(const EmfRecord& r, std::size_t at) const {
        return emf_.data() + r.offset + at;
    }

    Object& Slot(std::uint32_t handle, const EmfRecord& r) {
        if (handle == 0 || handle >= handles_)
            throw std::runtime_error("object handle " + std::to_string(handle) +
                                     " outside the header's table" + At(r.offset));
        return objects_[handle];
    }

    void Select(std::uint32_t handle, const EmfRecord& r) {
        if (handle & StockObject) {
            switch (handle) {
            case WHITE_BRUSH:
                brush_ = {true, 0xFFFFFF};
                return;
            case BLACK_BRUSH:
                brush_ = {true, 0};
                return;
            case NULL_BRUSH:
                brush_ = {false, 0};
                return;
            case WHITE_PEN:
                pen_ = {true, 0xFFFFFF, 0};
                return;
            case BLACK_PEN:
                pen_ = {true, 0, 0};
                return;
            case NULL_PEN:
                pen_ = {false, 0, 0};
                return;
            default:
                return; // a stock font or palette: nothing this reader keeps
            }
        }
        const Object& o = Slot(handle, r);
        switch (o.kind) {
        case Object::PenObject:
            pen_ = o.pen;
            return;
        case Object::BrushObject:
            brush_ = o.brush;
            return;
        case Object::FontObject:
            font_ = o.font;
            return;
        case Object::None:
            throw std::runtime_error("selects object " + std::to_string(handle) +
                                     ", which was never made" + At(r.offset));
        }
    }

    void Play(const EmfRecord& r) {
        switch (r.type) {
        case EMR_SETTEXTCOLOR:
            textColour_ = U32(Field(r, 8)) & 0xFFFFFF;
            return;
        case EMR_MOVETOEX:
            posX_ = I32(Field(r, 8));
            posY_ = I32(Field(r, 12));
            return;
        case EMR_LINETO: {
            const std::int32_t x = I32(Field(r, 8)), y = I32(Field(r, 12));
            if (pen_.visible)
                drawing_.lines.push_back(
                    {ToLE(posX_, posY_), ToLE(x, y), pen_.colour, Length(pen_.width)});
            posX_ = x;
            posY_ = y;
            return;
        }
        case EMR_CREATEPEN: {
            Object& o = Slot(U32(Field(r, 8)), r);
            const std::uint32_t style = U32(Field(r, 12));
            o.kind = Object::PenObject;
            o.pen = {(style & PS_STYLE_MASK) != PS_NULL, U32(Field(r, 24)) & 0xFFFFFF,
                     std::max(I32(Field(r, 16)), 0)};
            return;
        }
        case EMR_CREATEBRUSHINDIRECT: {
            Object& o = Slot(U32(Field(r, 8)), r);
            o.kind = Object::BrushObject;
            o.brush = {U32(Field(r, 12)) == BS_SOLID, U32(Field(r, 16)) & 0xFFFFFF};
            return;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
            Object& o = Slot(U32(Field(r, 8)), r);
            o.kind = Object::FontObject;
            // A negative height is the character height, a positive one the cell's; either
            // serves as the text's size here.
            const std::int64_t height = I32(Field(r, 12));
            o.font = {static_cast<std::int32_t>(std::min<std::int64_t>(
                height < 0 ? -height : height, std::numeric_limits<std::int32_t>::max()))};
            return;
        }
        case EMR_SELECTOBJECT:
            Select(U32(Field(r, 8)), r);
            return;
        case EMR_DELETEOBJECT: {
            const std::uint32_t handle = U32(Field(r, 8));
            if (!(handle & StockObject)) Slot(handle, r) = Object{};
            return;
        }
        case EMR_ELLIPSE:
            Ellipse(I32(Field(r, 8)), I32(Field(r, 12)), I32(Field(r, 16)), I32(Field(r, 20)));
            return;
        case EMR_POLYGON:
        case EMR_POLYGON16:
            Polygon(r);
            return;
        case EMR_BITBLT:
            PatBlt(r);
            return;
        case EMR_EXTTEXTOUTW:
            Text(r);
            return;
        default:
            return; // modes, bitmaps and whatever else draws no geometry
        }
    }

    void Ellipse(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) {
        if (!pen_.visible && !brush_.solid) return;
        // The turtle records a circle's box as centre +- radius.
        const long double cx = (l + r) / 2.0L, cy = (t + b) / 2.0L;
        const long double rx = (r - l) / 2.0L, ry = (b - t) / 2.0L;
        Circle c;
        c.centre = ToLE(cx, cy);
        c.radius = Length((std::fabs(rx) + std::fabs(ry)) / 2);
        c.colour = pen_.colour;
        c.filled = brush_.solid;
        c.fill = brush_.colour;
        if (!pen_.visible) c.colour = c.fill;
        drawing_.circles.push_back(c);
    }

    void Polygon(const EmfRecord& r) {
        const bool small = r.type == EMR_POLYGON16;
        const std::uint64_t count = U32(Field(r, 24));
        const std::uint64_t each = small ? 4 : 8;
        if (count * each > r.size - 28)
            throw std::runtime_error("polygon of " + std::to_string(count) +
                                     " points longer than its record" + At(r.offset));
        std::vector<Point> points;
        points.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint8_t* p = Field(r, 28 + i * each);
            if (small)
                points.push_back(ToLE(I16(p), I16(p + 2)));
            else
                points.push_back(ToLE(I32(p), I32(p + 4)));
        }
        if (points.size() > 2 && points.front().x == points.back().x &&
            points.front().y == points.back().y)
            points.pop_back();
        if (points.size() < 2) return;
        if (brush_.solid) {
            drawing_.areas.push_back({std::move(points), brush_.colour, pen_.colour, pen_.visible});
            return;
        }
        if (!pen_.visible) return;
        // A hollow polygon is its outline, a closed run of lines.
        for (std::size_t i = 0; i < points.size(); ++i)
            drawing_.lines.push_back(
                {points[i], points[(i + 1) % points.size()], pen_.colour, Length(pen_.width)});
    }

    // A PatBlt (a bit block transfer with PATCOPY and no source) fills pixels with the brush.
    void PatBlt(const EmfRecord& r) {
        if (U32(Field(r, 40)) != PATCOPY || !brush_.solid) return;
        const std::int64_t l = I32(Field(r, 24)), t = I32(Field(r, 28));
        const std::int64_t w = I32(Field(r, 32)), h = I32(Field(r, 36));
        if (w <= 0 || h <= 0) return;
        if (l <= 0 && t <= 0 && l + w >= widthPx_ && t + h >= heightPx_) {
            // The whole picture: what lay on it before is gone (SetBackColor, Clear).
            const auto size = std::pair{drawing_.width, drawing_.height};
            drawing_ = Drawing{};
            std::tie(drawing_.width, drawing_.height) = size;
            drawing_.pixelsPerCm = static_cast<double>(scale_);
            drawing_.background = brush_.colour;
            return;
        }
        // The pixels [l, l + w) x [t, t + h), by their centres as a polygon's are.
        drawing_.areas.push_back(
            {{ToLE(l, t), ToLE(l + w - 1, t), ToLE(l + w - 1, t + h - 1), ToLE(l, t + h - 1)},
             brush_.colour,
             brush_.colour,
             false});
    }

    void Text(const EmfRecord& r) {
        const std::int32_t x = I32(Field(r, 36)), y = I32(Field(r, 40));
        const std::uint64_t chars = U32(Field(r, 44));
        const std::uint64_t offString = U32(Field(r, 48));
        if (offString < 76 || offString > r.size || chars * 2 > r.size - offString)
            throw std::runtime_error("text of " + std::to_string(chars) +
                                     " characters outside its record" + At(r.offset));
        std::u16string units(chars, u'\0');
        for (std::uint64_t i = 0; i < chars; ++i) {
            const std::uint8_t* p = Field(r, offString + 2 * i);
            units[i] = static_cast<char16_t>(p[0] | p[1] << 8);
        }
        const QByteArray utf8 =
            QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toUtf8();
        drawing_.texts.push_back(
            {ToLE(x, y), utf8.toStdString(), textColour_, Length(font_.height)});
    }

    std::span<const std::uint8_t> emf_;
    const std::vector<EmfRecord>& records_;
    Drawing drawing_;
    long double scale_ = 1, widthPx_ = 1, heightPx_ = 1;
    std::uint32_t handles_ = 0;
    std::unordered_map<std::uint32_t, Object> objects_;
    // A device context starts with a black thin pen, a white brush, black text at the origin.
    Pen pen_;
    Brush brush_;
    Font font_;
    Colour textColour_ = 0;
    std::int32_t posX_ = 0, posY_ = 0;
};

} // namespace

Drawing ReadDrawing(std::span<const std::uint8_t> emf) {
    std::vector<EmfRecord> records;
    const std::string fault = SplitRecords(emf, records);
    if (!fault.empty()) throw std::runtime_error("not a metafile: " + fault);
    return Reader(emf, records).Read();
}

} // namespace kritzel::vergleich
