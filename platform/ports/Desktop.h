#pragma once
// Everything the core asks of the desktop, gathered so one object can hand it over.

namespace dimwell {

class AccessibilityApi;
class AccessibilityTrust;
class AlertPresenter;
class Bundle;
class Defaults;
class DisplayServer;
class HotkeyService;
class InputService;
class LogSink;
class NotificationCenter;
class WindowCapture;
class WindowFactory;
class WindowServer;
class Workspace;

struct DesktopPorts {
    Defaults& defaults;
    const Bundle& bundle;
    LogSink& log;
    NotificationCenter& notifications;
    DisplayServer& displays;
    WindowFactory& windowFactory;
    AccessibilityTrust& trust;
    AlertPresenter& alerts;
    Workspace& workspace;
    HotkeyService& hotkeys;
    InputService& input;
    WindowServer& windowServer;
    AccessibilityApi& accessibility;
    WindowCapture& capture;
};

} // namespace dimwell
