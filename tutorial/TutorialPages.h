#pragma once
// What the tutorial shows and how its window is arranged: the page texts, the
// pictures, the pages in order with what sits where, and the navigation
// buttons' arrangement per page. Free of any toolkit; the window is built from it.

#include "common/Geometry.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace dimwell {

/// Style of the div each page text consists of.
inline constexpr std::string_view kPageTextStyle =
    "font-family:Lucida Grande; margin:20px; font-size:13px; line-height:19px";

/// Style of a key cap inside a page text.
inline constexpr std::string_view kKeyCapStyle =
    "border-radius: 3px; border: 1px solid black; background: #ffffff; "
    "padding: 0 0.4em 0.1em 0.4em; font-size: 0.85em; white-space: nowrap;";

/// The HTML of a page text view ("introWebView" ... "keyboardWebView"); empty for an unknown name.
std::string pageHtml(std::string_view textView);

/// The ten page text views, in the order the window loads them.
inline constexpr std::array<std::string_view, 10> kTextViewsInLoadOrder = {
    "introWebView",   "concWebView",    "selectionWebView", "windowWebView",   "closeWebView",
    "earlyExitWebView", "patternWebView", "pattern2WebView",  "keyboardWebView", "viewWebView",
};

struct PictureFile {
    std::string_view view; ///< image view name
    std::string_view file; ///< file in the resource folder
};

/// The fifteen pictures loaded into their image views when the window is made.
inline constexpr std::array<PictureFile, 15> kPictures = {{
    {"select1View", "selectionmode-animated.gif"},
    {"select2View", "selectionmode-drop.png"},
    {"windowView", "windowmode-animated.gif"},
    {"window2View", "windowmode-drop.png"},
    {"view1View", "viewmode1.png"},
    {"view2View", "viewmode2.png"},
    {"clickoutView", "clickout.png"},
    {"patternView", "patternmode1-animated.gif"},
    {"pattern1bView", "patternmode1-drop.png"},
    {"pattern2View", "patternmode2-animated.gif"},
    {"pattern2bView", "patternmode2-drop.png"},
    {"keyboard1View", "keyboard-drop.gif"},
    {"keyboard2View", "keyboard-animated.gif"},
    {"conclusionView", "help.png"},
    {"tutbackgroundView", "tutbackground.png"},
}};

/// The picture of the settings window on the early-exit page, part of the window's own layout.
inline constexpr PictureFile kPrefPicture = {"prefImageView", "preferences.png"};

/// Animated pictures, restarted in this order whenever a plain page is entered.
inline constexpr std::array<std::string_view, 5> kAnimatedViewsInRestartOrder = {
    "select1View", "windowView", "pattern2View", "patternView", "keyboard2View",
};

/// The window's content size in points.
inline constexpr Size kTutorialWindowSize = {580.0, 420.0};

/// Button slots, window coordinates with the origin bottom-left.
inline constexpr Rect rectOne = {470.0, 12.0, 97.0, 32.0};
inline constexpr Rect rectTwo = {374.0, 12.0, 97.0, 32.0};
inline constexpr Rect rectThree = {278.0, 12.0, 97.0, 32.0};

/// The area the pages take, top-left coordinates: everything above the buttons.
inline constexpr Rect kPageArea = {0.0, 0.0, 580.0, 368.0};

struct PagePicture {
    std::string_view view;
    Rect frame; ///< top-left coordinates inside the page area
};

struct TutorialPage {
    std::string_view identifier;
    std::string_view textView;
    Rect textFrame; ///< top-left coordinates inside the page area
    std::vector<PagePicture> pictures;
};

/// The pages in the order Continue walks them: "intro" first, "conclusion" last.
const std::vector<TutorialPage>& tutorialPages();

struct ButtonPlacement {
    Rect frame; ///< window coordinates, origin bottom-left
    bool hidden = false;
    friend bool operator==(const ButtonPlacement&, const ButtonPlacement&) = default;
};

struct ButtonLayout {
    ButtonPlacement finish;
    ButtonPlacement next; ///< Continue
    ButtonPlacement goBack;
    std::string finishKeyEquivalent; ///< "\r" for Return, "" for none
    bool restartAnimations = false;
};

/// How the buttons stand while the page with this identifier is shown.
ButtonLayout buttonLayoutFor(std::string_view pageIdentifier);

} // namespace dimwell
