#pragma once
// What the window-list, tracking and accessibility tests share: the Qt
// application they run in, real client programs started and stopped by process
// id, and X reads made on a connection of the test's own (so that expectations
// do not come from the code under test).

#include "common/Log.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell::x11::testing {

inline std::unique_ptr<QApplication>& desktopAppSlot() {
    static std::unique_ptr<QApplication> app;
    return app;
}

/// The test program's one Qt application on the desktop of $DISPLAY; null without one.
inline QApplication* desktopApp() {
    if (!QCoreApplication::instance()) {
        if (!std::getenv("DISPLAY")) {
            return nullptr;
        }
        static int argc = 1;
        static char name[] = "dimwell_x11_tests";
        static char* argv[] = {name, nullptr};
        desktopAppSlot() = std::make_unique<QApplication>(argc, argv);
    }
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

/// Ends the application when the tests are done, while Qt's own globals still
/// exist (destroying it among the static destructors crashes).
class DesktopAppEnvironment : public ::testing::Environment {
public:
    void TearDown() override { desktopAppSlot().reset(); }
};
inline ::testing::Environment* const kDesktopAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new DesktopAppEnvironment);   // gtest owns environments

#define DIMWELL_REQUIRE_DESKTOP()                                                                                      \
    do {                                                                                                               \
        if (!::dimwell::x11::testing::desktopApp()) {                                                                  \
            GTEST_SKIP() << "needs an X desktop (run under scripts/xdesktop.py)";                                      \
        }                                                                                                              \
    } while (false)

/// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

inline void pumpFor(int ms) { pumpUntil([] { return false; }, ms); }

/// A client program, stopped (and reaped) by its process id when the test ends.
class Client {
public:
    Client(const QString& program, const QStringList& arguments, const std::map<QString, QString>& env = {}) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const auto& [k, v] : env) {
            e.insert(k, v);
        }
        process_.setProcessEnvironment(e);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(program, arguments);
        process_.waitForStarted(5000);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { stop(); }

    std::int32_t pid() const { return static_cast<std::int32_t>(process_.processId()); }

    void stop() {
        if (process_.state() == QProcess::NotRunning) {
            return;
        }
        const qint64 id = process_.processId();
        ::kill(static_cast<pid_t>(id), SIGCONT);
        ::kill(static_cast<pid_t>(id), SIGTERM);
        if (!process_.waitForFinished(3000)) {
            ::kill(static_cast<pid_t>(id), SIGKILL);
            process_.waitForFinished(3000);
        }
    }

    /// Lines printed so far plus whatever arrives within `timeoutMs`, until `last` is seen.
    std::vector<std::string> linesUntil(const std::string& last, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            while (process_.canReadLine()) {
                lines_.push_back(process_.readLine().trimmed().toStdString());
                if (lines_.back() == last) {
                    return lines_;
                }
            }
            process_.waitForReadyRead(50);
        }
        return lines_;
    }

private:
    QProcess process_;
    std::vector<std::string> lines_;
};

template <class T>
std::unique_ptr<T, decltype(&std::free)> freed(T* p) {
    return {p, &std::free};
}

/// An X connection of the test's own (errors of its requests go unread to its queue).
class Xconn {
public:
    Xconn() : c_(xcb_connect(nullptr, &screen_)) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
        for (int i = 0; i < screen_ && it.rem; ++i) {
            xcb_screen_next(&it);
        }
        root_ = it.data->root;
        rootVisual_ = it.data->root_visual;
    }
    Xconn(const Xconn&) = delete;
    Xconn& operator=(const Xconn&) = delete;
    ~Xconn() { xcb_disconnect(c_); }

    xcb_connection_t* get() const { return c_; }
    xcb_window_t root() const { return root_; }

    xcb_atom_t atom(const char* name) const {
        const auto r = freed(xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
        return r ? r->atom : XCB_NONE;
    }

    std::vector<std::uint32_t> cardinals(xcb_window_t w, const char* property) const {
        const auto r = freed(xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
        if (!r || r->format != 32) {
            return {};
        }
        const auto* d = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
        return {d, d + xcb_get_property_value_length(r.get()) / 4};
    }

    /// The client's inside in root pixels.
    std::optional<QRect> inside(xcb_window_t w) const {
        const auto g = freed(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
        const auto t = freed(xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0), nullptr));
        if (!g || !t) {
            return std::nullopt;
        }
        return QRect(t->dst_x, t->dst_y, g->width, g->height);
    }

    /// The window as the user sees it: its inside grown by the window manager's
    /// _NET_FRAME_EXTENTS (left, right, top, bottom).
    std::optional<QRect> framed(xcb_window_t w) const {
        const std::optional<QRect> in = inside(w);
        const std::vector<std::uint32_t> e = cardinals(w, "_NET_FRAME_EXTENTS");
        if (!in || e.size() != 4) {
            return in;
        }
        return in->adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
    }

    /// A mapped window of this connection (top-level unless a parent is given), with
    /// properties set before mapping.
    xcb_window_t createWindow(const QRect& r, bool overrideRedirect,
                              const std::vector<std::pair<const char*, std::vector<const char*>>>& atomLists = {},
                              xcb_window_t parent = XCB_NONE) {
        const xcb_window_t w = xcb_generate_id(c_);
        const std::uint32_t values[] = {0x808080, overrideRedirect ? 1u : 0u};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, parent ? parent : root_, static_cast<std::int16_t>(r.x()),
                          static_cast<std::int16_t>(r.y()), static_cast<std::uint16_t>(r.width()),
                          static_cast<std::uint16_t>(r.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, rootVisual_,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        for (const auto& [property, names] : atomLists) {
            std::vector<xcb_atom_t> atoms;
            for (const char* n : names) {
                atoms.push_back(atom(n));
            }
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom(property), XCB_ATOM_ATOM, 32,
                                static_cast<std::uint32_t>(atoms.size()), atoms.data());
        }
        xcb_map_window(c_, w);
        xcb_flush(c_);
        return w;
    }

    void destroy(xcb_window_t w) {
        xcb_destroy_window(c_, w);
        xcb_flush(c_);
    }

private:
    int screen_ = 0;
    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    xcb_visualid_t rootVisual_ = 0;
};

/// Log lines kept for inspection.
class RecordingLog : public LogSink {
public:
    void write(std::string_view line) override { lines.emplace_back(line); }
    bool contains(std::string_view text) const {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
    }
    std::vector<std::string> lines;
};

/// Runs a command line on the desktop and waits for it (xdotool and the like).
inline int run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return -1;
    }
    return p.exitCode();
}

} // namespace dimwell::x11::testing
