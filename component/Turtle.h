// The turtle-graphics control TTurtle: a turtle that walks over a paint box and draws.
#pragma once

#include "host/Host.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <memory>

namespace kritzel {

Q_NAMESPACE_EXPORT(KRITZELWERK_EXPORT)

using TZahl = double;

// Compass headings in the turtle's convention: degrees counter-clockwise from +x.
constexpr int East = 0;
constexpr int North = 90;
constexpr int West = 180;
constexpr int South = 270;

// A point of the virtual plane, in LE (centimetres), y pointing up.
struct KRITZELWERK_EXPORT TVirtuell {
    double x = 0;
    double y = 0;
};

enum TPenState : std::uint8_t { Up = 0, Down = 1 };
Q_ENUM_NS(TPenState)

enum TTurtleDevice : std::uint8_t { tdScreen = 0, tdPrinter = 1, tdWMF = 2, tdClipb = 3 };
Q_ENUM_NS(TTurtleDevice)

using TStartPaint = std::function<void()>;

// Colour ramps and channels.
KRITZELWERK_EXPORT TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b);
KRITZELWERK_EXPORT std::uint8_t GetRValue(TColor c);
KRITZELWERK_EXPORT std::uint8_t GetGValue(TColor c);
KRITZELWERK_EXPORT std::uint8_t GetBValue(TColor c);

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

public:
    explicit TTurtle(TWinControl* AOwner = nullptr);
    ~TTurtle() override;

    // Turtle commands.
    void Forwd(double x);
    void Back(double x);
    void Clear();
    void Home();
    void Left(double Winkel);
    void Right(double Winkel);
    void SetPosition(double Xpos, double Ypos);

    // Shapes, text and colour ramps.
    void FillCircle(double Radius, TColor BrushColor);
    void DrawCircle(double Radius);
    void DrawStringPos(double Xpos, double Ypos, const TString& S, const TString& SchriftName,
                       std::int32_t Schriftgroesse, TColor Schriftfarbe);
    void DrawStringCent(double Ypos, const TString& S, const TString& SchriftName,
                        std::int32_t Schriftgroesse, TColor Schriftfarbe);
    void FillRectangle(double a, double b, TColor BrushColor);
    TColor SelectColor(TColor Farbe1, TColor Farbe2, std::int32_t Nr, std::int32_t MaxNr);

    // Escape or Pause pressed now or since the last question.
    bool EscPressed();

    // Published properties.
    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor Color);
    TColor PenColor() const { return FLineColor; }
    void SetPenColor(TColor c) {
        CheckGuiThread();
        FLineColor = c;
    }
    std::int32_t PenWidth() const { return FPenWidth; }
    void SetPenWidth(std::int32_t w) {
        CheckGuiThread();
        FPenWidth = w;
    }
    TColor TurtleColor() const { return FTurtleColor; }
    void SetTurtleColor(TColor Color);
    std::uint16_t Delay() const { return FDelay; }
    void SetDelay(std::uint16_t x);
    TTurtleDevice Device() const { return Fausgabe; }
    void SetAusgabe(TTurtleDevice Value);
    const TString& FileName() const { return FFilename; }
    void SetFilename(const TString& Value);
    std::uint16_t TurtleSize() const { return FTurtleSize; }
    void SetTurtleSize(std::uint16_t x);
    bool Showing() const { return FShowTurtle; }
    void SetShowTurtle(bool x);
    TPenState PenState() const { return FPenState; }
    // A value that is neither Up nor Down is refused with a warning.
    void SetPenState(TPenState s);
    const TStartPaint& OnStartPaint() const { return FStartPaint; }
    void SetOnStartPaint(TStartPaint handler) {
        CheckGuiThread();
        FStartPaint = std::move(handler);
    }
    double Heading() const { return FHeading; }
    void SetHeading(double x);
    double MaxX() const { return GetMaxX(); }
    double MaxY() const { return GetMaxY(); }
    double MinX() const { return GetMinX(); }
    double MinY() const { return GetMinY(); }
    // The turtle's position; these hide the widget's own x() and y().
    double x() const { return FAktPos.x; }
    void SetxPosition(double x);
    double y() const { return FAktPos.y; }
    void SetYPosition(double y);

    // Every command and setter that takes a colour also takes Qt's: a QColor or one of
    // Qt's named colours. Without these, Qt::red would pass as the integer 7, almost black.
    void SetBackColor(const QColor& Color) { SetBackColor(FromQColor(Color)); }
    void SetBackColor(Qt::GlobalColor Color) { SetBackColor(FromQColor(Color)); }
    void SetPenColor(const QColor& c) { SetPenColor(FromQColor(c)); }
    void SetPenColor(Qt::GlobalColor c) { SetPenColor(FromQColor(c)); }
    void SetTurtleColor(const QColor& Color) { SetTurtleColor(FromQColor(Color)); }
    void SetTurtleColor(Qt::GlobalColor Color) { SetTurtleColor(FromQColor(Color)); }
    template <QtColor C> void FillCircle(double Radius, const C& BrushColor) {
        FillCircle(Radius, FromQColor(BrushColor));
    }
    template <QtColor C> void FillRectangle(double a, double b, const C& BrushColor) {
        FillRectangle(a, b, FromQColor(BrushColor));
    }
    template <QtColor C>
    void DrawStringPos(double Xpos, double Ypos, const TString& S, const TString& SchriftName,
                       std::int32_t Schriftgroesse, const C& Schriftfarbe) {
        DrawStringPos(Xpos, Ypos, S, SchriftName, Schriftgroesse, FromQColor(Schriftfarbe));
    }
    template <QtColor C>
    void DrawStringCent(double Ypos, const TString& S, const TString& SchriftName,
                        std::int32_t Schriftgroesse, const C& Schriftfarbe) {
        DrawStringCent(Ypos, S, SchriftName, Schriftgroesse, FromQColor(Schriftfarbe));
    }
    // Either end of the ramp may be Qt's colour, the other the framework's.
    template <class C1, class C2>
    TColor SelectColor(const C1& Farbe1, const C2& Farbe2, std::int32_t Nr,
                       std::int32_t MaxNr) requires(QtColor<C1> || QtColor<C2>) {
        return SelectColor(AsTColor(Farbe1), AsTColor(Farbe2), Nr, MaxNr);
    }
    // The colour properties as form tools see them.
    QColor BackQColor() const { return ToQColor(FBackColor); }
    QColor PenQColor() const { return ToQColor(FLineColor); }
    QColor TurtleQColor() const { return ToQColor(FTurtleColor); }

    // The setters that code generated by uic from a form calls: set<Property>.
    void setBackColor(int c) { SetBackColor(c); }
    void setBackColor(const QColor& c) { SetBackColor(c); }
    void setPenColor(int c) { SetPenColor(c); }
    void setPenColor(const QColor& c) { SetPenColor(c); }
    void setPenWidth(int w) { SetPenWidth(w); }
    void setTurtleColor(int c) { SetTurtleColor(c); }
    void setTurtleColor(const QColor& c) { SetTurtleColor(c); }
    // A form's value beyond the field's range is clamped to it, not wrapped.
    void setDelay(int d) { SetDelay(static_cast<std::uint16_t>(std::clamp(d, 0, 65535))); }
    void setDevice(TTurtleDevice d) { SetAusgabe(d); }
    void setFileName(const TUnicodeString& name) { SetFilename(FromUnicode(name)); }
    void setTurtleSize(int s) {
        SetTurtleSize(static_cast<std::uint16_t>(std::clamp(s, 0, 65535)));
    }
    void setShowing(bool on) { SetShowTurtle(on); }
    void setPenState(TPenState s) { SetPenState(s); }
    void setHeading(double h) { SetHeading(h); }
    void setX(double v) { SetxPosition(v); }
    void setY(double v) { SetYPosition(v); }
    TUnicodeString FileNameText() const { return ToUnicode(FFilename); }

    // Screen pixels per LE, and device units per LE on the current surface.
    std::int32_t PixelPerLE() const { return CPixelPerLE; }
    std::uint16_t DevicePixelPerLE() const { return FPixelPerLE; }

signals:
    // Emitted right after the OnStartPaint handler, so that forms can connect to it.
    void StartPaint();

protected:
    void Paint() override;

private:
    void Init();
    void Init_Koord();
    void Init_Printer();
    TPoint GetPaperSize();
    TPoint GetRealCoords(const TVirtuell& p) const;
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
    void Circle(double Radius, TColor penColor, TBrushStyle style, const TColor* brushColor);
    void Text(const TVirtuell& at, bool centred, const TString& S, const TString& SchriftName,
              std::int32_t Schriftgroesse, TColor Schriftfarbe);
    bool Designing() const { return (ComponentState() & csDesigning) != 0; }

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
        std::uint16_t size = 0, scale = 0;
        bool valid = false;
        double sinB[3] = {}, cosB[3] = {};
        bool Matches(double h, std::uint16_t sz, std::uint16_t sc) const {
            return valid && heading == std::bit_cast<std::uint64_t>(h) && size == sz && scale == sc;
        }
        void Remember(double h, std::uint16_t sz, std::uint16_t sc) {
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
    // A broken-off command is putting the sprite back: nothing waits or pumps meanwhile.
    bool FUnwinding = false;
};

} // namespace kritzel

// Host applications and form tools carry these in QVariant and queued connections.
Q_DECLARE_METATYPE(kritzel::TVirtuell)
Q_DECLARE_METATYPE(kritzel::TStartPaint)
