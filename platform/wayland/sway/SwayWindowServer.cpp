#include "platform/wayland/sway/SwayWindowServer.h"

#include "platform/linux/session/ProcFiles.h"

#include <QJsonArray>

#include <unistd.h>

#include <algorithm>

namespace dimwell::wayland {

SwayWindowServer::SwayWindowServer(std::shared_ptr<SwayIpc> ipc) : ipc_(std::move(ipc)) {}

SwayWindowServer::SwayWindowServer(LogSink& log, std::string socketPath)
    : ipc_(std::make_shared<SwayIpc>(log, std::move(socketPath))) {}

std::optional<SwayTree> SwayWindowServer::tree() const {
    const std::optional<QJsonDocument> reply = ipc_->request(SwayMessage::GetTree);
    if (!reply || !reply->isObject()) {
        return std::nullopt;
    }
    return parseSwayTree(reply->object());
}

std::vector<WindowInfo> SwayWindowServer::onScreenWindows() const {
    const std::optional<SwayTree> now = tree();
    if (!now) {
        return {};
    }
    std::vector<WindowInfo> list;
    for (const SwayWindow& w : now->windows) {
        WindowInfo info;
        info.ownerPid = w.pid;
        info.bounds = w.bounds;
        info.layer = 0;   // sway has no kept-above windows; layer-shell surfaces are not in the tree
        info.ownerName = x11::processName(w.pid);
        if (!info.ownerName && !w.appId.empty()) {
            info.ownerName = w.appId;
        }
        info.windowNumber = w.id;
        list.push_back(std::move(info));
    }
    return list;
}

bool SwayWindowServer::isOwnWindow(const WindowInfo& window) const {
    return window.ownerPid > 0 && window.ownerPid == static_cast<std::int32_t>(::getpid());
}

std::int32_t SwayWindowServer::activeProcess() const {
    const std::optional<SwayTree> now = tree();
    if (!now) {
        return 0;
    }
    const auto own = [](const SwayWindow& w) { return w.pid == static_cast<std::int32_t>(::getpid()); };
    const SwayWindow* focused = now->find(now->focused);
    if (!focused) {
        return 0;
    }
    if (!own(*focused)) {
        return focused->pid;
    }
    const auto other = std::find_if_not(now->windows.begin(), now->windows.end(), own);
    return other == now->windows.end() ? 0 : other->pid;
}

bool SwayWindowServer::bringToFront(std::uint32_t windowNumber) const {
    const QByteArray command = "[con_id=" + QByteArray::number(windowNumber) + "] focus";
    const std::optional<QJsonDocument> reply = ipc_->request(SwayMessage::RunCommand, command);
    if (!reply || reply->array().isEmpty()) {
        return false;
    }
    return reply->array().at(0).toObject().value(QStringLiteral("success")).toBool();
}

} // namespace dimwell::wayland
