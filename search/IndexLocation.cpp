#include "IndexLocation.h"

#include "platform/NativeFileName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
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
    // Beside the private copies of the libraries (store/LibrarySnapshot), whichever program
    // asks: the viewer and orvelle-export share their indexes.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("orvelle/search"));
}

QString LibraryIdentity(const std::string& databaseName) {
    const QString name = platform::FromNativeFileName(databaseName);
    const QFileInfo file(name);
    const QString canonical = file.exists() ? file.canonicalFilePath() : name;
    return QString::fromLatin1(
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex());
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
