// Circles, filled rectangles, text and colour ramps.
#include "support.h"

#include <gtest/gtest.h>

#include <QFontInfo>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// The bounding box of the pixels of one colour.
QRect BoxOf(const QImage& image, TColor c) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (FromQRgb(image.pixel(x, y)) == c) box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(Circles, DrawInTheBoxOfTheRadiusWhateverThePenState) {
    for (TPenState pen : {Down, Up}) {
        Painted t(Sprite::Hidden);
        t.SetPenState(pen);
        t.SetPenColor(clBlue);
        t.DrawCircle(1);
        // At 38 pixels per LE: from 38 left of and above the turtle to 38 right and below,
        // the right and bottom edges exclusive.
        EXPECT_EQ(BoxOf(t.Picture(), clBlue), QRect(QPoint(162, 162), QPoint(237, 237)));
        EXPECT_EQ(t.Canvas()->Pixels(200, 200), clWhite) << "DrawCircle is not filled";
        EXPECT_EQ(t.PenState(), pen);
        EXPECT_EQ(t.x(), 0.0);
        EXPECT_EQ(t.y(), 0.0);
    }
}

TEST(Circles, FillCircleIsOutlinedInItsOwnColourAndRestoresOnlyTheBrushStyle) {
    Painted t(Sprite::Hidden);
    t.SetPenColor(clBlue);
    t.Canvas()->Brush().SetStyle(bsClear);
    t.FillCircle(0.5, clGreen);
    EXPECT_EQ(t.Canvas()->Pixels(200, 200), clGreen);
    EXPECT_EQ(CountColor(t.Picture(), clBlue), 0);
    EXPECT_EQ(t.Canvas()->Pen().Color(), clGreen);
    EXPECT_EQ(t.Canvas()->Brush().Color(), clGreen);
    EXPECT_EQ(t.Canvas()->Brush().Style(), bsClear);
    EXPECT_EQ(t.PenColor(), clBlue);
    // A negative radius draws the same circle.
    Painted u(Sprite::Hidden);
    u.FillCircle(-0.5, clGreen);
    EXPECT_EQ(DifferingPixels(t.Picture(), u.Picture()), 0);
}

TEST(Dot, IsFilledAsWideAsItsSizeWhateverThePenAndJoinsAFillAsACorner) {
    for (TPenState pen : {Down, Up}) {
        Painted t(Sprite::Hidden);
        t.SetPenState(pen);
        t.SetPenWidth(9);
        t.Dot(2, clBlue);
        // 2 LE across at 38 pixels per LE, the right and bottom edges exclusive.
        EXPECT_EQ(BoxOf(t.Picture(), clBlue), QRect(QPoint(162, 162), QPoint(237, 237)));
        EXPECT_EQ(t.Canvas()->Pixels(200, 200), clBlue);
        EXPECT_EQ(t.PenState(), pen);
        EXPECT_EQ(t.PenWidth(), 9);
    }
    // Without a colour in the pen's, with Qt's in that one.
    Painted t(Sprite::Hidden);
    t.SetPenColor(clGreen);
    t.Dot(1);
    EXPECT_EQ(t.Canvas()->Pixels(200, 200), clGreen);
    t.Dot(0.5, Qt::red);
    EXPECT_EQ(t.Canvas()->Pixels(200, 200), clRed);
}

TEST(Circles, TheSpriteStaysOutOfThePicture) {
    Painted t;
    t.FillCircle(1, clLime);
    t.SetShowTurtle(false);
    EXPECT_EQ(CountColor(t.Picture(), clRed), 0);
    EXPECT_EQ(t.Canvas()->Pixels(200, 190), clLime);
}

TEST(FillRectangle, WithThePenDownDrawsSidesAndAFilledRectangleLeftOfTheHeading) {
    Painted t(Sprite::Hidden);
    t.SetHeading(0);
    t.FillRectangle(2, 1, clYellow);
    // Side a along +x, side b to the left of the heading: upwards.
    EXPECT_EQ(t.Canvas()->Pixels(238, 181), clYellow);
    EXPECT_EQ(t.Canvas()->Pixels(238, 219), clWhite);
    EXPECT_EQ(BoxOf(t.Picture(), clBlack), QRect(QPoint(200, 162), QPoint(276, 200)));
    EXPECT_EQ(t.Heading(), 360.0);
    EXPECT_EQ(t.x(), 0.0);
    EXPECT_EQ(t.y(), 0.0);
    // Negative sides walk backwards and mirror the rectangle.
    Painted m(Sprite::Hidden);
    m.SetHeading(0);
    m.FillRectangle(-2, -1, clYellow);
    EXPECT_EQ(m.Canvas()->Pixels(162, 219), clYellow);
    EXPECT_EQ(m.Canvas()->Pixels(238, 181), clWhite);
}

TEST(FillRectangle, WithThePenUpDrawsNothingAndStillTurnsAFullCircle) {
    Painted t(Sprite::Hidden);
    t.SetPenState(Up);
    t.SetHeading(30);
    t.FillRectangle(2, 3, clYellow);
    EXPECT_EQ(CountColor(t.Picture(), clWhite), 400 * 400);
    EXPECT_EQ(t.Heading(), 390.0);
    EXPECT_EQ(t.PenState(), Up);
}

TEST(FillRectangle, ReturnsExactlyToTheStartAndKeepsAHiddenSpriteHidden) {
    Painted t(Sprite::Hidden);
    t.SetPosition(0.1, 0.7);
    t.SetHeading(17);
    t.FillRectangle(0.3, 0.7, clAqua);
    EXPECT_EQ(t.x(), 0.1) << "the walk's rounding is dropped";
    EXPECT_EQ(t.y(), 0.7);
    EXPECT_FALSE(t.Showing());
    EXPECT_EQ(CountColor(t.Picture(), clRed), 0);
    // A shown sprite comes back at the start, and only once.
    Painted s;
    s.FillRectangle(1, 1, clAqua);
    EXPECT_TRUE(s.Showing());
    EXPECT_EQ(s.Canvas()->Pixels(200, 190), clRed);
    s.SetShowTurtle(false);
    EXPECT_EQ(CountColor(s.Picture(), clRed), 0);
}

TEST(Text, DrawStringPosLeavesPositionFontAndAClearBrush) {
    Painted t(Sprite::Hidden);
    t.Canvas()->Font().SetName("DejaVu Sans");
    t.Canvas()->Font().SetSize(9);
    t.Canvas()->Font().SetColor(clMaroon);
    t.SetPosition(1, 1);
    t.DrawStringPos(-3, 2, "Hallo", "Arial", 20, clBlue);
    EXPECT_EQ(t.x(), 1.0);
    EXPECT_EQ(t.y(), 1.0);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{238, 162})) << "the surface's point is back";
    EXPECT_EQ(t.Canvas()->Font().Name(), "DejaVu Sans");
    EXPECT_EQ(t.Canvas()->Font().Size(), 9);
    EXPECT_EQ(t.Canvas()->Font().Color(), clMaroon);
    EXPECT_EQ(t.Canvas()->Brush().Style(), bsClear);
    // The text's top-left corner is at the point (-3, 2): device (86, 124).
    const QRect box = BoxOf(t.Picture(), clBlue);
    EXPECT_GE(box.left(), 86);
    EXPECT_LE(box.left(), 90);
    EXPECT_GE(box.top(), 124);
    EXPECT_LE(box.top(), 134);
    EXPECT_GT(box.width(), 40);
}

TEST(Text, SizesArePointsAndArialFindsAMatchingFont) {
    Painted t(Sprite::Hidden);
    // 20 points at 96 ppi: an em of about 27 pixels; capitals about 19 high.
    t.DrawStringPos(-4, 0, "HHHH", "Arial", 20, clBlue);
    const QRect box = BoxOf(t.Picture(), clBlue);
    EXPECT_GE(box.height(), 17);
    EXPECT_LE(box.height(), 22);
    QFont f(QStringLiteral("Arial"));
    EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("Liberation Sans"))
        << "fontconfig's metric alias for Arial";
}

TEST(Text, DrawStringCentIsCentredWhereverTheTurtleStands) {
    Painted a(Sprite::Hidden), b(Sprite::Hidden);
    b.SetPosition(3, -2);
    a.DrawStringCent(1, "Mitte", "Arial", 16, clBlue);
    b.DrawStringCent(1, "Mitte", "Arial", 16, clBlue);
    const QRect box = BoxOf(a.Picture(), clBlue);
    EXPECT_EQ(box, BoxOf(b.Picture(), clBlue));
    EXPECT_NEAR(box.center().x(), 200, 3);
    EXPECT_EQ(b.x(), 3.0);
    EXPECT_EQ(b.Canvas()->Brush().Style(), bsClear);
    // Empty text draws nothing.
    Painted e(Sprite::Hidden);
    e.DrawStringCent(0, "", "Arial", 16, clBlue);
    EXPECT_EQ(CountColor(e.Picture(), clWhite), 400 * 400);
}

TEST(Text, OddTextIsDrawnOrSkippedButNeverBreaksAnything) {
    Painted t(Sprite::Hidden);
    t.DrawStringPos(0, 0, "Grüße \xF0\x9F\x90\xA2 Schildkröte", "Arial", 12, clBlue);
    EXPECT_GT(CountColor(t.Picture(), clBlue), 0);
    t.DrawStringPos(0, 0, "\xFF\xFE broken", "NoSuchFontAnywhere", 12, clBlue);
    t.DrawStringPos(0, 0, "x", "Arial", 0, clBlue);
    t.DrawStringPos(0, 0, "x", "Arial", -12, clBlue);
    EXPECT_EQ(t.x(), 0.0);
}

TEST(SelectColor, RampsFromTheSecondColourTowardsTheFirst) {
    TTurtle t;
    EXPECT_EQ(t.SelectColor(clRed, clBlue | clSystemColor, 0, 5), clBlue);
    // Red 255 in two steps of 127: 127, then 254.
    EXPECT_EQ(t.SelectColor(RGB(255, 0, 0), clBlack, 1, 2), RGB(127, 0, 0));
    EXPECT_EQ(t.SelectColor(RGB(255, 0, 0), clBlack, 2, 2), RGB(254, 0, 0));
    // Downwards the step is truncated toward zero: -127.
    EXPECT_EQ(t.SelectColor(clBlack, RGB(255, 0, 0), 1, 2), RGB(128, 0, 0));
    // Outside the ramp each channel wraps modulo 256.
    EXPECT_EQ(t.SelectColor(RGB(255, 0, 0), clBlack, 2, 1), RGB(254, 0, 0));
    EXPECT_EQ(t.SelectColor(RGB(0, 10, 0), clBlack, -1, 1), RGB(0, 246, 0));
    EXPECT_EQ(t.SelectColor(RGB(0, 0, 200), clBlack, 2000000000, 1), RGB(0, 0, 0));
    // Each channel on its own.
    EXPECT_EQ(t.SelectColor(RGB(10, 20, 30), RGB(0, 0, 0), 1, 1), RGB(10, 20, 30));
    // A ramp of no steps stays at its start colour.
    EXPECT_EQ(t.SelectColor(clWhite, clNavy, 3, 0), clNavy);
    EXPECT_EQ(GetRValue(0x00123456), 0x56);
    EXPECT_EQ(GetGValue(0x00123456), 0x34);
    EXPECT_EQ(GetBValue(0x7F123456), 0x12);
    EXPECT_EQ(RGB(1, 2, 3), 0x030201);
}

TEST(QtColours, EveryColourArgumentTakesQtsColoursAndAPlainIntegerStaysATColor) {
    Painted t(Sprite::Hidden);
    const TColor orange = RGB(255, 128, 0);
    t.SetPenColor(Qt::red); // the enumeration's value is 7
    EXPECT_EQ(t.PenColor(), clRed);
    t.SetPenColor(0xFF0000); // an integer is the framework's colour: blue
    EXPECT_EQ(t.PenColor(), clBlue);
    t.SetTurtleColor(QColor(QStringLiteral("#ff8000")));
    EXPECT_EQ(t.TurtleColor(), orange);
    t.SetTurtleColor(Qt::blue);
    EXPECT_EQ(t.TurtleColor(), clBlue);
    t.SetBackColor(Qt::yellow);
    EXPECT_EQ(t.Canvas()->Pixels(5, 5), clYellow);
    t.SetBackColor(QColor(Qt::white));
    EXPECT_EQ(t.BackColor(), clWhite);

    t.FillCircle(1, QColor("#ff8000")); // as pupils write it
    EXPECT_EQ(t.Canvas()->Pixels(200, 200), orange);
    t.FillCircle(0.5, Qt::green);
    EXPECT_EQ(t.Canvas()->Pixels(200, 200), RGB(0, 255, 0));
    t.SetPenColor(clBlack);
    t.SetPosition(-4, -4);
    t.SetHeading(East);
    t.FillRectangle(1, 1, Qt::cyan);
    EXPECT_EQ(t.Canvas()->Pixels(200 - 3 * 38 - 19, 200 + 3 * 38 + 19), clAqua);
    t.DrawStringPos(1, 4, "Rot", "Arial", 20, Qt::red);
    t.DrawStringCent(-1, "Blau", "Arial", 20, QColor(Qt::blue));
    const QImage pic = t.Picture();
    EXPECT_GT(CountColor(pic, clRed), 20);
    EXPECT_GT(CountColor(pic, clBlue), 20);

    // Either end of a ramp may be Qt's colour.
    EXPECT_EQ(t.SelectColor(Qt::red, Qt::blue, 0, 1), clBlue);
    EXPECT_EQ(t.SelectColor(Qt::red, clBlack, 1, 1), clRed);
    EXPECT_EQ(t.SelectColor(clBlack, QColor(Qt::red), 0, 1), clRed);
    EXPECT_EQ(t.SelectColor(0x0000FF, 0, 1, 1), clRed);
}
