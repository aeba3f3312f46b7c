// DimwellHelp: the paged tutorial. It runs until its window closes.

#include "tutorial/DimwellHelpAppDelegate.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DimwellHelp"));
    QApplication::setDesktopFileName(QStringLiteral("com.Orvalen.DimwellHelp"));

    dimwell::DimwellHelpAppDelegate delegate;
    QTimer::singleShot(0, &app, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return QApplication::exec();
}
