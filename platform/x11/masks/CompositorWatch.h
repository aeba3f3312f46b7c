#pragma once
// Tells when a compositing manager starts or stops: the owner of the selection
// _NET_WM_CM_S<screen> changes, and XFixes reports it. Translucent windows are
// blended only while someone owns it.

#include <QObject>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <functional>
#include <memory>

namespace dimwell::x11 {

class CompositorWatch : public QObject {
public:
    /// `changed(running)` is called on every change of owner, from the event loop.
    explicit CompositorWatch(std::function<void(bool running)> changed);
    ~CompositorWatch() override;
    CompositorWatch(const CompositorWatch&) = delete;
    CompositorWatch& operator=(const CompositorWatch&) = delete;

    /// False when the server cannot report changes (no XFixes): callers ask afresh instead.
    bool watching() const { return notifier_ != nullptr; }

private:
    void readEvents();

    // A connection of its own, so that the events need no filter inside Qt.
    xcb_connection_t* connection_ = nullptr;
    std::uint8_t firstEvent_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(bool)> changed_;
};

} // namespace dimwell::x11
