#include "PrepareEngine.h"

#include <QByteArray>
#include <QCoreApplication>

#if defined(Q_OS_LINUX)
#include <unistd.h>
#endif

namespace orvelle::viewer {

void PrepareEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#if defined(Q_OS_LINUX)
    if (geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox")) {
            flags = flags.isEmpty() ? QByteArray("--no-sandbox") : flags + " --no-sandbox";
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
    }
#endif
}

} // namespace orvelle::viewer
