// The login item: this program in the list of programs the session starts.

#include "app/AppDelegate.h"
#include "platform/ports/Bundle.h"

namespace dimwell {

bool isPathOfApplication(const std::string& itemPath, const std::string& bundlePath) {
    std::string base = bundlePath;
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    // An empty or root bundle path would claim every item of the list.
    if (base.empty() || base == "/") {
        return false;
    }
    if (itemPath == base) {
        return true;
    }
    return itemPath.size() > base.size() && itemPath.compare(0, base.size(), base) == 0 && itemPath[base.size()] == '/';
}

void AppDelegate::toggleLoginItem(bool on) {
    const std::string path = desktop_.bundle.bundlePath();
    if (const std::unique_ptr<LoginItemsList> list = shell_.loginItems.sessionLoginItems()) {
        if (on) {
            enableLoginItemWithLoginItemsReference(*list, path);
        } else {
            disableLoginItemWithLoginItemsReference(*list, path);
        }
    }
    log_("toggle");
}

bool AppDelegate::loginItemExistsWithLoginItemReference(LoginItemsList& list, const std::string& path) {
    for (const LoginItem& item : list.snapshot()) {
        if (!item.resolvedPath) {
            continue;
        }
        log_("%s", item.resolvedPath->c_str());
        if (isPathOfApplication(*item.resolvedPath, path)) {
            return true;
        }
    }
    return false;
}

void AppDelegate::enableLoginItemWithLoginItemsReference(LoginItemsList& list, const std::string& path) {
    list.insertItem(path);
}

void AppDelegate::disableLoginItemWithLoginItemsReference(LoginItemsList& list, const std::string& path) {
    for (const LoginItem& item : list.snapshot()) {
        // An item that does not resolve (its program is gone) is never ours to remove.
        if (item.resolvedPath && isPathOfApplication(*item.resolvedPath, path)) {
            list.removeItem(item.id);
        }
    }
}

} // namespace dimwell
