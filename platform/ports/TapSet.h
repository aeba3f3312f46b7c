#pragma once
// The taps of one input service: made by createTap, run in creation order until
// one swallows, and told to the service whenever what they want changes. Every
// backend's input service keeps its taps here.

#include "common/Log.h"
#include "platform/ports/EventTaps.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace dimwell {

class TapSet {
public:
    /// `changed` runs whenever a tap comes, goes or is switched on or off.
    TapSet(Logger log, std::function<void()> changed) : log_(log), changed_(std::move(changed)) {}
    ~TapSet() {
        for (Tap* tap : taps_) {
            tap->set_ = nullptr;
        }
    }
    TapSet(const TapSet&) = delete;
    TapSet& operator=(const TapSet&) = delete;

    std::unique_ptr<EventTap> create(std::uint64_t eventMask, InputService::TapCallback callback) {
        auto tap = std::make_unique<Tap>(this, eventMask, std::move(callback));
        taps_.push_back(tap.get());
        return tap;
    }

    /// Whether an enabled tap wants any of the event types in `mask`.
    bool anyWants(std::uint64_t mask) const {
        return std::any_of(taps_.begin(), taps_.end(), [&](const Tap* t) { return t->enabled_ && (t->mask_ & mask); });
    }

    /// Runs the enabled taps that want `event.type`, in creation order, until one
    /// swallows; a throwing callback counts as passing.
    TapVerdict dispatch(const InputEvent& event) {
        const std::uint64_t bit = std::uint64_t{1} << static_cast<std::uint32_t>(event.type);
        const std::vector<Tap*> snapshot = taps_;   // a callback may create or destroy taps
        for (Tap* tap : snapshot) {
            if (std::find(taps_.begin(), taps_.end(), tap) == taps_.end() || !tap->enabled_ || !(tap->mask_ & bit)) {
                continue;
            }
            const InputService::TapCallback callback = tap->callback_;   // the tap may go away while it runs
            try {
                if (callback(event) == TapVerdict::Swallow) {
                    return TapVerdict::Swallow;
                }
            } catch (const std::exception& e) {
                log_("event tap failed: %s", e.what());
            } catch (...) {
                log_("event tap failed");
            }
        }
        return TapVerdict::Pass;
    }

private:
    class Tap final : public EventTap {
    public:
        Tap(TapSet* set, std::uint64_t mask, InputService::TapCallback callback)
            : set_(set), mask_(mask), callback_(std::move(callback)) {}
        ~Tap() override {
            if (set_) {
                auto& taps = set_->taps_;
                taps.erase(std::remove(taps.begin(), taps.end(), this), taps.end());
                set_->changed_();
            }
        }
        Tap(const Tap&) = delete;
        Tap& operator=(const Tap&) = delete;

        void enable(bool on) override {
            if (on == enabled_) {
                return;
            }
            enabled_ = on;
            if (set_) {
                set_->changed_();
            }
        }
        bool isEnabled() const override { return enabled_; }

        TapSet* set_;
        const std::uint64_t mask_;
        const InputService::TapCallback callback_;
        bool enabled_ = false;
    };

    Logger log_;
    std::function<void()> changed_;
    std::vector<Tap*> taps_;
};

} // namespace dimwell
