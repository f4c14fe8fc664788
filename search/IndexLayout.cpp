#include "IndexLayout.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <chrono>
#include <thread>

namespace orvelle::search {

namespace {

constexpr const char* kStubName = "XAPIANDB";
constexpr auto kLockWait = std::chrono::seconds(10);

QString ShardName(int shard) {
    return QStringLiteral("shard-%1").arg(shard);
}

void WriteStub(const QString& folder, int shards) {
    QByteArray stub;
    for (int shard = 0; shard < shards; ++shard) {
        stub += "glass " + ShardName(shard).toUtf8() + '\n';
    }
    QSaveFile file(QDir(folder).filePath(QString::fromLatin1(kStubName)));
    if (!file.open(QIODevice::WriteOnly) || file.write(stub) != stub.size() || !file.commit()) {
        throw Xapian::DatabaseCreateError("cannot write " + file.fileName().toStdString());
    }
}

// Everything in the folder goes: what an index of another layout left.
void Empty(const QString& folder) {
    QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString path = dir.filePath(name);
        if (!QDir(path).removeRecursively()) {
            QFile::remove(path);
        }
    }
}

Xapian::WritableDatabase OpenWaiting(const std::string& path, int flags,
                                     const std::atomic<bool>& cancel) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        try {
            return Xapian::WritableDatabase(path, flags);
        } catch (const Xapian::DatabaseLockError&) {
            if (cancel || std::chrono::steady_clock::now() > deadline) {
                throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

} // namespace

int ShardCount(const QString& folder) {
    QFile stub(QDir(folder).filePath(QString::fromLatin1(kStubName)));
    if (!stub.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return static_cast<int>(stub.readAll().count('\n'));
}

std::string ShardPath(const QString& folder, int shard) {
    return QDir(folder).filePath(ShardName(shard)).toStdString();
}

int ShardOf(std::int32_t id, int shards) {
    return static_cast<int>(static_cast<std::uint32_t>(id) % static_cast<std::uint32_t>(shards));
}

std::vector<Xapian::WritableDatabase> OpenShards(const QString& folder, int shards, int flags,
                                                 const std::atomic<bool>& cancel) {
    int count = ShardCount(folder);
    if (count == 0) {
        // The stub first: another builder of the same index then waits for these shards.
        QDir().mkpath(folder);
        Empty(folder);
        count = shards;
        WriteStub(folder, count);
    }
    std::vector<Xapian::WritableDatabase> opened;
    opened.reserve(static_cast<std::size_t>(count));
    for (int shard = 0; shard < count; ++shard) {
        opened.push_back(
            OpenWaiting(ShardPath(folder, shard), flags | Xapian::DB_CREATE_OR_OPEN, cancel));
    }
    return opened;
}

} // namespace orvelle::search
