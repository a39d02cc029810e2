#include "PaintQueue.h"

#include "Guarded.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace kritzel {

namespace {
const QEvent::Type deliverPaintEvent = QEvent::Type(QEvent::User + 0x4b57);
} // namespace

void PaintQueue::Install(ExceptionReporter report) {
    report_ = std::move(report);
    // Whatever was drawn is shown whenever the event loop goes idle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { PresentAll(SteadyClock::now()); });
}

void PaintQueue::Clear() {
    clients_.clear();
    pending_.clear();
}

void PaintQueue::Register(PaintClient* client) {
    clients_.push_back(client);
}

void PaintQueue::Unregister(PaintClient* client) {
    std::erase(clients_, client);
    std::erase_if(pending_, [client](const Pending& p) { return p.client == client || !p.widget; });
}

void PaintQueue::Request(PaintClient* client) {
    if (std::none_of(pending_.begin(), pending_.end(),
                     [client](const Pending& p) { return p.client == client; }))
        pending_.push_back({client->Widget(), client});
    Post();
}

void PaintQueue::Withdraw(PaintClient* client) {
    std::erase_if(pending_, [client](const Pending& p) { return p.client == client; });
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
        std::vector<Pending> now;
        now.swap(pending_);
        for (const Pending& p : now) {
            // As a window system does, only a control that is shown is asked to paint;
            // showing it asks again. One destroyed meanwhile is skipped.
            if (!p.widget || !p.widget->isVisible()) continue;
            ++deliveryDepth_;
            Guarded([&] { p.client->Repaint(); }, "unknown exception while painting", report_);
            --deliveryDepth_;
        }
    }
}

void PaintQueue::PresentAll(SteadyClock::time_point now) {
    lastPresent_ = now;
    for (PaintClient* client : clients_)
        client->Present();
}

} // namespace kritzel
