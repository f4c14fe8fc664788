// Qt's own translations: a Russian locale gives Qt's dialogs Russian texts.
#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QTest>

using namespace orvelle;

class TranslationsTest : public QObject {
    Q_OBJECT

private slots:
    void russianLocaleLoadsQtsOwnTranslations() {
        auto& application = *QCoreApplication::instance();
        const QString cancel = QStringLiteral("Cancel");
        // A locale Qt has no translation for leaves Qt's texts as they are.
        platform::InstallQtTranslations(application, QLocale(QLocale::Zulu, QLocale::SouthAfrica));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);

        const QStringList installed = platform::InstallQtTranslations(
            application, QLocale(QLocale::Russian, QLocale::Russia));
        QVERIFY2(installed.filter(QStringLiteral("qtbase_ru")).size() == 1,
                 qPrintable(installed.join(u' ')));
        // The standard buttons, the open-file and print dialogs.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
        QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:") !=
                QStringLiteral("Look in:"));
        QVERIFY(QCoreApplication::translate("QPrintDialog", "Print") != QStringLiteral("Print"));
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)

#include "tst_translations.moc"
