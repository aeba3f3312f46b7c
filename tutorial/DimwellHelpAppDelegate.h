#pragma once
// The tutorial program's application object: opens the tutorial once launched.

#include "tutorial/WindowControllerDelegate.h"

#include <memory>

class QWidget;

namespace dimwell {

class MyWindowController;

class DimwellHelpAppDelegate : public WindowControllerDelegate {
public:
    DimwellHelpAppDelegate();
    ~DimwellHelpAppDelegate() override;

    void applicationDidFinishLaunching();
    /// Shows the tutorial, making its window the first time, ahead of every other program.
    void openTutorial();
    void nilOutController() override;

    QWidget* window() const { return window_; }
    void setWindow(QWidget* window) { window_ = window; }
    MyWindowController* mywindowcontroller() const { return mywindowcontroller_.get(); }

private:
    QWidget* window_ = nullptr;
    std::unique_ptr<MyWindowController> mywindowcontroller_;
};

} // namespace dimwell
