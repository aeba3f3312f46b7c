#pragma once
// Ownership of what libatspi and GLib hand out: references to accessible objects,
// g_malloc'ed values and errors. Every handle releases exactly what its call
// transferred to us.

#include <atspi/atspi.h>
#include <glib-object.h>

#include <memory>

namespace dimwell::x11 {

/// A reference to an accessible object that elements may share; the last owner
/// drops the reference the call gave us.
using AccessibleRef = std::shared_ptr<AtspiAccessible>;

inline AccessibleRef adoptAccessible(AtspiAccessible* transferred) {
    if (!transferred) {
        return {};
    }
    return AccessibleRef(transferred, [](AtspiAccessible* a) { g_object_unref(a); });
}

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
/// A reference owned by one scope: interfaces, state sets.
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
/// A g_malloc'ed value: strings, rectangles.
template <class T>
using GOwned = std::unique_ptr<T, GFree>;

/// The GError out-parameter of one call; freed when the scope ends.
class GErrorSlot {
public:
    GErrorSlot() = default;
    GErrorSlot(const GErrorSlot&) = delete;
    GErrorSlot& operator=(const GErrorSlot&) = delete;
    ~GErrorSlot() { clear(); }

    /// For the next call: any earlier error is dropped first.
    GError** out() {
        clear();
        return &error_;
    }
    bool isSet() const { return error_ != nullptr; }

private:
    void clear() {
        if (error_) {
            g_error_free(error_);
            error_ = nullptr;
        }
    }
    GError* error_ = nullptr;
};

} // namespace dimwell::x11
