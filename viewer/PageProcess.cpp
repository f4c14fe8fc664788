#include "PageProcess.h"

#include <QFile>

#include <csignal>
#include <sys/types.h>

namespace orvelle::viewer::pageprocess {

qint64 ResidentBytes(qint64 pid) {
    if (pid <= 0) {
        return -1;
    }
    // "VmRSS:   123456 kB" in /proc/PID/status (Linux).
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // A /proc file tells no size: read what it has, a few kilobytes at most.
    const QByteArray text = status.read(16384);
    const qsizetype at = text.indexOf("\nVmRSS:");
    if (at < 0) {
        return -1;
    }
    const qsizetype end = text.indexOf('\n', at + 1);
    const QByteArray value = text.mid(at + 7, end < 0 ? -1 : end - at - 7).trimmed();
    bool ok = false;
    const qint64 kilobytes = value.split(' ').value(0).toLongLong(&ok);
    return ok ? kilobytes * 1024 : -1;
}

bool End(qint64 pid) {
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

} // namespace orvelle::viewer::pageprocess
