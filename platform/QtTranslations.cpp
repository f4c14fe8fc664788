#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace orvelle::platform {

QStringList InstallQtTranslations(QCoreApplication& application, const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QStringList installed;
    for (const char* catalogue : {"qtbase", "qtwebengine"}) {
        auto* translator = new QTranslator(&application);
        if (translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator)) {
            installed << translator->filePath();
        } else {
            delete translator;
        }
    }
    return installed;
}

} // namespace orvelle::platform
