// The tutorial window on the offscreen platform: navigation and buttons, Return,
// animations, page texts, and the program ending with its window.

#include "tutorial/DimwellHelpAppDelegate.h"
#include "tutorial/ImageView.h"
#include "tutorial/MyWindowController.h"
#include "tutorial/PageTextView.h"
#include "tutorial/TutorialPages.h"

#include <QApplication>
#include <QMenu>
#include <QMovie>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace dimwell;

namespace {

/// A looping GIF of three one-pixel frames in different colours, 30 ms each.
const QByteArray kGif = QByteArray::fromHex(
    "47494638396101000100910000000000ff000000ff000000ff21ff0b4e45545343415045322e300301000000"
    "21f90404030000002c0000000001000100000202440100" "21f90404030000002c00000000010001000002024c0100"
    "21f90404030000002c0000000001000100000202540100" "3b");

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

/// Writes every picture the window loads: the animations as real GIFs, the rest as PNGs.
void writePictures(const QString& dir) {
    const auto write = [&](std::string_view file) {
        const QString path = dir + "/" + q(file);
        if (path.endsWith(".gif")) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(kGif);
        } else {
            QImage image(40, 30, QImage::Format_RGB32);
            image.fill(QColor(40, 90, 160));
            QVERIFY(image.save(path));
        }
    };
    for (const auto& picture : kPictures) {
        write(picture.file);
    }
    write(kPrefPicture.file);
}

/// Which slot a button stands in: 1 for rectOne ... 3 for rectThree, 0 for none.
int slotOf(const QPushButton* button) {
    const Rect slotRects[] = {rectOne, rectTwo, rectThree};
    for (int i = 0; i < 3; ++i) {
        const Rect r = cocoaToTopLeft(slotRects[i], kTutorialWindowSize.height);
        const QRectF slot(r.x, r.y, r.width, r.height);
        if (slot.contains(QRectF(button->geometry()))) {
            return i + 1;
        }
    }
    return 0;
}

QString currentIdentifier(const MyWindowController& c) { return MyWindowController::pageIdentifier(c.tabView()->currentWidget()); }

int pageIndex(std::string_view identifier) {
    const auto& pages = tutorialPages();
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].identifier == identifier) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

/// The arrangement the buttons must have on a page: slots and visibility of
/// Finish, Continue and Go back, and whether Return finishes.
struct Expected {
    QList<int> slotNumbers;
    QList<bool> shown;
    bool returnFinishes;
};

Expected expectedFor(const QString& identifier) {
    if (identifier == "intro") return {{3, 1, 2}, {false, true, false}, false};
    if (identifier == "earlyexit") return {{2, 1, 3}, {true, true, true}, false};
    if (identifier == "conclusion") return {{1, 3, 2}, {true, false, true}, true};
    return {{3, 1, 2}, {false, true, true}, false};
}

void checkButtons(const MyWindowController& c) {
    const QString id = currentIdentifier(c);
    const Expected e = expectedFor(id);
    const QPushButton* buttons[] = {c.finishButton(), c.continueButton(), c.goBackButton()};
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(slotOf(buttons[i]) == e.slotNumbers[i], qPrintable(id + " " + buttons[i]->text()));
        QVERIFY2(buttons[i]->isVisible() == e.shown[i], qPrintable(id + " " + buttons[i]->text()));
    }
    QCOMPARE(c.finishButton()->shortcut() == QKeySequence(Qt::Key_Return), e.returnFinishes);
}

const char* const kAnimated[] = {"select1View", "windowView", "pattern2View", "patternView", "keyboard2View"};

} // namespace

class TutorialWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir pictures_;
    std::unique_ptr<MyWindowController> controller_;

    MyWindowController& shown() {
        controller_ = std::make_unique<MyWindowController>(pictures_.path());
        controller_->showWindow();
        QApplication::setActiveWindow(controller_->window());
        if (!QTest::qWaitForWindowActive(controller_->window())) {
            qWarning("window not active");
        }
        return *controller_;
    }

    void goTo(MyWindowController& c, int index) {
        while (c.tabView()->currentIndex() < index) {
            QTest::mouseClick(c.continueButton(), Qt::LeftButton);
        }
        while (c.tabView()->currentIndex() > index) {
            QTest::mouseClick(c.goBackButton(), Qt::LeftButton);
        }
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(pictures_.isValid());
        writePictures(pictures_.path());
        QApplication::setQuitOnLastWindowClosed(false); // the window itself must end the program
    }

    void cleanup() {
        if (controller_) {
            QTest::ignoreMessage(QtInfoMsg, "dealloc window controller");
            controller_.reset();
        }
    }

    // Forward through every page, then back to the first: each page entered
    // arranges the buttons for its kind, also on coming back. Return and Enter
    // finish on the last page only.
    void buttonsAndKeysFollowThePage() {
        MyWindowController& c = shown();
        QSignalSpy finished(c.finishButton(), &QPushButton::clicked);
        checkButtons(c); // the first page: Continue alone
        const int last = c.tabView()->count() - 1;
        for (int i = 1; i <= last; ++i) {
            QTest::mouseClick(c.continueButton(), Qt::LeftButton);
            QCOMPARE(c.tabView()->currentIndex(), i);
            checkButtons(c);
            if (QTest::currentTestFailed()) {
                return;
            }
        }
        QVERIFY(!c.continueButton()->isVisible()); // nowhere further to go
        for (int i = last - 1; i >= 0; --i) {
            QTest::mouseClick(c.goBackButton(), Qt::LeftButton);
            QCOMPARE(c.tabView()->currentIndex(), i);
            checkButtons(c); // including Return no longer finishing once off the last page
            if (QTest::currentTestFailed()) {
                return;
            }
            QTest::keyClick(c.window(), Qt::Key_Return);
            QTest::keyClick(c.window(), Qt::Key_Enter);
            QCOMPARE(c.tabView()->currentIndex(), i);
        }
        c.previousView();   // at the first page: nothing
        QCOMPARE(c.tabView()->currentIndex(), 0);
        QTest::qWait(250); // longer than a button's click animation
        QCOMPARE(finished.count(), 0);
        QVERIFY(c.window()->isVisible());
        goTo(c, last);
        QTest::keyClick(c.window(), Qt::Key_Enter);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 2000);
        QTRY_VERIFY(!c.window()->isVisible());
    }

    // Every plain page entered plays all five animations again from their first
    // frame, in their order; the intro, early-exit and last pages leave them be.
    void animationsRestartOnPlainPages() {
        MyWindowController& c = shown();
        QStringList restarted;
        for (const char* name : kAnimated) {
            QMovie* movie = c.imageView(name)->movie();
            QVERIFY2(movie && movie->state() == QMovie::Running, name);
            connect(movie, &QMovie::started, this, [&restarted, name] { restarted << name; });
        }
        const QStringList order{kAnimated[0], kAnimated[1], kAnimated[2], kAnimated[3], kAnimated[4]};

        const auto playOn = [&] {
            for (const char* name : kAnimated) {
                QTRY_VERIFY2(c.imageView(name)->movie()->currentFrameNumber() > 0, name);
            }
        };
        const auto enter = [&](std::string_view identifier, bool restarts) {
            playOn();
            restarted.clear();
            c.selectPage(pageIndex(identifier));
            QCOMPARE(restarted, restarts ? order : QStringList());
            if (restarts) {
                for (const char* name : kAnimated) {
                    QCOMPARE(c.imageView(name)->movie()->currentFrameNumber(), 0);
                    QCOMPARE(c.imageView(name)->movie()->state(), QMovie::Running);
                }
            }
        };
        enter("selection", true);
        enter("window", true);
        enter("selection", true); // coming back
        enter("earlyexit", false);
        enter("pattern", true);
        enter("conclusion", false);
        enter("keyboard", true);
        enter("intro", false);
    }

    void missingPicturesLeaveViewsEmpty() {
        QTemporaryDir empty;
        QTest::failOnWarning(QRegularExpression(".*"));
        controller_ = std::make_unique<MyWindowController>(empty.path());
        controller_->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(controller_->window()));
        for (const auto& picture : kPictures) {
            QVERIFY(!controller_->imageView(picture.view)->hasImage());
        }
        goTo(*controller_, pageIndex("pattern")); // restarting nothing is fine
        QCOMPARE(currentIdentifier(*controller_), QStringLiteral("pattern"));
        controller_->window()->grab(); // and drawing nothing
    }

    void pageTextsAreLoadedAndFit() {
        MyWindowController& c = shown();
        for (const auto& page : tutorialPages()) {
            PageTextView* view = c.textView(page.textView);
            QVERIFY(view);
            QVERIFY(view->runs() == parsePageMarkup(pageHtml(page.textView))->runs);
            QVERIFY2(view->parentWidget() == c.tabView()->widget(pageIndex(page.identifier)), std::string(page.identifier).c_str());
            // The page's text is not cut off at the bottom of its frame.
            QVERIFY2(view->heightForWidth(view->width()) <= view->height(), std::string(page.identifier).c_str());
        }
    }

    void noContextMenuAndNoSelection() {
        MyWindowController& c = shown();
        goTo(c, pageIndex("selection"));
        PageTextView* text = c.selectionWebView();
        const QImage before = text->grab().toImage();
        QTest::mouseClick(text, Qt::RightButton, {}, QPoint(60, 30));
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(60, 30), text->mapToGlobal(QPoint(60, 30)));
        QApplication::sendEvent(text, &menu);
        QTest::qWait(50);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY(!(qobject_cast<QMenu*>(w) && w->isVisible()));
        }
        QVERIFY(!QApplication::activePopupWidget());

        // Dragging across the words and double-clicking one selects nothing.
        QTest::mousePress(text, Qt::LeftButton, {}, QPoint(22, 30));
        QTest::mouseMove(text, QPoint(300, 50));
        QTest::mouseRelease(text, Qt::LeftButton, {}, QPoint(300, 50));
        QTest::mouseDClick(text, Qt::LeftButton, {}, QPoint(40, 30));
        QCOMPARE(text->grab().toImage(), before);
    }

    // Closing the window, by Finish or otherwise, ends the program's event loop.
    void closingEndsTheProgram_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("byFinish");
        QTest::addRow("intro") << pageIndex("intro") << false;
        QTest::addRow("selection") << pageIndex("selection") << false;
        QTest::addRow("earlyexit, Finish") << pageIndex("earlyexit") << true;
        QTest::addRow("conclusion, Finish") << pageIndex("conclusion") << true;
    }
    void closingEndsTheProgram() {
        QFETCH(int, page);
        QFETCH(bool, byFinish);
        MyWindowController& c = shown();
        goTo(c, page);
        QTimer::singleShot(0, &c, [&c, byFinish] {
            if (byFinish) {
                c.finishButton()->click();
            } else {
                c.window()->close();
            }
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
        watchdog.start(2000);
        QCOMPARE(QApplication::exec(), 0);
    }

    void delegateOpensOneTutorial() {
        qputenv("DIMWELL_RESOURCES", pictures_.path().toUtf8());
        DimwellHelpAppDelegate delegate;
        QVERIFY(!delegate.mywindowcontroller());
        delegate.applicationDidFinishLaunching();
        MyWindowController* first = delegate.mywindowcontroller();
        QVERIFY(first && first->window()->isVisible());
        QCOMPARE(first->mydelegate(), &delegate);
        QVERIFY(first->select1View()->hasImage()); // pictures from $DIMWELL_RESOURCES
        if (QGuiApplication::platformName() == "offscreen") {
            QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        }
        delegate.openTutorial(); // the open window comes to the front again
        QCOMPARE(delegate.mywindowcontroller(), first);
        QTest::ignoreMessage(QtInfoMsg, "dealloc window controller");
        delegate.nilOutController();
        QVERIFY(!delegate.mywindowcontroller());
        qunsetenv("DIMWELL_RESOURCES");
    }
};

QTEST_MAIN(TutorialWindowTest)
#include "tst_tutorialwindow.moc"
