#include "platform/linux/session/QtAlerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

namespace dimwell::x11 {

bool QtAlerts::runCriticalAlert(const std::string& title, const std::string& message,
                                const std::string& defaultButton, const std::string& alternateButton) {
    // As an alert shows it: the title is the bold heading inside the box, the
    // message the text below it; the title bar names the program.
    QMessageBox box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QApplication::applicationDisplayName());
    // The texts come as plain sentences; never let a tag in them become markup.
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<b>%1</b>").arg(QString::fromStdString(title).toHtmlEscaped()));
    box.setInformativeText(Qt::convertFromPlainText(QString::fromStdString(message)));
    QPushButton* accept = box.addButton(QString::fromStdString(defaultButton), QMessageBox::AcceptRole);
    box.addButton(QString::fromStdString(alternateButton), QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

} // namespace dimwell::x11
