#include "LibrarySettings.h"

#include "ReadingSettings.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace orvelle::forms {

namespace {

// The settings key of a place: a hash of the file's canonical path, or of the name as given.
QString PlaceKey(const QString& databaseName) {
    const QFileInfo file(databaseName);
    const QString canonical = file.exists() ? file.canonicalFilePath() : databaseName;
    return QStringLiteral("Libraries/Places/") +
           QString::fromLatin1(
               QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex());
}

} // namespace

QString LibraryGroup(const QString& identity) {
    return QStringLiteral("Libraries/") + identity;
}

void RecordLibraryPlace(const QString& databaseName, const QString& identity) {
    if (identity.isEmpty() || databaseName.isEmpty()) {
        return;
    }
    QSettings settings = ReadingSettings();
    const QString key = PlaceKey(databaseName);
    const QString before = settings.value(key).toString();
    settings.setValue(key, identity);
    if (before.isEmpty() || before == identity) {
        return;
    }
    settings.beginGroup(LibraryGroup(identity));
    const bool kept = !settings.allKeys().isEmpty();
    settings.endGroup();
    if (kept) {
        return;
    }
    settings.beginGroup(LibraryGroup(before));
    const QStringList keys = settings.allKeys();
    settings.endGroup();
    for (const QString& name : keys) {
        settings.setValue(LibraryGroup(identity) + u'/' + name,
                          settings.value(LibraryGroup(before) + u'/' + name));
    }
}

} // namespace orvelle::forms
