#include "PaintQueue.h"

#include "Application.h"
#include "Guarded.h"
#include "PaintBox.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace kritzel {

namespace {
const QEvent::Type deliverPaintEvent = QEvent::Type(QEvent::User + 0x4b57);
} // namespace

PaintQueue& PaintQueue::Current() {
    return Application().Paints();
}

PaintQueue* PaintQueue::Running() noexcept {
    return TApplication::current_ ? &TApplication::current_->Paints() : nullptr;
}

void PaintQueue::Install() {
    // Whatever was drawn is shown whenever the event loop goes idle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { PresentAll(Clock::now()); });
}

void PaintQueue::Clear() {
    boxes_.clear();
    pending_.clear();
}

void PaintQueue::Register(TPaintBox* box) {
    boxes_.push_back(box);
}

void PaintQueue::Unregister(TPaintBox* box) {
    std::erase(boxes_, box);
    std::erase_if(pending_, [box](const QPointer<TPaintBox>& p) { return p == box || !p; });
}

void PaintQueue::Request(TPaintBox* box) {
    if (std::find(pending_.begin(), pending_.end(), box) == pending_.end())
        pending_.emplace_back(box);
    Post();
}

void PaintQueue::Withdraw(TPaintBox* box) {
    std::erase_if(pending_, [box](const QPointer<TPaintBox>& p) { return p == box; });
}

void PaintQueue::Post() {
    if (posted_) return;
    posted_ = true;
    QCoreApplication::postEvent(this, new QEvent(deliverPaintEvent));
}

void PaintQueue::customEvent(QEvent* event) {
    if (event->type() == deliverPaintEvent) {
        posted_ = false;
        Deliver();
    }
}

void PaintQueue::Deliver() {
    while (!pending_.empty()) {
        std::vector<QPointer<TPaintBox>> now;
        now.swap(pending_);
        for (auto& box : now) {
            // As a window system does, only a control that is shown is asked to paint;
            // showing it asks again.
            if (!box || !box->isVisible()) continue;
            ++deliveryDepth_;
            Guarded([&] { box->DeliverPaint(); }, "unknown exception while painting");
            --deliveryDepth_;
        }
    }
}

void PaintQueue::PresentAll(Clock::time_point now) {
    lastPresent_ = now;
    for (TPaintBox* box : boxes_)
        box->Present();
}

} // namespace kritzel
