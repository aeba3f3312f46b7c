#include "platform/wayland/kwin/KWinWindows.h"

#include "platform/linux/remote/RemoteBus.h"
#include "platform/wayland/kwin/KWinScript.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>

namespace dimwell::wayland {

namespace {

constexpr const char* kKWinService = "org.kde.KWin";
constexpr std::int32_t kDesktopLayer = -2147483623;
constexpr std::int32_t kDockLayer = 20;
constexpr std::int32_t kAboveLayer = 3;

std::int32_t layerOf(const QString& kind) {
    if (kind == QLatin1String("desktop")) {
        return kDesktopLayer;
    }
    if (kind == QLatin1String("dock")) {
        return kDockLayer;
    }
    return kind == QLatin1String("above") ? kAboveLayer : 0;
}

std::int32_t ownPid() { return static_cast<std::int32_t>(::getpid()); }

/// Whether this connection holds Dimwell's bus name (the name the script calls).
bool holdsRemoteName() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("GetNameOwner"));
    ask.setArguments({QString::fromLatin1(linuxdesktop::remoteService)});
    const QDBusMessage reply = bus.call(ask, QDBus::Block, static_cast<int>(KWinScript::kTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toString() == bus.baseService();
}

} // namespace

std::vector<KWinWindow> parseKWinWindows(const QByteArray& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    std::vector<std::pair<double, KWinWindow>> stacked;
    for (const QJsonValue& value : doc.array()) {
        const QJsonObject o = value.toObject();
        const double width = o.value(QStringLiteral("width")).toDouble();
        const double height = o.value(QStringLiteral("height")).toDouble();
        if (!o.value(QStringLiteral("shown")).toBool() || width <= 0 || height <= 0) {
            continue;
        }
        KWinWindow w;
        w.id = o.value(QStringLiteral("id")).toString().toStdString();
        w.pid = o.value(QStringLiteral("pid")).toInt();
        w.bounds = {o.value(QStringLiteral("x")).toDouble(), o.value(QStringLiteral("y")).toDouble(), width, height};
        w.layer = layerOf(o.value(QStringLiteral("kind")).toString());
        w.active = o.value(QStringLiteral("active")).toBool();
        w.name = o.value(QStringLiteral("name")).toString().toStdString();
        if (!w.id.empty()) {
            stacked.emplace_back(o.value(QStringLiteral("stack")).toDouble(), std::move(w));
        }
    }
    // KWin counts its stacking order from the bottom.
    std::stable_sort(stacked.begin(), stacked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<KWinWindow> windows;
    for (auto& [stack, w] : stacked) {
        windows.push_back(std::move(w));
    }
    return windows;
}

KWinWindows::KWinWindows(LogSink& log, QString scriptPath)
    : sink_(log), log_(log), scriptPath_(std::move(scriptPath)), channel_(log, [this] { reported(); }) {
    if (!channel_.publish()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    watcher_ = std::make_unique<QDBusServiceWatcher>(QString::fromLatin1(linuxdesktop::remoteService), bus,
                                                     QDBusServiceWatcher::WatchForOwnerChange);
    watcher_->addWatchedService(QString::fromLatin1(kKWinService));
    QObject::connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, watcher_.get(),
                     [this](const QString& name, const QString&, const QString& newOwner) {
                         ownerChanged(name, newOwner);
                     });
    // The script calls Dimwell's bus name, which the remote control takes once
    // launching has finished.
    if (holdsRemoteName()) {
        load();
    }
}

KWinWindows::~KWinWindows() = default;

void KWinWindows::load() {
    script_.reset();
    channel_.reset();
    script_ = KWinScript::load(sink_, scriptPath_);
}

void KWinWindows::ownerChanged(const QString& name, const QString& newOwner) {
    if (name == QLatin1String(kKWinService)) {
        if (newOwner.isEmpty()) {
            if (script_) {
                log_("KWin went away: window, view and pattern modes find no windows until it is back");
                script_->abandon();
                script_.reset();
            }
            channel_.reset();
            reported();
        } else if (holdsRemoteName()) {
            load();
        }
    } else if (!newOwner.isEmpty() && newOwner == QDBusConnection::sessionBus().baseService() && !script_) {
        load();
    }
}

void KWinWindows::reported() {
    if (const std::optional<KWinWindow> active = reportedActive(); active && active->pid != ownPid()) {
        lastActive_ = active->id;
    }
    std::erase_if(listeners_, [](const auto& weak) { return weak.expired(); });
    // A listener may end another (or itself): each is looked up just before it runs.
    const std::vector<std::weak_ptr<std::function<void()>>> listeners = listeners_;
    for (const auto& weak : listeners) {
        if (const auto listener = weak.lock()) {
            (*listener)();
        }
    }
}

std::shared_ptr<void> KWinWindows::onChange(std::function<void()> changed) {
    auto listener = std::make_shared<std::function<void()>>(std::move(changed));
    listeners_.push_back(listener);
    return listener;
}

std::vector<KWinWindow> KWinWindows::windows() const {
    std::vector<KWinWindow> list = parseKWinWindows(channel_.windows());
    std::erase_if(list, [](const KWinWindow& w) { return w.pid == ownPid(); });
    std::map<std::string, std::uint32_t> numbers;
    for (KWinWindow& w : list) {
        auto known = numbers_.find(w.id);
        w.number = known != numbers_.end() ? known->second : nextNumber_++;
        numbers.emplace(w.id, w.number);
    }
    numbers_ = std::move(numbers);   // a closed window's number is not given out again
    return list;
}

std::optional<Point> KWinWindows::pointer() const {
    constexpr std::chrono::milliseconds kFresh{100};
    if (recentPointer_ && std::chrono::steady_clock::now() - recentPointer_->second < kFresh) {
        return recentPointer_->first;
    }
    return channel_.pointer(kPointerTimeout);
}

std::vector<WindowInfo> KWinWindows::onScreenWindows() const {
    recentPointer_.reset();
    if (const std::optional<Point> p = channel_.pointer(kPointerTimeout)) {
        recentPointer_.emplace(*p, std::chrono::steady_clock::now());
    }
    std::vector<WindowInfo> list;
    for (const KWinWindow& w : windows()) {
        WindowInfo info;
        info.ownerPid = w.pid;
        info.bounds = w.bounds;
        info.layer = w.layer;
        info.ownerName = w.name;
        info.windowNumber = w.number;
        list.push_back(std::move(info));
    }
    return list;
}

std::optional<KWinWindow> KWinWindows::reportedActive() const {
    std::vector<KWinWindow> all = parseKWinWindows(channel_.windows());
    const auto active = std::find_if(all.begin(), all.end(), [](const KWinWindow& w) { return w.active; });
    return active == all.end() ? std::nullopt : std::optional<KWinWindow>(std::move(*active));
}

std::int32_t KWinWindows::activeProcess() const {
    const std::optional<KWinWindow> active = reportedActive();
    if (!active) {
        return 0;
    }
    if (active->pid != ownPid()) {
        return active->pid;
    }
    const std::vector<KWinWindow> others = windows();
    const auto before =
        std::find_if(others.begin(), others.end(), [this](const KWinWindow& w) { return w.id == lastActive_; });
    return before == others.end() ? 0 : before->pid;
}

bool KWinWindows::isOwnWindow(const WindowInfo& window) const {
    return window.ownerPid > 0 && window.ownerPid == ownPid();
}

bool KWinWindows::activate(std::uint32_t number) {
    for (const KWinWindow& w : windows()) {
        if (w.number == number) {
            channel_.send(QStringLiteral("activate ") + QString::fromStdString(w.id));
            return true;
        }
    }
    return false;
}

} // namespace dimwell::wayland
