// The turtle's device arithmetic on its own: no widget and no application, as the
// component's geometry needs neither.
#include <gtest/gtest.h>

#include <component/DeviceMath.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace kritzel;

namespace {

constexpr long double Inf = std::numeric_limits<long double>::infinity();
constexpr long double NaN = std::numeric_limits<long double>::quiet_NaN();

// The reduction uses the extended-precision pi, so its error grows with the number of
// quarter turns taken off: a few units of the last place per turn, relative to 1.
void ExpectAgreesWithTheLibrary(long double a) {
    const long double tolerance = 1e-17L * std::max(1.0L, std::fabs(a));
    const SinCosResult r = SinCos(a);
    EXPECT_NEAR(static_cast<double>(r.sin - std::sin(a)), 0.0, static_cast<double>(tolerance))
        << "sin at " << static_cast<double>(a);
    EXPECT_NEAR(static_cast<double>(r.cos - std::cos(a)), 0.0, static_cast<double>(tolerance))
        << "cos at " << static_cast<double>(a);
}

} // namespace

TEST(DeviceMath, SinCosAgreesWithTheLibraryAtQuadrantBoundariesAndFarOut) {
    constexpr long double QuarterTurn = Pi / 2;
    for (int k = -12; k <= 12; ++k) {
        // Each quarter turn and just beside it, and the edges of the range evaluated
        // without reduction (an eighth turn either side of zero).
        for (long double off : {0.0L, 1e-12L, -1e-12L, 1e-3L, -1e-3L})
            ExpectAgreesWithTheLibrary(k * QuarterTurn + off);
        ExpectAgreesWithTheLibrary(k * QuarterTurn / 2);
        ExpectAgreesWithTheLibrary(std::nextafter(QuarterTurn / 2, 0.0L) * (k < 0 ? -1 : 1));
    }
    // Headings a long drawing reaches, in degrees as the turtle turns.
    for (long double degrees : {360.0L * 1000 + 90, -360.0L * 123457 - 270, 1e9L, 3.7e12L})
        ExpectAgreesWithTheLibrary(degrees * Pi / 180);

    // Beyond any heading a drawing reaches, the library answers alone.
    for (long double a : {1e18L, -3e19L, 1e300L}) {
        EXPECT_EQ(SinCos(a).sin, std::sin(a));
        EXPECT_EQ(SinCos(a).cos, std::cos(a));
    }
    for (long double a : {Inf, -Inf, NaN}) {
        EXPECT_TRUE(std::isnan(SinCos(a).sin));
        EXPECT_TRUE(std::isnan(SinCos(a).cos));
    }
}

TEST(DeviceMath, RoundingTakesHalvesToEvenAndSaturatesAtThe32BitEnds) {
    struct Case {
        long double v;
        std::int32_t expected;
    };
    const Case cases[] = {
        {0.5L, 0},
        {1.5L, 2},
        {2.5L, 2},
        {-0.5L, 0},
        {-1.5L, -2},
        {-2.5L, -2},
        {2.4999999L, 2},
        {2.5000001L, 3},
        {-2.5000001L, -3},
        {7.0L, 7},
        // The last units inside the range, and what lies past them.
        {DeviceMax - 0.5L, DeviceMax - 1},
        {DeviceMax - 0.4L, DeviceMax},
        {DeviceMax + 0.4L, DeviceMax},
        {DeviceMin + 0.5L, DeviceMin},
        {DeviceMin - 0.4L, DeviceMin},
        {1e30L, DeviceMax},
        {-1e30L, DeviceMin},
        {Inf, DeviceMax},
        {-Inf, DeviceMin},
        // A point that is nowhere goes to the top-left, off every surface.
        {NaN, DeviceMin},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundToDevice(c.v), c.expected) << static_cast<double>(c.v);
}

TEST(DeviceMath, PixelsPerLEFollowTheResolutionAndNeverFallBelowOne) {
    // An LE is a centimetre of the screen.
    EXPECT_EQ(PixelPerLEFor(96), 38);
    EXPECT_EQ(PixelPerLEFor(72), 28);
    EXPECT_EQ(PixelPerLEFor(127), 50);
    EXPECT_EQ(PixelPerLEFor(192), 76);
    EXPECT_EQ(PixelPerLEFor(600), 236);
    // A screen that reports no sensible resolution still gets a scale to divide by.
    for (int ppi : {2, 1, 0, -96, std::numeric_limits<int>::min()})
        EXPECT_EQ(PixelPerLEFor(ppi), 1) << ppi;
    EXPECT_EQ(PixelPerLEFor(std::numeric_limits<int>::max()), 845466003);

    std::int32_t before = PixelPerLEFor(0);
    for (int ppi = 1; ppi <= 20000; ++ppi) {
        const std::int32_t now = PixelPerLEFor(ppi);
        ASSERT_GE(now, before) << ppi;
        ASSERT_LE(now - before, 1) << ppi;
        before = now;
    }
}

TEST(DeviceMath, AClickedPixelMapsToLeAndBackToItself) {
    // The plane's corner as the turtle stores it, in doubles, from the surface's size.
    for (const long double Scale : {1.0L, 28.0L, 38.0L, 57.0L, 100.0L}) {
        for (const int Width : {400, 401, 1, 16384}) {
            const int Height = Width + 37;
            const long double MinX = -static_cast<double>(Width / Scale / 2);
            const long double MaxY = static_cast<double>(Height / Scale / 2);
            for (int X = -3; X < Width + 3; X += std::max(1, Width / 97)) {
                const int Y = Height - 1 - X;
                const DevicePoint le = DeviceToLE(X, Y, Width, Height, Scale);
                const DevicePoint back = LEToDevice(static_cast<double>(le.x),
                                                    static_cast<double>(le.y), MinX, MaxY, Scale);
                ASSERT_EQ(RoundToDevice(back.x), X) << Width << " at " << X << ", " << Y;
                ASSERT_EQ(RoundToDevice(back.y), Y) << Width << " at " << X << ", " << Y;
            }
        }
        // The middle of the surface is the origin, y points up.
        const DevicePoint middle = DeviceToLE(200, 100, 400, 200, Scale);
        EXPECT_EQ(middle.x, 0);
        EXPECT_EQ(middle.y, 0);
        EXPECT_GT(DeviceToLE(200, 99, 400, 200, Scale).y, 0);
    }
}

// No application: nothing here may need one.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
