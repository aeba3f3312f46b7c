#pragma once
// Replies of xcb requests owned like any other heap object, and the one rule for
// reading them: a request about another program's window may fail at any time
// (the window vanished), so the error is always taken and dropped here instead
// of reaching the toolkit's error handler.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace dimwell::x11 {

struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};

template <class T>
using XcbReply = std::unique_ptr<T, XcbFree>;

/// Waits for the reply of a checked request; nothing when the server answered
/// with an error (typically BadWindow for a window that went away).
template <class Reply, class Cookie, class ReplyFn>
XcbReply<Reply> takeReply(xcb_connection_t* c, Cookie cookie, ReplyFn replyFn) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<Reply> reply(replyFn(c, cookie, &error));
    std::free(error);
    return reply;
}

/// Sends nothing itself: waits for the outcome of a `_checked` void request and
/// drops any error. True when the server accepted the request.
inline bool requestSucceeded(xcb_connection_t* c, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    const bool ok = error == nullptr;
    std::free(error);
    return ok;
}

} // namespace dimwell::x11
