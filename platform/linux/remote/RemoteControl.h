#pragma once
// Dimwell's actions on the session bus: one method without arguments per
// action name, answered once the action has run.

#include "common/Log.h"

#include <QDBusVirtualObject>

#include <functional>
#include <string>

namespace dimwell::linuxdesktop {

class RemoteControl : public QDBusVirtualObject {
public:
    /// Runs one action; false for a name that is not one.
    using Perform = std::function<bool(const std::string&)>;

    RemoteControl(LogSink& log, Perform perform);
    ~RemoteControl() override;
    RemoteControl(const RemoteControl&) = delete;
    RemoteControl& operator=(const RemoteControl&) = delete;

    /// Takes the bus name and serves the object. Without a session bus, or with
    /// the name held by another program, logs why and serves nothing; Dimwell
    /// runs on without remote control.
    bool publish();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    Logger log_;
    Perform perform_;
    bool objectRegistered_ = false;
    bool serviceRegistered_ = false;
};

} // namespace dimwell::linuxdesktop
