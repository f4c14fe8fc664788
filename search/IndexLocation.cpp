#include "IndexLocation.h"

#include "db/Errors.h"
#include "platform/NativeFileName.h"
#include "store/CacheLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace orvelle::search {

namespace {

// True when a file can be created (and removed) in `folder`, which is made first if needed.
bool CanWriteIn(const QString& folder) {
    if (!QDir().mkpath(folder)) {
        return false;
    }
    QFile probe(QDir(folder).filePath(QStringLiteral(".write-probe")));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool written = probe.write("1", 1) == 1;
    probe.close();
    probe.remove();
    return written;
}

} // namespace

QString DefaultIndexRoot() {
    // Beside the private copies of the libraries, whichever program asks: the viewer and
    // orvelle-export share their indexes, and the cache's upkeep finds them by the library's key
    // (store/CacheLayout.h).
    try {
        return platform::FromNativeFileName(store::IndexesFolder());
    } catch (const db::Exception&) {
        return QString(); // no cache folder: a temporary index
    }
}

QString LibraryIdentity(const std::string& databaseName) {
    return QString::fromStdString(store::LibraryKey(databaseName));
}

IndexPlace ChooseIndexPlace(const QString& root, const std::string& databaseName) {
    IndexPlace place;
    const QString folder = QDir(root).filePath(LibraryIdentity(databaseName));
    if (!root.isEmpty() && CanWriteIn(folder)) {
        place.folder = folder;
        return place;
    }
    place.problem = QStringLiteral("Папка индекса недоступна для записи: %1").arg(folder);
    auto temporary = std::make_shared<QTemporaryDir>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("orvelle-index-XXXXXX")));
    if (temporary->isValid()) {
        place.folder = temporary->path();
        place.temporary = std::move(temporary);
        place.problem += QStringLiteral("; индекс живёт до закрытия библиотеки");
    }
    return place;
}

} // namespace orvelle::search
