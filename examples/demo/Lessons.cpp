#include "Lessons.h"

#include <cmath>

using namespace kritzel;

namespace lessons {

namespace {

// Every long loop asks Stopped, so that Escape breaks the drawing off. The answer is
// kept: EscPressed reports a press only once, and a recursive drawing has to stop at
// every level, not only in the call that asked.
bool stopped = false;

bool Stopped(TTurtle& t) {
    if (!stopped && t.EscPressed()) stopped = true;
    return stopped;
}

void SquareSpiral(TTurtle& t) {
    for (int i = 1; i <= 80; ++i) {
        if (Stopped(t)) return;
        t.Forwd(i * 0.12);
        t.Left(90);
    }
}

void Star(TTurtle& t) {
    t.SetPenColor(clNavy);
    t.SetPenWidth(2);
    t.SetPosition(-3.5, 1.2);
    t.SetHeading(0);
    for (int i = 0; i < 5; ++i) {
        if (Stopped(t)) return;
        t.Forwd(7);
        t.Right(144);
    }
}

void KochLine(TTurtle& t, double length, int depth) {
    if (Stopped(t)) return;
    if (depth == 0) {
        t.Forwd(length);
        return;
    }
    KochLine(t, length / 3, depth - 1);
    t.Left(60);
    KochLine(t, length / 3, depth - 1);
    t.Right(120);
    KochLine(t, length / 3, depth - 1);
    t.Left(60);
    KochLine(t, length / 3, depth - 1);
}

void KochSnowflake(TTurtle& t) {
    t.SetPenColor(clBlue);
    t.SetPosition(-3.5, 2);
    t.SetHeading(0);
    for (int side = 0; side < 3; ++side) {
        KochLine(t, 7, 4);
        t.Right(120);
    }
}

void Branch(TTurtle& t, double length, int depth) {
    if (depth == 0 || Stopped(t)) return;
    t.SetPenWidth(depth);
    t.SetPenColor(depth > 2 ? RGB(110, 70, 30) : clGreen);
    t.Forwd(length);
    t.Left(25);
    Branch(t, length * 0.7, depth - 1);
    t.Right(50);
    Branch(t, length * 0.7, depth - 1);
    t.Left(25);
    t.SetPenState(Up);
    t.Back(length);
    t.SetPenState(Down);
}

void Tree(TTurtle& t) {
    t.SetPosition(0, -4.5);
    t.SetHeading(North);
    Branch(t, 2.8, 9);
    t.SetPenWidth(1);
}

void House(TTurtle& t) {
    t.SetPenColor(clBlack);
    t.SetPosition(-3, -3.5);
    t.SetHeading(0);
    t.FillRectangle(6, 4, RGB(240, 220, 160)); // the wall
    t.SetPosition(-2, -3.5);
    t.FillRectangle(1.2, 2.2, RGB(140, 80, 40)); // the door
    t.SetPosition(0.5, -1.5);
    t.FillRectangle(1.5, 1.2, RGB(170, 210, 255)); // a window
    t.SetPosition(-3, 0.5);                        // the roof
    t.SetPenColor(clMaroon);
    t.SetPenWidth(3);
    t.Left(35);
    t.Forwd(3.66);
    t.Right(70);
    t.Forwd(3.66);
    t.SetPenWidth(1);
    t.SetPosition(3, 3.5);
    t.FillCircle(0.8, clYellow); // the sun
}

void ColourCircles(TTurtle& t) {
    const int steps = 24;
    for (int i = 0; i < steps; ++i) {
        if (Stopped(t)) return;
        t.SetPenColor(t.SelectColor(clRed, clBlue, i, steps - 1));
        t.SetPenWidth(2);
        t.DrawCircle(0.2 + i * 0.2);
    }
    t.SetPenWidth(1);
    t.FillCircle(0.15, clBlack);
}

void Axes(TTurtle& t) {
    t.SetPenColor(clGray);
    t.SetPosition(t.MinX() + 0.3, 0);
    t.SetHeading(0);
    t.Forwd(t.MaxX() - t.MinX() - 0.6);
    t.SetPosition(0, t.MinY() + 0.3);
    t.SetHeading(North);
    t.Forwd(t.MaxY() - t.MinY() - 1.2);
    for (int i = -4; i <= 4; ++i) {
        if (i == 0) continue;
        const std::string label = std::to_string(i);
        t.DrawStringPos(i - 0.1, -0.15, label, "Arial", 8, clBlack);
        t.DrawStringPos(0.15, i + 0.2, label, "Arial", 8, clBlack);
    }
    t.SetPenColor(clRed);
    t.SetPenWidth(2);
    t.SetPosition(-2.2, -4.84);
    for (double x = -2.2; x <= 2.2; x += 0.05) {
        if (Stopped(t)) return;
        t.SetPenState(x == -2.2 ? Up : Down);
        // y = x^2 - 4, drawn point by point.
        const double y = x * x - 4;
        const double dx = x - t.x(), dy = y - t.y();
        t.SetHeading(std::atan2(dy, dx) * 180 / 3.14159265358979);
        t.Forwd(std::sqrt(dx * dx + dy * dy));
    }
    t.SetPenWidth(1);
    t.DrawStringCent(t.MaxY() - 0.2, "Die Parabel y = x\xC2\xB2 - 4", "Arial", 14, clNavy);
}

void WholeArea(TTurtle& t) {
    // Stripes from the left edge to the right edge, whatever size the window has.
    t.SetHeading(North);
    const double width = t.MaxX() - t.MinX();
    const int stripes = 40;
    for (int i = 0; i <= stripes; ++i) {
        if (Stopped(t)) return;
        t.SetPenColor(t.SelectColor(clYellow, clPurple, i, stripes));
        t.SetPenWidth(int(width / stripes * t.PixelPerLE()) + 1);
        t.SetPenState(Up);
        t.SetPosition(t.MinX() + i * width / stripes, t.MinY());
        t.SetPenState(Down);
        t.Forwd(t.MaxY() - t.MinY());
    }
    t.SetPenWidth(1);
    t.SetPosition(0, 0);
    t.DrawStringCent(-0.4, "MinX bis MaxX", "Arial", 16, clWhite);
}

void Flower(TTurtle& t) {
    for (int i = 0; i < 36; ++i) {
        if (Stopped(t)) return;
        t.SetPenColor(t.SelectColor(clFuchsia, clTeal, i, 35));
        for (int j = 0; j < 4; ++j) {
            t.Forwd(2.5);
            t.Left(90);
        }
        t.Left(10);
    }
}

// A petal: two arcs of a sixth of a circle, back to back, filled.
void Petal(TTurtle& t, double radius, TColor colour) {
    t.BeginFill();
    for (int half = 0; half < 2; ++half) {
        t.Arc(radius, 60);
        t.Left(120);
    }
    t.EndFill(colour);
}

void Flowerbed(TTurtle& t) {
    // The sun: a disc walked with one arc, filled.
    t.SetPenColor(RGB(230, 150, 0));
    t.SetPosition(4.2, 2.6);
    t.SetHeading(0);
    t.BeginFill();
    t.Arc(1.1, 360);
    t.EndFill(clYellow);
    // A crescent moon, two arcs that bend the same way, and a star whose lines cross:
    // where the outline is crossed twice, the fill leaves a hole.
    t.SetPenColor(clGray);
    t.SetPosition(-4.5, 2.5);
    t.SetHeading(West);
    t.BeginFill();
    t.Arc(-1, 180);
    t.SetHeading(226.4);
    t.Arc(1.45, 87.2);
    t.EndFill(RGB(255, 250, 200));
    t.SetPenColor(RGB(200, 150, 0));
    t.SetPosition(-2.6, 4.2);
    t.SetHeading(0);
    t.BeginFill();
    for (int i = 0; i < 5; ++i) {
        t.Forwd(1.6);
        t.Right(144);
    }
    t.EndFill(RGB(255, 215, 0));
    // Three flowers of eight petals each, on stems bent by an arc.
    const double xs[3] = {-3.8, -0.2, 3.4};
    const TColor colours[3] = {clFuchsia, RGB(255, 120, 0), clPurple};
    for (int f = 0; f < 3; ++f) {
        if (Stopped(t)) return;
        t.SetPenColor(clGreen);
        t.SetPenWidth(3);
        t.SetPosition(xs[f], -4.2);
        t.SetHeading(North);
        t.Arc(f == 1 ? -8 : 8, 20);
        t.SetPenWidth(1);
        t.SetPenColor(clBlack);
        for (int i = 0; i < 8; ++i) {
            if (Stopped(t)) return;
            Petal(t, 1.4, colours[f]);
            t.Left(45);
        }
        t.FillCircle(0.25, clYellow);
    }
    // A crooked path of stamped turtles along the bottom.
    t.SetTurtleColor(RGB(0, 120, 0));
    t.SetPenState(Up);
    t.SetPosition(-5.5, -5.2);
    t.SetHeading(East - 20);
    for (int i = 0; i < 10; ++i) {
        if (Stopped(t)) return;
        t.Stamp();
        t.Arc(i % 2 == 0 ? 1.5 : -1.5, 40);
    }
    t.SetPenState(Down);
    t.SetTurtleColor(clRed);
}

} // namespace

const std::vector<Lesson>& All() {
    static const std::vector<Lesson> all = {
        {"Quadratspirale", "quadratspirale", SquareSpiral},
        {"Stern", "stern", Star},
        {"Koch-Schneeflocke", "koch", KochSnowflake},
        {"Baum (rekursiv)", "baum", Tree},
        {"Haus", "haus", House},
        {"Farbkreise", "farbkreise", ColourCircles},
        {"Achsen und Parabel", "achsen", Axes},
        {"Die ganze Fläche", "flaeche", WholeArea},
        {"Blume", "blume", Flower},
        {"Blumenwiese (Bögen, Füllen, Stempel)", "wiese", Flowerbed},
    };
    return all;
}

void Run(const Lesson& lesson, TTurtle& t) {
    stopped = false;
    lesson.draw(t);
}

void Stop() {
    stopped = true;
}

} // namespace lessons
