#pragma once

#include <QLocale>
#include <QStringList>

class QCoreApplication;

namespace orvelle::platform {

// Installs Qt's own translations for the locale (the user's by default), so that Qt's dialogs
// (open file, print, page setup, the preview) speak the program's language: qtbase and
// qtwebengine, from the folder Qt was installed with (on Debian the qt6-translations-l10n
// package). Returns the catalogues it installed; a locale Qt has no translation for installs
// none and Qt's dialogs stay in English.
QStringList InstallQtTranslations(QCoreApplication& application, const QLocale& locale = {});

} // namespace orvelle::platform
