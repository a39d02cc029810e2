// The paint-box control: a widget with a backing image of device resolution that the
// control draws on whenever the framework asks it to paint.
#pragma once

#include "Export.h"
#include "PainterCanvas.h"
#include "Types.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace kritzel {

/// Any window or control can own a control.
using TWinControl = QWidget;

/// Flags of a control's state, such as `csDesigning`.
using TComponentState = unsigned;
/// The control sits in a form designer, where nothing waits.
constexpr TComponentState csDesigning = 1u << 0;

/// A control with a backing image,
/// which it paints on whenever the framework asks it to; the base of `TTurtle`.
class KRITZELWERK_EXPORT TPaintBox : public QWidget {
    Q_OBJECT

public:
    /// A control on AOwner (a form or widget), 105 × 105 pixels.
    explicit TPaintBox(TWinControl* AOwner = nullptr);
    /// Frees the control.
    ~TPaintBox() override;

    /// The control's own surface; its coordinates are device pixels.
    TCanvas* Canvas() { return &canvas_; }

    /// Size in device pixels.
    int Width() const { return width_; }
    /// Height in device pixels.
    int Height() const { return height_; }
    /// The size set here is also the size the control asks a layout for.
    void SetWidth(int w) { SetSize(w, height_); }
    /// Sets the height in device pixels.
    void SetHeight(int h) { SetSize(width_, h); }
    /// Sets width and height in device pixels, e.g. `turtle.SetSize(600, 400)`;
    /// the control asks its window for that room.
    /// The next repaint draws at the new size.
    void SetSize(int w, int h);

    /// Runs the paint cycle at once; an exception reaches the caller.
    void Repaint();
    /// Asks for a paint cycle from the event loop; requests are coalesced.
    void Invalidate();

    /// The control's state flags (`csDesigning`).
    TComponentState ComponentState() const { return state_; }
    /// Set by a form designer that hosts the control.
    void SetDesigning(bool on);

    /// What the control shows, pixel for pixel.
    const QImage& Picture() const { return image_; }

    /// What a layout should give the control: the size last set through SetSize,
    /// SetWidth or SetHeight; the control grows with the room a layout has.
    QSize sizeHint() const override;
    /// The least room the control asks a layout for.
    QSize minimumSizeHint() const override;

protected:
    /// What the framework calls whenever the control must be painted.
    virtual void Paint();
    /// A left mouse button went down at (X, Y), in device pixels of the control.
    virtual void MouseDown(int X, int Y);
    /// A key went down while the control had the focus; Key is Qt's key code.
    virtual void KeyDown(int Key);
    /// Device pixels per centimetre of the drawing SaveDrawing saves;
    /// 0 for a control with no drawing of its own (the paint box's),
    /// which a program without a display does not keep.
    virtual int DrawingScale() const;
    /// Saves the control's drawing under Name, in the format its ending names,
    /// for a program without a display that keeps what its windows drew.
    /// The paint box has none and writes nothing.
    virtual void SaveDrawing(const TString& Name);
    /// Whether anyone can see what the control draws: it is shown,
    /// or has been painted (and so shows its picture, or keeps it as one).
    /// A form still loading is not,
    /// nor a program run without a display for its drawings (`KRITZEL_DRAWINGS`).
    bool Watched() const;

    /// Copies the backing image to the screen.
    void paintEvent(QPaintEvent* event) override;
    /// Hands a left click to MouseDown.
    void mousePressEvent(QMouseEvent* event) override;
    /// Hands a key press to KeyDown.
    void keyPressEvent(QKeyEvent* event) override;
    /// Resizes the backing image and asks for a repaint.
    void resizeEvent(QResizeEvent* event) override;
    /// Asks for the first repaint.
    void showEvent(QShowEvent* event) override;

private:
    friend class TControlWatch;
    // Outlives the control while a watch still looks at it. The control belongs to one
    // thread, so plain counts do: a watch costs next to nothing on every command.
    struct Life {
        bool alive = true;
        unsigned watchers = 0;
    };
    Life* life_;

    // How the paint queue reaches the control.
    class QueueLink;
    std::unique_ptr<QueueLink> link_;

    Q_DECL_HIDDEN void ResizeBacking(int w, int h);
    Q_DECL_HIDDEN QSize LogicalSize(int w, int h) const;
    // Runs the paint cycle; a request of the window system that arrives meanwhile is
    // kept and answered with one more cycle when this one has ended.
    Q_DECL_HIDDEN void RunPaint();
    // The control was shown or resized (by the window system or the program) and must
    // be painted; during a cycle this is remembered for one more cycle afterwards.
    Q_DECL_HIDDEN void SystemPaintRequest();
    // Shows what was drawn since the last call.
    Q_DECL_HIDDEN void Present();

    QImage image_;
    TPainterCanvas canvas_;
    int width_ = 105;
    int height_ = 105;
    // The size last set by the program, in device pixels.
    int hintWidth_ = 105;
    int hintHeight_ = 105;
    int painting_ = 0;
    bool systemAsked_ = false;
    bool painted_ = false;
    TComponentState state_ = 0;
};

/// Counts one drawing more, for as long as it lives,
/// among the drawings of all controls that run inside each other,
/// as when a control's drawing repaints another.
/// Each holds a paint cycle on the stack;
/// `Depth` tells a control when to refuse one.
class KRITZELWERK_EXPORT TDrawingDepth {
public:
    /// One drawing more from now on.
    TDrawingDepth();
    /// One drawing less.
    ~TDrawingDepth();
    TDrawingDepth(const TDrawingDepth&) = delete;
    TDrawingDepth& operator=(const TDrawingDepth&) = delete;
    /// How many drawings run inside each other now.
    static unsigned Depth();
};

/// Tells, after a call that ran the event loop, whether a control still exists:
/// a handler run meanwhile may have destroyed it,
/// such as a timer's or that of a closed window that deletes itself.
class TControlWatch {
public:
    /// Watches control from now on.
    explicit TControlWatch(TPaintBox* control) : life_(control->life_) { ++life_->watchers; }
    TControlWatch(const TControlWatch&) = delete;
    TControlWatch& operator=(const TControlWatch&) = delete;
    ~TControlWatch() {
        if (--life_->watchers == 0 && !life_->alive) delete life_;
    }
    /// Whether the control has been destroyed since the watch began.
    bool Gone() const { return !life_->alive; }

private:
    TPaintBox::Life* life_;
};

} // namespace kritzel
