#include "TerminationSignals.h"

#include <QCoreApplication>

#ifndef _WIN32
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace orvelle::platform {

#ifdef _WIN32

void QuitOnTerminationSignals(QCoreApplication&) {}

bool TerminationRequested() {
    return false;
}

#else

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t requested = 0;

// Only async-signal-safe work here: the flag, and one byte into the pipe read on the GUI
// thread.
void OnSignal(int) {
    const int savedErrno = errno;
    requested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

// Non-blocking, so a burst of signals never blocks the handler on a full socket, and
// close-on-exec, so no program started from here holds the pair.
bool PrepareEnd(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(descriptor, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

void QuitOnTerminationSignals(QCoreApplication& application) {
    if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    if (!PrepareEnd(signalPipe[0]) || !PrepareEnd(signalPipe[1])) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application, [notifier] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

bool TerminationRequested() {
    return requested != 0;
}

#endif

} // namespace orvelle::platform
