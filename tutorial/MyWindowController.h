#pragma once
// The tutorial window and its pages: texts and pictures on a stack of pages,
// Continue, Go back and Finish below them. Each page entry rearranges the
// buttons for that page; closing the window ends the program.

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <string_view>

class QPushButton;
class QStackedWidget;
class QWidget;

namespace dimwell {

class ImageView;
class PageTextView;
class WindowControllerDelegate;

class MyWindowController : public QObject {
    Q_OBJECT
public:
    /// Builds the window "TutorialWindow" with its pictures from `resourceDir`.
    explicit MyWindowController(const QString& resourceDir);
    ~MyWindowController() override;

    QWidget* window() const { return window_.get(); }
    void showWindow();

    /// Continue: the next page, if there is one.
    void nextView();
    /// Go back: the previous page, if there is one.
    void previousView();
    /// Shows page `index` after arranging the window for it.
    void selectPage(int index);
    /// Called before any page is shown: buttons, Finish's key and animations for `page`.
    void tabViewWillSelect(QWidget* page);
    /// The window is about to close, for whatever reason: the program ends.
    void windowWillClose();

    /// The identifier of a page of the tab view ("intro", "earlyexit", ...).
    static QString pageIdentifier(const QWidget* page);

    WindowControllerDelegate* mydelegate() const { return mydelegate_; }
    void setMydelegate(WindowControllerDelegate* delegate) { mydelegate_ = delegate; }

    PageTextView* selectionWebView() const { return textView("selectionWebView"); }
    PageTextView* windowWebView() const { return textView("windowWebView"); }
    PageTextView* earlyExitWebView() const { return textView("earlyExitWebView"); }
    PageTextView* patternWebView() const { return textView("patternWebView"); }
    PageTextView* pattern2WebView() const { return textView("pattern2WebView"); }
    PageTextView* viewWebView() const { return textView("viewWebView"); }
    PageTextView* closeWebView() const { return textView("closeWebView"); }
    PageTextView* introWebView() const { return textView("introWebView"); }
    PageTextView* concWebView() const { return textView("concWebView"); }
    PageTextView* keyboardWebView() const { return textView("keyboardWebView"); }
    /// A page text view by its name; nullptr for an unknown name.
    PageTextView* textView(std::string_view name) const;

    QStackedWidget* tabView() const { return tabView_; }
    QPushButton* continueButton() const { return continueButton_; }
    QPushButton* finishButton() const { return finishButton_; }
    QPushButton* goBackButton() const { return goBackButton_; }

    ImageView* prefImageView() const { return imageView("prefImageView"); }
    ImageView* select1View() const { return imageView("select1View"); }
    ImageView* select2View() const { return imageView("select2View"); }
    ImageView* view1View() const { return imageView("view1View"); }
    ImageView* view2View() const { return imageView("view2View"); }
    ImageView* patternView() const { return imageView("patternView"); }
    ImageView* pattern1bView() const { return imageView("pattern1bView"); }
    ImageView* pattern2View() const { return imageView("pattern2View"); }
    ImageView* pattern2bView() const { return imageView("pattern2bView"); }
    ImageView* clickoutView() const { return imageView("clickoutView"); }
    ImageView* windowView() const { return imageView("windowView"); }
    ImageView* window2View() const { return imageView("window2View"); }
    ImageView* keyboard1View() const { return imageView("keyboard1View"); }
    ImageView* keyboard2View() const { return imageView("keyboard2View"); }
    ImageView* conclusionView() const { return imageView("conclusionView"); }
    ImageView* tutbackgroundView() const { return imageView("tutbackgroundView"); }
    /// An image view by its name; nullptr for an unknown name.
    ImageView* imageView(std::string_view name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void applyButtonLayout(std::string_view pageIdentifier);

    WindowControllerDelegate* mydelegate_ = nullptr;
    std::unique_ptr<QWidget> window_;
    QStackedWidget* tabView_ = nullptr;
    QPushButton* continueButton_ = nullptr;
    QPushButton* finishButton_ = nullptr;
    QPushButton* goBackButton_ = nullptr;
    // Views live in the window's widget tree; these only find them by name.
    std::map<std::string, PageTextView*, std::less<>> textViews_;
    std::map<std::string, ImageView*, std::less<>> imageViews_;
};

} // namespace dimwell
