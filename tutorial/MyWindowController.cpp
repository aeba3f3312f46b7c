#include "tutorial/MyWindowController.h"

#include "tutorial/ImageView.h"
#include "tutorial/PageTextView.h"
#include "tutorial/TutorialPages.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QWidget>
#include <QtGlobal>

#include <cmath>

namespace dimwell {
namespace {

const char* const kIdentifierProperty = "identifier";

QRect toQRect(const Rect& r) {
    return QRect(static_cast<int>(std::lround(r.x)), static_cast<int>(std::lround(r.y)),
                 static_cast<int>(std::lround(r.width)), static_cast<int>(std::lround(r.height)));
}

/// A button slot includes a margin around the visible button: side by side,
/// the slots touch and the buttons keep their distance.
constexpr QMargins kBezelInset(6, 4, 6, 4);

/// A frame in window coordinates (origin bottom-left) as a widget geometry.
QRect slotGeometry(const Rect& frame) { return toQRect(cocoaToTopLeft(frame, kTutorialWindowSize.height)); }

void place(QPushButton* button, const ButtonPlacement& placement) {
    button->setGeometry(slotGeometry(placement.frame).marginsRemoved(kBezelInset));
    button->setHidden(placement.hidden);
}

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

MyWindowController::MyWindowController(const QString& resourceDir) {
    buildWindow();
    window_->installEventFilter(this);

    const QDir dir(resourceDir);
    // The settings window's picture belongs to the window's own layout, the others are loaded by name.
    for (const auto& picture : kPictures) {
        if (ImageView* view = imageView(picture.view)) {
            view->setImageFile(dir.filePath(toQString(picture.file)));
        }
    }
    if (ImageView* view = prefImageView()) {
        view->setImageFile(dir.filePath(toQString(kPrefPicture.file)));
    }

    for (const auto name : kTextViewsInLoadOrder) {
        if (PageTextView* view = textView(name)) {
            view->loadHTMLString(pageHtml(name));
        }
    }

    finishButton_->setHidden(true);
    continueButton_->setHidden(false);
    goBackButton_->setHidden(true);
}

MyWindowController::~MyWindowController() {
    if (window_) {
        window_->removeEventFilter(this);
        window_.reset();
    }
    qInfo("dealloc window controller");
}

void MyWindowController::buildWindow() {
    window_ = std::make_unique<QWidget>();
    window_->setObjectName(QStringLiteral("TutorialWindow"));
    window_->setWindowTitle(QStringLiteral("Dimwell Tutorial"));
    window_->setFixedSize(static_cast<int>(kTutorialWindowSize.width), static_cast<int>(kTutorialWindowSize.height));

    auto* background = new ImageView(window_.get());
    background->setGeometry(0, 0, window_->width(), window_->height());
    imageViews_.emplace("tutbackgroundView", background);

    tabView_ = new QStackedWidget(window_.get());
    tabView_->setGeometry(toQRect(kPageArea));
    for (const auto& entry : tutorialPages()) {
        auto* page = new QWidget(tabView_);
        page->setProperty(kIdentifierProperty, toQString(entry.identifier));
        auto* text = new PageTextView(page);
        text->setGeometry(toQRect(entry.textFrame));
        textViews_.emplace(std::string(entry.textView), text);
        for (const auto& picture : entry.pictures) {
            auto* view = new ImageView(page);
            view->setGeometry(toQRect(picture.frame));
            imageViews_.emplace(std::string(picture.view), view);
        }
        tabView_->addWidget(page);
    }

    // The buttons start where the first page wants them.
    const ButtonLayout first = buttonLayoutFor(tutorialPages().front().identifier);
    const auto makeButton = [this](const char* title, const ButtonPlacement& placement) {
        auto* button = new QPushButton(QCoreApplication::translate("TutorialWindow", title), window_.get());
        button->setAutoDefault(false);
        place(button, placement);
        return button;
    };
    continueButton_ = makeButton("Continue", first.next);
    goBackButton_ = makeButton("Go back", first.goBack);
    finishButton_ = makeButton("Finish", first.finish);

    // The keypad's Enter counts as Return, as for any default button.
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Enter), finishButton_);
    enter->setEnabled(false);
    connect(enter, &QShortcut::activated, finishButton_, [this] { finishButton_->animateClick(); });

    connect(continueButton_, &QPushButton::clicked, this, &MyWindowController::nextView);
    connect(goBackButton_, &QPushButton::clicked, this, &MyWindowController::previousView);
    connect(finishButton_, &QPushButton::clicked, window_.get(), &QWidget::close);
}

void MyWindowController::showWindow() {
    if (window_->isVisible()) {
        window_->raise(); // a window being mapped comes up on top anyway
    }
    window_->show();
    window_->activateWindow();
}

void MyWindowController::nextView() { selectPage(tabView_->currentIndex() + 1); }

void MyWindowController::previousView() { selectPage(tabView_->currentIndex() - 1); }

void MyWindowController::selectPage(int index) {
    if (index < 0 || index >= tabView_->count() || index == tabView_->currentIndex()) {
        return;
    }
    QWidget* page = tabView_->widget(index);
    tabViewWillSelect(page);
    tabView_->setCurrentWidget(page);
}

void MyWindowController::tabViewWillSelect(QWidget* page) {
    const QByteArray identifier = pageIdentifier(page).toUtf8();
    applyButtonLayout(std::string_view(identifier.constData(), static_cast<size_t>(identifier.size())));
}

void MyWindowController::applyButtonLayout(std::string_view identifier) {
    const ButtonLayout layout = buttonLayoutFor(identifier);
    place(finishButton_, layout.finish);
    place(continueButton_, layout.next);
    place(goBackButton_, layout.goBack);

    const bool returnFinishes = layout.finishKeyEquivalent == "\r";
    finishButton_->setShortcut(returnFinishes ? QKeySequence(Qt::Key_Return) : QKeySequence());
    for (auto* shortcut : finishButton_->findChildren<QShortcut*>()) {
        shortcut->setEnabled(returnFinishes);
    }

    if (layout.restartAnimations) {
        for (const auto name : kAnimatedViewsInRestartOrder) {
            if (ImageView* view = imageView(name)) {
                view->setAnimates(false);
                view->setAnimates(true);
            }
        }
    }
}

void MyWindowController::windowWillClose() { QCoreApplication::quit(); }

bool MyWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.get() && event->type() == QEvent::Close) {
        windowWillClose();
    }
    return QObject::eventFilter(watched, event);
}

QString MyWindowController::pageIdentifier(const QWidget* page) {
    return page ? page->property(kIdentifierProperty).toString() : QString();
}

PageTextView* MyWindowController::textView(std::string_view name) const {
    const auto it = textViews_.find(name);
    return it != textViews_.end() ? it->second : nullptr;
}

ImageView* MyWindowController::imageView(std::string_view name) const {
    const auto it = imageViews_.find(name);
    return it != imageViews_.end() ? it->second : nullptr;
}

} // namespace dimwell
