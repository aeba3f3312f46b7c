#include "tutorial/TutorialPages.h"

namespace dimwell {
namespace {

std::string keyCap(std::string_view key) {
    return "<span style=\"" + std::string(kKeyCapStyle) + "\">" + std::string(key) + "</span>";
}

std::string pageDiv(const std::string& inner) {
    return "<div style=\"" + std::string(kPageTextStyle) + "\">" + inner + "</div>";
}

std::string innerText(std::string_view textView) {
    if (textView == "introWebView") {
        return "Welcome to Dimwell. Dimwell is designed to aid your concentration by hiding distractions from your "
               "screen. To learn how to use Dimwell, please take a few minutes to review this tutorial. If you would "
               "prefer to begin using the app now, you may skip the tutorial by closing this window.";
    }
    if (textView == "selectionWebView") {
        return "<b>Selection mode</b> is a versatile tool that allows you to highlight any part of the screen. Press " +
               keyCap("Z") + " while holding down " + keyCap("Shift") + " and " + keyCap("Control") +
               " to trigger selection mode, then click and drag across the screen in any direction to make your "
               "selection.";
    }
    if (textView == "windowWebView") {
        return "<b>Window mode</b> allows you to highlight a single window. To use it, point your cursor at a window "
               "you want to isolate and press " +
               keyCap("X") + " while holding down " + keyCap("Shift") + " and " + keyCap("Control") +
               ". The window does not need to be selected; triggering window mode will automatically bring it to "
               "front.";
    }
    if (textView == "closeWebView") {
        return "To <b>close</b> a highlight so you can see all of your desktop unobstructed, press " + keyCap("A") +
               " while holding down " + keyCap("Shift") + " and " + keyCap("Control") +
               " or simply click anywhere outside the highlighted area of the screen.";
    }
    if (textView == "earlyExitWebView") {
        return "You should now be ready to use the app. Note that you may change shortcuts at any time in the "
               "preferences menu. To learn about more advanced features of Dimwell, press Continue. Or just hit "
               "<b>Finish</b> to begin using the app.";
    }
    if (textView == "patternWebView") {
        return "<b>Pattern mode</b> uses a border detection algorithm to isolate a <i>part</i> of a window. Pattern "
               "mode can be tricky to grasp at first, but is a powerful tool once you master it.";
    }
    if (textView == "pattern2WebView") {
        return "To <b>apply</b> pattern mode, point your cursor at an object of interest or a part of a window you "
               "want to highlight and press " +
               keyCap("C") + " while holding down " + keyCap("Shift") + " and " + keyCap("Control") +
               ". Pattern mode can be especially useful for isolating video windows, images, or columns of text on "
               "websites.";
    }
    if (textView == "viewWebView") {
        return "<b>View mode</b> allows you to isolate a view within an application. A Mac application typically "
               "consists of two or more views inside a window &mdash; a main area and a sidebar, for example, or a "
               "browser area and a navigation bar.<br/><br/>In order to use view mode, point your cursor at a view "
               "and press " +
               keyCap("V") + " while holding down " + keyCap("Shift") + " and " + keyCap("Control") + ".";
    }
    if (textView == "keyboardWebView") {
        return "The keyboard shortcuts are conveniently grouped together to be easy to remember and access. The "
               "default shortcuts can be changed to keyboard combinations of your choice in Preferences.";
    }
    if (textView == "concWebView") {
        return "This concludes the tutorial. Should you need a refresher, you may access this tutorial at any time by "
               "clicking on the Dimwell menu icon and choosing Help.<br/><br/>Thank you for using Dimwell.";
    }
    return {};
}

// Frames inside the page area (580 x 368). The text runs the full width at the
// top, four lines at most (the view page: six); the pictures sit centred in
// the room below it, a pair side by side.
constexpr double kTextHeight = 120.0;
constexpr double kLongTextHeight = 158.0;
constexpr Size kPairPicture = {260.0, 195.0};
constexpr Size kSinglePicture = {440.0, 220.0};
constexpr double kPairLeft = (kPageArea.width - 2 * kPairPicture.width - 20.0) / 2;
constexpr double kPairRight = kPageArea.width - kPairLeft - kPairPicture.width;
constexpr double kPicturesBottom = kPageArea.height - 8.0;

/// Whole pixels, so that a picture made at its frame's size is drawn unscaled and sharp.
constexpr double centredTop(double textHeight, double pictureHeight) {
    return textHeight + static_cast<int>((kPicturesBottom - textHeight - pictureHeight) / 2);
}

std::vector<PagePicture> pair(std::string_view left, std::string_view right, double textHeight = kTextHeight) {
    const double top = centredTop(textHeight, kPairPicture.height);
    return {{left, {kPairLeft, top, kPairPicture.width, kPairPicture.height}},
            {right, {kPairRight, top, kPairPicture.width, kPairPicture.height}}};
}

std::vector<PagePicture> single(std::string_view view) {
    const double left = (kPageArea.width - kSinglePicture.width) / 2;
    return {{view, {left, centredTop(kTextHeight, kSinglePicture.height), kSinglePicture.width, kSinglePicture.height}}};
}

} // namespace

std::string pageHtml(std::string_view textView) {
    const std::string inner = innerText(textView);
    return inner.empty() ? std::string() : pageDiv(inner);
}

const std::vector<TutorialPage>& tutorialPages() {
    // The basics first, then the way out, then the advanced modes for those who stay.
    static const std::vector<TutorialPage> pages = {
        {"intro", "introWebView", {0, (kPageArea.height - kTextHeight) / 2, kPageArea.width, kTextHeight}, {}},
        {"selection", "selectionWebView", {0, 0, kPageArea.width, kTextHeight}, pair("select1View", "select2View")},
        {"window", "windowWebView", {0, 0, kPageArea.width, kTextHeight}, pair("windowView", "window2View")},
        {"close", "closeWebView", {0, 0, kPageArea.width, kTextHeight}, single("clickoutView")},
        {"earlyexit", "earlyExitWebView", {0, 0, kPageArea.width, kTextHeight}, single(kPrefPicture.view)},
        {"pattern", "patternWebView", {0, 0, kPageArea.width, kTextHeight}, pair("patternView", "pattern1bView")},
        {"pattern2", "pattern2WebView", {0, 0, kPageArea.width, kTextHeight}, pair("pattern2View", "pattern2bView")},
        {"view", "viewWebView", {0, 0, kPageArea.width, kLongTextHeight}, pair("view1View", "view2View", kLongTextHeight)},
        {"keyboard", "keyboardWebView", {0, 0, kPageArea.width, kTextHeight}, pair("keyboard2View", "keyboard1View")},
        {"conclusion", "concWebView", {0, 0, kPageArea.width, kTextHeight}, single("conclusionView")},
    };
    return pages;
}

ButtonLayout buttonLayoutFor(std::string_view pageIdentifier) {
    if (pageIdentifier == "intro") {
        return {{rectThree, true}, {rectOne, false}, {rectTwo, true}, "", false};
    }
    if (pageIdentifier == "earlyexit") {
        return {{rectTwo, false}, {rectOne, false}, {rectThree, false}, "", false};
    }
    if (pageIdentifier == "conclusion") {
        return {{rectOne, false}, {rectThree, true}, {rectTwo, false}, "\r", false};
    }
    return {{rectThree, true}, {rectOne, false}, {rectTwo, false}, "", true};
}

} // namespace dimwell
