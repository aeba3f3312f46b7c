#include "platform/x11/X11Session.h"

#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbUtil.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocument>
#include <QUrl>

#include <xcb/res.h>

#include <fstream>
#include <unistd.h>
#include <vector>

namespace dimwell::x11 {

namespace {

constexpr const char* kAccessibilityPane = "/System/Library/PreferencePanes/UniversalAccessPref.prefPane";

/// The X Resource extension's idea of who made `window`: works for old clients
/// that set no _NET_WM_PID.
std::int32_t pidFromXRes(xcb_connection_t* c, xcb_window_t window) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
    if (!ext || !ext->present) {
        return 0;
    }
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const auto reply = takeReply<xcb_res_query_client_ids_reply_t>(c, xcb_res_query_client_ids(c, 1, &spec),
                                                                   xcb_res_query_client_ids_reply);
    if (!reply) {
        return 0;
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            return static_cast<std::int32_t>(*xcb_res_client_id_value_value(it.data));
        }
    }
    return 0;
}

} // namespace

std::string processNameOf(std::int32_t pid) {
    if (pid <= 0) {
        return {};
    }
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool X11Trust::isTrusted() const { return xcbConnection() != nullptr; }

bool X11Alerts::runCriticalAlert(const std::string& title, const std::string& message,
                                 const std::string& defaultButton, const std::string& alternateButton) {
    // As an alert shows it: the title is the bold heading inside the box, the
    // message the text below it; the title bar names the program.
    QMessageBox box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QApplication::applicationDisplayName());
    // The texts come as plain sentences; never let a tag in them become markup.
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<b>%1</b>").arg(QString::fromStdString(title).toHtmlEscaped()));
    box.setInformativeText(Qt::convertFromPlainText(QString::fromStdString(message)));
    QPushButton* accept = box.addButton(QString::fromStdString(defaultButton), QMessageBox::AcceptRole);
    box.addButton(QString::fromStdString(alternateButton), QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

X11Workspace::X11Workspace(std::string processName, LogSink& log) : processName_(std::move(processName)), log_(log) {}

bool X11Workspace::openFile(const std::string& path) {
    if (path == kAccessibilityPane) {
        return openAccessibilitySettings();
    }
    if (path.empty()) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool X11Workspace::openAccessibilitySettings() {
    struct Tool {
        const char* program;
        std::vector<const char*> arguments;
    };
    // The desktops' own accessibility panels; the first one installed is used.
    static const Tool tools[] = {
        {"gnome-control-center", {"universal-access"}},
        {"cinnamon-settings", {"universal-access"}},
        {"systemsettings", {"kcm_access"}},
        {"systemsettings5", {"kcm_access"}},
        {"xfce4-accessibility-settings", {}},
        {"mate-at-properties", {}},
    };
    for (const Tool& tool : tools) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
        if (program.isEmpty()) {
            continue;
        }
        QStringList arguments;
        for (const char* a : tool.arguments) {
            arguments << QString::fromLatin1(a);
        }
        if (QProcess::startDetached(program, arguments)) {
            return true;
        }
        log_("cannot start %s", tool.program);
    }
    log_("no accessibility settings to open on this desktop");
    return false;
}

ActiveApplication X11Workspace::activeApplication() const {
    ActiveApplication app;
    xcb_connection_t* c = xcbConnection();
    if (!c) {
        return app;
    }
    const auto active = cardinalProperty(rootWindow(), internAtom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active || *active == XCB_WINDOW_NONE) {
        return app;
    }
    std::int32_t pid = 0;
    const auto netPid = cardinalProperty(*active, internAtom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (netPid && *netPid > 0) {
        pid = static_cast<std::int32_t>(*netPid);
    } else {
        pid = pidFromXRes(c, *active);
    }
    app.processIdentifier = pid;
    app.name = pid == static_cast<std::int32_t>(getpid()) ? processName_ : processNameOf(pid);
    return app;
}

} // namespace dimwell::x11
