#include "PageProcess.h"

#include <QFile>

#include <csignal>
#include <sys/types.h>

namespace orvelle::viewer::pageprocess {

qint64 ResidentBytes(qint64 pid) {
    if (pid <= 0)
        return -1;
    // "VmRSS:   123456 kB" in /proc/PID/status (Linux).
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (int i = 0; i < 64 && !status.atEnd(); ++i) {
        const QByteArray line = status.readLine(256);
        if (!line.startsWith("VmRSS:"))
            continue;
        bool ok = false;
        const qint64 kilobytes = line.mid(6).trimmed().split(' ').value(0).toLongLong(&ok);
        return ok ? kilobytes * 1024 : -1;
    }
    return -1;
}

bool End(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

} // namespace orvelle::viewer::pageprocess
