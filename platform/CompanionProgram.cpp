#include "CompanionProgram.h"

#include <QCoreApplication>
#include <QDir>

namespace orvelle::platform {

QString CompanionProgram(const QString& baseName) {
#ifdef Q_OS_WIN
    const QString name = baseName + QStringLiteral(".exe");
#else
    const QString& name = baseName;
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

} // namespace orvelle::platform
