// The floor the idle figure holds Dimwell to: a Qt Widgets program that sits in
// the tray with a menu, and does nothing else. Its icon comes from the file
// given (a tray program loads its picture from somewhere), or is a grey square.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QPixmap pixels(22, 22);
    pixels.fill(Qt::gray);
    const QIcon icon = argc > 1 ? QIcon(QString::fromLocal8Bit(argv[1])) : QIcon(pixels);
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    QSystemTrayIcon tray{icon};
    tray.setContextMenu(&menu);
    tray.show();
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
