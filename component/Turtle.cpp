#include "Turtle.h"

#include "DeviceMath.h"

#include "host/Registry.h"
#include "host/Types.h"
#include "host/internal/PictureFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace kritzel {

namespace {

constexpr const char* ControlGone =
    "the turtle was destroyed while one of its commands ran; the command was broken off";

// The OnStartPaint handlers, of all turtles, running inside each other (a handler that
// repaints or saves another turtle, whose handler does the same) are counted by the
// framework (TDrawingDepth): each holds a paint cycle on the stack, so beyond this many
// the next is refused before the stack runs out.
constexpr unsigned MaxNestedDrawings = 200;

// Runs a step that puts a device's work out and hands back what it raised, so that the
// device is left in one way, in one order, whether the step succeeded or not.
template <class F> std::exception_ptr Attempt(F step) {
    try {
        step();
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
}

// Puts back what a command changed for its own duration when the command is broken off
// (the application closing, a host error); the normal path puts it back itself, in its
// own order, and dismisses the guard. When the control itself has gone meanwhile there
// is nothing left to put back.
template <class F> class PutBack {
public:
    PutBack(TPaintBox* control, F f) : alive_(control), f_(std::move(f)) {}
    PutBack(const PutBack&) = delete;
    PutBack& operator=(const PutBack&) = delete;
    ~PutBack() {
        if (armed_ && !alive_.Gone()) f_();
    }
    void Dismiss() { armed_ = false; }

private:
    TControlWatch alive_;
    F f_;
    bool armed_ = true;
};

} // namespace

// The nesting of one public command, which ends with it, unless the control has gone
// meanwhile; Top says that the program gave it itself and the picture is kept. Only a
// turtle that keeps its picture counts, so that the others' commands cost what they did.
class TTurtle::TEntry {
public:
    TEntry(TTurtle* turtle, bool top) : top_(top) {
        if (!turtle->FKeepPicture) return;
        turtle_ = turtle;
        alive_.emplace(turtle);
        ++turtle->FNesting;
    }
    TEntry(const TEntry&) = delete;
    TEntry& operator=(const TEntry&) = delete;
    ~TEntry() {
        if (turtle_ && !alive_->Gone()) --turtle_->FNesting;
    }
    bool Top() const { return top_; }

private:
    TTurtle* turtle_ = nullptr;
    std::optional<TControlWatch> alive_;
    bool top_;
};

// Whether a command given now is one the program gave itself (not another command, the
// OnStartPaint handler or a replay) while the picture is kept.
inline bool TTurtle::Keeping() const {
    return FKeepPicture && FNesting == 0 && !FRekursion && !FReplaying;
}

// The first step of every public command that draws or changes the turtle: a thread
// other than the GUI thread is refused before anything is touched, and a command the
// program gives while the picture is kept is kept with its arguments.
inline TTurtle::TEntry TTurtle::Enter(TCommand command, double a, double b, std::uint32_t value) {
    CheckGuiThread();
    const bool top = Keeping();
    if (top) [[unlikely]]
        Keep(TKeptCommand{command, value, a, b});
    return TEntry(this, top);
}

TTurtle::TEntry TTurtle::Enter(TCommand command, double a, double b, const TString& S,
                               const TString& SchriftName, std::int32_t Schriftgroesse,
                               TColor Schriftfarbe) {
    CheckGuiThread();
    std::uint32_t text = 0;
    if (Keeping()) {
        text = static_cast<std::uint32_t>(FKeptTexts.size());
        FKeptTexts.push_back(TKeptText{S, SchriftName, Schriftgroesse, Schriftfarbe});
    }
    return Enter(command, a, b, text);
}

// ---------------------------------------------------------------------------------------
// Moving

void TTurtle::SetPosition(double Xpos, double Ypos) {
    const TEntry entry = Enter(TCommand::SetPosition, Xpos, Ypos);
    const TPenState kept = FPenState;
    PutBack pen(this, [this, kept] { FPenState = kept; });
    FPenState = Up;
    PaintTurtle();
    FAktPos = TVirtuell{Xpos, Ypos};
    const TPoint RealPos = GetRealCoords(FAktPos);
    PenTo(RealPos, false);
    FPenState = kept;
    pen.Dismiss();
    PaintTurtle();
}

void TTurtle::SetxPosition(double x) {
    const TEntry entry = Enter(TCommand::SetxPosition, x);
    SetPosition(x, FAktPos.y);
}

void TTurtle::SetYPosition(double y) {
    const TEntry entry = Enter(TCommand::SetYPosition, y);
    SetPosition(FAktPos.x, y);
}

void TTurtle::SetHeading(double x) {
    const TEntry entry = Enter(TCommand::SetHeading, x);
    PaintTurtle();
    FHeading = x;
    PaintTurtle();
}

void TTurtle::Init_Koord() {
    CPixelPerLE = PixelPerLEFor(Screen().PixelsPerInch());
    if (FPrint) {
        FPixelPerLE = 100;
        const TPoint paper = GetPaperSize();
        FMax.x = static_cast<double>(static_cast<long double>(paper.x) / FPixelPerLE / 2);
        FMax.y = static_cast<double>(static_cast<long double>(paper.y) / FPixelPerLE / 2);
    } else {
        FPixelPerLE = static_cast<std::uint16_t>(CPixelPerLE);
        // A resolution whose low 16 bits are zero would leave no scale at all.
        if (FPixelPerLE == 0) FPixelPerLE = 1;
        FMax.x = static_cast<double>(static_cast<long double>(Width()) / FPixelPerLE / 2);
        FMax.y = static_cast<double>(static_cast<long double>(Height()) / FPixelPerLE / 2);
    }
    FMin.x = -FMax.x;
    FMin.y = -FMax.y;
}

TPoint TTurtle::GetPaperSize() {
    const HDC dc = Printer().Handle();
    const std::int64_t w = std::int64_t(GetDeviceCaps(dc, HORZSIZE)) * 10;
    const std::int64_t h = std::int64_t(GetDeviceCaps(dc, VERTSIZE)) * 10;
    return TPoint{SaturateToInt32(w), SaturateToInt32(h)};
}

void TTurtle::Init_Printer() {
    const HDC dc = Printer().Canvas()->Handle();
    SetMapMode(dc, MM_LOMETRIC);
    TSize window, viewport;
    GetWindowExtEx(dc, &window);
    GetViewportExtEx(dc, &viewport);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, window.cx, window.cy);
    SetViewportExtEx(dc, viewport.cx, -viewport.cy);
}

TPoint TTurtle::GetRealCoords(const TVirtuell& p) const {
    const DevicePoint d = LEToDevice(p.x, p.y, FMin.x, FMax.y, FPixelPerLE);
    return TPoint{RoundToDevice(d.x), RoundToDevice(d.y)};
}

// A point of the control in LE, the inverse of GetRealCoords on the screen's scale: a
// click lands on the screen, whichever device the turtle draws on.
TVirtuell TTurtle::GetVirtualCoords(int X, int Y) const {
    const DevicePoint p = DeviceToLE(X, Y, Width(), Height(), CPixelPerLE);
    return TVirtuell{static_cast<double>(p.x), static_cast<double>(p.y)};
}

// The sprite's triangle at the turtle's pose, as device points (the first again at the
// end, to close it), its size FTurtleSize divided by Scale device units per LE: the
// current device's scale for the sprite, the screen's for a stamp, so that paper and
// metafile show a stamp as large as the screen does. The corners' offsets depend on
// heading, size and scale only; a turtle that moves without turning reuses them, which
// saves most of a step's work.
void TTurtle::TurtleCorners(std::int32_t Scale, TPoint (&Real)[4]) {
    if (!FCorners.Matches(FHeading, FTurtleSize, Scale)) {
        // sin(Bogen) x size / scale, formed at extended precision and stored as a double.
        const auto scaled = [this, Scale](long double v) {
            return static_cast<double>(v * FTurtleSize / Scale);
        };
        double Bogen = static_cast<double>((360.0L - FHeading) * Pi / 180.0L);
        for (int i = 0; i < 3; ++i) {
            if (i > 0) Bogen = static_cast<double>(Bogen + TwoPiThirds);
            const SinCosResult sc = SinCos(Bogen);
            FCorners.sinB[i] = scaled(sc.sin);
            FCorners.cosB[i] = scaled(sc.cos);
        }
        FCorners.Remember(FHeading, FTurtleSize, Scale);
    }
    TVirtuell Virtuell[3];
    Virtuell[0].x = static_cast<double>(FAktPos.x + 2.5L * FCorners.cosB[0]);
    Virtuell[0].y = static_cast<double>(FAktPos.y - 2.5L * FCorners.sinB[0]);
    for (int i = 1; i <= 2; ++i) {
        Virtuell[i].x = static_cast<double>(FAktPos.x + static_cast<long double>(FCorners.cosB[i]));
        Virtuell[i].y = static_cast<double>(FAktPos.y - static_cast<long double>(FCorners.sinB[i]));
    }
    for (int i = 0; i < 3; ++i)
        Real[i] = GetRealCoords(Virtuell[i]);
    Real[3] = Real[0];
}

double TTurtle::GetMaxX() const {
    return FMax.x;
}

double TTurtle::GetMaxY() const {
    return FMax.y;
}

double TTurtle::GetMinX() const {
    return -FMax.x;
}

double TTurtle::GetMinY() const {
    return -FMax.y;
}

void TTurtle::Forwd(double x) {
    const TEntry entry = Enter(TCommand::Forwd, x);
    Go(x);
}

void TTurtle::Back(double x) {
    const TEntry entry = Enter(TCommand::Back, x);
    Go(-x);
}

// The new heading is formed at extended precision and rounded once, when it is stored.
void TTurtle::Left(double Winkel) {
    const TEntry entry = Enter(TCommand::Left, Winkel);
    SetHeading(static_cast<double>(static_cast<long double>(FHeading) + Winkel));
}

void TTurtle::Right(double Winkel) {
    const TEntry entry = Enter(TCommand::Right, Winkel);
    SetHeading(static_cast<double>(static_cast<long double>(FHeading) - Winkel));
}

void TTurtle::GoTo(double Xpos, double Ypos) {
    const TEntry entry = Enter(TCommand::GoTo, Xpos, Ypos);
    MoveTo(Xpos, Ypos);
}

void TTurtle::Home() {
    const TEntry entry = Enter(TCommand::Home);
    FFilling = false;
    SetPosition(0, 0);
}

void TTurtle::Clear() {
    const TEntry entry = Enter(TCommand::Clear);
    Home();
    SetHeading(90);
    SetBackColor(FBackColor);
}

void TTurtle::Go(double x) {
    if (!FDirection.Matches(FHeading)) {
        const double Bogen = static_cast<double>(Pi * FHeading / 180.0L);
        const SinCosResult sc = SinCos(Bogen);
        FDirection.sin = sc.sin;
        FDirection.cos = sc.cos;
        FDirection.Remember(FHeading);
    }
    TVirtuell NewPos;
    NewPos.x = static_cast<double>(FDirection.cos * x + FAktPos.x);
    NewPos.y = static_cast<double>(FDirection.sin * x + FAktPos.y);
    MoveTo(NewPos.x, NewPos.y);
}

void TTurtle::MoveTo(double NewPosX, double NewPosY) {
    PaintTurtle();
    FAktPos = TVirtuell{NewPosX, NewPosY};
    const TPoint Real = GetRealCoords(FAktPos);
    if (FPenState == Down) {
        ZeichenFlaeche->Pen().SetWidth(FPenWidth);
        ZeichenFlaeche->Pen().SetColor(FLineColor);
    }
    PenTo(Real, FPenState == Down);
    PaintTurtle();
}

double TTurtle::Towards(double Xpos, double Ypos) const {
    CheckGuiThread();
    const long double dx = static_cast<long double>(Xpos) - FAktPos.x;
    const long double dy = static_cast<long double>(Ypos) - FAktPos.y;
    long double w = std::atan2(dy, dx) * 180 / Pi;
    if (w < 0) w += 360;
    const double Winkel = static_cast<double>(w);
    // A tiny negative angle comes back as 360 once rounded.
    return Winkel >= 360 ? 0.0 : Winkel;
}

double TTurtle::Distance(double Xpos, double Ypos) const {
    CheckGuiThread();
    return static_cast<double>(std::hypot(static_cast<long double>(Xpos) - FAktPos.x,
                                          static_cast<long double>(Ypos) - FAktPos.y));
}

// ---------------------------------------------------------------------------------------
// Pen and colours

TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}

std::uint8_t GetRValue(TColor c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}

std::uint8_t GetGValue(TColor c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}

std::uint8_t GetBValue(TColor c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

void TTurtle::SetBackColor(TColor Color) {
    const TEntry entry = Enter(TCommand::None);
    FBackColor = Color;
    // A kept picture comes back on the new background: the control repaints. A printer's
    // page cannot be painted again; it gets the kept commands alone.
    if (entry.Top() && !FPrint) {
        Repaint();
        return;
    }
    ZeichenFlaeche->Brush().SetColor(Color);
    TRect ARect;
    if (FPrint) {
        const TPoint paper = GetPaperSize();
        ARect = Rect(0, 0, paper.x, paper.y);
    } else {
        ARect = Rect(0, 0, Width(), Height());
    }
    ZeichenFlaeche->FillRect(ARect);
    BildOldPos.Right = 0;
    FBackFilled = true;
    PaintTurtle();
    if (entry.Top()) DrawKept();
}

void TTurtle::SetPenColor(TColor c) {
    const TEntry entry = Enter(TCommand::SetPenColor, 0, 0, c);
    FLineColor = c;
}

void TTurtle::SetPenWidth(std::int32_t w) {
    const TEntry entry = Enter(TCommand::SetPenWidth, 0, 0, static_cast<std::uint32_t>(w));
    FPenWidth = w;
}

void TTurtle::SetTurtleColor(TColor Color) {
    const TEntry entry = Enter(TCommand::SetTurtleColor, 0, 0, Color);
    PaintTurtle();
    FTurtleColor = Color;
    PaintTurtle();
}

void TTurtle::SetTurtleSize(std::uint16_t x) {
    const TEntry entry = Enter(TCommand::SetTurtleSize, 0, 0, x);
    PaintTurtle();
    FTurtleSize = x;
    SetBildOldParams();
    PaintTurtle();
}

void TTurtle::SetShowTurtle(bool x) {
    const TEntry entry = Enter(TCommand::None);
    PaintTurtle();
    FShowTurtle = x;
    PaintTurtle();
}

void TTurtle::SetPenState(TPenState s) {
    // A value that is refused is not kept either.
    const TEntry entry =
        Enter(s == Up || s == Down ? TCommand::SetPenState : TCommand::None, 0, 0, s);
    if (s != Up && s != Down) {
        RefuseFormValue("PenState", s);
        return;
    }
    FPenState = s;
}

TColor TTurtle::SelectColor(TColor Farbe1, TColor Farbe2, std::int32_t Nr, std::int32_t MaxNr) {
    CheckGuiThread();
    // A ramp of no steps has nowhere to go: it stays at its start colour.
    if (MaxNr == 0) return RGB(GetRValue(Farbe2), GetGValue(Farbe2), GetBValue(Farbe2));
    auto channel = [Nr, MaxNr](std::uint8_t c1, std::uint8_t c2) {
        const std::int32_t step = (std::int32_t(c1) - std::int32_t(c2)) / MaxNr;
        // Eight-bit arithmetic that wraps; unsigned so that a large Nr stays defined.
        const std::uint32_t v = std::uint32_t(c2) + std::uint32_t(Nr) * std::uint32_t(step);
        return static_cast<std::uint8_t>(v & 0xFF);
    };
    const std::uint8_t r = channel(GetRValue(Farbe1), GetRValue(Farbe2));
    const std::uint8_t g = channel(GetGValue(Farbe1), GetGValue(Farbe2));
    const std::uint8_t b = channel(GetBValue(Farbe1), GetBValue(Farbe2));
    return RGB(r, g, b);
}

// ---------------------------------------------------------------------------------------
// Shapes and text

void TTurtle::DrawCircle(double Radius) {
    const TEntry entry = Enter(TCommand::DrawCircle, Radius);
    Circle(Radius, FLineColor, FPenWidth, bsClear, nullptr);
}

void TTurtle::FillCircle(double Radius, TColor BrushColor) {
    const TEntry entry = Enter(TCommand::FillCircle, Radius, 0, BrushColor);
    Circle(Radius, BrushColor, FPenWidth, bsSolid, &BrushColor);
}

// The steps the circles and the dot share: only the pen, the brush style and, for the
// filled ones, the brush colour differ.
void TTurtle::Circle(double Radius, TColor penColor, std::int32_t penWidth, TBrushStyle style,
                     const TColor* brushColor) {
    const std::int32_t r = RoundToDevice(static_cast<long double>(FPixelPerLE) * Radius);
    const TPenState keptPen = FPenState;
    const TBrushStyle keptStyle = ZeichenFlaeche->Brush().Style();
    PutBack pen(this, [this, keptPen] { FPenState = keptPen; });
    FPenState = Up;
    PaintTurtle();
    ZeichenFlaeche->Pen().SetColor(penColor);
    ZeichenFlaeche->Pen().SetWidth(penWidth);
    ZeichenFlaeche->Brush().SetStyle(style);
    if (brushColor) ZeichenFlaeche->Brush().SetColor(*brushColor);
    const TPoint c = GetRealCoords(FAktPos);
    ZeichenFlaeche->Ellipse(
        SaturateToInt32(std::int64_t(c.x) - r), SaturateToInt32(std::int64_t(c.y) - r),
        SaturateToInt32(std::int64_t(c.x) + r), SaturateToInt32(std::int64_t(c.y) + r));
    FPenState = keptPen;
    pen.Dismiss();
    ZeichenFlaeche->Brush().SetStyle(keptStyle);
    PaintTurtle();
}

void TTurtle::FillRectangle(double a, double b, TColor BrushColor) {
    const TEntry entry = Enter(TCommand::FillRectangle, a, b, BrushColor);
    const double oldX = FAktPos.x;
    const double oldY = FAktPos.y;
    const bool oldshowing = FShowTurtle;
    const double oldHeading = FHeading;
    // Broken off halfway, the turtle goes back where it stood, and a sprite that was
    // shown is shown again (without a wait, which could only be broken off again).
    PutBack pose(this, [=, this] {
        FAktPos = TVirtuell{oldX, oldY};
        FHeading = oldHeading;
        FShowTurtle = oldshowing;
        SpriteBack();
    });
    SetShowTurtle(false);
    TPoint Rechteck[4];
    const double sides[4] = {a, b, a, b};
    for (int i = 0; i < 4; ++i) {
        Forwd(sides[i]);
        Rechteck[i] = GetRealCoords(FAktPos);
        Left(90);
    }
    if (FPenState == Down) {
        ZeichenFlaeche->Brush().SetColor(BrushColor);
        ZeichenFlaeche->Polygon(Rechteck);
    }
    FAktPos.x = oldX;
    FAktPos.y = oldY;
    SetShowTurtle(oldshowing);
    pose.Dismiss();
}

void TTurtle::DrawStringPos(double Xpos, double Ypos, const TString& S, const TString& SchriftName,
                            std::int32_t Schriftgroesse, TColor Schriftfarbe) {
    const TEntry entry =
        Enter(TCommand::DrawStringPos, Xpos, Ypos, S, SchriftName, Schriftgroesse, Schriftfarbe);
    Text(TVirtuell{Xpos, Ypos}, false, S, SchriftName, Schriftgroesse, Schriftfarbe);
}

void TTurtle::DrawStringCent(double Ypos, const TString& S, const TString& SchriftName,
                             std::int32_t Schriftgroesse, TColor Schriftfarbe) {
    const TEntry entry =
        Enter(TCommand::DrawStringCent, 0, Ypos, S, SchriftName, Schriftgroesse, Schriftfarbe);
    Text(TVirtuell{0, Ypos}, true, S, SchriftName, Schriftgroesse, Schriftfarbe);
}

// The steps both text commands share; centred text is moved left by half its width.
void TTurtle::Text(const TVirtuell& at, bool centred, const TString& S, const TString& SchriftName,
                   std::int32_t Schriftgroesse, TColor Schriftfarbe) {
    const TVirtuell kept = FAktPos;
    PaintTurtle();
    const TString keptName = ZeichenFlaeche->Font().Name();
    const int keptSize = ZeichenFlaeche->Font().Size();
    const TColor keptColor = ZeichenFlaeche->Font().Color();
    ZeichenFlaeche->Brush().SetStyle(bsClear);
    ZeichenFlaeche->Font().SetName(SchriftName);
    ZeichenFlaeche->Font().SetSize(Schriftgroesse);
    ZeichenFlaeche->Font().SetColor(Schriftfarbe);
    const TPoint p = GetRealCoords(at);
    if (centred) {
        const std::int32_t w = ZeichenFlaeche->TextWidth(S);
        ZeichenFlaeche->TextOut(SaturateToInt32(std::int64_t(p.x) - w / 2), p.y, S);
    } else {
        ZeichenFlaeche->TextOut(p.x, p.y, S);
    }
    ZeichenFlaeche->Font().SetName(keptName);
    ZeichenFlaeche->Font().SetSize(keptSize);
    ZeichenFlaeche->Font().SetColor(keptColor);
    SetPosition(kept.x, kept.y);
    PaintTurtle();
}

void TTurtle::Arc(double Radius, double Winkel) {
    const TEntry entry = Enter(TCommand::Arc, Radius, Winkel);
    const long double R = Radius;
    const long double r = std::fabs(R);
    // The heading turns as the turtle walks: left round a centre on its left, right
    // round one on its right.
    const long double turn = Radius < 0 ? -static_cast<long double>(Winkel) : Winkel;
    const long double h0 = FHeading;
    const long double h1 = h0 + turn;
    // The centre lies Radius to the left of the turtle (to the right when negative).
    const SinCosResult a = SinCos(h0 * Pi / 180.0L);
    const long double mx = FAktPos.x - R * a.sin;
    const long double my = FAktPos.y + R * a.cos;
    const SinCosResult b = SinCos(h1 * Pi / 180.0L);
    const double endX = static_cast<double>(mx + R * b.sin);
    const double endY = static_cast<double>(my - R * b.cos);
    const double endH = static_cast<double>(h1);
    if (!std::isfinite(r) || !std::isfinite(turn) || !std::isfinite(endX) || !std::isfinite(endY)) {
        // Nowhere to draw a curve: the turtle ends as the arc would, in one step.
        MoveTo(endX, endY);
        SetHeading(endH);
        return;
    }
    // Seen from the centre, the turtle stands 90 degrees behind its heading (ahead of it
    // on a circle to the right).
    const long double offset = Radius < 0 ? 90.0L : -90.0L;
    // Whole turns beyond the second draw nothing new: the walk skips them.
    long double walk = turn;
    if (std::fabs(walk) > 720) walk = std::copysign(360 + std::fmod(std::fabs(walk), 360.0L), walk);
    const long double hs = h1 - walk;
    // Steps as Python's turtle takes them, so that a slow turtle is seen to walk the arc;
    // the radius counted in screen pixels, as there.
    const long double frac = std::fabs(walk) / 360;
    const int steps = 1 + static_cast<int>(std::min(11 + r * CPixelPerLE / 6, 59.0L) * frac);
    for (int i = 1; i <= steps; ++i) {
        PaintTurtle();
        const long double ha = hs + walk * (i - 1) / steps;
        const long double hb = i == steps ? h1 : hs + walk * i / steps;
        if (FPenState == Down || FFilling) ArcLine(mx, my, r, ha + offset, hb + offset);
        if (i == steps) {
            FAktPos = TVirtuell{endX, endY};
            FHeading = endH;
            const TPoint Real = GetRealCoords(FAktPos);
            if (!(ZeichenFlaeche->PenPos() == Real)) PenTo(Real, FPenState == Down);
        } else {
            const SinCosResult c = SinCos((hb + offset) * Pi / 180.0L);
            FAktPos =
                TVirtuell{static_cast<double>(mx + r * c.cos), static_cast<double>(my + r * c.sin)};
            FHeading = static_cast<double>(hb);
        }
        PaintTurtle();
    }
}

// The arc of the circle round (mx, my) with radius r, in LE, from the angle from to to
// (degrees from +x, counter-clockwise), drawn with the pen when it is down; every corner
// passes through PenTo. Each corner is a device point whose coordinate across the curve
// is rounded from the true circle, one device unit after the other along it: every point
// lies within half a device unit of the true arc.
void TTurtle::ArcLine(long double mx, long double my, long double r, long double from,
                      long double to) {
    const long double k = FPixelPerLE;
    const DevicePoint c = LEToDevice(mx, my, FMin.x, FMax.y, k);
    const long double cx = c.x, cy = c.y;
    const long double rd = r * k;
    // Samples half a device unit apart along the arc, so that no corner is skipped; an
    // arc too large to be seen is drawn coarser.
    const long double length = rd * std::fabs(to - from) * Pi / 180;
    const long double count = std::min(std::ceil(length * 2), static_cast<long double>(1 << 22));
    const long n = std::max(1L, static_cast<long>(count));
    const bool draw = FPenState == Down;
    if (draw) {
        ZeichenFlaeche->Pen().SetWidth(FPenWidth);
        ZeichenFlaeche->Pen().SetColor(FLineColor);
    }
    const auto corner = [&](const SinCosResult& sc) {
        if (std::fabs(sc.sin) >= std::fabs(sc.cos)) {
            // Mostly across: one column after the other, the row from the circle.
            const long double X = std::rint(cx + rd * sc.cos);
            const long double d = std::sqrt(std::max(rd * rd - (X - cx) * (X - cx), 0.0L));
            return TPoint{RoundToDevice(X), RoundToDevice(cy - std::copysign(d, sc.sin))};
        }
        const long double Y = std::rint(cy - rd * sc.sin);
        const long double d = std::sqrt(std::max(rd * rd - (Y - cy) * (Y - cy), 0.0L));
        return TPoint{RoundToDevice(cx + std::copysign(d, sc.cos)), RoundToDevice(Y)};
    };
    TPoint last = ZeichenFlaeche->PenPos();
    // Away from the surface by more than a line's width, the arc cannot come back
    // before it has walked that far: so many samples are skipped, and the pen lifted
    // over them. An open fill notes the first and the last of them instead of all: both
    // lie that far beyond the same edge, and so does the straight side between them, so
    // the fill on the surface stays what every sample would make it.
    const long double margin = 4 + std::max(FPenWidth, 0) / 2.0L;
    const long double width = 2.0L * FMax.x * k, height = 2.0L * FMax.y * k;
    const long double step = length / n;
    bool lifted = false;
    for (long j = 1; j <= n; ++j) {
        const long double phi = (from + (to - from) * j / n) * Pi / 180;
        const SinCosResult sc = SinCos(phi);
        if (j < n && step > 0) {
            const long double px = cx + rd * sc.cos, py = cy - rd * sc.sin;
            const long double outside = std::max({-px, px - width, -py, py - height});
            const long double beyond = std::floor((outside - margin) / step);
            const long skip =
                outside > margin
                    ? static_cast<long>(std::min(beyond, static_cast<long double>(n - j - 1)))
                    : 0;
            if (skip > 0 || (outside > margin && !FFilling)) {
                lifted = true;
                if (!FFilling) {
                    j += skip;
                    continue;
                }
                const TPoint p = corner(sc);
                if (!(p == last)) PenTo(p, false);
                last = p;
                // The next sample visited is the last one skipped.
                j += skip - 1;
                continue;
            }
        }
        const TPoint p = corner(sc);
        if (p == last) continue;
        last = p;
        PenTo(p, draw && !lifted);
        lifted = false;
    }
}

// Every device point the turtle passes comes through here: an open fill notes it, with
// the line to it, which EndFill draws again on top; then the surface draws the line to
// it with its pen, or only moves there.
inline void TTurtle::PenTo(const TPoint& Real, bool Line) {
    if (FFilling) [[unlikely]]
        NoteForFill(Real, Line);
    if (Line)
        ZeichenFlaeche->LineTo(Real.x, Real.y);
    else
        ZeichenFlaeche->MoveTo(Real.x, Real.y);
}

void TTurtle::NoteForFill(const TPoint& Real, bool Line) {
    if (Line)
        FFillLines.push_back(TFillLine{ZeichenFlaeche->PenPos(), Real, FLineColor, FPenWidth});
    FFillPoints.push_back(Real);
}

void TTurtle::BeginFill() {
    const TEntry entry = Enter(TCommand::BeginFill);
    FFilling = true;
    FFillPoints.assign(1, GetRealCoords(FAktPos));
    FFillLines.clear();
}

void TTurtle::EndFill(TColor BrushColor) {
    const TEntry entry = Enter(TCommand::EndFill, 0, 0, BrushColor);
    if (!FFilling) return;
    FFilling = false;
    const std::vector<TPoint> Points = std::exchange(FFillPoints, {});
    const std::vector<TFillLine> Lines = std::exchange(FFillLines, {});
    const TBrushStyle keptStyle = ZeichenFlaeche->Brush().Style();
    // The surface as it is then: a handler run while the sprite pumps may have switched
    // the device and freed the one of before.
    PutBack brush(this, [this, keptStyle] { ZeichenFlaeche->Brush().SetStyle(keptStyle); });
    PaintTurtle();
    if (Points.size() >= 3) {
        // Outlined in its own colour, as FillCircle is, then the lines drawn meanwhile
        // again on top.
        ZeichenFlaeche->Pen().SetWidth(1);
        ZeichenFlaeche->Pen().SetColor(BrushColor);
        ZeichenFlaeche->Brush().SetColor(BrushColor);
        ZeichenFlaeche->Polygon(Points);
        for (const TFillLine& l : Lines) {
            ZeichenFlaeche->Pen().SetWidth(l.penWidth);
            ZeichenFlaeche->Pen().SetColor(l.color);
            ZeichenFlaeche->MoveTo(l.from.x, l.from.y);
            ZeichenFlaeche->LineTo(l.to.x, l.to.y);
        }
        const TPoint Real = GetRealCoords(FAktPos);
        ZeichenFlaeche->MoveTo(Real.x, Real.y);
    }
    ZeichenFlaeche->Brush().SetStyle(keptStyle);
    brush.Dismiss();
    PaintTurtle();
}

void TTurtle::Dot(double Size, TColor Farbe) {
    const TEntry entry = Enter(TCommand::Dot, Size, 0, Farbe);
    PenTo(GetRealCoords(FAktPos), false);
    // Outlined one unit wide, so that the dot is as large as asked whatever the pen.
    Circle(Size / 2, Farbe, 1, bsSolid, &Farbe);
}

void TTurtle::Dot(double Size) {
    const TEntry entry = Enter(TCommand::DotInPenColor, Size);
    Dot(Size, FLineColor);
}

void TTurtle::Stamp() {
    const TEntry entry = Enter(TCommand::Stamp);
    PaintTurtle();
    // Sized by the screen's scale, so that paper and metafile show it as large as the
    // screen does.
    TPoint Real[4];
    TurtleCorners(CPixelPerLE, Real);
    ZeichenFlaeche->Pen().SetWidth(1);
    ZeichenFlaeche->Pen().SetColor(FTurtleColor);
    ZeichenFlaeche->Brush().SetColor(FTurtleColor);
    ZeichenFlaeche->Polygon(Real);
    PaintTurtle();
}

// ---------------------------------------------------------------------------------------
// Pacing and Escape

void TTurtle::SetDelay(std::uint16_t x) {
    const TEntry entry = Enter(TCommand::None);
    if (FPrint) {
        FDelay = 0;
    } else {
        FDelay = x;
        FDelayOld = x;
    }
}

void TTurtle::SetBildOldParams() {
    BildOld->SetWidth((int(FTurtleSize) + 2) * 6);
    BildOld->SetHeight(BildOld->Width());
}

void TTurtle::PaintTurtle() {
    if (!FShowTurtle || FPrint || FReplaying) {
        if (!Designing() && !FUnwinding) Pump();
        return;
    }
    if (BildOldPos.Right != 0) {
        const TRect Area =
            Rect(0, 0, SaturateToInt32(std::int64_t(BildOldPos.Right) - BildOldPos.Left),
                 SaturateToInt32(std::int64_t(BildOldPos.Bottom) - BildOldPos.Top));
        ZeichenFlaeche->CopyRect(BildOldPos, *BildOld->Canvas(), Area);
        BildOldPos.Right = 0;
        return;
    }

    TPoint Real[4];
    TurtleCorners(FPixelPerLE, Real);

    const auto [xMin, yMin, xMax, yMax] = BoundsOf(std::span<const TPoint>(Real, 3));
    BildOldPos =
        Rect(SaturateToInt32(std::int64_t(xMin) - 1), SaturateToInt32(std::int64_t(yMin) - 1),
             SaturateToInt32(std::int64_t(xMax) + 1), SaturateToInt32(std::int64_t(yMax) + 1));
    const TRect Area = Rect(0, 0, SaturateToInt32(std::int64_t(xMax) - xMin + 2),
                            SaturateToInt32(std::int64_t(yMax) - yMin + 2));
    BildOld->Canvas()->CopyRect(Area, *ZeichenFlaeche, BildOldPos);

    ZeichenFlaeche->Pen().SetWidth(1);
    ZeichenFlaeche->Pen().SetColor(FTurtleColor);
    ZeichenFlaeche->Brush().SetColor(FTurtleColor);
    ZeichenFlaeche->Polygon(Real);
    // Until the area is first filled no sprite rests on it, so this draw opens a pair
    // that its second call closes by taking the sprite off. If the first repaint ran
    // during the wait, a sprite now rests on the filled area and the second call would
    // take that one off after the command has drawn, cutting its line at every corner:
    // take it off now, so that the second call puts the sprite where the command ends.
    const bool restedOff = !FBackFilled;
    MakeADelay();
    if (restedOff && FBackFilled && BildOldPos.Right != 0) PaintTurtle();
}

// Lets the application handle its pending messages once. A handler run meanwhile may
// destroy this control: then the command unwinds without touching it.
void TTurtle::Pump() {
    TControlWatch alive(this);
    // A handler run meanwhile gives commands of its own, not nested in this one.
    const unsigned nesting = std::exchange(FNesting, 0);
    try {
        Application().ProcessMessages();
    } catch (...) {
        if (!alive.Gone()) FNesting = nesting;
        throw;
    }
    if (alive.Gone()) throw EAbort(ControlGone);
    FNesting = nesting;
}

// Puts a shown sprite that is off the surface back, without a wait, as a command that
// was broken off or a replay ends.
void TTurtle::SpriteBack() {
    if (!FShowTurtle || FPrint || BildOldPos.Right != 0) return;
    FUnwinding = true;
    try {
        PaintTurtle();
    } catch (...) {
        // The sprite is drawn with the next command.
    }
    FUnwinding = false;
}

void TTurtle::MakeADelay() {
    if (Designing() || FUnwinding) return;
    // A control that nobody can see yet (a form still loading its properties) has
    // nothing to watch, so it does not wait.
    if (FDelay == 0 || !Watched()) {
        Pump();
        return;
    }
    const std::uint32_t Time1 = GetTickCount();
    // Escape or Pause pressed during the wait ends it at once, so that a long delay
    // cannot hold a lesson up; the press is still there for EscPressed.
    const std::uint32_t escapes = KeyPressCount(VK_ESCAPE) + KeyPressCount(VK_PAUSE);
    TControlWatch alive(this);
    // Handlers run during the wait give commands of their own, not nested in this one.
    const unsigned nesting = std::exchange(FNesting, 0);
    try {
        for (;;) {
            Application().ProcessMessages();
            if (alive.Gone()) throw EAbort(ControlGone);
            const std::uint32_t elapsed = GetTickCount() - Time1;
            // A closing application ends the wait at once.
            if (elapsed > FDelay || Application().Terminated()) break;
            if (KeyPressCount(VK_ESCAPE) + KeyPressCount(VK_PAUSE) != escapes) break;
            // Sleep in the event system until something happens or the delay is over,
            // instead of spinning a core; the delay is read afresh on every pass.
            Application().WaitMessage(std::uint32_t(FDelay) - elapsed + 1);
            if (alive.Gone()) throw EAbort(ControlGone);
        }
    } catch (...) {
        if (!alive.Gone()) FNesting = nesting;
        throw;
    }
    FNesting = nesting;
}

bool TTurtle::EscPressed() {
    CheckGuiThread();
    if ((AsyncKeyStateSince(VK_ESCAPE, FEscSeen) & 0x8001) != 0) return true;
    return (AsyncKeyStateSince(VK_PAUSE, FPauseSeen) & 0x8001) != 0;
}

// ---------------------------------------------------------------------------------------
// Output devices

void TTurtle::SetFilename(const TString& Value) {
    const TEntry entry = Enter(TCommand::None);
    FFilename = Value.empty() ? TString("Kritzelwerk1") : Value;
}

void TTurtle::SetAusgabe(TTurtleDevice Value) {
    const TEntry entry = Enter(TCommand::None);
    if (Value != tdScreen && Value != tdPrinter && Value != tdWMF && Value != tdClipb) {
        RefuseFormValue("Device", Value);
        return;
    }
    // While a file's cycle draws, the device and its surface stay as they are: the
    // switch waits until the file is written.
    if (FOnFile) {
        FSwitchWaiting = true;
        FSwitchTo = Value;
        return;
    }
    // However the switch ends, the device it ends on shows the kept picture.
    PutBack kept(this, [this, top = entry.Top()] {
        if (!top) return;
        try {
            DrawKept();
        } catch (...) {
            // The next repaint draws it.
        }
    });
    const unsigned wechsel = ++FAusgabeWechsel;
    // A device whose work could not be put out is left all the same, with the settings of
    // before put back; the turtle then goes on on the screen and the caller learns why.
    const auto endOnScreen = [this](const std::exception_ptr& failed) {
        Fausgabe = tdScreen;
        Init();
        std::rethrow_exception(failed);
    };
    const bool p = Value == tdPrinter;
    if (p != FPrint) {
        if (Designing()) {
            FPrint = p;
        } else if (!p) {
            // Only a job that is really open can be ended. Ending it waits for the print
            // server while handling events, which may destroy the control.
            TControlWatch alive(this);
            const std::exception_ptr failed = Attempt([] {
                if (Printer().Printing()) Printer().EndDoc();
            });
            if (alive.Gone()) {
                if (failed) std::rethrow_exception(failed);
                throw EAbort(ControlGone);
            }
            FPrint = false;
            // The queue did not take the page: end on the screen and say why.
            if (failed) endOnScreen(failed);
        } else {
            FPrint = true;
        }
    }
    const bool m = Value == tdWMF || Value == tdClipb;
    if (m != FMetaflag) {
        if (Designing()) {
            FMetaflag = m;
        } else if (!m) {
            // Freeing the canvas completes the picture; nothing may draw on it afterwards.
            ZeichenFlaeche = Canvas();
            FMetafileCanvas.reset();
            const std::unique_ptr<TMetafile> done = std::move(FMetafile);
            const std::exception_ptr failed = Attempt([&] {
                if (done) {
                    if (OldG == tdWMF)
                        done->SaveToFile(FFilename + ".wmf");
                    else
                        Clipboard().Assign(*done);
                }
            });
            FMetaflag = false;
            FPenState = Hilf;
            FShowTurtle = Hilf2;
            if (failed) {
                // The picture could not be put out: end on the screen, consistent, and
                // let the caller know why.
                if (FPrint && !Printer().Printing()) FPrint = false;
                endOnScreen(failed);
            }
        } else {
            Hilf2 = FShowTurtle;
            Hilf = FPenState;
            FMetaflag = true;
            OldG = Value;
            FPenState = Down;
            FShowTurtle = false;
        }
    }
    Init();
    // A handler that switched the device while Init ran has the last word: Device
    // must name the device the flags now stand for.
    if (wechsel == FAusgabeWechsel) Fausgabe = Value;
    kept.Dismiss();
    if (entry.Top()) DrawKept();
}

// One paint cycle on a file's surface, as a metafile recording runs it: the screen's
// scale, the pen down, no sprite. Whatever it changes is put back however it ends, and
// the screen is asked to show the drawing again.
// Asked for by a repaint (AfterRepaint), the screen already shows the drawing: no repaint
// is asked for, which would run the handler, and so the save, once more.
void TTurtle::RunOnFile(TCanvas* Flaeche, bool AfterRepaint) {
    // The sprite leaves the screen first; it comes back where the drawing ends, as after
    // a repaint.
    PaintTurtle();
    RunCycleOn(Flaeche, AfterRepaint);
    PaintTurtle();
}

void TTurtle::RunCycleOn(TCanvas* Flaeche, bool AfterRepaint) {
    // Put back however the cycle ends; not when the handler destroyed the control. The
    // surface of before is still the device's: while the cycle runs a device switch
    // waits (FOnFile) and a repaint does nothing (FRekursion), so nothing replaces it.
    FSwitchWaiting = false;
    PutBack zurueck(this, [this, Alt = ZeichenFlaeche, Pen = FPenState, Show = FShowTurtle,
                           Print = FPrint, Meta = FMetaflag, AfterRepaint] {
        FOnFile = false;
        ZeichenFlaeche = Alt;
        FPenState = Pen;
        FShowTurtle = Show;
        FPrint = Print;
        FMetaflag = Meta;
        FFilling = false;
        FRekursion = false;
        // Saves asked for by the handler would only save this once more.
        FSpaeter.clear();
        Init_Koord();
        if (AfterRepaint) return;
        try {
            Invalidate();
        } catch (...) {
            // The next request repaints the screen.
        }
    });
    // Repaints asked for meanwhile wait, as during any paint cycle.
    FRekursion = true;
    FOnFile = true;
    FPrint = false;
    FMetaflag = false;
    FPenState = Down;
    FShowTurtle = false;
    // The file's picture starts afresh, as a repaint does: a fill open on the screen
    // has no part in it.
    FFilling = false;
    ZeichenFlaeche = Flaeche;
    Init_Koord();
    SetBackColor(FBackColor);
    SetPosition(FStartPos.x, FStartPos.y);
    SetTurtleColor(FTurtleColor);
    FireStartPaint();
    DrawKept();
}

void TTurtle::SaveToFile(const TString& Name) {
    const TEntry entry = Enter(TCommand::None);
    if (FRekursion) {
        FSpaeter.push_back(TSpaeter{false, Name});
        return;
    }
    const bool AfterRepaint = std::exchange(FAfterRepaint, false);
    // An unknown ending is refused before anything changes.
    PictureFile Datei(Name, Width(), Height(), PixelPerLEFor(Screen().PixelsPerInch()), this);
    RunOnFile(Datei.Canvas(), AfterRepaint);
    Datei.Save();
    MakeWaitingSwitch();
}

// What a program without a display keeps of the control: what SaveToFile saves.
int TTurtle::DrawingScale() const {
    return PixelPerLEFor(Screen().PixelsPerInch());
}

void TTurtle::SaveDrawing(const TString& Name) {
    // The screen's next cycle starts from where its last one left the turtle, as before.
    PutBack back(this, [this, AtEnd = TKeptStart{FAktPos, FHeading, FLineColor, FTurtleColor,
                                                 FPenWidth, FPenState, FTurtleSize}] {
        FAfterRepaint = false;
        StartFrom(AtEnd);
    });
    if (FScreenStart) StartFrom(*FScreenStart);
    // The window shows the drawing already: the save asks for no repaint of it, which
    // would draw on from where the save left the turtle.
    FAfterRepaint = true;
    SaveToFile(Name);
}

// The heading, pens and turtle a paint cycle starts from; the cycle puts the turtle in
// its place itself.
void TTurtle::StartFrom(const TKeptStart& s) {
    FHeading = s.heading;
    FLineColor = s.penColor;
    FTurtleColor = s.turtleColor;
    FPenWidth = s.penWidth;
    FPenState = s.penState;
    if (FTurtleSize != s.turtleSize) {
        FTurtleSize = s.turtleSize;
        SetBildOldParams();
    }
}

void TTurtle::CopyToClipboard() {
    const TEntry entry = Enter(TCommand::None);
    if (FRekursion) {
        FSpaeter.push_back(TSpaeter{true, {}});
        return;
    }
    const bool AfterRepaint = std::exchange(FAfterRepaint, false);
    // The metafile as the clipboard device records it.
    TMetafile Bild;
    {
        // Freeing the canvas completes the picture.
        const std::unique_ptr<TMetafileCanvas> Flaeche = StartRecording(Bild, Width(), Height());
        RunOnFile(Flaeche.get(), AfterRepaint);
    }
    Clipboard().Assign(Bild);
    MakeWaitingSwitch();
}

// A device switch asked for while the file's cycle ran is made once the file is written;
// one to the device in use already has nothing left to do. A save that failed drops it.
void TTurtle::MakeWaitingSwitch() {
    if (!std::exchange(FSwitchWaiting, false)) return;
    if (FSwitchTo != Fausgabe) SetAusgabe(FSwitchTo);
}

void TTurtle::RunDeferred() {
    const std::vector<TSpaeter> Auftraege = std::exchange(FSpaeter, {});
    for (const TSpaeter& a : Auftraege) {
        // The repaint that asked for it has just ended and drawn the screen.
        FAfterRepaint = true;
        PutBack reset(this, [this] { FAfterRepaint = false; });
        if (a.Clipboard)
            CopyToClipboard();
        else
            SaveToFile(a.Name);
    }
}

// ---------------------------------------------------------------------------------------
// Events

// The OnStartPaint handler and the signal after it. The handler may delete its own
// control (or replace itself): it runs from a copy, and the cycle goes no further once
// the control has gone.
void TTurtle::FireStartPaint() {
    if (TDrawingDepth::Depth() >= MaxNestedDrawings)
        throw EKritzelwerk("more than " + std::to_string(MaxNestedDrawings) +
                           " drawings run inside each other (an OnStartPaint handler that "
                           "repaints a turtle whose handler repaints the next ...); the "
                           "innermost was refused");
    const TDrawingDepth depth;
    TControlWatch alive(this);
    if (FStartPaint) {
        const TStartPaint handler = FStartPaint;
        handler();
        if (alive.Gone()) throw EAbort(ControlGone);
    }
    emit StartPaint();
    if (alive.Gone()) throw EAbort(ControlGone);
}

void TTurtle::SetKeepPicture(bool on) {
    const TEntry entry = Enter(TCommand::None);
    if (on == FKeepPicture) return;
    FKeepPicture = on;
    FKept = {};
    FKeptTexts = {};
}

// Notes a command the program gave; Clear forgets instead.
void TTurtle::Keep(const TKeptCommand& c) {
    if (c.command == TCommand::None) return;
    if (c.command == TCommand::Clear) {
        FKept = {};
        FKeptTexts = {};
        return;
    }
    // Drawing them again starts from the turtle as the first of them found it.
    if (FKept.empty())
        FKeptStart = TKeptStart{FAktPos,   FHeading,  FLineColor, FTurtleColor,
                                FPenWidth, FPenState, FTurtleSize};
    FKept.push_back(c);
}

// Draws the kept commands again on the current surface, from the turtle's state before
// the first of them, without waits and without the sprite, which comes back where they
// leave the turtle. Broken off, it leaves the commands kept and puts the sprite where the
// turtle stands; the next repaint draws them all.
void TTurtle::DrawKept() {
    if (FKept.empty() || FReplaying) return;
    if (FShowTurtle && !FPrint && BildOldPos.Right != 0) PaintTurtle();
    FReplaying = true;
    PutBack back(this, [this] {
        FReplaying = false;
        SpriteBack();
    });
    // A fill left open before has no part in the kept picture, which opens its own.
    FFilling = false;
    FAktPos = FKeptStart.position;
    FHeading = FKeptStart.heading;
    FLineColor = FKeptStart.penColor;
    FTurtleColor = FKeptStart.turtleColor;
    FPenWidth = FKeptStart.penWidth;
    FPenState = FKeptStart.penState;
    if (FTurtleSize != FKeptStart.turtleSize) {
        FTurtleSize = FKeptStart.turtleSize;
        SetBildOldParams();
    }
    PenTo(GetRealCoords(FAktPos), false);
    // A handler that forgets the picture meanwhile ends the loop.
    for (std::size_t i = 0; i < FKept.size(); ++i)
        Replay(FKept[i]);
    back.Dismiss();
    FReplaying = false;
    SpriteBack();
}

// One kept command again, given as the program gave it.
void TTurtle::Replay(TKeptCommand c) {
    switch (c.command) {
    case TCommand::None:
    case TCommand::Clear:
        break;
    case TCommand::Forwd:
        Forwd(c.a);
        break;
    case TCommand::Back:
        Back(c.a);
        break;
    case TCommand::Left:
        Left(c.a);
        break;
    case TCommand::Right:
        Right(c.a);
        break;
    case TCommand::Home:
        Home();
        break;
    case TCommand::SetPosition:
        SetPosition(c.a, c.b);
        break;
    case TCommand::GoTo:
        GoTo(c.a, c.b);
        break;
    case TCommand::SetxPosition:
        SetxPosition(c.a);
        break;
    case TCommand::SetYPosition:
        SetYPosition(c.a);
        break;
    case TCommand::SetHeading:
        SetHeading(c.a);
        break;
    case TCommand::FillCircle:
        FillCircle(c.a, c.value);
        break;
    case TCommand::DrawCircle:
        DrawCircle(c.a);
        break;
    case TCommand::DrawStringPos:
    case TCommand::DrawStringCent: {
        // A copy: the handlers that run while it draws may forget the kept texts.
        const TKeptText t = FKeptTexts.at(c.value);
        if (c.command == TCommand::DrawStringPos)
            DrawStringPos(c.a, c.b, t.S, t.SchriftName, t.Schriftgroesse, t.Schriftfarbe);
        else
            DrawStringCent(c.b, t.S, t.SchriftName, t.Schriftgroesse, t.Schriftfarbe);
        break;
    }
    case TCommand::FillRectangle:
        FillRectangle(c.a, c.b, c.value);
        break;
    case TCommand::Arc:
        Arc(c.a, c.b);
        break;
    case TCommand::BeginFill:
        BeginFill();
        break;
    case TCommand::EndFill:
        EndFill(c.value);
        break;
    case TCommand::Stamp:
        Stamp();
        break;
    case TCommand::Dot:
        Dot(c.a, c.value);
        break;
    case TCommand::DotInPenColor:
        Dot(c.a);
        break;
    case TCommand::SetPenColor:
        SetPenColor(c.value);
        break;
    case TCommand::SetPenWidth:
        SetPenWidth(static_cast<std::int32_t>(c.value));
        break;
    case TCommand::SetPenState:
        SetPenState(static_cast<TPenState>(c.value));
        break;
    case TCommand::SetTurtleColor:
        SetTurtleColor(c.value);
        break;
    case TCommand::SetTurtleSize:
        SetTurtleSize(static_cast<std::uint16_t>(c.value));
        break;
    }
}

void TTurtle::SetOnClick(std::function<void(double x, double y)> handler) {
    CheckGuiThread();
    FOnClick = std::move(handler);
}

void TTurtle::SetOnKeyPress(std::function<void(int Key)> handler) {
    CheckGuiThread();
    FOnKeyPress = std::move(handler);
}

void TTurtle::MouseDown(int X, int Y) {
    const TVirtuell p = GetVirtualCoords(X, Y);
    const double x = p.x, y = p.y;
    // The handler may close the form and destroy the control, or replace or clear
    // itself: it runs from a copy, as OnStartPaint's does.
    TControlWatch alive(this);
    if (FOnClick) {
        const std::function<void(double, double)> handler = FOnClick;
        handler(x, y);
    }
    if (!alive.Gone()) emit Click(x, y);
}

void TTurtle::KeyDown(int Key) {
    TControlWatch alive(this);
    if (FOnKeyPress) {
        const std::function<void(int)> handler = FOnKeyPress;
        handler(Key);
    }
    if (!alive.Gone()) emit KeyPress(Key);
}

// ---------------------------------------------------------------------------------------
// The program around it

TTurtle::TTurtle(TWinControl* AOwner) : TPaintBox(AOwner) {
    // The paint box has refused a thread other than the GUI thread.
    SetSize(400, 400);
    ZeichenFlaeche = Canvas();
    FPrint = false;
    FBackColor = 0x00FFFFFF;
    FLineColor = 0;
    FTurtleColor = 0x000000FF;
    FPenWidth = 1;
    CPixelPerLE = PixelPerLEFor(Screen().PixelsPerInch());
    FPixelPerLE = static_cast<std::uint16_t>(CPixelPerLE);
    if (FPixelPerLE == 0) FPixelPerLE = 1;
    FDelay = 0;
    FShowTurtle = true;
    FTurtleSize = 7;
    FStartPos = TVirtuell{0, 0};
    FAktPos = FStartPos;
    FHeading = 90.0;
    FPenState = Down;
    BildOldPos = TRect{0, 0, 0, 0};
    BildOld = std::make_unique<TBitmap>();
    SetBildOldParams();
    FRekursion = false;
    FFilename.clear();
    FEscSeen = KeyPressCount(VK_ESCAPE);
    FPauseSeen = KeyPressCount(VK_PAUSE);
}

TTurtle::~TTurtle() {
    if (FPrint) {
        // Ending the job waits for the print server while handling events: a control
        // that is going away must not be painted meanwhile.
        hide();
        try {
            if (Printer().Printing()) Printer().EndDoc();
        } catch (...) {
            // Nothing can be reported from a control that is going away, nor can it
            // reach the printer once the application has gone before it.
        }
    }
    // The recording canvas completes its metafile when it goes, so it must go first.
    ZeichenFlaeche = Canvas();
    FMetafileCanvas.reset();
    // A recording still running is put out as leaving the device would put it out, so
    // that a form recording into a file or onto the clipboard loses nothing when it
    // closes.
    if (FMetaflag && !Designing() && FMetafile) {
        try {
            if (OldG == tdWMF)
                FMetafile->SaveToFile(FFilename + ".wmf");
            else
                Clipboard().Assign(*FMetafile);
        } catch (...) {
            // Nothing can be reported from a control that is going away.
        }
    }
    FMetafile.reset();
    BildOld.reset();
}

void TTurtle::Paint() {
    TPaintBox::Paint();
    if (FRekursion) return;
    FRekursion = true;
    // The guard also comes down when Init or the handler raises an error, so that the
    // control paints again next time.
    PutBack clear(this, [this] { FRekursion = false; });
    FSpaeter.clear();
    // An Escape pressed before this drawing began (to close a dialog, say) must not break
    // it off: only a press from now on counts, for this control alone, so that another
    // control repainting inside a drawing leaves that drawing's press where it is.
    FEscSeen = KeyPressCount(VK_ESCAPE);
    FPauseSeen = KeyPressCount(VK_PAUSE);
    Init();
    if (!FPrint && !FMetaflag)
        FScreenStart = TKeptStart{FAktPos,   FHeading,  FLineColor, FTurtleColor,
                                  FPenWidth, FPenState, FTurtleSize};
    const std::uint16_t DelayTime = FDelay;
    SetDelay(DelayTime);
    FireStartPaint();
    // The kept commands come after the handler: it starts as described, on a cleared
    // area with the turtle in the middle, and they were given after it had drawn.
    DrawKept();
    if (Printer().Printing()) {
        SetAusgabe(tdScreen);
        DrawKept();
    }
    // Saves and copies that the handler asked for run now, each in a cycle of its own.
    if (!FSpaeter.empty()) {
        FRekursion = false;
        RunDeferred();
    }
}

void TTurtle::Init() {
    // A fill begun before the picture was cleared has nothing left to fill.
    FFilling = false;
    if (FPrint && !Printer().Printing() && !Designing()) {
        Printer().SetTitle("Kriecher, Version 10.1");
        // Waiting for the print server handles events, which may destroy the control.
        TControlWatch alive(this);
        try {
            Printer().BeginDoc();
        } catch (...) {
            if (alive.Gone()) throw;
            // Reported once: the control goes back to the screen and draws there, instead
            // of failing again at every repaint.
            FPrint = false;
            Fausgabe = tdScreen;
            ++FAusgabeWechsel;
            Init();
            throw;
        }
        if (alive.Gone()) {
            Printer().AbortDoc();
            throw EAbort(ControlGone);
        }
        Init_Printer();
        FDelayOld = FDelay;
        FDelay = 0;
        ZeichenFlaeche = Printer().Canvas();
    } else if (FMetaflag && !Designing()) {
        // A fresh recording replaces the one in progress; the old one is let go.
        ZeichenFlaeche = Canvas();
        FMetafileCanvas.reset();
        FMetafile = std::make_unique<TMetafile>();
        FMetafileCanvas = StartRecording(*FMetafile, Width(), Height());
        ZeichenFlaeche = FMetafileCanvas.get();
    } else {
        SetDelay(FDelayOld);
        ZeichenFlaeche = Canvas();
    }
    Init_Koord();
    SetBackColor(FBackColor);
    SetPosition(FStartPos.x, FStartPos.y);
    SetTurtleColor(FTurtleColor);
}

} // namespace kritzel
