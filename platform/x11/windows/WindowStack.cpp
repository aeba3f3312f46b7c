#include "platform/x11/windows/WindowStack.h"

#include "platform/linux/session/ProcFiles.h"

#include "platform/x11/windows/WindowLayer.h"
#include "platform/x11/XcbReply.h"

#include <xcb/res.h>

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

constexpr const char* kAtomNames[] = {
    "WM_CLASS", "UTF8_STRING", "_NET_WM_NAME", "_NET_WM_PID", "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_MENU", "_NET_WM_WINDOW_TYPE_SPLASH",
    "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_COMBO", "_NET_WM_WINDOW_TYPE_DND",
    "_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_BELOW", "_NET_WM_STATE_HIDDEN",
    "_NET_ACTIVE_WINDOW", "_NET_RESTACK_WINDOW", "_NET_SUPPORTING_WM_CHECK",
};

/// Source indication of EWMH client messages: a pager, i.e. the user's own request.
constexpr std::uint32_t kSourcePager = 2;

using PropertyReply = XcbReply<xcb_get_property_reply_t>;

xcb_get_property_cookie_t requestProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                          std::uint32_t longs) {
    return xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
}

PropertyReply takeProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    return takeReply<xcb_get_property_reply_t>(c, cookie, xcb_get_property_reply);
}

/// The 32-bit items of a property; empty when it is absent or not 32-bit.
std::vector<std::uint32_t> longsOf(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32 || reply->type == XCB_NONE) {
        return {};
    }
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    const int n = xcb_get_property_value_length(reply) / 4;
    return std::vector<std::uint32_t>(v, v + n);
}

std::string bytesOf(const xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8 || reply->type == XCB_NONE) {
        return {};
    }
    const auto* v = static_cast<const char*>(xcb_get_property_value(reply));
    return std::string(v, static_cast<std::size_t>(xcb_get_property_value_length(reply)));
}

/// WM_CLASS holds "instance\0class\0"; the class names the program.
std::optional<std::string> classOf(const xcb_get_property_reply_t* reply) {
    const std::string raw = bytesOf(reply);
    if (raw.empty()) {
        return std::nullopt;
    }
    const std::string instance = raw.substr(0, raw.find('\0'));
    const std::size_t second = raw.find('\0');
    std::string klass = second == std::string::npos ? std::string() : raw.substr(second + 1);
    klass = klass.substr(0, klass.find('\0'));
    if (!klass.empty()) {
        return klass;
    }
    if (!instance.empty()) {
        return instance;
    }
    return std::nullopt;
}

/// The process id in an X-Resource client-ids reply; 0 for remote clients and errors.
std::int32_t pidOf(const xcb_res_query_client_ids_reply_t* ids) {
    if (!ids) {
        return 0;
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(ids); it.rem; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            return static_cast<std::int32_t>(*xcb_res_client_id_value_value(it.data));
        }
    }
    return 0;
}

QRect outerRect(const xcb_get_geometry_reply_t& g) {
    return QRect(g.x, g.y, g.width + 2 * g.border_width, g.height + 2 * g.border_width);
}

} // namespace

struct WindowStack::Candidate {
    xcb_window_t topLevel = 0;
    QRect bounds;
    bool overrideRedirect = false;   ///< override-redirect and no frame: a popup
    xcb_window_t client = 0;
    bool iconic = false;
};

struct WindowStack::ClientFacts {
    std::int32_t pid = 0;
    std::optional<std::string> wmClass;
    WindowTraits traits;
    bool hidden = false;
};

WindowStack::WindowStack(xcb_connection_t* connection, int screenNumber)
    : c_(connection), frames_(connection) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; it.rem && i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem) {
        root_ = it.data->root;
    }

    std::array<xcb_intern_atom_cookie_t, AtomCount> cookies{};
    for (std::size_t i = 0; i < AtomCount; ++i) {
        cookies[i] = xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
    }
    for (std::size_t i = 0; i < AtomCount; ++i) {
        if (auto r = takeReply<xcb_intern_atom_reply_t>(c_, cookies[i], xcb_intern_atom_reply)) {
            atoms_[i] = r->atom;
        }
    }

    const xcb_query_extension_reply_t* res = xcb_get_extension_data(c_, &xcb_res_id);
    if (res && res->present) {
        // Client ids need version 1.2 of the extension.
        auto v = takeReply<xcb_res_query_version_reply_t>(c_, xcb_res_query_version(c_, 1, 2),
                                                          xcb_res_query_version_reply);
        hasResourceExtension_ = v && (v->server_major > 1 || (v->server_major == 1 && v->server_minor >= 2));
    }
}

std::shared_ptr<WindowStack> WindowStack::fromQt() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!app || !app->connection()) {
        return nullptr;
    }
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen)) {
        screen = 0;
    }
    std::free(host);
    return std::make_shared<WindowStack>(app->connection(), screen);
}

std::vector<StackedWindow> WindowStack::frontToBack() const {
    auto tree = takeReply<xcb_query_tree_reply_t>(c_, xcb_query_tree(c_, root_), xcb_query_tree_reply);
    if (!tree) {
        return {};
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int n = xcb_query_tree_children_length(tree.get());

    // All requests of a round go out before the first reply is read: one wait per
    // round instead of one per window.
    std::vector<xcb_get_window_attributes_cookie_t> attributeCookies(static_cast<std::size_t>(n));
    std::vector<xcb_get_geometry_cookie_t> geometryCookies(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        attributeCookies[static_cast<std::size_t>(i)] = xcb_get_window_attributes(c_, children[i]);
        geometryCookies[static_cast<std::size_t>(i)] = xcb_get_geometry(c_, children[i]);
    }
    std::vector<Candidate> candidates;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        auto attributes = takeReply<xcb_get_window_attributes_reply_t>(c_, attributeCookies[k],
                                                                       xcb_get_window_attributes_reply);
        auto geometry = takeReply<xcb_get_geometry_reply_t>(c_, geometryCookies[k], xcb_get_geometry_reply);
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            continue;
        }
        Candidate candidate;
        candidate.topLevel = children[i];
        candidate.bounds = outerRect(*geometry);
        candidate.overrideRedirect = attributes->override_redirect != 0;
        candidates.push_back(candidate);
    }

    resolveClients(candidates);
    const std::vector<std::optional<ClientFacts>> facts = readClients(candidates);
    const auto self = static_cast<std::int32_t>(::getpid());

    std::vector<StackedWindow> result;
    for (std::size_t i = candidates.size(); i-- > 0;) {
        const Candidate& candidate = candidates[i];
        if (!facts[i] || candidate.iconic || facts[i]->hidden) {
            continue;
        }
        ClientFacts f = *facts[i];
        f.traits.overrideRedirect = candidate.overrideRedirect;
        f.traits.ownedByThisProcess = f.pid == self;
        StackedWindow w;
        w.topLevel = candidate.topLevel;
        w.client = candidate.client;
        w.bounds = candidate.bounds;
        w.overrideRedirect = candidate.overrideRedirect;
        w.pid = f.pid;
        w.ownerName = processName(f.pid);
        if (!w.ownerName) {
            w.ownerName = f.wmClass;
        }
        w.layer = windowLayer(f.traits);
        result.push_back(std::move(w));
    }
    return result;
}

void WindowStack::resolveClients(std::vector<Candidate>& candidates) const {
    // Override-redirect frames (fluxbox, i3) count as frames: the client inside
    // gives the window its owner and layer, and it is no popup.
    std::vector<xcb_window_t> topLevels;
    topLevels.reserve(candidates.size());
    for (const Candidate& c : candidates) {
        topLevels.push_back(c.topLevel);
    }
    const std::vector<FrameClient> held = frames_.of(topLevels);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        Candidate& c = candidates[i];
        c.overrideRedirect = isPopup(c.overrideRedirect, held[i].client);
        c.client = held[i].client != XCB_WINDOW_NONE ? held[i].client : c.topLevel;
        c.iconic = held[i].iconic;
    }
}

std::vector<std::optional<WindowStack::ClientFacts>>
WindowStack::readClients(const std::vector<Candidate>& candidates) const {
    struct Cookies {
        xcb_get_property_cookie_t type, state, pid, wmClass;
        std::optional<xcb_res_query_client_ids_cookie_t> resource;
    };
    std::vector<Cookies> cookies;
    cookies.reserve(candidates.size());
    for (const Candidate& candidate : candidates) {
        const xcb_window_t w = candidate.client;
        Cookies k{requestProperty(c_, w, atom(NET_WM_WINDOW_TYPE), 32), requestProperty(c_, w, atom(NET_WM_STATE), 32),
                  requestProperty(c_, w, atom(NET_WM_PID), 1), requestProperty(c_, w, XCB_ATOM_WM_CLASS, 128),
                  std::nullopt};
        if (hasResourceExtension_) {
            const xcb_res_client_id_spec_t spec{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            k.resource = xcb_res_query_client_ids(c_, 1, &spec);
        }
        cookies.push_back(k);
    }

    std::vector<std::optional<ClientFacts>> result;
    result.reserve(candidates.size());
    for (const Cookies& k : cookies) {
        PropertyReply type = takeProperty(c_, k.type);
        PropertyReply state = takeProperty(c_, k.state);
        PropertyReply pid = takeProperty(c_, k.pid);
        PropertyReply wmClass = takeProperty(c_, k.wmClass);
        const std::int32_t resourcePid =
            k.resource ? pidOf(takeReply<xcb_res_query_client_ids_reply_t>(c_, *k.resource,
                                                                           xcb_res_query_client_ids_reply)
                                   .get())
                       : 0;
        if (!type || !state || !pid || !wmClass) {
            // The window went away while it was being read.
            result.emplace_back(std::nullopt);
            continue;
        }
        ClientFacts f;
        const std::vector<std::uint32_t> pids = longsOf(pid.get());
        f.pid = resourcePid > 0 ? resourcePid : (pids.empty() ? 0 : static_cast<std::int32_t>(pids[0]));
        f.wmClass = classOf(wmClass.get());
        for (std::uint32_t t : longsOf(type.get())) {
            const auto known = [&]() -> std::optional<WindowType> {
                if (t == atom(TYPE_NORMAL)) return WindowType::Normal;
                if (t == atom(TYPE_DIALOG)) return WindowType::Dialog;
                if (t == atom(TYPE_UTILITY)) return WindowType::Utility;
                if (t == atom(TYPE_TOOLBAR)) return WindowType::Toolbar;
                if (t == atom(TYPE_MENU)) return WindowType::Menu;
                if (t == atom(TYPE_SPLASH)) return WindowType::Splash;
                if (t == atom(TYPE_DOCK)) return WindowType::Dock;
                if (t == atom(TYPE_DESKTOP)) return WindowType::Desktop;
                if (t == atom(TYPE_POPUP_MENU) || t == atom(TYPE_DROPDOWN_MENU) || t == atom(TYPE_TOOLTIP) ||
                    t == atom(TYPE_NOTIFICATION) || t == atom(TYPE_COMBO) || t == atom(TYPE_DND))
                    return WindowType::PopUp;
                return std::nullopt;
            }();
            if (known) {
                f.traits.type = *known;
                break;
            }
        }
        for (std::uint32_t s : longsOf(state.get())) {
            f.traits.above = f.traits.above || s == atom(STATE_ABOVE);
            f.traits.below = f.traits.below || s == atom(STATE_BELOW);
            f.hidden = f.hidden || s == atom(STATE_HIDDEN);
        }
        result.emplace_back(f);
    }
    return result;
}

std::int32_t WindowStack::resourcePid(xcb_window_t window) const {
    if (!hasResourceExtension_) {
        return 0;
    }
    const xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    return pidOf(takeReply<xcb_res_query_client_ids_reply_t>(c_, xcb_res_query_client_ids(c_, 1, &spec),
                                                             xcb_res_query_client_ids_reply)
                     .get());
}

std::int32_t WindowStack::processOf(xcb_window_t client) const {
    if (const std::int32_t pid = resourcePid(client); pid > 0) {
        return pid;
    }
    PropertyReply pid = takeProperty(c_, requestProperty(c_, client, atom(NET_WM_PID), 1));
    const std::vector<std::uint32_t> v = longsOf(pid.get());
    return v.empty() ? 0 : static_cast<std::int32_t>(v[0]);
}

xcb_window_t WindowStack::topLevelOf(xcb_window_t window) const {
    xcb_window_t w = window;
    for (int i = 0; i < 16 && w != 0; ++i) {
        auto tree = takeReply<xcb_query_tree_reply_t>(c_, xcb_query_tree(c_, w), xcb_query_tree_reply);
        if (!tree) {
            return 0;
        }
        if (tree->parent == root_ || tree->parent == XCB_NONE) {
            return w == root_ ? 0 : w;
        }
        w = tree->parent;
    }
    return 0;
}

std::optional<QRect> WindowStack::frameBounds(xcb_window_t client) const {
    if (const auto known = rememberedFrames_.find(client); known != rememberedFrames_.end()) {
        return known->second;
    }
    // Each level's geometry goes out with its tree: the top-level's comes back in
    // the round trip that finds it (a tracked window's every move asks this).
    xcb_window_t w = client;
    for (int i = 0; i < 16 && w != 0 && w != root_; ++i) {
        const auto treeCookie = xcb_query_tree(c_, w);
        const auto geometryCookie = xcb_get_geometry(c_, w);
        auto tree = takeReply<xcb_query_tree_reply_t>(c_, treeCookie, xcb_query_tree_reply);
        auto g = takeReply<xcb_get_geometry_reply_t>(c_, geometryCookie, xcb_get_geometry_reply);
        if (!tree || !g) {
            return std::nullopt;
        }
        if (tree->parent == root_ || tree->parent == XCB_NONE) {
            return outerRect(*g);
        }
        w = tree->parent;
    }
    return std::nullopt;
}

std::optional<QRect> WindowStack::clientBounds(xcb_window_t client) const {
    const auto geometryCookie = xcb_get_geometry(c_, client);
    const auto originCookie = xcb_translate_coordinates(c_, client, root_, 0, 0);
    auto g = takeReply<xcb_get_geometry_reply_t>(c_, geometryCookie, xcb_get_geometry_reply);
    auto origin = takeReply<xcb_translate_coordinates_reply_t>(c_, originCookie, xcb_translate_coordinates_reply);
    if (!g || !origin) {
        return std::nullopt;
    }
    return QRect(origin->dst_x, origin->dst_y, g->width, g->height);
}

std::string WindowStack::title(xcb_window_t client) const {
    const auto netName = requestProperty(c_, client, atom(NET_WM_NAME), 256);
    const auto name = requestProperty(c_, client, XCB_ATOM_WM_NAME, 256);
    PropertyReply netReply = takeProperty(c_, netName);
    PropertyReply reply = takeProperty(c_, name);
    std::string title = bytesOf(netReply.get());
    return title.empty() ? bytesOf(reply.get()) : title;
}

xcb_window_t WindowStack::activeWindow() const {
    PropertyReply active = takeProperty(c_, requestProperty(c_, root_, atom(NET_ACTIVE_WINDOW), 1));
    const std::vector<std::uint32_t> v = longsOf(active.get());
    return v.empty() ? 0 : v[0];
}

std::optional<std::string> WindowStack::rootStringProperty(const char* name) const {
    auto interned = takeReply<xcb_intern_atom_reply_t>(
        c_, xcb_intern_atom(c_, 1, static_cast<std::uint16_t>(std::strlen(name)), name), xcb_intern_atom_reply);
    if (!interned || interned->atom == XCB_NONE) {
        return std::nullopt;
    }
    PropertyReply value = takeProperty(c_, requestProperty(c_, root_, interned->atom, 1024));
    std::string text = bytesOf(value.get());
    if (text.empty()) {
        return std::nullopt;
    }
    return text.substr(0, text.find('\0'));
}

bool WindowStack::windowManagerRunning() const {
    // An EWMH window manager names its check window on the root and on itself.
    PropertyReply check = takeProperty(c_, requestProperty(c_, root_, atom(NET_SUPPORTING_WM_CHECK), 1));
    const std::vector<std::uint32_t> v = longsOf(check.get());
    if (v.empty() || v[0] == XCB_NONE) {
        return false;
    }
    PropertyReply self = takeProperty(c_, requestProperty(c_, v[0], atom(NET_SUPPORTING_WM_CHECK), 1));
    const std::vector<std::uint32_t> w = longsOf(self.get());
    return !w.empty() && w[0] == v[0];
}

void WindowStack::sendToRoot(xcb_window_t window, xcb_atom_t type, const std::array<std::uint32_t, 5>& data) const {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    requestSucceeded(c_, xcb_send_event_checked(c_, 0, root_,
                                                XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                                                    XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                                reinterpret_cast<const char*>(&event)));
}

void WindowStack::activate(xcb_window_t client) const {
    if (windowManagerRunning()) {
        sendToRoot(client, atom(NET_ACTIVE_WINDOW), {kSourcePager, XCB_CURRENT_TIME, 0, 0, 0});
        return;
    }
    // Without a window manager nobody else will: raise and focus directly.
    raise(client);
    requestSucceeded(c_, xcb_set_input_focus_checked(c_, XCB_INPUT_FOCUS_POINTER_ROOT, client, XCB_CURRENT_TIME));
}

void WindowStack::raise(xcb_window_t client) const {
    if (windowManagerRunning()) {
        sendToRoot(client, atom(NET_RESTACK_WINDOW), {kSourcePager, XCB_NONE, XCB_STACK_MODE_ABOVE, 0, 0});
        return;
    }
    const xcb_window_t top = topLevelOf(client);
    if (top != 0) {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        requestSucceeded(c_, xcb_configure_window_checked(c_, top, XCB_CONFIG_WINDOW_STACK_MODE, &above));
    }
}

} // namespace dimwell::x11
