// The comparison library: drawings compared as geometry in LE, the metafile read back as
// geometry, and the pixel figure.
#include "support.h"

#include "geometrie/Compare.h"
#include "geometrie/EmfReader.h"
#include "geometrie/Pixels.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

namespace kritzel {
namespace {

using vergleich::Compare;
using vergleich::Comparison;
using vergleich::Drawing;
using vergleich::Language;
using vergleich::Point;

// A turtle on paper: it walks in LE and leaves lines, rounded to the pixels of a 38 px/cm
// screen as the control rounds them.
struct Walker {
    Drawing d{20, 15, 38, {}, {}, {}, {}, {}};
    Point at;
    double heading = 0; // degrees, 0 = right, counter-clockwise
    vergleich::Colour colour = clBlack;
    static double Px(double v) { return std::round(v * 38) / 38; }
    void To(double x, double y) {
        const Point next{x, y};
        d.lines.push_back({{Px(at.x), Px(at.y)}, {Px(x), Px(y)}, colour, 1.0 / 38});
        at = next;
    }
    void Fd(double s) {
        const double a = heading * std::numbers::pi / 180;
        To(at.x + s * std::cos(a), at.y + s * std::sin(a));
    }
    void Lt(double w) { heading += w; }
    void Jump(double x, double y) { at = {x, y}; }
};

// A 3 x 2 rectangle from the origin, sides in order: bottom, right, top, left.
Drawing Rectangle(double last = 2) {
    Walker w;
    for (const double s : {3.0, 2.0, 3.0, last}) {
        w.Fd(s);
        w.Lt(90);
    }
    return w.d;
}

std::vector<std::string> Texts(const Comparison& c) {
    std::vector<std::string> out;
    for (const auto& d : c.differences)
        out.push_back(d.text);
    return out;
}

TEST(Compare, TheSameFigureDrawnAnyWayScoresFullWithNothingToSay) {
    const Drawing solution = Rectangle();
    Walker reversed; // the other way round, from another corner
    reversed.Jump(3, 2);
    for (const auto& [x, y] : {std::pair{3.0, 0.0}, {0.0, 0.0}, {0.0, 2.0}, {3.0, 2.0}})
        reversed.To(x, y);
    Walker pieces; // each side in many short steps, twice over, by SetPosition on the way back
    for (int round = 0; round < 2; ++round) {
        pieces.Jump(0, 0);
        pieces.heading = 0;
        for (int side = 0; side < 4; ++side) {
            for (int i = 0; i < 10; ++i)
                pieces.Fd((side % 2 ? 2.0 : 3.0) / 10);
            pieces.Lt(90);
        }
    }
    Walker shuffled; // sides in another order, each a separate stroke
    shuffled.Jump(0, 2), shuffled.To(3, 2);
    shuffled.Jump(0, 0), shuffled.To(0, 2);
    shuffled.Jump(3, 0), shuffled.To(3, 2);
    shuffled.Jump(3, 0), shuffled.To(0, 0);
    for (const Drawing* d :
         std::initializer_list<const Drawing*>{&solution, &reversed.d, &pieces.d, &shuffled.d}) {
        const Comparison c = Compare(solution, *d);
        EXPECT_EQ(c.score, 100);
        EXPECT_EQ(Texts(c), std::vector<std::string>{});
        EXPECT_EQ(Compare(*d, solution).score, 100);
    }
}

TEST(Compare, ACircleEqualsAnArcOfShortStepsAndAFinePolygonOnIt) {
    Drawing circle{20, 15, 38, {}, {}, {}, {}, {}};
    circle.circles.push_back({{1, 1}, 2, clBlack, false, 0});
    Walker arc; // Arc(2, 360) as the control records it: short lines
    arc.Jump(1, -1);
    arc.heading = 2.5; // each chord halfway through its turn
    for (int i = 0; i < 72; ++i) {
        arc.Fd(2 * 2 * std::numbers::pi / 72 * std::sin(std::numbers::pi / 72) /
               (std::numbers::pi / 72));
        arc.Lt(5);
    }
    for (const Drawing* d : {static_cast<const Drawing*>(&arc.d)}) {
        EXPECT_EQ(Compare(circle, *d).score, 100)
            << ::testing::PrintToString(Texts(Compare(circle, *d)));
        EXPECT_EQ(Compare(*d, circle).score, 100);
    }
    // Half the arc is half a circle missing: named as an arc of that circle.
    Walker half = arc;
    half.d.lines.resize(36);
    const Comparison c = Compare(circle, half.d);
    ASSERT_EQ(c.differences.size(), 1u) << ::testing::PrintToString(Texts(c));
    EXPECT_EQ(c.differences[0].kind, "missing-circle");
    EXPECT_NE(c.differences[0].text.find("des Kreises, Radius 2, bei (1, 1), fehlt"),
              std::string::npos)
        << c.differences[0].text;
    EXPECT_EQ(c.score, 0); // its one part, half there
}

TEST(Compare, NamesASideTooShortOrTooLongAMissingAndAnExtraLine) {
    const Drawing solution = Rectangle();
    const Comparison shorter = Compare(solution, Rectangle(1.5));
    EXPECT_EQ(Texts(shorter),
              std::vector<std::string>{"Seite 4 (von (0, 2) nach (0, 0)) ist 0,5 cm zu kurz"});
    EXPECT_EQ(shorter.differences[0].kind, "short-side");
    EXPECT_EQ(shorter.score, 75); // three sides of four
    const Comparison longer = Compare(solution, Rectangle(2.5), {0.05, Language::English});
    EXPECT_EQ(Texts(longer),
              std::vector<std::string>{"Side 4 (from (0, 2) to (0, 0)) is 0.5 cm too long"});
    EXPECT_EQ(longer.score, 80); // four sides of four, and one extra part

    Drawing gap = Rectangle();
    gap.lines.erase(gap.lines.begin());
    EXPECT_EQ(Texts(Compare(solution, gap)),
              std::vector<std::string>{"Linie von (0, 0) nach (3, 0) fehlt"});
    // A square too small: its strokes that lie off the solution are named from end to end,
    // though their ends touch the solution's lines.
    Walker small;
    for (int i = 0; i < 4; ++i) {
        small.Fd(2.5);
        small.Lt(90);
    }
    Walker square = small;
    square.d.lines.clear(), square.Jump(0, 0), square.heading = 0;
    for (int i = 0; i < 4; ++i) {
        square.Fd(3);
        square.Lt(90);
    }
    const std::vector<std::string> smaller = Texts(Compare(square.d, small.d));
    for (const char* text : {"zusätzliche Linie von (2,5; 0) nach (2,5; 2,5)",
                             "zusätzliche Linie von (2,5; 2,5) nach (0; 2,5)"})
        EXPECT_NE(std::find(smaller.begin(), smaller.end(), text), smaller.end())
            << text << " in " << ::testing::PrintToString(smaller);

    Drawing diagonal = Rectangle();
    diagonal.lines.push_back({{0, 0}, {3, 2}, clBlack, 0});
    const Comparison extra = Compare(solution, diagonal);
    ASSERT_EQ(extra.differences.size(), 1u) << ::testing::PrintToString(Texts(extra));
    EXPECT_EQ(extra.differences[0].kind, "extra-line");
    EXPECT_EQ(extra.differences[0].text, "zusätzliche Linie von (0, 0) nach (3, 2)");
    ASSERT_EQ(extra.differences[0].extra.size(), 1u);
    EXPECT_LT(extra.score, 90);
}

TEST(Compare, AWrongColourAMirrorImageAndAnEmptyDrawing) {
    const Drawing solution = Rectangle();
    Drawing red = solution;
    red.lines[1].colour = clRed;
    const Comparison c = Compare(solution, red);
    ASSERT_EQ(c.differences.size(), 1u) << ::testing::PrintToString(Texts(c));
    EXPECT_EQ(c.differences[0].kind, "colour");
    EXPECT_EQ(c.differences[0].text, "Linie von (3, 0) nach (3, 2) ist rot statt schwarz");
    EXPECT_EQ(c.score, 88); // one side of four, counted half

    // A flag: the pole and a triangle to its right; mirrored, the triangle points left.
    Walker flag;
    flag.To(0, 4), flag.To(2, 3), flag.To(0, 2);
    Drawing mirror = flag.d;
    for (auto& l : mirror.lines)
        l.a.x = -l.a.x, l.b.x = -l.b.x;
    EXPECT_LT(Compare(flag.d, mirror).score, 50);

    const Drawing empty{20, 15, 38, {}, {}, {}, {}, {}};
    EXPECT_EQ(Compare(solution, empty).score, 0);
    EXPECT_EQ(Compare(empty, solution).score, 0);
    EXPECT_EQ(Compare(empty, empty).score, 100);
}

// A house of six sides, walls black and a red roof of two 4 cm sides on a 4 cm square, each
// meeting a wall at 30 degrees: a teacher marks it side by side.
TEST(Compare, AHouseIsMarkedSideBySideAndACornerRecoloursNothing) {
    const auto house = [](double roof, vergleich::Colour colour) {
        Walker w;
        for (int i = 0; i < 4; ++i) {
            w.Fd(4);
            w.Lt(90);
        }
        const Point top{2, 4 + 2 * std::sqrt(3.0)};
        w.d.lines.push_back({{0, 4}, top, colour, 0});
        w.d.lines.push_back(
            {top, {top.x + roof / 2, top.y - roof * std::sqrt(3.0) / 2}, colour, 0});
        return w.d;
    };
    const Drawing solution = house(4, clRed);
    // The roof's second side ends 0.5 cm before the corner where two black walls meet: the
    // walls across it neither cover nor recolour what is missing.
    const Comparison shorter = Compare(solution, house(3.5, clRed));
    EXPECT_EQ(Texts(shorter),
              std::vector<std::string>{"Seite 6 (von (2; 7,46) nach (4, 4)) ist 0,5 cm zu kurz"});
    EXPECT_EQ(shorter.score, 83); // five sides of six
    // Both roof sides black: two sides of six counted half.
    EXPECT_LT(Compare(solution, house(4, clBlack)).score, 90);
}

TEST(Compare, CirclesAreasAndTextsByPlaceAndColour) {
    Drawing solution{20, 15, 38, {}, {}, {}, {}, {}};
    solution.areas.push_back({{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, clRed, clBlack, true});
    solution.texts.push_back({{-3, 3}, "Haus", clBlack, 0.5});
    Drawing pupil = solution;
    pupil.areas[0].fill = clYellow;
    pupil.areas[0].outline = {{2, 2}, {0, 2}, {0, 0}, {2, 0}}; // another first corner
    pupil.circles.push_back({{2, 2}, 1, clBlack, false, 0});
    pupil.texts[0].colour = clBlue;
    pupil.texts.push_back({{4, 4}, "Dach", clBlack, 0.5});
    EXPECT_EQ(Texts(Compare(solution, pupil)),
              (std::vector<std::string>{"zusätzlicher Kreis, Radius 1, bei (2, 2)",
                                        "Fläche bei (1, 1): gelb statt rot",
                                        "Text „Haus“ bei (-3, 3) ist blau statt schwarz",
                                        "zusätzlicher Text „Dach“ bei (4, 4)"}));
    EXPECT_EQ(Texts(Compare(pupil, solution, {0.05, Language::English})),
              (std::vector<std::string>{"Circle, radius 1, at (2, 2), is missing",
                                        "Area at (1, 1): red instead of yellow",
                                        "Text “Haus” at (-3, 3) is black instead of blue",
                                        "Text “Dach” at (4, 4) is missing"}));
    // An area missing as a whole is one message, not one for each side of its outline too.
    Drawing noArea = solution;
    noArea.areas.clear();
    EXPECT_EQ(Texts(Compare(solution, noArea)),
              std::vector<std::string>{"Fläche (rot) bei (1, 1) fehlt"});
    EXPECT_EQ(Texts(Compare(noArea, solution)),
              std::vector<std::string>{"zusätzliche Fläche (rot) bei (1, 1)"});
    // A filled circle is the same area as a fill along a fine polygon on it.
    Drawing disc{20, 15, 38, {}, {}, {}, {}, {}};
    disc.circles.push_back({{0.5, -0.5}, 1.5, clBlack, true, clLime});
    Drawing polygon{20, 15, 38, {}, {}, {}, {}, {}};
    vergleich::Area fill{{}, clLime, clBlack, true};
    for (int i = 0; i < 90; ++i)
        fill.outline.push_back({0.5 + 1.5 * std::cos(i * std::numbers::pi / 45),
                                -0.5 + 1.5 * std::sin(i * std::numbers::pi / 45)});
    polygon.areas.push_back(fill);
    EXPECT_EQ(Texts(Compare(disc, polygon)), std::vector<std::string>{});
    EXPECT_EQ(Compare(disc, polygon).score, 100);
    polygon.areas[0].outline.resize(45); // half of it
    const Comparison halfDisc = Compare(disc, polygon);
    EXPECT_TRUE(std::any_of(halfDisc.differences.begin(), halfDisc.differences.end(),
                            [](const auto& d) { return d.kind == "missing-area"; }))
        << ::testing::PrintToString(Texts(halfDisc));
}

TEST(Compare, NumbersAndColoursAsATeacherWritesThem) {
    using vergleich::ColourName;
    using vergleich::FormatNumber;
    EXPECT_EQ(FormatNumber(0.5, Language::German), "0,5");
    EXPECT_EQ(FormatNumber(0.5, Language::English), "0.5");
    EXPECT_EQ(FormatNumber(-0.001, Language::German), "0");
    EXPECT_EQ(FormatNumber(3.0, Language::German), "3");
    EXPECT_EQ(FormatNumber(-1.254, Language::German), "-1,25");
    const std::string huge = FormatNumber(-1e300, Language::German); // all its digits
    EXPECT_EQ(huge.size(), 302u);
    EXPECT_EQ(huge.substr(0, 5), "-1000");
    EXPECT_EQ(ColourName(clYellow, Language::German), "gelb");
    EXPECT_EQ(ColourName(clRed, Language::English), "red");
    EXPECT_EQ(ColourName(0x563412, Language::German), "#123456");
    // A point with decimal commas keeps its coordinates apart.
    Drawing solution{20, 15, 38, {}, {}, {}, {}, {}};
    solution.lines.push_back({{0.5, 0}, {3, 0}, clBlack, 0});
    EXPECT_EQ(Texts(Compare(solution, Drawing{})),
              std::vector<std::string>{"Linie von (0,5; 0) nach (3, 0) fehlt"});
}

// ---------------------------------------------------------------------------------------------
// The metafile the control records, read back

std::vector<std::uint8_t> Recorded(const std::function<void(TTurtle&)>& draw) {
    test::PixelsPerInchScope ppi(96);
    TTurtle t;
    t.SetSize(400, 300);
    EXPECT_EQ(t.Width(), 400);
    EXPECT_EQ(t.Height(), 300);
    // Each run of the handler goes on from the heading the run before left.
    t.SetOnStartPaint([&] {
        t.SetHeading(90);
        draw(t);
    });
    t.Repaint();
    QTemporaryDir dir;
    const QString name = dir.filePath("bild.emf");
    t.SaveToFile(name.toStdString());
    const QByteArray bytes = test::ReadFile(name);
    return {bytes.begin(), bytes.end()};
}

TEST(EmfReader, ReadsTheControlsDrawingInLE) {
    const std::vector<std::uint8_t> emf = Recorded([](TTurtle& t) {
        t.SetBackColor(clYellow);
        t.SetPenColor(clRed);
        t.Forwd(3); // from the middle, heading up
        t.Right(90);
        t.Forwd(2);
        t.DrawCircle(1);
        t.FillRectangle(2, 1, clBlue);
        t.DrawStringPos(-4, 3, "Grüße", "DejaVu Sans", 12, clGreen);
    });
    const Drawing d = vergleich::ReadDrawing(emf);
    EXPECT_EQ(d.pixelsPerCm, 38);
    EXPECT_NEAR(d.width, 400.0 / 38, 1e-9);
    EXPECT_NEAR(d.height, 300.0 / 38, 1e-9);
    EXPECT_EQ(d.background, std::optional<vergleich::Colour>(clYellow));
    ASSERT_GE(d.lines.size(), 2u);
    const auto near = [](Point p, double x, double y) {
        return std::hypot(p.x - x, p.y - y) < 0.5 / 38 + 1e-9;
    };
    EXPECT_TRUE(near(d.lines[0].a, 0, 0) && near(d.lines[0].b, 0, 3));
    EXPECT_TRUE(near(d.lines[1].a, 0, 3) && near(d.lines[1].b, 2, 3));
    EXPECT_EQ(d.lines[0].colour, clRed);
    ASSERT_EQ(d.circles.size(), 1u);
    EXPECT_TRUE(near(d.circles[0].centre, 2, 3));
    EXPECT_NEAR(d.circles[0].radius, 1, 0.5 / 38);
    EXPECT_FALSE(d.circles[0].filled);
    ASSERT_EQ(d.areas.size(), 1u);
    EXPECT_EQ(d.areas[0].fill, clBlue);
    ASSERT_EQ(d.areas[0].outline.size(), 4u);
    ASSERT_EQ(d.texts.size(), 1u);
    EXPECT_EQ(d.texts[0].text, "Grüße");
    EXPECT_EQ(d.texts[0].colour, clGreen);
    EXPECT_TRUE(near(d.texts[0].at, -4, 3));
    // Clear hides what came before it.
    const Drawing cleared = vergleich::ReadDrawing(Recorded([](TTurtle& t) {
        t.Forwd(3);
        t.Clear();
        t.Left(90);
        t.Forwd(1);
    }));
    ASSERT_EQ(cleared.lines.size(), 1u);
    EXPECT_TRUE(near(cleared.lines[0].b, -1, 0));
}

TEST(EmfReader, TheControlsArcAndCircleAndAHouseByForwdOrGoToCompareEqual) {
    const Drawing circle = vergleich::ReadDrawing(Recorded([](TTurtle& t) {
        t.SetPosition(-2, 0); // where Arc(2, 360) from the middle has its centre
        t.DrawCircle(2);
    }));
    const Drawing arc = vergleich::ReadDrawing(Recorded([](TTurtle& t) { t.Arc(2, 360); }));
    ASSERT_EQ(circle.circles.size(), 1u);
    ASSERT_GT(arc.lines.size(), 10u);
    EXPECT_EQ(Compare(circle, arc).score, 100)
        << ::testing::PrintToString(Texts(Compare(circle, arc)));
    EXPECT_EQ(Compare(arc, circle).score, 100);

    const Drawing house = vergleich::ReadDrawing(Recorded([](TTurtle& t) {
        for (int i = 0; i < 4; ++i) {
            t.Forwd(2);
            t.Right(90);
        }
        t.Forwd(2);
        t.Right(30);
        t.Forwd(2);
        t.Right(120);
        t.Forwd(2);
    }));
    const Drawing byPositions = vergleich::ReadDrawing(Recorded([](TTurtle& t) {
        for (const auto& [x, y] : {std::pair{0.0, 2.0},
                                   {1.0, 2 + std::sqrt(3.0)},
                                   {2.0, 2.0},
                                   {0.0, 2.0},
                                   {2.0, 2.0},
                                   {2.0, 0.0},
                                   {0.0, 0.0}})
            t.GoTo(x, y);
    }));
    EXPECT_EQ(Compare(house, byPositions).score, 100)
        << ::testing::PrintToString(Texts(Compare(house, byPositions)));
    const Drawing mirrored = vergleich::ReadDrawing(Recorded([](TTurtle& t) {
        for (int i = 0; i < 4; ++i) {
            t.Forwd(2);
            t.Left(90);
        }
        t.Forwd(2);
        t.Left(30);
        t.Forwd(2);
        t.Left(120);
        t.Forwd(2);
    }));
    EXPECT_LT(Compare(house, mirrored).score, 50);
}

// The control's small arc is short steps rounded to pixels, turning sharply from one to the
// next: still one part beside the square's four sides.
TEST(EmfReader, ASmallArcOfTheControlIsOnePartOfTheScore) {
    const auto square = [](double last) {
        return vergleich::ReadDrawing(Recorded([last](TTurtle& t) {
            t.SetHeading(North);
            for (const double side : {4.0, 4.0, 4.0, last}) {
                t.Forwd(side);
                t.Left(90);
            }
            t.SetPosition(3, 0);
            t.SetHeading(North);
            t.Arc(1, 360);
        }));
    };
    const Comparison c = Compare(square(4), square(3.5));
    EXPECT_EQ(c.score, 80) << ::testing::PrintToString(Texts(c));
    ASSERT_EQ(c.differences.size(), 1u);
    EXPECT_EQ(c.differences[0].kind, "short-side");
}

TEST(EmfReader, HostileBytesAreRefusedNeverReadBeyondTheirEnd) {
    const std::vector<std::uint8_t> good = Recorded([](TTurtle& t) {
        t.Forwd(3);
        t.FillCircle(1, clRed);
        t.FillRectangle(2, 1, clBlue);
        t.DrawStringPos(-4, 3, "Text", "DejaVu Sans", 12, clGreen);
    });
    ASSERT_NO_THROW(vergleich::ReadDrawing(good));
    std::vector<vergleich::EmfRecord> records;
    ASSERT_EQ(vergleich::SplitRecords(good, records), "");
    const auto put32 = [](std::vector<std::uint8_t> b, std::size_t at, std::uint32_t v) {
        std::memcpy(b.data() + at, &v, 4);
        return b;
    };
    const auto first = [&](std::uint32_t type) {
        for (const auto& r : records)
            if (r.type == type) return r.offset;
        ADD_FAILURE() << "no record of type " << type;
        return std::size_t{0};
    };
    // Counts inside records that point past them, and handles outside the table.
    for (const auto& [what, bytes] :
         std::initializer_list<std::pair<const char*, std::vector<std::uint8_t>>>{
             {"polygon", put32(good, first(86) + 24, 0x40000000)},
             {"text", put32(good, first(84) + 44, 0xFFFFFFF0)},
             {"text offset", put32(good, first(84) + 48, 0xFFFFFFF0)},
             {"handle", put32(good, first(37) + 8, 60000)},
             {"short record", put32(good, first(84) + 4, 40)},
         }) {
        EXPECT_THROW(vergleich::ReadDrawing(bytes), std::runtime_error) << what;
    }
    // Random changes of bytes and lengths: read or refused, never a crash (the sanitizer
    // build sees any read out of bounds).
    std::mt19937 random(25);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes = good;
        const int changes = 1 + int(random() % 8);
        for (int k = 0; k < changes; ++k) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0:
                bytes[at] = static_cast<std::uint8_t>(random());
                break;
            case 1:
                if (at + 4 <= bytes.size()) bytes = put32(bytes, at & ~std::size_t{3}, random());
                break;
            case 2:
                bytes.resize(at);
                break;
            default:
                bytes.insert(bytes.begin() + std::ptrdiff_t(at), 4, std::uint8_t(random()));
                break;
            }
            if (bytes.empty()) break;
        }
        try {
            const Drawing d = vergleich::ReadDrawing(bytes);
            (void)Compare(d, d);
        } catch (const std::runtime_error&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 1000);
}

// ---------------------------------------------------------------------------------------------

TEST(Pixels, RoundingByOnePixelDoesNotCountAnotherColourDoes) {
    QImage a(60, 40, QImage::Format_RGB32);
    a.fill(Qt::white);
    QImage shifted = a, other = a, bigger(80, 60, QImage::Format_RGB32);
    bigger.fill(Qt::white);
    {
        QPainter p(&a);
        p.setPen(Qt::black);
        p.drawLine(10, 10, 50, 10);
        QPainter q(&shifted);
        q.setPen(Qt::black);
        q.drawLine(11, 11, 51, 11);
        QPainter r(&other);
        r.setPen(Qt::red);
        r.drawLine(10, 10, 50, 10);
        QPainter s(&bigger);
        s.setPen(Qt::black);
        s.drawLine(20, 20, 60, 20); // the same place seen from the middle
    }
    EXPECT_EQ(vergleich::DifferingShare(a, a), 0);
    EXPECT_EQ(vergleich::DifferingShare(a, shifted), 0);
    EXPECT_EQ(vergleich::DifferingShare(a, bigger), 0);
    EXPECT_EQ(vergleich::DifferingShare(a, other), 1);
    QImage half = a;
    {
        QPainter p(&half);
        p.setPen(Qt::white);
        p.drawLine(30, 10, 50, 10);
    }
    EXPECT_NEAR(vergleich::DifferingShare(a, half), 20.0 / (41 + 20), 1e-9);
    QImage blank = a;
    blank.fill(Qt::white);
    EXPECT_EQ(vergleich::DifferingShare(blank, blank), 0);
    EXPECT_EQ(vergleich::DifferingShare(QImage(), a), 1);
    EXPECT_EQ(vergleich::DifferingShare(blank, QImage()), 0);
}

} // namespace
} // namespace kritzel
