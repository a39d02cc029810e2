// The EMF writer's output, read back with libUEMF's record checks and structures, and the
// metafile that records through it and saves it to a file.
#include "host/internal/EmfWriter.h"
#include "metafile.h"
#include "support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <uemf.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kritzel {
namespace {

using test::CountColor;
using test::Emf;
using test::IsEmf;
using test::OutputDir;
using test::ReadFile;
using test::Record;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using Rect4 = std::array<std::int32_t, 4>;

Rect4 R(const U_RECTL& r) {
    return {r.left, r.top, r.right, r.bottom};
}

std::uint32_t Colorref(const U_COLORREF& c) {
    return std::uint32_t{c.Red} | std::uint32_t{c.Green} << 8 | std::uint32_t{c.Blue} << 16 |
           std::uint32_t{c.Reserved} << 24;
}

// ---------------------------------------------------------------------------------------------
// Header

TEST(EmfHeader, DescribesPictureSizeAndContents) {
    struct Case {
        int w, h, ppi;
        Rect4 frame;
        std::int32_t deviceX, deviceY, mmX, mmY;
    };
    // The drawing's scale is whole pixels per centimetre (38 at 96 ppi, 47 at 120), and the
    // header says so: frame = size / scale cm in 0.01 mm, rounded, inclusive; the reference
    // device is whole centimetres, so that szlMillimeters / szlDevice is exactly 10 / scale.
    for (const Case& c : {Case{200, 100, 96, {0, 0, 5262, 2631}, 228, 114, 60, 30},
                          Case{300, 200, 120, {0, 0, 6382, 4254}, 329, 235, 70, 50},
                          Case{1000, 500, 96, {0, 0, 26315, 13157}, 1026, 532, 270, 140}}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << "@" << c.ppi);
        EmfWriter w(c.w, c.h, c.ppi);
        w.UsePen(0x000000, 1);
        w.MoveTo(10, 20);
        w.LineTo(30, 40);
        const std::size_t count = w.RecordCount() + 1; // + EOF
        Emf emf(w.Finish());
        ASSERT_FALSE(testing::Test::HasFatalFailure());
        const U_EMRHEADER hdr = emf.Header();
        EXPECT_EQ(hdr.emr.nSize, 108u);
        EXPECT_EQ(hdr.dSignature, 0x464D4520u);
        EXPECT_EQ(hdr.nVersion, 0x10000u);
        EXPECT_EQ(hdr.nBytes, std::uint32_t(emf.bytes().size()));
        EXPECT_EQ(hdr.nRecords, emf.records().size());
        EXPECT_EQ(hdr.nRecords, count);
        EXPECT_EQ(hdr.nHandles, 2) << "one pen plus the reserved slot 0";
        EXPECT_EQ(hdr.sReserved, 0);
        EXPECT_EQ(hdr.nPalEntries, 0u);
        EXPECT_EQ(R(hdr.rclBounds), (Rect4{10, 20, 30, 40}));
        EXPECT_EQ(R(hdr.rclFrame), c.frame);
        EXPECT_EQ(hdr.szlDevice.cx, c.deviceX);
        EXPECT_EQ(hdr.szlDevice.cy, c.deviceY);
        EXPECT_EQ(hdr.szlMillimeters.cx, c.mmX);
        EXPECT_EQ(hdr.szlMillimeters.cy, c.mmY);
        EXPECT_EQ(hdr.szlMicrometers.cx, 1000 * c.mmX);
        EXPECT_EQ(hdr.szlMicrometers.cy, 1000 * c.mmY);
        EXPECT_GE(hdr.szlDevice.cx, c.w) << "reference device smaller than the picture";
        EXPECT_GE(hdr.szlDevice.cy, c.h) << "reference device smaller than the picture";

        const Record& eof = emf.records().back();
        EXPECT_EQ(eof.size, 20u);
        const U_EMREOF e = emf.Get<U_EMREOF>(eof);
        EXPECT_EQ(e.cbPalEntries, 0u);
        EXPECT_EQ(emf.Get<std::uint32_t>(eof, 16), 20u) << "nSizeLast";
    }
}

TEST(EmfHeader, EmptyPicture) {
    EmfWriter w(64, 48, 96);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_THAT(emf.Types(), ElementsAre(U_EMR_HEADER, U_EMR_EOF));
    const U_EMRHEADER hdr = emf.Header();
    EXPECT_EQ(R(hdr.rclBounds), (Rect4{0, 0, -1, -1}));
    EXPECT_EQ(hdr.nHandles, 1);
    EXPECT_EQ(hdr.nRecords, 2u);
    EXPECT_EQ(hdr.nBytes, 128u);
}

TEST(EmfHeader, BoundsAreTheDrawnPixelsOnThePicture) {
    EmfWriter w(100, 100, 96);
    w.UsePen(0x000000, 1);
    w.MoveTo(10, 20);
    w.LineTo(30, 25);
    w.Ellipse(40, 50, 60, 70); // right/bottom exclusive: up to 59, 69
    w.UsePen(0x000000, 5);     // half the width reaches past the line on each side
    w.MoveTo(5, 80);
    w.LineTo(5, 90);
    w.MoveTo(90, 10); // leaves the picture: only the part on it counts
    w.LineTo(150, -20);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{3, 0, 99, 92}));

    // Drawing that misses the picture entirely must not widen the bounds.
    EmfWriter off(100, 100, 96);
    off.UsePen(0x000000, 1);
    off.MoveTo(200, -50);
    off.LineTo(300, -10);
    off.FillRect(-30, 10, -1, 20, 0x00FF00);
    // Its right edge lies below the coordinate range: it must not wrap round onto it.
    off.Ellipse(std::numeric_limits<int>::min(), 10, std::numeric_limits<int>::min(), 20);
    off.UsePen(0x000000, 1);
    off.MoveTo(10, 10);
    off.LineTo(20, 12);
    Emf emf2(off.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(R(emf2.Header().rclBounds), (Rect4{10, 10, 20, 12}));
}

TEST(EmfHeader, ShapesAtTheEdgesOfTheCoordinateRangeStillBoundCorrectly) {
    constexpr int lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
    EmfWriter w(100, 100, 96);
    w.UsePen(0x000000, 10); // a wide pen reaches past the ends of the range
    w.MoveTo(lo, 50);
    w.LineTo(hi, 50);
    w.Ellipse(lo, lo, hi, hi);
    const std::int32_t xy[] = {lo, lo, hi, lo, hi, 30};
    w.Polygon(xy, 3);
    w.BitBlt(hi - 1, hi - 1, 2, 2, std::array<std::uint32_t, 4>{}.data(), 2);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{0, 0, 99, 99}));
    const auto poly = emf.OfType(U_EMR_POLYGON);
    ASSERT_EQ(poly.size(), 1u);
    // The record's own bounds saturate instead of wrapping round.
    const U_RECTL box = emf.Get<U_RECTL>(poly[0], 8);
    EXPECT_EQ(R(box), (Rect4{lo, lo, hi, 35}));
}

// ---------------------------------------------------------------------------------------------
// Records of a known drawing

TEST(EmfRecords, LinesGiveExactRecordsAndCoordinates) {
    EmfWriter w(200, 200, 96);
    w.UsePen(static_cast<std::int32_t>(0x1F0000FF), 0); // byte 3 is no part of the colour
    w.MoveTo(10, 20);
    w.LineTo(30, 40);
    w.LineTo(50, -10);
    w.MoveTo(50, -10); // already there
    w.MoveTo(-7, 8);
    w.LineTo(5, 5);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_THAT(emf.Types(),
                ElementsAre(U_EMR_HEADER, U_EMR_CREATEPEN, U_EMR_SELECTOBJECT, U_EMR_MOVETOEX,
                            U_EMR_LINETO, U_EMR_LINETO, U_EMR_MOVETOEX, U_EMR_LINETO, U_EMR_EOF));
    const auto pen = emf.Get<U_EMRCREATEPEN>(1);
    EXPECT_EQ(pen.ihPen, 1u);
    EXPECT_EQ(pen.lopn.lopnStyle, static_cast<std::uint32_t>(U_PS_SOLID));
    // Width 0 is the cosmetic pen, one pixel at any scale; 1 would grow with the playback.
    EXPECT_EQ(pen.lopn.lopnWidth.x, 0);
    EXPECT_EQ(Colorref(pen.lopn.lopnColor), 0x0000FFu);
    EXPECT_EQ(pen.lopn.lopnColor.Red, 0xFF);
    EXPECT_EQ(emf.Get<U_EMRSELECTOBJECT>(2).ihObject, 1u);

    using P = std::array<std::int32_t, 2>;
    auto pt = [&](std::size_t i) {
        const auto m = emf.Get<U_EMRLINETO>(i);
        EXPECT_EQ(m.emr.nSize, 16u);
        return P{m.ptl.x, m.ptl.y};
    };
    EXPECT_EQ(pt(3), (P{10, 20}));
    EXPECT_EQ(pt(4), (P{30, 40}));
    EXPECT_EQ(pt(5), (P{50, -10}));
    EXPECT_EQ(pt(6), (P{-7, 8}));
    EXPECT_EQ(pt(7), (P{5, 5}));
}

TEST(EmfRecords, EllipseKeepsTheExclusiveBox) {
    EmfWriter w(100, 100, 96);
    w.Ellipse(60, 70, 20, 10); // given reversed
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_THAT(emf.Types(), ElementsAre(U_EMR_HEADER, U_EMR_ELLIPSE, U_EMR_EOF));
    EXPECT_EQ(R(emf.Get<U_EMRELLIPSE>(1).rclBox), (Rect4{20, 10, 60, 70}));
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{20, 10, 59, 69}));
}

TEST(EmfRecords, FillRectIsAPatBltWithItsColoursBrush) {
    EmfWriter w(100, 100, 96);
    w.UseBrush(0x00FF00, false);
    w.FillRect(30, 40, 10, 20, 0x123456); // reversed corners
    w.FillRect(5, 5, 5, 50, 0xABCDEF);    // empty: nothing at all
    w.UseBrush(0x123456, false);          // FillRect left this brush selected
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_THAT(emf.Types(),
                ElementsAre(U_EMR_HEADER, U_EMR_CREATEBRUSHINDIRECT, U_EMR_SELECTOBJECT,
                            U_EMR_CREATEBRUSHINDIRECT, U_EMR_SELECTOBJECT, U_EMR_DELETEOBJECT,
                            U_EMR_BITBLT, U_EMR_EOF));
    const auto brush = emf.Get<U_EMRCREATEBRUSHINDIRECT>(3);
    EXPECT_EQ(brush.lb.lbStyle, static_cast<std::uint32_t>(U_BS_SOLID));
    EXPECT_EQ(Colorref(brush.lb.lbColor), 0x123456u);
    EXPECT_EQ(emf.Get<U_EMRSELECTOBJECT>(4).ihObject, brush.ihBrush);

    const auto blt = emf.Get<U_EMRBITBLT>(6);
    EXPECT_EQ(blt.dwRop, static_cast<std::uint32_t>(U_PATCOPY));
    EXPECT_EQ(blt.Dest.x, 10);
    EXPECT_EQ(blt.Dest.y, 20);
    EXPECT_EQ(blt.cDest.x, 20);
    EXPECT_EQ(blt.cDest.y, 20);
    EXPECT_EQ(blt.cbBmiSrc, 0u);
    EXPECT_EQ(blt.cbBitsSrc, 0u);
    EXPECT_EQ(blt.xformSrc.eM11, 1.0f);
    EXPECT_EQ(blt.xformSrc.eM22, 1.0f);
    EXPECT_EQ(R(blt.rclBounds), (Rect4{10, 20, 29, 39}));
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{10, 20, 29, 39}));
}

TEST(EmfRecords, BackgroundModeAndColourOnlyWhenChanged) {
    EmfWriter w(10, 10, 96);
    w.SetBkModeTransparent(true);
    w.SetBkModeTransparent(true, 0x00FF00); // transparent: the colour is not needed
    w.SetBkModeTransparent(false, 0xC0C0C0);
    w.SetBkModeTransparent(false, 0xC0C0C0);
    w.SetBkModeTransparent(false, 0x0000FF);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_THAT(emf.Types(), ElementsAre(U_EMR_HEADER, U_EMR_SETBKMODE, U_EMR_SETBKMODE,
                                         U_EMR_SETBKCOLOR, U_EMR_SETBKCOLOR, U_EMR_EOF));
    EXPECT_EQ(emf.Get<U_EMRSETBKMODE>(1).iMode, static_cast<std::uint32_t>(U_TRANSPARENT));
    EXPECT_EQ(emf.Get<U_EMRSETBKMODE>(2).iMode, static_cast<std::uint32_t>(U_OPAQUE));
    EXPECT_EQ(Colorref(emf.Get<U_EMRSETBKCOLOR>(3).crColor), 0xC0C0C0u);
    EXPECT_EQ(Colorref(emf.Get<U_EMRSETBKCOLOR>(4).crColor), 0x0000FFu);
}

// ---------------------------------------------------------------------------------------------
// Object table discipline

// Replays the object records as a player would and fails on any misuse of the table.
struct ObjectTable {
    struct Obj {
        std::uint32_t kind; // creating record type
        std::size_t record;
    };
    std::map<std::uint32_t, Obj> live;
    std::map<std::uint32_t, std::uint32_t> selected; // kind -> handle (stock or created)
    std::size_t maxLive = 0;

    static std::optional<std::uint32_t> StockKind(std::uint32_t h) {
        if (h >= U_WHITE_BRUSH && h <= U_NULL_BRUSH) return U_EMR_CREATEBRUSHINDIRECT;
        if (h >= U_WHITE_PEN && h <= U_NULL_PEN) return U_EMR_CREATEPEN;
        if (h >= U_OEM_FIXED_FONT && h <= U_STOCK_LAST && h != 0x8000000F)
            return U_EMR_EXTCREATEFONTINDIRECTW;
        return std::nullopt;
    }

    testing::AssertionResult Apply(const Emf& emf, std::size_t i) {
        const Record& rec = emf.records()[i];
        const std::uint16_t nHandles = emf.Header().nHandles;
        switch (rec.type) {
        case U_EMR_CREATEPEN:
        case U_EMR_CREATEBRUSHINDIRECT:
        case U_EMR_EXTCREATEFONTINDIRECTW: {
            const auto h = emf.Get<std::uint32_t>(rec, 8);
            if (h == 0 || h >= nHandles)
                return testing::AssertionFailure()
                       << "record " << i << " creates slot " << h << " outside 1.." << nHandles - 1;
            if (live.count(h)) return testing::AssertionFailure() << "slot " << h << " reused";
            live[h] = {rec.type, i};
            maxLive = std::max(maxLive, live.size());
            break;
        }
        case U_EMR_SELECTOBJECT: {
            const auto h = emf.Get<std::uint32_t>(rec, 8);
            if (h & 0x80000000u) {
                const auto kind = StockKind(h);
                if (!kind) return testing::AssertionFailure() << "bad stock object " << h;
                selected[*kind] = h;
            } else {
                auto it = live.find(h);
                if (it == live.end())
                    return testing::AssertionFailure()
                           << "record " << i << " selects slot " << h << " before creation";
                selected[it->second.kind] = h;
            }
            break;
        }
        case U_EMR_DELETEOBJECT: {
            const auto h = emf.Get<std::uint32_t>(rec, 8);
            auto it = live.find(h);
            if (it == live.end())
                return testing::AssertionFailure() << "record " << i << " deletes empty slot " << h;
            if (selected[it->second.kind] == h)
                return testing::AssertionFailure()
                       << "record " << i << " deletes selected object " << h;
            live.erase(it);
            break;
        }
        default:
            break;
        }
        return testing::AssertionSuccess();
    }

    // The creating record of the object selected for a kind, if it is a created one.
    std::optional<Record> Current(const Emf& emf, std::uint32_t kind) {
        auto it = live.find(selected[kind]);
        if (it == live.end()) return std::nullopt;
        return emf.records()[it->second.record];
    }
};

TEST(EmfObjects, CreateSelectDeleteDisciplineAndSelectedValues) {
    EmfWriter w(100, 100, 96);
    struct Want {
        std::uint32_t pen;
        int width;
        std::uint32_t brush; // 0xFFFFFFFF: clear
        int fontHeight;
    };
    std::vector<Want> wants;
    const std::uint32_t pens[] = {0x0000FF, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF0000};
    const std::u16string faces[] = {u"Arial", u"Arial", u"Courier New"};
    for (int i = 0; i < 60; ++i) {
        const Want want{pens[i % 5], 1 + (i / 7) % 3,
                        (i % 4 == 3) ? 0xFFFFFFFFu : 0x101010u * (i % 3), 10 + (i / 5) % 2};
        w.UsePen(static_cast<std::int32_t>(want.pen), want.width);
        w.UseBrush(static_cast<std::int32_t>(want.brush), want.brush == 0xFFFFFFFFu);
        w.UseFont(faces[i % 3], want.fontHeight, 0);
        w.Ellipse(i, i, i + 10, i + 10);
        wants.push_back(want);
    }
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_LE(emf.Header().nHandles, 7);

    ObjectTable table;
    std::size_t draw = 0;
    for (std::size_t i = 1; i < emf.records().size(); ++i) {
        ASSERT_TRUE(table.Apply(emf, i));
        if (emf.records()[i].type != U_EMR_ELLIPSE) continue;
        ASSERT_LT(draw, wants.size());
        const Want& want = wants[draw++];
        SCOPED_TRACE(testing::Message() << "ellipse " << draw - 1);
        const auto pen = table.Current(emf, U_EMR_CREATEPEN);
        ASSERT_TRUE(pen.has_value());
        const auto lp = emf.Get<U_EMRCREATEPEN>(*pen).lopn;
        EXPECT_EQ(Colorref(lp.lopnColor), want.pen);
        EXPECT_EQ(lp.lopnWidth.x, want.width);
        if (want.brush == 0xFFFFFFFFu) {
            EXPECT_EQ(table.selected[U_EMR_CREATEBRUSHINDIRECT],
                      static_cast<std::uint32_t>(U_NULL_BRUSH));
        } else {
            const auto brush = table.Current(emf, U_EMR_CREATEBRUSHINDIRECT);
            ASSERT_TRUE(brush.has_value());
            EXPECT_EQ(Colorref(emf.Get<U_EMRCREATEBRUSHINDIRECT>(*brush).lb.lbColor), want.brush);
        }
        const auto font = table.Current(emf, U_EMR_EXTCREATEFONTINDIRECTW);
        ASSERT_TRUE(font.has_value());
        EXPECT_EQ(emf.Get<U_LOGFONT>(*font, 12).lfHeight, -want.fontHeight);
    }
    EXPECT_EQ(draw, wants.size());
    EXPECT_LE(table.maxLive, 6u);
}

TEST(EmfObjects, RepeatedValuesEmitNothing) {
    EmfWriter w(10, 10, 96);
    w.UsePen(0x123456, 3);
    w.UseBrush(0x00FF00, false);
    w.UseFont(u"Arial", 12, 0x0000FF);
    const std::size_t before = w.RecordCount();
    for (int i = 0; i < 10; ++i) {
        w.UsePen(0x123456, 3);
        w.UseBrush(0x00FF00, false);
        w.UseFont(u"Arial", 12, 0x0000FF);
    }
    EXPECT_EQ(w.RecordCount(), before);
    w.UseBrush(0x00FF00, true);
    w.UseBrush(0x0000FF, true);        // clear brushes are all the same
    w.UseFont(u"Arial", 12, 0xFF0000); // only the text colour changes
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    const auto& recs = emf.records();
    ASSERT_EQ(recs.size(), before + 4);
    EXPECT_EQ(recs[before].type, static_cast<std::uint32_t>(U_EMR_SELECTOBJECT));
    EXPECT_EQ(emf.Get<U_EMRSELECTOBJECT>(before).ihObject,
              static_cast<std::uint32_t>(U_NULL_BRUSH));
    EXPECT_EQ(recs[before + 1].type, static_cast<std::uint32_t>(U_EMR_DELETEOBJECT));
    EXPECT_EQ(recs[before + 2].type, static_cast<std::uint32_t>(U_EMR_SETTEXTCOLOR));
    EXPECT_EQ(Colorref(emf.Get<U_EMRSETTEXTCOLOR>(before + 2).crColor), 0xFF0000u);
}

// ---------------------------------------------------------------------------------------------
// Polygons

TEST(EmfPolygon, SixteenBitPointsUpToTheInt16Limits) {
    struct Case {
        std::int32_t far;
        std::uint32_t type;
    };
    for (const Case& c : {Case{32767, U_EMR_POLYGON16}, Case{-32768, U_EMR_POLYGON16},
                          Case{32768, U_EMR_POLYGON}, Case{-32769, U_EMR_POLYGON}}) {
        SCOPED_TRACE(c.far);
        EmfWriter w(100, 100, 96);
        w.UsePen(0, 1);
        const std::vector<std::int32_t> xy = {10, 20, c.far, 30, 40, c.far};
        w.Polygon(xy.data(), 3);
        Emf emf(w.Finish());
        ASSERT_FALSE(HasFatalFailure());
        const auto polys = emf.OfType(c.type);
        ASSERT_EQ(polys.size(), 1u);
        const Record& rec = polys[0];
        std::vector<std::int32_t> back;
        if (c.type == U_EMR_POLYGON16) {
            const auto p = emf.Get<U_EMRPOLYGON16>(rec);
            ASSERT_EQ(p.cpts, 3u);
            EXPECT_EQ(rec.size, 28u + 3 * 4);
            for (std::size_t i = 0; i < 3; ++i) {
                const auto pt = emf.Get<U_POINT16>(rec, 28 + 4 * i);
                back.insert(back.end(), {pt.x, pt.y});
            }
        } else {
            const auto p = emf.Get<U_EMRPOLYGON>(rec);
            ASSERT_EQ(p.cptl, 3u);
            EXPECT_EQ(rec.size, 28u + 3 * 8);
            for (std::size_t i = 0; i < 3; ++i) {
                const auto pt = emf.Get<U_POINTL>(rec, 28 + 8 * i);
                back.insert(back.end(), {pt.x, pt.y});
            }
        }
        EXPECT_EQ(back, xy);
        const auto bounds = R(emf.Get<U_EMRPOLYGON16>(rec).rclBounds);
        EXPECT_EQ(bounds, (Rect4{std::min(10, c.far), std::min(20, c.far), std::max(40, c.far),
                                 std::max(30, c.far)}));
    }
}

TEST(EmfPolygon, FewerThanTwoPointsDrawNothing) {
    EmfWriter w(100, 100, 96);
    const std::int32_t xy[] = {1, 2};
    w.Polygon(xy, 1);
    w.Polygon(xy, 0);
    w.Polygon(nullptr, 3);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_THAT(emf.Types(), ElementsAre(U_EMR_HEADER, U_EMR_EOF));
}

// ---------------------------------------------------------------------------------------------
// Text

struct Text {
    U_EMREXTTEXTOUTW rec;
    std::u16string chars;
    std::vector<std::int32_t> dx;
};

Text ReadText(const Emf& emf, const Record& r) {
    Text t{emf.Get<U_EMREXTTEXTOUTW>(r), {}, {}};
    for (std::uint32_t i = 0; i < t.rec.emrtext.nChars; ++i) {
        t.chars.push_back(
            static_cast<char16_t>(emf.Get<std::uint16_t>(r, t.rec.emrtext.offString + 2 * i)));
        t.dx.push_back(emf.Get<std::int32_t>(r, emf.Get<std::uint32_t>(r, 72) + 4 * i));
    }
    return t;
}

TEST(EmfText, Utf16TextWithSurrogatePair) {
    EmfWriter w(200, 100, 96);
    w.UseFont(u"Arial", 16, 0xFF0000);
    const std::u16string text = u"A\U0001F600b"; // 4 UTF-16 units, 3 characters
    ASSERT_EQ(text.size(), 4u);
    w.TextOut(5, 6, text, 30);
    w.TextOut(50, 60, u"\u00e4\u00df", 0, std::vector<std::int32_t>{7, 9});
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_THAT(emf.Types(), ElementsAre(U_EMR_HEADER, U_EMR_EXTCREATEFONTINDIRECTW,
                                         U_EMR_SELECTOBJECT, U_EMR_SETTEXTCOLOR, U_EMR_SETTEXTALIGN,
                                         U_EMR_EXTTEXTOUTW, U_EMR_EXTTEXTOUTW, U_EMR_EOF));

    const auto lf = emf.Get<U_LOGFONT>(1, 12);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(lf.lfCharSet, U_DEFAULT_CHARSET);
    EXPECT_EQ(std::u16string(lf.lfFaceName, lf.lfFaceName + 6), std::u16string(u"Arial\0", 6));
    EXPECT_EQ(Colorref(emf.Get<U_EMRSETTEXTCOLOR>(3).crColor), 0xFF0000u);
    EXPECT_EQ(emf.Get<U_EMRSETTEXTALIGN>(4).iMode,
              static_cast<std::uint32_t>(U_TA_TOP | U_TA_LEFT | U_TA_NOUPDATECP));

    const Text t = ReadText(emf, emf.records()[5]);
    EXPECT_EQ(t.chars, text);
    EXPECT_EQ(t.rec.emrtext.ptlReference.x, 5);
    EXPECT_EQ(t.rec.emrtext.ptlReference.y, 6);
    EXPECT_EQ(t.rec.emrtext.fOptions & U_ETO_NO_RECT, 0u) << "the rectangle is written";
    EXPECT_EQ(t.rec.iGraphicsMode, static_cast<std::uint32_t>(U_GM_COMPATIBLE));
    EXPECT_THAT(t.dx, ElementsAre(10, 10, 0, 10)) << "even spread, none for the low surrogate";
    EXPECT_EQ(R(t.rec.rclBounds), (Rect4{5, 6, 34, 21}));

    const Text t2 = ReadText(emf, emf.records()[6]);
    EXPECT_EQ(t2.chars, u"\u00e4\u00df");
    EXPECT_THAT(t2.dx, ElementsAre(7, 9));
    EXPECT_EQ(R(t2.rec.rclBounds), (Rect4{50, 60, 65, 75})) << "width from the advances";
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{5, 6, 65, 75}));
}

TEST(EmfText, OddLengthIsPaddedAndEmptyTextRecordsNothing) {
    EmfWriter w(100, 100, 96);
    w.UseFont(u"Arial", 10, 0);
    const std::size_t before = w.RecordCount();
    w.TextOut(10, 10, u"", 40);
    EXPECT_EQ(w.RecordCount(), before);
    w.TextOut(1, 2, u"abc", 21);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    const auto texts = emf.OfType(U_EMR_EXTTEXTOUTW);
    ASSERT_EQ(texts.size(), 1u);
    const Text t = ReadText(emf, texts[0]);
    EXPECT_EQ(t.chars, u"abc");
    EXPECT_THAT(t.dx, ElementsAre(7, 7, 7));
    EXPECT_EQ(texts[0].size, 76u + 8 + 12);
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{1, 2, 21, 11}));
}

TEST(EmfText, LongFaceNameIsCutWithoutSplittingASurrogatePair) {
    std::u16string face(30, u'x');
    face += u"\U0001F600tail"; // the pair would straddle the 31-unit limit
    EmfWriter w(10, 10, 96);
    w.UseFont(face, 10, 0);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    const auto lf = emf.Get<U_LOGFONT>(1, 12);
    EXPECT_EQ(std::u16string(lf.lfFaceName, lf.lfFaceName + 30), std::u16string(30, u'x'));
    EXPECT_EQ(lf.lfFaceName[30], 0);
    EXPECT_EQ(lf.lfFaceName[31], 0);
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

TEST(EmfBitmap, PixelsRoundTripAsBottomUpDib) {
    constexpr int w = 3, h = 2, stride = 5;
    std::vector<std::uint32_t> pixels(stride * h, 0xDEADBEEF);
    const std::uint32_t rows[h][w] = {{0xFF112233, 0x00445566, 0x80778899},
                                      {0xFFAABBCC, 0xFFDDEEFF, 0xFF010203}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[y * stride + x] = rows[y][x];

    EmfWriter writer(100, 100, 96);
    writer.BitBlt(7, 9, w, h, pixels.data(), stride);
    writer.BitBlt(0, 0, 0, 5, pixels.data(), stride); // empty: nothing
    Emf emf(writer.Finish());
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_THAT(emf.Types(), ElementsAre(U_EMR_HEADER, U_EMR_STRETCHDIBITS, U_EMR_EOF));
    const Record& rec = emf.records()[1];
    const auto sd = emf.Get<U_EMRSTRETCHDIBITS>(rec);
    EXPECT_EQ(sd.dwRop, static_cast<std::uint32_t>(U_SRCCOPY));
    EXPECT_EQ(sd.Dest.x, 7);
    EXPECT_EQ(sd.Dest.y, 9);
    EXPECT_EQ(sd.cDest.x, w);
    EXPECT_EQ(sd.cDest.y, h);
    EXPECT_EQ(sd.cSrc.x, w);
    EXPECT_EQ(sd.cSrc.y, h);
    EXPECT_EQ(sd.Src.x, 0);
    EXPECT_EQ(sd.Src.y, 0);
    EXPECT_EQ(R(sd.rclBounds), (Rect4{7, 9, 9, 10}));
    EXPECT_EQ(R(emf.Header().rclBounds), (Rect4{7, 9, 9, 10}));

    ASSERT_EQ(sd.cbBmiSrc, sizeof(U_BITMAPINFOHEADER));
    const auto bih = emf.Get<U_BITMAPINFOHEADER>(rec, sd.offBmiSrc);
    EXPECT_EQ(bih.biSize, sizeof(U_BITMAPINFOHEADER));
    EXPECT_EQ(bih.biWidth, w);
    EXPECT_EQ(bih.biHeight, h) << "positive height: bottom-up rows";
    EXPECT_EQ(bih.biPlanes, 1);
    EXPECT_EQ(bih.biBitCount, 32);
    EXPECT_EQ(bih.biCompression, static_cast<std::uint32_t>(U_BI_RGB));
    EXPECT_EQ(bih.biClrUsed, 0u);

    ASSERT_EQ(sd.cbBitsSrc, static_cast<std::uint32_t>(w * h * 4));
    std::vector<std::uint32_t> back;
    for (int i = 0; i < w * h; ++i)
        back.push_back(emf.Get<std::uint32_t>(rec, sd.offBitsSrc + 4 * i));
    // The last source row comes first; byte 3 is made opaque.
    EXPECT_THAT(back, ElementsAreArray({0xFFAABBCCu, 0xFFDDEEFFu, 0xFF010203u, 0xFF112233u,
                                        0xFF445566u, 0xFF778899u}));
    // BGRA byte order in the file.
    const std::size_t first = rec.offset + sd.offBitsSrc;
    EXPECT_THAT(
        std::vector<std::uint8_t>(emf.bytes().begin() + first, emf.bytes().begin() + first + 4),
        ElementsAre(0xCC, 0xBB, 0xAA, 0xFF));
}

TEST(EmfRecords, AMoveIsRecordedRightBeforeTheLineThatStartsThere) {
    EmfWriter w(400, 400, 96);
    w.FillRect(0, 0, 400, 400, 0xFFFFFF);
    w.MoveTo(10, 10); // no line starts here
    w.MoveTo(200, 200);
    w.UsePen(0x000000, 1);
    w.LineTo(200, 86);
    w.LineTo(124, 86);
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::uint32_t> types = emf.Types();
    // A reader that joins a move to the path before it must not find it behind the fill.
    const auto move = std::find(types.begin(), types.end(), std::uint32_t(U_EMR_MOVETOEX));
    ASSERT_NE(move, types.end());
    EXPECT_EQ(std::count(types.begin(), types.end(), std::uint32_t(U_EMR_MOVETOEX)), 1);
    EXPECT_EQ(*(move - 1), std::uint32_t(U_EMR_SELECTOBJECT));
    EXPECT_EQ(*(move + 1), std::uint32_t(U_EMR_LINETO));
    const auto rec = emf.OfType(U_EMR_MOVETOEX).front();
    EXPECT_EQ(emf.Get<std::int32_t>(rec, 8), 200);
    EXPECT_EQ(emf.Get<std::int32_t>(rec, 12), 200);
}

TEST(EmfRecords, ALineAfterAnyOtherRecordStartsWithAMoveOfItsOwn) {
    EmfWriter w(400, 400, 96);
    w.UsePen(0x000000, 1);
    w.MoveTo(10, 10);
    w.LineTo(100, 10);
    w.UsePen(0x0000FF, 1); // a pen change
    w.LineTo(100, 100);
    w.UseBrush(0x00FF00, false); // a brush change
    w.LineTo(10, 100);
    w.Ellipse(0, 0, 20, 20); // a shape
    w.LineTo(10, 10);
    w.LineTo(50, 50); // continues the path
    Emf emf(w.Finish());
    ASSERT_FALSE(HasFatalFailure());
    const auto& recs = emf.records();
    std::vector<std::array<std::int32_t, 2>> moves;
    for (std::size_t i = 1; i < recs.size(); ++i) {
        if (recs[i].type != U_EMR_LINETO) continue;
        const std::uint32_t before = recs[i - 1].type;
        EXPECT_TRUE(before == U_EMR_LINETO || before == U_EMR_MOVETOEX) << "record " << i;
        if (before == U_EMR_MOVETOEX)
            moves.push_back({emf.Get<std::int32_t>(i - 1, 8), emf.Get<std::int32_t>(i - 1, 12)});
    }
    // Each move goes where the line before ended, so GDI draws the same picture.
    using P = std::array<std::int32_t, 2>;
    EXPECT_THAT(moves, ElementsAre(P{10, 10}, P{100, 10}, P{100, 100}, P{10, 100}));
}

// ---------------------------------------------------------------------------------------------
// Size and lifetime

TEST(EmfSize, MillionConnectedLinesCostSixteenBytesEach) {
    constexpr int lines = 1'000'000;
    EmfWriter w(800, 600, 96);
    w.MoveTo(0, 0);
    for (int i = 0; i < lines; ++i) {
        w.UsePen(0x0000FF, 1);
        w.LineTo(i % 800, (i * 7) % 600);
    }
    // Header, pen, selection, one move after it and the lines.
    EXPECT_EQ(w.RecordCount(), static_cast<std::size_t>(lines) + 4);
    const std::vector<std::uint8_t> bytes = w.Finish();
    EXPECT_LE(bytes.size(), 108u + 28 + 12 + 16 + 16u * lines + 20);

    // Separate segments need a move each and stay within 40 bytes a line.
    EmfWriter pairs(800, 600, 96);
    for (int i = 0; i < 1000; ++i) {
        pairs.MoveTo(i % 800, 0);
        pairs.LineTo(i % 800, 10);
    }
    EXPECT_LE(pairs.Finish().size(), 108u + 20 + 32 * 1000);
}

TEST(EmfLifetime, UseAfterFinishThrows) {
    EmfWriter w(10, 10, 96);
    w.LineTo(1, 1);
    const std::size_t records = w.RecordCount();
    EXPECT_FALSE(w.Finish().empty());
    EXPECT_EQ(w.RecordCount(), records + 1);
    EXPECT_THROW(w.LineTo(2, 2), std::logic_error);
    EXPECT_THROW(w.UsePen(0, 1), std::logic_error);
    EXPECT_THROW(w.Finish(), std::logic_error);
}

// ---------------------------------------------------------------------------------------------
// The metafile that records through the writer

TEST(HostMetafile, ACanvasCompletesItsMetafileWhenItGoes) {
    TMetafile mf;
    mf.SetEnhanced(true);
    mf.SetHeight(50);
    mf.SetWidth(80);
    EXPECT_TRUE(mf.Data().empty());
    {
        TMetafileCanvas canvas(mf, nullptr);
        canvas.Pen().SetColor(clRed);
        canvas.MoveTo(5, 5);
        canvas.LineTo(70, 40);
        EXPECT_TRUE(mf.Data().empty()) << "not finished while the canvas records";
    }
    const QByteArray bytes(reinterpret_cast<const char*>(mf.Data().data()),
                           qsizetype(mf.Data().size()));
    EXPECT_TRUE(IsEmf(bytes));
    EXPECT_EQ(mf.Picture().size(), QSize(80, 50));
    EXPECT_GT(CountColor(mf.Picture(), clRed), 30);
    EXPECT_EQ(FromQRgb(mf.Picture().pixel(70, 5)), clWhite);
}

TEST(HostMetafile, SaveToFileReplacesAnOlderFileWhole) {
    QTemporaryDir folder;
    {
        QFile older(folder.filePath("alt.wmf"));
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write(QByteArray(100000, 'x'));
    }
    TMetafile mf;
    mf.SetWidth(10);
    mf.SetHeight(10);
    { TMetafileCanvas canvas(mf); }
    mf.SaveToFile(folder.filePath("alt.wmf").toStdString());
    const QByteArray bytes = ReadFile(folder.filePath("alt.wmf"));
    EXPECT_EQ(std::size_t(bytes.size()), mf.Data().size());
    EXPECT_TRUE(IsEmf(bytes));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"alt.wmf"});
    EXPECT_THROW(mf.SaveToFile(""), std::runtime_error);
}

// ---------------------------------------------------------------------------------------------
// Metafile files: the name given, or a clear error, never another file

// A small finished metafile: a few lines.
void RecordLines(TMetafile& mf, int lines = 20) {
    mf.SetWidth(200);
    mf.SetHeight(200);
    TMetafileCanvas canvas(mf);
    for (int i = 0; i < lines; ++i)
        canvas.LineTo(i % 200, (i * 7) % 200);
}

std::string SaveError(const TMetafile& mf, const TString& name) {
    try {
        mf.SaveToFile(name);
    } catch (const EKritzelwerk& e) {
        return e.what();
    }
    return "saved";
}

TEST(Files, AtTheSizeLimitACommandFailsClearlyAndTheRecordingStillEnds) {
    TMetafile mf;
    mf.SetWidth(100);
    mf.SetHeight(100);
    std::string error;
    {
        TMetafileCanvas canvas(mf);
        canvas.Writer().SetLimit(64 * 1024);
        try {
            for (int i = 0; i < 100000; ++i)
                canvas.LineTo(i % 100, (i * 3) % 100);
        } catch (const EKritzelwerk& e) {
            error = e.what();
        }
    } // the recording ends here: no throw from the destructor
    EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
    EXPECT_TRUE(mf.Incomplete());
    EXPECT_LE(mf.Data().size(), 64u * 1024);
    const QByteArray bytes(reinterpret_cast<const char*>(mf.Data().data()),
                           qsizetype(mf.Data().size()));
    EXPECT_TRUE(IsEmf(bytes));
    const QString name = QString::fromStdString(OutputDir()) + "/full.wmf";
    const std::string saved = SaveError(mf, name.toStdString());
    EXPECT_NE(saved.find("4 GiB"), std::string::npos) << saved;
    EXPECT_EQ(ReadFile(name), bytes) << "what fitted is written";
}

TEST(Files, OnlyARegularFileIsReplacedAndStrangeNamesAreRefused) {
    TMetafile mf;
    RecordLines(mf);
    const QString dir = QString::fromStdString(OutputDir()) + "/names";
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    const std::string d = dir.toStdString();

    const std::string fifo = d + "/pipe.wmf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(SaveError(mf, fifo).find("not a regular file"), std::string::npos);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(fifo)).isFile() == false);

    const std::string target = d + "/target.txt", link = d + "/link.wmf";
    {
        QFile f(QString::fromStdString(target));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept");
    }
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_NE(SaveError(mf, link).find("symbolic link"), std::string::npos);
    EXPECT_EQ(ReadFile(QString::fromStdString(target)), QByteArray("kept"));

    EXPECT_NE(SaveError(mf, d + "/bild\xFF.wmf").find("UTF-8"), std::string::npos);
    const std::string nul = SaveError(mf, d + std::string("/a\0b.wmf", 8));
    EXPECT_NE(nul.find("NUL"), std::string::npos) << nul;
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    EXPECT_EQ(left.size(), 3) << left.join(' ').toStdString() << ": nothing else written";

    EXPECT_EQ(SaveError(mf, d + "/gut.wmf"), "saved");
    EXPECT_EQ(SaveError(mf, d + "/gut.wmf"), "saved") << "a regular file is replaced";
}

TEST(Files, AFileTooLargeForTheDiskSaysSo) {
    TMetafile mf;
    RecordLines(mf, 2000);
    ASSERT_GT(mf.Data().size(), 4096u);
    const std::string name = OutputDir() + "/too-large.wmf";
    QFile::remove(QString::fromStdString(name));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = SaveError(mf, name);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(name)));
}

TEST(Files, ASaveLeavesNoTemporaryAndRemovesThoseOfKilledSaves) {
    TMetafile mf;
    RecordLines(mf);
    const QString dir = QString::fromStdString(OutputDir()) + "/temporaries";
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    // A save killed before its rename left its temporary; so did one that still runs.
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    const QString stale = dir + QString("/.bild.wmf.kritzelwerk-%1.tmp").arg(ended);
    const QString running = dir + "/.bild.wmf.kritzelwerk-1.tmp";
    const QString pupils = dir + "/bild.wmf.backup";
    for (const QString& f : {stale, running, pupils}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(SaveError(mf, dir.toStdString() + "/bild.wmf"), "saved");
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(running)) << "its process still lives";
    EXPECT_TRUE(QFile::exists(pupils)) << "not a name of the writer's own";
    const QStringList left =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left.join(' ').toStdString(), ".bild.wmf.kritzelwerk-1.tmp bild.wmf bild.wmf.backup");
}

// ---------------------------------------------------------------------------------------------
// The reader every metafile test relies on

TEST(EmfReader, TellsEveryBrokenStructureFromAGoodFile) {
    EmfWriter w(20, 20, 96);
    w.UsePen(0x000000, 1);
    w.LineTo(5, 5);
    const std::vector<std::uint8_t> finished = w.Finish();
    const QByteArray good(reinterpret_cast<const char*>(finished.data()),
                          qsizetype(finished.size()));
    ASSERT_EQ(test::EmfFault(good), "");
    const auto put32 = [](QByteArray b, qsizetype at, std::uint32_t v) {
        std::memcpy(b.data() + at, &v, sizeof v);
        return b;
    };
    const qsizetype second = 108; // the record after the header
    const qsizetype eof = good.size() - 20;
    for (const auto& [what, broken] : std::initializer_list<std::pair<const char*, QByteArray>>{
             {"truncated", good.left(good.size() - 4)},
             {"header counts other bytes", put32(good, 48, std::uint32_t(good.size()) + 4)},
             {"header counts other records", put32(good, 52, 99)},
             {"no signature", put32(good, 40, 0)},
             {"record size not a multiple of four", put32(good, second + 4, 10)},
             {"record size past the end", put32(good, second + 4, 0x10000)},
             {"a second header", put32(good, second, U_EMR_HEADER)},
             {"no end record last", put32(good, eof, U_EMR_LINETO)},
             {"a record after the end", good + good.right(20)},
         }) {
        EXPECT_NE(test::EmfFault(broken), "") << what;
        EXPECT_FALSE(test::IsEmf(broken)) << what;
    }
}

} // namespace
} // namespace kritzel
