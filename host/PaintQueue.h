// The controls' paint requests and the throttled presentation of what they drew. The
// application owns the queue and pumps it; a control reaches it through Current.
#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <vector>

namespace kritzel {

class TApplication;
class TPaintBox;

class PaintQueue : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    // Hooks into the event system of the running Qt application.
    void Install();
    // Forgets every control, as the application ends.
    void Clear();

    // A control's life on the queue.
    void Register(TPaintBox* box);
    void Unregister(TPaintBox* box);
    // Asks for a paint cycle from the event loop; requests are coalesced.
    void Request(TPaintBox* box);
    // Drops the box's pending request: a paint cycle that has just run answered it.
    void Withdraw(TPaintBox* box);

    bool HasPending() const { return !pending_.empty(); }
    // Delivers every pending request, and those made meanwhile, to the shown controls.
    void Deliver();
    // Whether a delivered paint cycle is running further up the stack.
    bool Delivering() const { return deliveryDepth_ > 0; }

    // Presents what every control drew since it last presented.
    void PresentAll(Clock::time_point now);
    // The same, at most once a frame.
    void PresentIfDue(Clock::time_point now) {
        if (now - lastPresent_ >= FrameInterval) PresentAll(now);
    }

private:
    friend class TPaintBox;
    // The queue of the running application.
    static PaintQueue& Current();
    // The same, or null once the application has gone; never raises, for destructors.
    static PaintQueue* Running() noexcept;

    static constexpr auto FrameInterval = std::chrono::milliseconds(16);

    void Post();
    void customEvent(QEvent* event) override;

    std::vector<TPaintBox*> boxes_;
    std::vector<QPointer<TPaintBox>> pending_;
    bool posted_ = false;
    int deliveryDepth_ = 0;
    Clock::time_point lastPresent_{};
};

} // namespace kritzel
