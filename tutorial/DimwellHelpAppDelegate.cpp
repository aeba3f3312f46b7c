#include "tutorial/DimwellHelpAppDelegate.h"

#include "tutorial/MyWindowController.h"
#include "tutorial/ResourceDir.h"

namespace dimwell {

DimwellHelpAppDelegate::DimwellHelpAppDelegate() = default;

DimwellHelpAppDelegate::~DimwellHelpAppDelegate() = default;

void DimwellHelpAppDelegate::applicationDidFinishLaunching() { openTutorial(); }

void DimwellHelpAppDelegate::openTutorial() {
    if (!mywindowcontroller_) {
        mywindowcontroller_ = std::make_unique<MyWindowController>(tutorialResourceDir());
        mywindowcontroller_->setMydelegate(this);
    }
    mywindowcontroller_->showWindow();
}

void DimwellHelpAppDelegate::nilOutController() { mywindowcontroller_.reset(); }

} // namespace dimwell
