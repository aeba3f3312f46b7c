// Dimwell's eyes in KWin: tells Dimwell, over the session bus, which windows are
// shown where (front to back) whenever that changes, and where the pointer is
// whenever Dimwell asks; raises the window Dimwell names. Loaded by Dimwell at
// start and unloaded when it quits.
//
// Dimwell asks by answering "Next", which this script keeps calling: the answer
// is a command ("pointer", "report", "activate ID", or "" to call again), and
// every call carries the pointer's position at the time.

var service = "com.Orvalen.Dimwell";
var path = "/com/Orvalen/Dimwell/KWin";
var iface = "com.Orvalen.Dimwell.KWin";
var askedAt = 0;
var watched = {};

function clients() {
    return workspace.clientList ? workspace.clientList() : workspace.windowList();
}

function kind(c) {
    if (c.desktopWindow) return "desktop";
    // Panels, notifications, menus and the like are nobody's application window.
    if (c.dock || c.notification || c.criticalNotification || c.onScreenDisplay || c.tooltip || c.popupMenu
        || c.dropdownMenu || c.comboBox || c.splash) return "dock";
    if (c.keepAbove) return "above";
    return "normal";
}

function shown(c) {
    if (c.minimized || c.deleted) return false;
    if (c.onAllDesktops === false && c.desktop !== undefined && c.desktop !== workspace.currentDesktop
        && c.desktop !== -1) return false;
    return true;
}

function report() {
    var list = [];
    var all = clients();
    var active = activeWindow();
    for (var i = 0; i < all.length; ++i) {
        var c = all[i];
        var g = c.frameGeometry;
        list.push({
            id: String(c.internalId), pid: c.pid, x: g.x, y: g.y, width: g.width, height: g.height,
            stack: c.stackingOrder, kind: kind(c), shown: shown(c), active: c === active,
            name: String(c.resourceClass || "")
        });
    }
    callDBus(service, path, iface, "Windows", JSON.stringify(list));
    // A "Next" lost to an error (Dimwell busy or restarted) is asked again here.
    if (Date.now() - askedAt > 30000) ask();
}

// KWin 6 renamed clients to windows.
function activeWindow() {
    return workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
}

function activate(id) {
    var all = clients();
    for (var i = 0; i < all.length; ++i) {
        if (String(all[i].internalId) === id) {
            if (workspace.activeWindow !== undefined) workspace.activeWindow = all[i];
            else workspace.activeClient = all[i];
            return;
        }
    }
}

function perform(command) {
    command = String(command || "");
    if (command === "report") report();
    else if (command.indexOf("activate ") === 0) activate(command.substring(9));
}

function ask() {
    askedAt = Date.now();
    var p = workspace.cursorPos;
    callDBus(service, path, iface, "Next", p.x, p.y, function (command) {
        perform(command);
        ask();
    });
}

function watch(c) {
    var id = String(c.internalId);
    if (watched[id]) return;
    watched[id] = true;
    c.frameGeometryChanged.connect(report);
    if (c.minimizedChanged) c.minimizedChanged.connect(report);
    if (c.desktopChanged) c.desktopChanged.connect(report);
    if (c.stackingOrderChanged) c.stackingOrderChanged.connect(report);
}

function added(c) {
    watch(c);
    report();
}

function removed(c) {
    delete watched[String(c.internalId)];
    report();
}

(workspace.clientAdded || workspace.windowAdded).connect(added);
(workspace.clientRemoved || workspace.windowRemoved).connect(removed);
(workspace.clientActivated || workspace.windowActivated).connect(report);
workspace.currentDesktopChanged.connect(report);
var initial = clients();
for (var i = 0; i < initial.length; ++i) watch(initial[i]);
report();
ask();
