// The turtle-graphics control TTurtle: a turtle that walks over a paint box and draws.
#pragma once

#include "host/Host.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

/// Kritzel-Werk: the turtle control `TTurtle`, its window `TForm`, the application
/// `TApplication`, colours (`TColor`, `RGB`, `clRed` …) and the framework beneath.
namespace kritzel {

Q_NAMESPACE_EXPORT(KRITZELWERK_EXPORT)

/// A number, as the turtle's commands take it: a double.
using TZahl = double;

/// Heading 0: the turtle faces right (+x). Headings are degrees, counter-clockwise.
constexpr int East = 0;
/// Heading 90: the turtle faces up (+y), as a new turtle does.
constexpr int North = 90;
/// Heading 180: the turtle faces left.
constexpr int West = 180;
/// Heading 270: the turtle faces down.
constexpr int South = 270;

/// A point of the drawing plane in LE (1 LE = 1 cm), origin in the middle,
/// y pointing up.
struct KRITZELWERK_EXPORT TVirtuell {
    /// Distance to the right of the middle, in LE.
    double x = 0;
    /// Distance above the middle, in LE.
    double y = 0;
};

/// Whether the turtle draws as it moves: `Down` draws lines, `Up` only moves.
enum TPenState : std::uint8_t {
    Up = 0,  ///< The turtle moves without drawing.
    Down = 1 ///< The turtle draws a line as it moves.
};
Q_ENUM_NS(TPenState)

/// Where the drawing goes: the screen, the printer,
/// a metafile file or the clipboard.
enum TTurtleDevice : std::uint8_t {
    tdScreen = 0,  ///< The control on the screen.
    tdPrinter = 1, ///< The printer: one page in real centimetres, printed on leaving it.
    tdWMF = 2,     ///< A metafile (EMF), written to `FileName` + ".wmf" on leaving it.
    tdClipb = 3    ///< A metafile, put on the clipboard on leaving it.
};
Q_ENUM_NS(TTurtleDevice)

/// The handler of `OnStartPaint`: a function without arguments,
/// e.g. a lambda `[&] { ... }`.
using TStartPaint = std::function<void()>;

/// A colour from its red, green and blue parts, each 0 to 255.
/// Use it rather than a hexadecimal number: `RGB(255, 0, 0)` is red,
/// while `0xFF0000` is blue, as TColor keeps red in its lowest byte.
KRITZELWERK_EXPORT TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b);
/// The red part (0 to 255) of a colour: its lowest byte.
KRITZELWERK_EXPORT std::uint8_t GetRValue(TColor c);
/// The green part (0 to 255) of a colour: its second byte.
KRITZELWERK_EXPORT std::uint8_t GetGValue(TColor c);
/// The blue part (0 to 255) of a colour: its third byte.
KRITZELWERK_EXPORT std::uint8_t GetBValue(TColor c);

/// The turtle-graphics control: a turtle that walks over its area and draws.
/// Positions and lengths are in LE (1 LE = 1 cm), the origin in the middle, y up;
/// headings in degrees, counter-clockwise, 90 pointing up.
/// The control keeps no picture unless `KeepPicture` is on:
/// draw in the `OnStartPaint` handler.
/// Every repaint clears the area, puts the turtle back in the middle,
/// keeping its heading, and runs that handler.
class KRITZELWERK_EXPORT TTurtle : public TPaintBox {
    Q_OBJECT
    // Designer edits and .ui files store these; a property equal to what its reset gives,
    // its declared default, is left out of the form. Colours travel as QColor, so that
    // Designer offers its colour editor; Delay and TurtleSize as int, FileName as QString,
    // as form tools know these types.
    Q_PROPERTY(QColor BackColor READ BackQColor WRITE SetBackColor RESET ResetBackColor)
    Q_PROPERTY(QColor PenColor READ PenQColor WRITE SetPenColor RESET ResetPenColor)
    Q_PROPERTY(int PenWidth READ PenWidth WRITE SetPenWidth RESET ResetPenWidth)
    Q_PROPERTY(QColor TurtleColor READ TurtleQColor WRITE SetTurtleColor RESET ResetTurtleColor)
    Q_PROPERTY(int Delay READ Delay WRITE setDelay RESET ResetDelay)
    Q_PROPERTY(kritzel::TTurtleDevice Device READ Device WRITE SetAusgabe RESET ResetDevice)
    Q_PROPERTY(QString FileName READ FileNameText WRITE setFileName)
    Q_PROPERTY(int TurtleSize READ TurtleSize WRITE setTurtleSize RESET ResetTurtleSize)
    Q_PROPERTY(bool Showing READ Showing WRITE SetShowTurtle RESET ResetShowing)
    Q_PROPERTY(kritzel::TPenState PenState READ PenState WRITE SetPenState RESET ResetPenState)
    Q_PROPERTY(double Heading READ Heading WRITE SetHeading)
    Q_PROPERTY(double MaxX READ MaxX STORED false)
    Q_PROPERTY(double MaxY READ MaxY STORED false)
    Q_PROPERTY(double MinX READ MinX STORED false)
    Q_PROPERTY(double MinY READ MinY STORED false)
    Q_PROPERTY(double x READ x WRITE SetxPosition)
    Q_PROPERTY(double y READ y WRITE SetYPosition)
    Q_PROPERTY(bool KeepPicture READ KeepPicture WRITE SetKeepPicture RESET ResetKeepPicture)

public:
    // Moving: walking, turning, jumping, the turtle's pose and the area's edges.

    /// Moves the turtle x LE (cm) along its heading;
    /// draws a line in `PenColor` and `PenWidth` when the pen is `Down`.
    /// A negative x moves backwards. Waits `Delay` ms if shown.
    void Forwd(double x);
    /// Moves the turtle x LE (cm) backwards, against its heading, which stays as it is;
    /// draws a line when the pen is `Down`. Waits `Delay` ms if shown.
    void Back(double x);
    /// Wipes the picture to `BackColor`, puts the turtle in the middle at heading 90.
    /// Pen, colours and delay stay as they are.
    void Clear();
    /// Puts the turtle back in the middle (0, 0) without drawing; keeps its heading.
    void Home();
    /// Turns the turtle Winkel degrees counter-clockwise (to its left). Draws nothing.
    /// The heading is not reduced: `Left(360)` from 90 gives 450.
    void Left(double Winkel);
    /// Turns the turtle Winkel degrees clockwise (to its right). Draws nothing.
    void Right(double Winkel);
    /// Jumps to (Xpos, Ypos) in LE, origin in the middle, y up, without drawing a line,
    /// whatever the pen; keeps the heading. Example: `SetPosition(-3, 2)`.
    void SetPosition(double Xpos, double Ypos);
    /// Walks straight to (Xpos, Ypos) in LE, drawing a line when the pen is `Down`,
    /// as Python's `goto` does; keeps the heading. `SetPosition` jumps without drawing.
    void GoTo(double Xpos, double Ypos);
    /// The heading from the turtle to the point (Xpos, Ypos) in LE,
    /// in degrees from 0 up to but not including 360;
    /// 0 when the turtle stands on the point.
    double Towards(double Xpos, double Ypos) const;
    /// The distance from the turtle to the point (Xpos, Ypos), in LE.
    double Distance(double Xpos, double Ypos) const;
    /// The heading in degrees, counter-clockwise from right: 0 right, 90 up, 180 left.
    double Heading() const { return FHeading; }
    /// Turns the turtle to x degrees (0 right, 90 up, counter-clockwise); no line.
    /// Repaints keep the heading: set it at the start of `OnStartPaint`.
    void SetHeading(double x);
    /// Right edge of the area in LE (the left edge is `MinX` = −MaxX).
    double MaxX() const { return GetMaxX(); }
    /// Top edge of the area in LE (the bottom edge is `MinY` = −MaxY).
    double MaxY() const { return GetMaxY(); }
    /// Left edge of the area in LE, −`MaxX`.
    double MinX() const { return GetMinX(); }
    /// Bottom edge of the area in LE, −`MaxY`.
    double MinY() const { return GetMinY(); }
    /// The turtle's x in LE, right of the middle (hides the widget's own x()).
    double x() const { return FAktPos.x; }
    /// Jumps to x LE right of the middle without drawing; y stays.
    void SetxPosition(double x);
    /// The turtle's y in LE, above the middle (hides the widget's own y()).
    double y() const { return FAktPos.y; }
    /// Jumps to y LE above the middle without drawing; x stays.
    void SetYPosition(double y);

    // Pen and colours: the pen, the background, the turtle's looks, colour ramps.

    /// Colour number Nr of a ramp of MaxNr steps from Farbe2 (at Nr 0) towards Farbe1.
    /// The steps are whole numbers, so Nr = MaxNr may stop just short of Farbe1;
    /// Nr beyond MaxNr wraps. Draws nothing. Example:
    /// `t.SetPenColor(t.SelectColor(clYellow, clBlue, i, 20))`.
    TColor SelectColor(TColor Farbe1, TColor Farbe2, std::int32_t Nr, std::int32_t MaxNr);
    /// The background colour; a `TColor` keeps red in its lowest byte.
    TColor BackColor() const { return FBackColor; }
    /// Sets the background colour and wipes the picture to it; only the turtle remains.
    /// Use `RGB(r, g, b)`, `clRed` or `Qt::red`: `0xFF0000` is blue.
    void SetBackColor(TColor Color);
    /// The colour of the lines the turtle draws.
    TColor PenColor() const { return FLineColor; }
    /// Sets the colour of the next lines: `RGB(r, g, b)`,
    /// `clRed` or `Qt::red` (`0xFF0000` is blue). Redraws nothing.
    void SetPenColor(TColor c);
    /// The width of the lines, in device pixels (0.1 mm on the printer).
    std::int32_t PenWidth() const { return FPenWidth; }
    /// Sets the width of the next lines, in device pixels (0.1 mm on the printer).
    void SetPenWidth(std::int32_t w);
    /// The colour of the turtle (the triangle), red at first.
    TColor TurtleColor() const { return FTurtleColor; }
    /// Sets the turtle's colour and draws it anew (waits `Delay` ms if shown).
    void SetTurtleColor(TColor Color);
    /// The turtle's size in pixels: its tip lies 2.5 times as far ahead.
    std::uint16_t TurtleSize() const { return FTurtleSize; }
    /// Sets the turtle's size in pixels (7 at first) and draws it anew.
    void SetTurtleSize(std::uint16_t x);
    /// Whether the turtle (the triangle) is shown.
    bool Showing() const { return FShowTurtle; }
    /// Shows or hides the turtle. A hidden turtle draws faster:
    /// `Delay` does not pace it.
    void SetShowTurtle(bool x);
    /// `Down` when moving draws lines, `Up` when it only moves.
    TPenState PenState() const { return FPenState; }
    /// `Down`: the next moves draw lines; `Up`: they only move.
    /// Circles draw either way.
    /// A value that is neither Up nor Down is refused with a warning.
    void SetPenState(TPenState s);

    // Shapes and text: circles, rectangles, text, arcs, fills, stamps and dots.

    /// A disc of Radius LE around the turtle, filled and outlined in BrushColor,
    /// also with the pen `Up`. The turtle stays where it is.
    void FillCircle(double Radius, TColor BrushColor);
    /// A circle of Radius LE around the turtle in `PenColor` and `PenWidth`,
    /// also with the pen `Up`. The turtle stays where it is.
    void DrawCircle(double Radius);
    /// Writes the text S with its top-left corner at (Xpos, Ypos) in LE,
    /// in the font SchriftName (e.g. "DejaVu Sans") of Schriftgroesse points,
    /// in the colour Schriftfarbe, without a background box.
    /// The turtle does not move.
    void DrawStringPos(double Xpos, double Ypos, const TString& S, const TString& SchriftName,
                       std::int32_t Schriftgroesse, TColor Schriftfarbe);
    /// Writes the text S centred across the area, its top at height Ypos LE,
    /// wherever the turtle stands;
    /// font name, size in points and colour as for `DrawStringPos`.
    void DrawStringCent(double Ypos, const TString& S, const TString& SchriftName,
                        std::int32_t Schriftgroesse, TColor Schriftfarbe);
    /// A rectangle filled in BrushColor with the turtle at one corner:
    /// side a LE along the heading, side b LE to the left of it. Sides in `PenColor`;
    /// nothing with the pen `Up`. The turtle ends where it began,
    /// its heading 360 greater. Example: `FillRectangle(4, 2, clYellow)`.
    void FillRectangle(double a, double b, TColor BrushColor);
    /// Walks an arc of radius |Radius| LE, drawing when the pen is `Down`,
    /// and turns by Winkel degrees on the way,
    /// as Python's `turtle.circle(radius, extent)` does:
    /// a positive Radius has the centre on the left and turns left,
    /// a negative one has it on the right and turns right;
    /// a negative Winkel walks the same circle backwards.
    /// Ends exactly where the arc ends; the curve is drawn at the device's resolution.
    void Arc(double Radius, double Winkel);
    /// Starts a fill.
    /// `EndFill` then fills the polygon of every position the turtle passes,
    /// pen up or down, arcs included. A repaint, `Clear` or `Home` drops it.
    void BeginFill();
    /// Fills the polygon begun by `BeginFill` in BrushColor (odd-even rule:
    /// where a shape crosses itself, the inner part stays empty),
    /// with the lines drawn meanwhile on top. Without `BeginFill` it does nothing.
    void EndFill(TColor BrushColor);
    /// A filled round dot of diameter Size LE at the turtle in Farbe,
    /// as Python's `dot(size, color)`; with the pen up too. The turtle stays;
    /// an open fill gets its place as a corner. Example: `Dot(0.5, clRed)`.
    void Dot(double Size, TColor Farbe);
    /// `Dot` in `PenColor`.
    void Dot(double Size);
    /// Leaves the turtle's triangle, in TurtleColor and at its pose, in the picture:
    /// it stays when the turtle moves on and is printed and recorded too.
    void Stamp();

    // Pacing and Escape: the pause after each step, and breaking a drawing off.

    /// True while Escape or Pause is held,
    /// and once for a press since the last question.
    /// Ask it in a long drawing loop to let the class break it off:
    /// `while (!t.EscPressed())`.
    bool EscPressed();
    /// The pause after each step, in milliseconds.
    std::uint16_t Delay() const { return FDelay; }
    /// Pauses x milliseconds after each step so the class can watch the drawing grow.
    /// It paces only while the turtle is shown (`Showing`); never on the printer.
    void SetDelay(std::uint16_t x);

    // Output devices: the screen, the printer, metafiles and saved files.

    /// Saves the drawing, without the turtle, in the format the name's ending chooses:
    /// .png (the control's pixels), .jpg or .jpeg and .bmp (the same pixels),
    /// .svg (vectors, 1 LE = 1 cm, text as text),
    /// .pdf (one page of the drawing's size, true size),
    /// .emf or .wmf (the metafile that `Device` = `tdWMF` writes).
    /// Runs `OnStartPaint` once on the file's surface,
    /// then the screen shows the drawing again.
    /// Writes the name exactly as given, whole or not at all;
    /// raises `EKritzelwerk` naming the file when it cannot, or for another ending.
    /// Called from `OnStartPaint`, it runs once that repaint has ended,
    /// and asks for no repaint of its own.
    /// A `Device` switch asked for meanwhile waits for the file.
    void SaveToFile(const TString& Name);
    /// Puts the drawing on the clipboard in one step,
    /// as `Device` = `tdClipb` and back would: as a metafile,
    /// with a bitmap of the same picture.
    /// Called from `OnStartPaint`, it waits for the end of that repaint,
    /// as `SaveToFile` does.
    void CopyToClipboard();
    /// Where the drawing goes now: `tdScreen`, `tdPrinter`, `tdWMF` or `tdClipb`.
    TTurtleDevice Device() const { return Fausgabe; }
    /// Switches where the drawing goes and starts afresh there:
    /// the area cleared, the turtle in the middle. Leaving `tdPrinter` prints the page;
    /// leaving `tdWMF` writes `FileName`.wmf;
    /// leaving `tdClipb` puts the picture on the clipboard.
    /// Raises `EKritzelwerk` on failure.
    /// Asked for while `SaveToFile` or `CopyToClipboard` draws, it waits for the file.
    void SetAusgabe(TTurtleDevice Value);
    /// The file name stem for `tdWMF`; ".wmf" is added when the recording ends.
    const TString& FileName() const { return FFilename; }
    /// Sets the file name stem for `tdWMF` (a path may be part of it);
    /// "" gives "Kritzelwerk1".
    /// The file holds an enhanced metafile (EMF) despite its ".wmf".
    void SetFilename(const TString& Value);

    // Events: the handler that draws, the kept picture, clicks and keys. The
    // questions to the pupil are free functions of host/Dialogs.h, which this header
    // includes: AskNumber(Prompt, Default), AskNumber(Prompt, Default, Min, Max) for
    // a number from Min to Max, QueryNumber, AskText and QueryText.

    /// What a left click on the control calls,
    /// with the point clicked in LE (origin in the middle, y up):
    /// `SetOnClick([&](double x, double y) { t.SetPosition(x, y); })`.
    /// The handler may replace or clear itself, and delete the control or its window.
    void SetOnClick(std::function<void(double x, double y)> handler);
    /// What a key pressed while the control has the focus calls,
    /// with Qt's key code (`Qt::Key_Left`, `Qt::Key_A` …).
    /// Escape and Pause still reach `EscPressed`.
    /// The handler may replace or clear itself, and delete the control or its window.
    void SetOnKeyPress(std::function<void(int Key)> handler);
    /// The handler that draws the picture on every repaint.
    const TStartPaint& OnStartPaint() const { return FStartPaint; }
    /// Sets the handler that draws the picture; every repaint clears the area,
    /// puts the turtle in the middle (keeping its heading) and runs it.
    /// Put all drawing here.
    /// Handlers that repaint other turtles may nest 200 deep;
    /// deeper raises `EKritzelwerk`. Example:
    /// `t.SetOnStartPaint([&] { t.SetHeading(North); t.Forwd(3); });`
    void SetOnStartPaint(TStartPaint handler) {
        CheckGuiThread();
        FStartPaint = std::move(handler);
    }
    /// Whether the turtle keeps its picture (see `SetKeepPicture`); off at first.
    bool KeepPicture() const { return FKeepPicture; }
    /// On: the commands and settings given outside `OnStartPaint` are kept,
    /// in their order (`Forwd`, `Left`, `SetPenColor`, `SetHeading` …),
    /// and drawn again, without delay and after the handler, at every repaint:
    /// a resize, an expose, `SetBackColor`, a new `Device`.
    /// `SaveToFile`, `CopyToClipboard` and printing draw them too.
    /// The turtle then ends where they leave it.
    /// `Clear()` forgets them, as switching it off does.
    /// What a click or key handler gives while the picture is drawn,
    /// by the handler or again, is drawn, not kept; `Delay` and `Showing` stay.
    void SetKeepPicture(bool on);

    // The program around it: making the turtle and letting it go.

    /// Creates a turtle on AOwner (a form or widget): 400 × 400 pixels,
    /// white background, black lines of width 1, a red turtle of size 7, pen down,
    /// heading 90, delay 0.
    explicit TTurtle(TWinControl* AOwner = nullptr);
    /// Ends a print job still open on this turtle (the page is printed).
    ~TTurtle() override;

    // Every command and setter that takes a colour also takes Qt's: a QColor or one of
    // Qt's named colours. Without these, Qt::red would pass as the integer 7, almost black.

    /// `SetBackColor` with Qt's colour, e.g. `QColor("#ff8000")`.
    void SetBackColor(const QColor& Color) { SetBackColor(FromQColor(Color)); }
    /// `SetBackColor` with Qt's named colour, e.g. `Qt::red`.
    void SetBackColor(Qt::GlobalColor Color) { SetBackColor(FromQColor(Color)); }
    /// `SetPenColor` with Qt's colour, e.g. `QColor("#ff8000")`.
    void SetPenColor(const QColor& c) { SetPenColor(FromQColor(c)); }
    /// `SetPenColor` with Qt's named colour, e.g. `Qt::darkGreen`.
    void SetPenColor(Qt::GlobalColor c) { SetPenColor(FromQColor(c)); }
    /// `SetTurtleColor` with Qt's colour.
    void SetTurtleColor(const QColor& Color) { SetTurtleColor(FromQColor(Color)); }
    /// `SetTurtleColor` with Qt's named colour, e.g. `Qt::blue`.
    void SetTurtleColor(Qt::GlobalColor Color) { SetTurtleColor(FromQColor(Color)); }
    /// `FillCircle` with Qt's colour, e.g. `FillCircle(1, Qt::yellow)`.
    template <QtColor C> void FillCircle(double Radius, const C& BrushColor) {
        FillCircle(Radius, FromQColor(BrushColor));
    }
    /// `FillRectangle` with Qt's colour, e.g. `FillRectangle(4, 2, Qt::cyan)`.
    template <QtColor C> void FillRectangle(double a, double b, const C& BrushColor) {
        FillRectangle(a, b, FromQColor(BrushColor));
    }
    /// `Dot` with Qt's colour, e.g. `Dot(0.5, Qt::red)`.
    template <QtColor C> void Dot(double Size, const C& Farbe) { Dot(Size, FromQColor(Farbe)); }
    /// `EndFill` with Qt's colour, e.g. `EndFill(Qt::yellow)`.
    template <QtColor C> void EndFill(const C& BrushColor) { EndFill(FromQColor(BrushColor)); }
    /// `DrawStringPos` with Qt's colour for the text.
    template <QtColor C>
    void DrawStringPos(double Xpos, double Ypos, const TString& S, const TString& SchriftName,
                       std::int32_t Schriftgroesse, const C& Schriftfarbe) {
        DrawStringPos(Xpos, Ypos, S, SchriftName, Schriftgroesse, FromQColor(Schriftfarbe));
    }
    /// `DrawStringCent` with Qt's colour for the text.
    template <QtColor C>
    void DrawStringCent(double Ypos, const TString& S, const TString& SchriftName,
                        std::int32_t Schriftgroesse, const C& Schriftfarbe) {
        DrawStringCent(Ypos, S, SchriftName, Schriftgroesse, FromQColor(Schriftfarbe));
    }
    /// `SelectColor` with Qt's colour at either end or both, e.g.
    /// `SelectColor(Qt::red, Qt::blue, i, 10)`.
    template <class C1, class C2>
    TColor SelectColor(const C1& Farbe1, const C2& Farbe2, std::int32_t Nr,
                       std::int32_t MaxNr) requires(QtColor<C1> || QtColor<C2>) {
        return SelectColor(AsTColor(Farbe1), AsTColor(Farbe2), Nr, MaxNr);
    }
    /// `BackColor` as Qt's colour; for forms.
    QColor BackQColor() const { return ToQColor(FBackColor); }
    /// `PenColor` as Qt's colour; for forms.
    QColor PenQColor() const { return ToQColor(FLineColor); }
    /// `TurtleColor` as Qt's colour; for forms.
    QColor TurtleQColor() const { return ToQColor(FTurtleColor); }

    /// For forms (code that uic writes); in a program use `SetBackColor`.
    void setBackColor(int c) { SetBackColor(c); }
    /// For forms (code that uic writes); in a program use `SetBackColor`.
    void setBackColor(const QColor& c) { SetBackColor(c); }
    /// For forms; in a program use `SetPenColor`.
    void setPenColor(int c) { SetPenColor(c); }
    /// For forms; in a program use `SetPenColor`.
    void setPenColor(const QColor& c) { SetPenColor(c); }
    /// For forms; in a program use `SetPenWidth`.
    void setPenWidth(int w) { SetPenWidth(w); }
    /// For forms; in a program use `SetTurtleColor`.
    void setTurtleColor(int c) { SetTurtleColor(c); }
    /// For forms; in a program use `SetTurtleColor`.
    void setTurtleColor(const QColor& c) { SetTurtleColor(c); }
    /// For forms; in a program use `SetDelay`. A value beyond 0 to 65535 is clamped.
    void setDelay(int d) { SetDelay(static_cast<std::uint16_t>(std::clamp(d, 0, 65535))); }
    /// For forms; in a program use `SetAusgabe`.
    void setDevice(TTurtleDevice d) { SetAusgabe(d); }
    /// For forms; in a program use `SetFilename`.
    void setFileName(const TUnicodeString& name) { SetFilename(FromUnicode(name)); }
    /// For forms; in a program use `SetTurtleSize`.
    /// A value beyond 0 to 65535 is clamped.
    void setTurtleSize(int s) {
        SetTurtleSize(static_cast<std::uint16_t>(std::clamp(s, 0, 65535)));
    }
    /// For forms; in a program use `SetShowTurtle`.
    void setShowing(bool on) { SetShowTurtle(on); }
    /// For forms; in a program use `SetPenState`.
    void setPenState(TPenState s) { SetPenState(s); }
    /// For forms; in a program use `SetHeading`.
    void setHeading(double h) { SetHeading(h); }
    /// For forms; in a program use `SetxPosition`.
    void setX(double v) { SetxPosition(v); }
    /// For forms; in a program use `SetYPosition`.
    void setY(double v) { SetYPosition(v); }
    /// `FileName` as Qt's string; for forms.
    TUnicodeString FileNameText() const { return ToUnicode(FFilename); }

    /// Screen pixels per LE (per cm): the screen's dots per inch / 2.54,
    /// e.g. 38 at 96 dpi.
    std::int32_t PixelPerLE() const { return CPixelPerLE; }
    /// Device units per LE on the current output: as `PixelPerLE` on the screen,
    /// 100 on the printer.
    std::uint16_t DevicePixelPerLE() const { return FPixelPerLE; }

    // Events, as signals for forms and Qt programs.
signals:
    /// Emitted right after the `OnStartPaint` handler; a form draws in its slot
    /// `on_turtle_StartPaint()`.
    void StartPaint();
    /// Emitted on a left click on the control, after the `SetOnClick` handler,
    /// with the point in LE.
    void Click(double x, double y);
    /// Emitted on a key press while the control has the focus,
    /// after the `SetOnKeyPress` handler, with Qt's key code.
    void KeyPress(int Key);

protected:
    /// Clears the area, puts the turtle in the middle and runs `OnStartPaint`.
    void Paint() override;
    void MouseDown(int X, int Y) override;
    void KeyDown(int Key) override;
    /// The scale `SaveToFile` saves at: `PixelPerLE`.
    int DrawingScale() const override;
    /// Saves the drawing as `SaveToFile` does,
    /// started as the window's last repaint started (heading, pens, turtle).
    void SaveDrawing(const TString& Name) override;

private:
    void Init();
    void FireStartPaint();
    void Init_Koord();
    void Init_Printer();
    TPoint GetPaperSize();
    TPoint GetRealCoords(const TVirtuell& p) const;
    TVirtuell GetVirtualCoords(int X, int Y) const;
    void TurtleCorners(std::int32_t Scale, TPoint (&Real)[4]);
    double GetMaxX() const;
    double GetMaxY() const;
    double GetMinX() const;
    double GetMinY() const;
    void SetBildOldParams();
    void PaintTurtle();
    void MakeADelay();
    void Pump();
    void Go(double x);
    void MoveTo(double NewPosX, double NewPosY);
    void Circle(double Radius, TColor penColor, std::int32_t penWidth, TBrushStyle style,
                const TColor* brushColor);
    void Text(const TVirtuell& at, bool centred, const TString& S, const TString& SchriftName,
              std::int32_t Schriftgroesse, TColor Schriftfarbe);
    bool Designing() const { return (ComponentState() & csDesigning) != 0; }
    void ArcLine(long double mx, long double my, long double r, long double from, long double to);
    void PenTo(const TPoint& Real, bool Line);
    void NoteForFill(const TPoint& Real, bool Line);
    // The commands a kept picture holds, each with its arguments in a few bytes.
    enum class TCommand : std::uint8_t {
        None, // not kept, but the commands it gives are its own
        Clear,
        Forwd,
        Back,
        Left,
        Right,
        Home,
        SetPosition,
        GoTo,
        SetxPosition,
        SetYPosition,
        SetHeading,
        FillCircle,
        DrawCircle,
        DrawStringPos,
        DrawStringCent,
        FillRectangle,
        Arc,
        BeginFill,
        EndFill,
        Stamp,
        Dot,
        DotInPenColor,
        SetPenColor,
        SetPenWidth,
        SetPenState,
        SetTurtleColor,
        SetTurtleSize
    };
    struct TKeptCommand {
        TCommand command;
        std::uint32_t value; // a colour, a whole number or the index of a text
        double a, b;
    };
    class TEntry;
    TEntry Enter(TCommand command, double a = 0, double b = 0, std::uint32_t value = 0);
    TEntry Enter(TCommand command, double a, double b, const TString& S, const TString& SchriftName,
                 std::int32_t Schriftgroesse, TColor Schriftfarbe);
    bool Keeping() const;
    void Keep(const TKeptCommand& c);
    void DrawKept();
    void Replay(TKeptCommand c);
    void SpriteBack();
    void RunOnFile(TCanvas* Flaeche, bool AfterRepaint);
    void RunCycleOn(TCanvas* Flaeche, bool AfterRepaint);
    void RunDeferred();
    void MakeWaitingSwitch();

    // Declared defaults of the published properties: a form tool's reset brings them
    // back, and form storage leaves out a value equal to them. TurtleColor's is red,
    // the colour construction gives, so a stored form comes back as it was saved.
    void ResetBackColor() { SetBackColor(0x00FFFFFF); }
    void ResetPenColor() { SetPenColor(0); }
    void ResetPenWidth() { SetPenWidth(1); }
    void ResetTurtleColor() { SetTurtleColor(0x000000FF); }
    void ResetDelay() { SetDelay(0); }
    void ResetDevice() { SetAusgabe(tdScreen); }
    void ResetTurtleSize() { SetTurtleSize(7); }
    void ResetShowing() { SetShowTurtle(true); }
    void ResetPenState() { SetPenState(Down); }
    void ResetKeepPicture() { SetKeepPicture(false); }

    TCanvas* ZeichenFlaeche = nullptr;
    TColor FBackColor = 0;
    TColor FLineColor = 0;
    TColor FTurtleColor = 0;
    std::int32_t FPenWidth = 0;
    std::uint16_t FPixelPerLE = 0;
    std::uint16_t FDelay = 0;
    std::uint16_t FDelayOld = 0;
    bool FShowTurtle = false;
    std::uint16_t FTurtleSize = 0;
    std::unique_ptr<TBitmap> BildOld;
    TRect BildOldPos;
    TVirtuell FStartPos;
    TVirtuell FAktPos;
    double FHeading = 0;
    TPenState FPenState = Up;
    TVirtuell FMin;
    TVirtuell FMax;
    bool FPrint = false;
    bool FRekursion = false;
    TStartPaint FStartPaint;
    std::int32_t CPixelPerLE = 0;
    TTurtleDevice Fausgabe = tdScreen;
    std::unique_ptr<TMetafileCanvas> FMetafileCanvas;
    std::unique_ptr<TMetafile> FMetafile;
    bool FMetaflag = false;
    TPenState Hilf = Up;
    bool Hilf2 = false;
    TTurtleDevice OldG = tdScreen;
    TString FFilename;

    // Trigonometry remembered for the last heading, so that a turtle that only moves
    // does not compute it again; the results are the same either way.
    struct TCorners {
        std::uint64_t heading = 0;
        std::uint16_t size = 0;
        std::int32_t scale = 0;
        bool valid = false;
        double sinB[3] = {}, cosB[3] = {};
        bool Matches(double h, std::uint16_t sz, std::int32_t sc) const {
            return valid && heading == std::bit_cast<std::uint64_t>(h) && size == sz && scale == sc;
        }
        void Remember(double h, std::uint16_t sz, std::int32_t sc) {
            heading = std::bit_cast<std::uint64_t>(h);
            size = sz;
            scale = sc;
            valid = true;
        }
    } FCorners;
    struct TDirection {
        std::uint64_t heading = 0;
        bool valid = false;
        long double sin = 0, cos = 0;
        bool Matches(double h) const { return valid && heading == std::bit_cast<std::uint64_t>(h); }
        void Remember(double h) {
            heading = std::bit_cast<std::uint64_t>(h);
            valid = true;
        }
    } FDirection;
    // Counts device switches, so that a switch made by a handler while Init pumps
    // messages is not overwritten when the outer switch finishes.
    unsigned FAusgabeWechsel = 0;
    // The area has been filled with the background at least once: from then on a shown
    // sprite rests on the surface between commands.
    bool FBackFilled = false;

    // An open fill: the device points passed since BeginFill, and the lines drawn
    // meanwhile, which EndFill draws again on top of the fill.
    struct TFillLine {
        TPoint from, to;
        TColor color;
        std::int32_t penWidth;
    };
    bool FFilling = false;
    std::vector<TPoint> FFillPoints;
    std::vector<TFillLine> FFillLines;
    // Saves (a file name) and copies (none) asked for while the drawing is painted; they
    // run when its cycle has ended.
    struct TSpaeter {
        bool Clipboard;
        TString Name;
    };
    std::vector<TSpaeter> FSpaeter;
    // The save or copy about to start was asked for by a repaint that has just ended.
    bool FAfterRepaint = false;
    // A file's cycle is drawing; a device switch asked for meanwhile waits for its end
    // (FSwitchWaiting), the last one asked for in FSwitchTo.
    bool FOnFile = false;
    bool FSwitchWaiting = false;
    TTurtleDevice FSwitchTo = tdScreen;
    std::function<void(double x, double y)> FOnClick;
    std::function<void(int Key)> FOnKeyPress;
    // The presses of Escape and Pause this control has already answered or forgotten;
    // the key tracker is the application's, these marks are the control's own.
    std::uint32_t FEscSeen = 0;
    std::uint32_t FPauseSeen = 0;
    // A broken-off command is putting the sprite back: nothing waits or pumps meanwhile.
    bool FUnwinding = false;

    // The kept picture: the commands given since it was switched on or cleared, the texts
    // they wrote, and the turtle's state before the first of them, where drawing them
    // again starts.
    struct TKeptText {
        TString S, SchriftName;
        std::int32_t Schriftgroesse;
        TColor Schriftfarbe;
    };
    struct TKeptStart {
        TVirtuell position;
        double heading;
        TColor penColor, turtleColor;
        std::int32_t penWidth;
        TPenState penState;
        std::uint16_t turtleSize;
    };
    bool FKeepPicture = false;
    std::deque<TKeptCommand> FKept;
    std::vector<TKeptText> FKeptTexts;
    TKeptStart FKeptStart{};
    // What the last paint cycle on the screen started from. A cycle starts from the
    // heading, pens and turtle the cycle before left behind; the drawing a program
    // without a display keeps starts from here too, so that it shows what the window
    // shows.
    std::optional<TKeptStart> FScreenStart;
    void StartFrom(const TKeptStart& s);
    // The kept commands are being drawn again: nothing is kept, nothing waits and the
    // sprite stays off until they are done.
    bool FReplaying = false;
    // How deep the public commands under way are nested (FillRectangle's Forwd is not a
    // command of its own); a handler run while the turtle pumps starts afresh at 0.
    unsigned FNesting = 0;
};

} // namespace kritzel

// Host applications and form tools carry these in QVariant and queued connections.
Q_DECLARE_METATYPE(kritzel::TVirtuell)
Q_DECLARE_METATYPE(kritzel::TStartPaint)
