// The session ports on a real desktop: which program is active (also for old
// clients that do not say their process), and the alert's answer.

#include "WindowTestSupport.h"

#include "platform/linux/session/QtAlerts.h"
#include "platform/x11/X11Session.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

namespace dimwell::x11 {
namespace {

using namespace testing;

bool activate(const QString& title) {
    return pumpUntil([&] { return run("xdotool", {"search", "--name", "^" + title + "$"}) == 0; }, 5000) &&
           run("xdotool", {"search", "--name", "^" + title + "$", "windowactivate", "--sync"}) == 0;
}

TEST(X11SessionTest, ActiveApplicationIsTheProcessOfTheActiveWindow) {
    DIMWELL_REQUIRE_DESKTOP();
    RecordingLog log;
    X11Workspace workspace("Dimwell", log);
    EXPECT_TRUE(X11Trust().isTrusted());

    // xlogo sets no _NET_WM_PID: the X Resource extension names its process.
    Client logo("xlogo", {"-title", "session-logo", "-geometry", "200x200+40+40"});
    ASSERT_TRUE(activate("session-logo"));
    ASSERT_TRUE(pumpUntil([&] { return workspace.activeApplication().processIdentifier == logo.pid(); }, 3000));
    EXPECT_EQ(workspace.activeApplication().name, "xlogo");

    // This program goes by the product's name, whatever its executable is called.
    QWidget own;
    own.setWindowTitle("session-own");
    own.setGeometry(300, 300, 200, 100);
    own.show();
    ASSERT_TRUE(activate("session-own"));
    ASSERT_TRUE(pumpUntil([&] { return workspace.activeApplication().processIdentifier == getpid(); }, 3000));
    EXPECT_EQ(workspace.activeApplication().name, "Dimwell");
}

/// What a rich text shows.
QString shown(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText().trimmed();
}

TEST(X11SessionTest, AlertShowsTheTitleAsItsBoldHeadingAndReportsTheButtonChosen) {
    DIMWELL_REQUIRE_DESKTOP();
    for (const bool chooseDefault : {true, false}) {
        QString heading, text, html;
        QStringList buttons;
        QTimer::singleShot(300, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            html = box->text();
            heading = shown(box->text());
            text = shown(box->informativeText());
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text();
            }
            for (QAbstractButton* b : box->buttons()) {
                if ((b->text() == "Open") == chooseDefault) {
                    b->click();
                }
            }
        });
        const bool chosen = QtAlerts().runCriticalAlert("Title <b>", "Line one\n\"quoted\"\n", "Open", "Close");
        EXPECT_EQ(chosen, chooseDefault);
        EXPECT_EQ(heading, "Title <b>");
        EXPECT_TRUE(html.startsWith("<b>")) << html.toStdString();
        EXPECT_EQ(text, "Line one\n\"quoted\"");
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Close", "Open"}));
    }
}

} // namespace
} // namespace dimwell::x11
