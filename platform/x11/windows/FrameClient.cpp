#include "platform/x11/windows/FrameClient.h"

#include "platform/x11/XcbReply.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace dimwell::x11 {

namespace {

constexpr std::uint32_t kIconicState = 3;
/// Reparenting window managers nest the client a level or two inside the frame.
constexpr int kMaxFrameDepth = 4;

} // namespace

FrameClients::FrameClients(xcb_connection_t* connection) : c_(connection) {
    constexpr const char* kName = "WM_STATE";
    if (auto r = takeReply<xcb_intern_atom_reply_t>(
            c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(kName)), kName),
            xcb_intern_atom_reply)) {
        wmState_ = r->atom;
    }
}

std::vector<FrameClient> FrameClients::of(const std::vector<xcb_window_t>& topLevels) const {
    std::vector<FrameClient> found(topLevels.size());
    if (wmState_ == XCB_ATOM_NONE) {
        return found;
    }
    struct Search {
        std::size_t index;
        std::vector<xcb_window_t> level;
    };
    std::vector<Search> open;
    for (std::size_t i = 0; i < topLevels.size(); ++i) {
        open.push_back({i, {topLevels[i]}});
    }
    for (int depth = 0; depth < kMaxFrameDepth && !open.empty(); ++depth) {
        std::vector<std::vector<xcb_get_property_cookie_t>> stateCookies(open.size());
        for (std::size_t s = 0; s < open.size(); ++s) {
            for (xcb_window_t w : open[s].level) {
                stateCookies[s].push_back(xcb_get_property(c_, 0, w, wmState_, XCB_GET_PROPERTY_TYPE_ANY, 0, 2));
            }
        }
        std::vector<Search> deeper;
        std::vector<std::vector<xcb_query_tree_cookie_t>> treeCookies;
        for (std::size_t s = 0; s < open.size(); ++s) {
            bool hit = false;
            for (std::size_t k = 0; k < open[s].level.size(); ++k) {
                auto state = takeReply<xcb_get_property_reply_t>(c_, stateCookies[s][k], xcb_get_property_reply);
                if (hit || !state || state->type == XCB_NONE) {
                    continue;
                }
                FrameClient& f = found[open[s].index];
                f.client = open[s].level[k];
                f.iconic = state->format == 32 && xcb_get_property_value_length(state.get()) >= 4 &&
                           *static_cast<const std::uint32_t*>(xcb_get_property_value(state.get())) == kIconicState;
                hit = true;
            }
            if (!hit && depth + 1 < kMaxFrameDepth) {
                deeper.push_back({open[s].index, {}});
                treeCookies.emplace_back();
                for (xcb_window_t w : open[s].level) {
                    treeCookies.back().push_back(xcb_query_tree(c_, w));
                }
            }
        }
        for (std::size_t s = 0; s < deeper.size(); ++s) {
            for (xcb_query_tree_cookie_t cookie : treeCookies[s]) {
                auto tree = takeReply<xcb_query_tree_reply_t>(c_, cookie, xcb_query_tree_reply);
                if (!tree) {
                    continue;
                }
                const xcb_window_t* kids = xcb_query_tree_children(tree.get());
                const int n = xcb_query_tree_children_length(tree.get());
                // Topmost child first, should a frame ever hold two clients.
                for (int i = n; i-- > 0;) {
                    deeper[s].level.push_back(kids[i]);
                }
            }
        }
        std::erase_if(deeper, [](const Search& s) { return s.level.empty(); });
        open = std::move(deeper);
    }
    return found;
}

bool FrameClients::isPopupWindow(xcb_window_t topLevel, bool overrideRedirect) const {
    // Managed windows are never popups: only override-redirect ones need the look inside.
    return overrideRedirect && of({topLevel}).front().client == XCB_WINDOW_NONE;
}

} // namespace dimwell::x11
