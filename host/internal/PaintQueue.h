// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// The controls' paint requests and the throttled presentation of what they drew. The
// application owns the queue and pumps it; a control reaches it through the services
// (Services.h) and is reached through the small interface PaintClient.
#pragma once

#include "Services.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace kritzel {

// A control's drawing as its saved files hold it: the size in device pixels, and how many
// of them make a centimetre.
struct DrawingShape {
    int width = 0;
    int height = 0;
    int pixelsPerCm = 0;
};

// What the queue, and the snapshot of a window, ask of a control; TPaintBox implements it
// privately.
class PaintClient {
public:
    // The control's widget: whether it is shown, and whether it still exists.
    virtual QWidget* Widget() = 0;
    // Runs the paint cycle and presents what it drew.
    virtual void Repaint() = 0;
    // Shows what was drawn since the last call.
    virtual void Present() = 0;
    // Saves the drawing under path, in the format its ending names, as the control's own
    // save makes it, and says its shape; nothing, and no file, for a control that has no
    // drawing of its own. Raises EKritzelwerk naming a file that could not be written.
    virtual std::optional<DrawingShape> SaveDrawing(const std::string& path) = 0;

protected:
    ~PaintClient() = default;
};

class PaintQueue : public QObject {
public:
    using SteadyClock = std::chrono::steady_clock;

    // Hooks into the event system of the running Qt application; what escapes a
    // delivered paint cycle goes to report.
    void Install(ExceptionReporter report);
    // Forgets every control, as the application ends.
    void Clear();

    // A control's life on the queue.
    void Register(PaintClient* client);
    void Unregister(PaintClient* client);
    // Every control on the queue, in the order they were made.
    const std::vector<PaintClient*>& Clients() const { return clients_; }
    // Asks for a paint cycle from the event loop; requests are coalesced.
    void Request(PaintClient* client);
    // Drops the client's pending request: a paint cycle that has just run answered it.
    void Withdraw(PaintClient* client);

    bool HasPending() const { return !pending_.empty(); }
    // Delivers every pending request, and those made meanwhile, to the shown controls.
    void Deliver();
    // Whether a delivered paint cycle is running further up the stack.
    bool Delivering() const { return deliveryDepth_ > 0; }

    // Presents what every control drew since it last presented.
    void PresentAll(SteadyClock::time_point now);
    // The same, at most once a frame.
    void PresentIfDue(SteadyClock::time_point now) {
        if (now - lastPresent_ >= FrameInterval) PresentAll(now);
    }

private:
    static constexpr auto FrameInterval = std::chrono::milliseconds(16);

    // A request; the widget pointer turns null when a handler destroyed the control.
    struct Pending {
        QPointer<QWidget> widget;
        PaintClient* client;
    };

    void Post();
    void customEvent(QEvent* event) override;

    ExceptionReporter report_;
    std::vector<PaintClient*> clients_;
    std::vector<Pending> pending_;
    bool posted_ = false;
    int deliveryDepth_ = 0;
    SteadyClock::time_point lastPresent_{};
};

} // namespace kritzel
