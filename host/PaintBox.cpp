#include "PaintBox.h"

#include "Application.h"
#include "Screen.h"
#include "Snapshot.h"
#include "internal/Guarded.h"
#include "internal/Images.h"
#include "internal/PaintQueue.h"
#include "internal/Services.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace kritzel {

namespace {
// The largest backing image side the control draws on (Qt's widgets could grow to
// 16,777,215, but an image that large would not fit in memory); the control itself is
// kept no larger, so that a huge geometry from a form cannot make its window huge.
constexpr int MaxSide = 16384;

// A control belongs to the GUI thread: refused elsewhere before Qt sees it.
TWinControl* OnGuiThread(TWinControl* owner) {
    CheckGuiThread();
    return owner;
}

// The paint queue of the running application. Inside a host that started Qt itself (such
// as Qt Designer) the first control attaches the application to it.
PaintQueue& Queue() {
    if (PaintQueue* queue = Services::Current().paints) [[likely]]
        return *queue;
    Application();
    if (PaintQueue* queue = Services::Current().paints) return *queue;
    throw EKritzelwerk("Kritzel-Werk needs a running TApplication; create one first");
}

// A handler that deleted the control (with its form or its window) has answered the
// event: Qt would otherwise hand it on to the parent through the deleted widget.
void TakenIfGone(const TControlWatch& alive, QEvent* event) {
    if (alive.Gone()) event->accept();
}
} // namespace

class Q_DECL_HIDDEN TPaintBox::QueueLink final : public PaintClient {
public:
    explicit QueueLink(TPaintBox& box) : box_(box) {}
    QWidget* Widget() override { return &box_; }
    void Repaint() override { box_.Repaint(); }
    void Present() override { box_.Present(); }
    std::optional<DrawingShape> SaveDrawing(const std::string& path) override {
        const int scale = box_.DrawingScale();
        if (scale <= 0) return std::nullopt;
        box_.SaveDrawing(path);
        return DrawingShape{box_.Width(), box_.Height(), scale};
    }

private:
    TPaintBox& box_;
};

TPaintBox::TPaintBox(TWinControl* AOwner)
    : QWidget(OnGuiThread(AOwner)), life_(new Life), link_(std::make_unique<QueueLink>(*this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    canvas_.SetPaletteSource(this);
    canvas_.SetTrackDirty(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Queue().Register(link_.get());
    ResizeBacking(width_, height_);
    resize(LogicalSize(width_, height_));
    setMaximumSize(LogicalSize(MaxSide, MaxSide));
}

TPaintBox::~TPaintBox() {
    life_->alive = false;
    if (life_->watchers == 0) delete life_;
    canvas_.End();
    // A control may outlive the application (a form held in a pointer declared before
    // it): then there is no queue left to leave, and a destructor must not raise.
    if (PaintQueue* queue = Services::Current().paints) queue->Unregister(link_.get());
}

QSize TPaintBox::LogicalSize(int w, int h) const {
    const double dpr = Screen().DevicePixelRatio();
    return QSize(int(std::lround(w / dpr)), int(std::lround(h / dpr)));
}

QSize TPaintBox::sizeHint() const {
    return LogicalSize(hintWidth_, hintHeight_);
}

QSize TPaintBox::minimumSizeHint() const {
    // Room for a small drawing; a layout must not squeeze the control away.
    return QSize(40, 40).boundedTo(sizeHint());
}

void TPaintBox::SetSize(int w, int h) {
    CheckGuiThread();
    w = std::clamp(w, 0, MaxSide);
    h = std::clamp(h, 0, MaxSide);
    if (w != hintWidth_ || h != hintHeight_) {
        hintWidth_ = w;
        hintHeight_ = h;
        updateGeometry();
    }
    if (w == width_ && h == height_) return;
    width_ = w;
    height_ = h;
    ResizeBacking(w, h);
    resize(LogicalSize(w, h));
    // A new size needs a drawing for it, even when the program changes the size in the
    // middle of a drawing: that drawing's end must not take the request with it.
    SystemPaintRequest();
}

void TPaintBox::SetDesigning(bool on) {
    if (on)
        state_ |= csDesigning;
    else
        state_ &= ~csDesigning;
}

void TPaintBox::ResizeBacking(int w, int h) {
    if (image_.width() == w && image_.height() == h && !image_.isNull()) return;
    canvas_.End();
    image_ = ResizedImage(image_, w, h, palette().color(QPalette::Window));
    canvas_.BeginImage(&image_, Screen().PixelsPerInch());
}

void TPaintBox::Repaint() {
    CheckGuiThread();
    RunPaint();
    Present();
}

void TPaintBox::Invalidate() {
    CheckGuiThread();
    Queue().Request(link_.get());
}

void TPaintBox::RunPaint() {
    // However the cycle ends (done, an error, or broken off because the application is
    // closing), it has answered every request the program made meanwhile, so that a
    // handler asking for its own repaint does not loop; a resize or show that came while
    // it ran gets one paint afterwards.
    // A handler run by the cycle may have destroyed the control: then the cycle only
    // unwinds.
    struct Leave {
        TPaintBox& box;
        TControlWatch alive{&box};
        ~Leave() {
            if (alive.Gone()) return;
            if (--box.painting_ > 0) return;
            if (PaintQueue* queue = Services::Current().paints) queue->Withdraw(box.link_.get());
            if (!box.systemAsked_) return;
            box.systemAsked_ = false;
            if (Services::Current().closing) return;
            try {
                box.Invalidate();
            } catch (...) {
                // Out of memory for one request: the next resize asks again.
            }
        }
    };
    ++painting_;
    painted_ = true;
    Leave leave{*this};
    Paint();
}

void TPaintBox::SystemPaintRequest() {
    // During a cycle a request would only meet the cycle's own guard and be lost.
    if (painting_ > 0)
        systemAsked_ = true;
    else
        Invalidate();
}

void TPaintBox::Paint() {}

TDrawingDepth::TDrawingDepth() {
    ++Services::Current().nestedDrawings;
}

TDrawingDepth::~TDrawingDepth() {
    --Services::Current().nestedDrawings;
}

unsigned TDrawingDepth::Depth() {
    return Services::Current().nestedDrawings;
}

void TPaintBox::MouseDown(int, int) {}

void TPaintBox::KeyDown(int) {}

int TPaintBox::DrawingScale() const {
    return 0;
}

void TPaintBox::SaveDrawing(const TString&) {}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    // The event's position is in the widget's logical pixels; the control's are device
    // pixels.
    const double dpr = devicePixelRatioF();
    const int x = int(std::floor(event->position().x() * dpr));
    const int y = int(std::floor(event->position().y() * dpr));
    TControlWatch alive(this);
    Guarded([&] { MouseDown(x, y); }, "a click handler failed", Services::Current().report);
    TakenIfGone(alive, event);
}

void TPaintBox::keyPressEvent(QKeyEvent* event) {
    QWidget::keyPressEvent(event);
    const int key = event->key();
    TControlWatch alive(this);
    Guarded([&] { KeyDown(key); }, "a key handler failed", Services::Current().report);
    TakenIfGone(alive, event);
}

void TPaintBox::Present() {
    TRect r;
    if (!canvas_.TakeDirty(r) || !isVisible()) return;
    const double dpr = devicePixelRatioF();
    const int l = int(std::floor(r.Left / dpr)), t = int(std::floor(r.Top / dpr));
    const int rr = int(std::ceil(r.Right / dpr)), b = int(std::ceil(r.Bottom / dpr));
    repaint(QRect(l, t, rr - l, b - t));
}

bool TPaintBox::Watched() const {
    // Run without a display only for what it draws (a grader's run), the program has no
    // one to pace its drawing for: waiting would only spend the grader's time.
    if (!Application().HasDisplay() && !DrawingFolder().isEmpty()) return false;
    return painted_ || isVisible();
}

void TPaintBox::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const double dpr = devicePixelRatioF();
    const QRectF target(0, 0, image_.width() / dpr, image_.height() / dpr);
    p.drawImage(target, image_);
    // Whatever the image does not cover shows the window colour.
    const QRegion rest = QRegion(event->rect()).subtracted(QRegion(target.toAlignedRect()));
    for (const QRect& r : rest)
        p.fillRect(r, palette().color(QPalette::Window));
}

void TPaintBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size() == LogicalSize(width_, height_)) return;
    const double dpr = Screen().DevicePixelRatio();
    width_ = std::clamp(int(std::lround(event->size().width() * dpr)), 0, MaxSide);
    height_ = std::clamp(int(std::lround(event->size().height() * dpr)), 0, MaxSide);
    ResizeBacking(width_, height_);
    SystemPaintRequest();
}

void TPaintBox::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) SystemPaintRequest();
}

} // namespace kritzel
