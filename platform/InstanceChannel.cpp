#include "InstanceChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#ifdef Q_OS_WIN
#include <QtGlobal>
#else
#include <unistd.h>
#endif

namespace orvelle::platform {

namespace {

constexpr char kAcknowledgement = '1';

} // namespace

QString InstanceChannel::DefaultName() {
#ifdef Q_OS_WIN
    // A named pipe; the user's name keeps users of one machine apart.
    return QStringLiteral("orvelle-viewer-") + qEnvironmentVariable("USERNAME");
#else
    // In the user's own runtime folder where there is one, else in the temporary folder under a
    // name with the user's id.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable()) {
        return QDir(runtime).filePath(QStringLiteral("orvelle-viewer"));
    }
    return QDir(QDir::tempPath()).filePath(QStringLiteral("orvelle-viewer-%1").arg(getuid()));
#endif
}

InstanceChannel::InstanceChannel(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::Listen() {
    if (server_) {
        return true;
    }
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name_)) {
        // A name nobody answers on is what a program that ended abruptly leaves behind.
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(1000)) {
            delete server;
            return false;
        }
        QLocalServer::removeServer(name_);
        if (!server->listen(name_)) {
            delete server;
            return false;
        }
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::Accept);
    return true;
}

void InstanceChannel::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        // A message ends with a zero byte; it is acknowledged once it is whole.
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kLargestMessage) {
                socket->abort();
                return;
            }
            const qsizetype end = buffer->indexOf('\0');
            if (end < 0) {
                return;
            }
            const QByteArray message = buffer->left(end);
            buffer->clear();
            socket->write(&kAcknowledgement, 1);
            socket->flush();
            socket->disconnectFromServer();
            emit Received(message);
        });
    }
}

bool InstanceChannel::Send(const QByteArray& message, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(qMin(timeoutMs, 2000))) {
        return false;
    }
    socket.write(message);
    socket.write("\0", 1);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kAcknowledgement;
}

} // namespace orvelle::platform
