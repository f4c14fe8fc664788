#include "IndexHealth.h"

#include <QDir>
#include <QFileInfo>

#include <string_view>

namespace orvelle::search {

bool IsDamage(const Xapian::Error& error) {
    // Xapian's errors are told apart by their type's name (they have no virtual functions).
    const std::string_view type = error.get_type();
    return type == "DatabaseError" || type == "DatabaseCorruptError" ||
           type == "DatabaseOpeningError" || type == "DatabaseVersionError";
}

QString SetAsideDamagedIndex(const QString& folder) {
    if (!QFileInfo::exists(folder)) {
        return {};
    }
    QString aside = folder + QStringLiteral(".damaged");
    QDir(aside).removeRecursively();
    if (QDir().rename(folder, aside)) {
        return aside;
    }
    QDir(folder).removeRecursively();
    return {};
}

} // namespace orvelle::search
