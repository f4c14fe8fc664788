#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

namespace orvelle::platform {

// A channel from a later start of the program to the one already running for the same user:
// a local socket (a Unix domain socket in the user's runtime folder, a named pipe on Windows)
// whose name the user alone can use. A message is a few kilobytes at most; the running program
// acknowledges it before it acts on it.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // The channel's name for this user.
    static QString DefaultName();

    explicit InstanceChannel(QString name = DefaultName(), QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Starts listening: true when this program is now the one others reach. A name left by a
    // program that ended without closing it is taken over; one that another running program
    // listens on is not.
    bool Listen();

    // Hands `message` to the program listening on the channel and waits (at most `timeoutMs`)
    // for its acknowledgement; false when no program listens or none answered.
    bool Send(const QByteArray& message, int timeoutMs = 10000) const;

    static constexpr qsizetype kLargestMessage = qsizetype{64} * 1024;

Q_SIGNALS:
    void Received(const QByteArray& message);

private:
    void Accept();

    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace orvelle::platform
