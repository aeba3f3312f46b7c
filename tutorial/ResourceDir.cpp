#include "tutorial/ResourceDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace dimwell {

QString tutorialResourceDir() {
    const QString fromEnvironment = qEnvironmentVariable("DIMWELL_RESOURCES");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    // Relative to the program first, so an installed tree works wherever it was unpacked.
    const QString besideProgram =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/" DIMWELL_RELATIVE_RESOURCES));
    for (const QString& dir : {besideProgram, QStringLiteral(DIMWELL_SOURCE_RESOURCES)}) {
        if (QFileInfo(dir).isDir()) {
            return dir;
        }
    }
    return QStringLiteral(DIMWELL_INSTALLED_RESOURCES);
}

} // namespace dimwell
