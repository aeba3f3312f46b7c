#include "platform/wayland/sway/SwayTree.h"

#include <QJsonArray>

#include <algorithm>
#include <iterator>

namespace dimwell::wayland {

namespace {

QString key(const char* name) { return QString::fromLatin1(name); }

Rect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return {r.value(key("x")).toDouble(), r.value(key("y")).toDouble(), r.value(key("width")).toDouble(),
            r.value(key("height")).toDouble()};
}

/// `nodes` with those named in `focus` (most recent first) in front, in that order.
std::vector<QJsonObject> inFocusOrder(const QJsonArray& nodes, const QJsonArray& focus) {
    std::vector<QJsonObject> ordered;
    for (const QJsonValue& f : focus) {
        for (const QJsonValue& n : nodes) {
            if (n.toObject().value(key("id")).toDouble() == f.toDouble()) {
                ordered.push_back(n.toObject());
            }
        }
    }
    for (const QJsonValue& n : nodes) {
        if (!focus.contains(n.toObject().value(key("id")))) {
            ordered.push_back(n.toObject());
        }
    }
    return ordered;
}

struct Entry {
    SwayWindow window;
    int fullscreen = 0;   ///< 1: on its workspace, 2: on every output
    bool focused = false;
};

struct Parent {
    QString layout;
    qsizetype children = 1;
};

void collect(const QJsonObject& node, const Parent& parent, std::vector<Entry>& out,
             std::vector<std::uint32_t>& hidden) {
    const QJsonArray children = node.value(key("nodes")).toArray();
    const QJsonArray floating = node.value(key("floating_nodes")).toArray();
    const bool isView = node.contains(key("pid")) && children.isEmpty();
    if (isView) {
        if (!node.value(key("visible")).toBool()) {
            hidden.push_back(static_cast<std::uint32_t>(node.value(key("id")).toDouble()));
            return;
        }
        Entry e;
        e.window.id = static_cast<std::uint32_t>(node.value(key("id")).toDouble());
        e.window.pid = node.value(key("pid")).toInt();
        // "rect" leaves out the title bar (as i3 does); a stacked parent shows every
        // sibling's title above each child.
        e.window.bounds = rectOf(node.value(key("rect")));
        const double title = rectOf(node.value(key("deco_rect"))).height;
        const double titles = title * static_cast<double>(parent.layout == key("stacked") ? parent.children : 1);
        e.window.bounds.y -= titles;
        e.window.bounds.height += titles;
        e.window.appId = node.value(key("app_id")).toString().toStdString();
        if (e.window.appId.empty()) {
            e.window.appId =
                node.value(key("window_properties")).toObject().value(key("class")).toString().toStdString();
        }
        e.fullscreen = node.value(key("fullscreen_mode")).toInt();
        e.focused = node.value(key("focused")).toBool();
        out.push_back(std::move(e));
        return;
    }
    const QJsonArray focus = node.value(key("focus")).toArray();
    const std::size_t first = out.size();
    if (!floating.isEmpty()) {
        // floating_nodes is sway's stacking order, bottom first; focusing raises.
        std::vector<QJsonObject> stacked;
        for (const QJsonValue& n : floating) {
            stacked.insert(stacked.begin(), n.toObject());
        }
        auto focused = std::find_if(focus.begin(), focus.end(), [&](const QJsonValue& id) {
            return std::any_of(stacked.begin(), stacked.end(),
                               [&](const QJsonObject& n) { return n.value(key("id")) == id; });
        });
        if (focused != focus.end()) {
            std::stable_partition(stacked.begin(), stacked.end(),
                                  [&](const QJsonObject& n) { return n.value(key("id")) == *focused; });
        }
        for (const QJsonObject& n : stacked) {
            collect(n, Parent{}, out, hidden);
        }
    }
    const Parent here{node.value(key("layout")).toString(), children.size()};
    for (const QJsonObject& child : inFocusOrder(children, focus)) {
        collect(child, here, out, hidden);
    }
    if (node.value(key("type")).toString() == key("workspace")) {
        std::stable_partition(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                              [](const Entry& e) { return e.fullscreen == 1; });
    }
}

} // namespace

const SwayWindow* SwayTree::find(std::uint32_t id) const {
    auto it = std::find_if(windows.begin(), windows.end(), [id](const SwayWindow& w) { return w.id == id; });
    return it == windows.end() ? nullptr : &*it;
}

bool SwayTree::exists(std::uint32_t id) const {
    return find(id) || std::find(hidden.begin(), hidden.end(), id) != hidden.end();
}

SwayTree parseSwayTree(const QJsonObject& root) {
    SwayTree tree;
    std::vector<Entry> entries;
    const QJsonArray outputs = root.value(key("nodes")).toArray();
    for (const QJsonObject& output : inFocusOrder(outputs, root.value(key("focus")).toArray())) {
        std::vector<Entry> shown;
        if (output.value(key("name")).toString() == key("__i3")) {
            collect(output, Parent{}, shown, tree.hidden);   // the scratchpad: never shown
            std::transform(shown.begin(), shown.end(), std::back_inserter(tree.hidden),
                           [](const Entry& e) { return e.window.id; });
            continue;
        }
        const double millihertz = output.value(key("current_mode")).toObject().value(key("refresh")).toDouble();
        tree.refreshHz = std::max(tree.refreshHz, millihertz / 1000.0);
        collect(output, Parent{}, entries, tree.hidden);
    }
    std::stable_partition(entries.begin(), entries.end(), [](const Entry& e) { return e.fullscreen == 2; });
    for (Entry& e : entries) {
        if (e.focused) {
            tree.focused = e.window.id;
        }
        tree.windows.push_back(std::move(e.window));
    }
    return tree;
}

} // namespace dimwell::wayland
