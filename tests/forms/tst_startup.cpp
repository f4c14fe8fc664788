// Finding and opening the database when the main window is created: the registry value,
// path.ini, the *.kvd entries of the current folder and the user's choice.
#include "BrokenRegister.h"
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "forms/ErrorDisplay.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"

#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include <filesystem>
#include <memory>

using namespace orvelle;
using formstest::RecordingDialogs;

namespace {

const QString kNotFound = QStringLiteral("Файл \\путь к базе данных не найден !");
const QString kOpenError = QStringLiteral("Cannot perform operation -- DB is currently open.");

// The tiny register as the tree shows it.
const QStringList kTinyTree = {
    QStringLiteral("D 6 Ёлка «№ 6»"),           QStringLiteral("D 1 Справка"),
    QStringLiteral("F 2 Нормативы и расценки"), QStringLiteral("  D 22 Раздел 2"),
    QStringLiteral("  F 23 Подпапка"),          QStringLiteral("    D 231 Глубокий документ"),
    QStringLiteral("  D 21 Раздел 1"),          QStringLiteral("F 5 "),
};

bool Connected() {
    return forms::CustomerData && forms::CustomerData->IBDatabase1.Connected();
}

QString DatabaseName() {
    return QString::fromStdString(forms::CustomerData->IBDatabase1.DatabaseName());
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    // Per case: a folder with dbs/ (databases), cwd/ (the current directory) and the registry.
    std::unique_ptr<fixtures::TempDir> folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;
    std::string good_, other_, broken_;

    QString Cwd() const { return QString::fromStdString((folder_->Path() / "cwd").string()); }
    QString PathIni() const { return Cwd() + QStringLiteral("/path.ini"); }
    void Registry(const std::string& text) {
        formstest::UseRegistry(folder_->File("machine.reg"), text);
    }
    void RegistryPath(const std::string& path) {
        Registry(formstest::RegistryText(formstest::PathValueLine(path)));
    }
    static std::string Missing() { return "/nonexistent/orvelle/none.kvd"; }
    void WritePathIni(const std::string& bytes) {
        fixtures::WriteFile(PathIni().toStdString(), bytes);
    }
    std::string ReadPathIni() const { return fixtures::ReadFile(PathIni().toStdString()); }

private slots:
    void initTestCase() {
        // The databases are built once; each case copies what it needs.
        static fixtures::TempDir store;
        good_ = store.File("good.kvd");
        other_ = store.File("other.kvd");
        broken_ = store.File("noidcontents.kvd");
        fixtures::BuildTinyRegister(good_);
        fixtures::BuildWideRegister(other_, 3);
        fixtures::BuildRegisterWithoutIdContents(broken_);
    }

    void init() {
        folder_ = std::make_unique<fixtures::TempDir>();
        std::filesystem::create_directory(folder_->Path() / "cwd");
        std::filesystem::create_directory(folder_->Path() / "dbs");
        cwd_ = std::make_unique<formstest::CurrentDirectory>(Cwd());
        dialogs_ = std::make_unique<RecordingDialogs>();
    }

    void cleanup() {
        dialogs_.reset();
        cwd_.reset();
        folder_.reset();
    }

    void validRegistryValueLoadsTheTree() {
        RegistryPath(good_);
        formstest::MainWindow window;
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), QString::fromStdString(good_));
        QVERIFY(forms::CustomerData->IBTransaction1.Active());
        QVERIFY(dialogs_->log.isEmpty());
        QVERIFY(!QFile::exists(PathIni()));
    }

    void emptyRegistryOpensNothing_data() {
        QTest::addColumn<QString>("registry");
        QTest::newRow("no file") << QString();
        QTest::newRow("no key") << QString::fromStdString(
            formstest::RegistryText(formstest::PathValueLine("/x.kvd"), false));
        QTest::newRow("no value") << QString::fromStdString(formstest::RegistryText(""));
        QTest::newRow("other value")
            << QString::fromStdString(formstest::RegistryText("\"DataBase\"=\"/x.kvd\""));
        QTest::newRow("empty value")
            << QString::fromStdString(formstest::RegistryText("\"DataBasePath\"=\"\""));
    }

    void emptyRegistryOpensNothing() {
        QFETCH(QString, registry);
        if (registry.isNull()) {
            forms::StartupSources::SetRegistryFile(
                QString::fromStdString(folder_->File("none.reg")));
        } else {
            Registry(registry.toStdString());
        }
        // path.ini is not consulted either.
        WritePathIni(good_ + "\r\n");
        formstest::MainWindow window;
        QVERIFY(!Connected());
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        QVERIFY(dialogs_->log.isEmpty());
        QCOMPARE(ReadPathIni(), good_ + "\r\n");
        QFile::remove(PathIni());
        formstest::MainWindow second;
        QVERIFY(!QFile::exists(PathIni()));
        QVERIFY(dialogs_->log.isEmpty());
    }

    void valueOfAnotherTypeIsReported() {
        Registry(formstest::RegistryText("\"DataBasePath\"=dword:00000001"));
        formstest::MainWindow window;
        QCOMPARE(dialogs_->messages.size(), 1);
        // A message ending in a quote (0x27, before ".") gets no full stop.
        QCOMPARE(dialogs_->messages[0].text,
                 QStringLiteral("Invalid data type for 'DataBasePath'"));
        QCOMPARE(dialogs_->messages[0].caption, forms::ApplicationTitle());
        QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::Error);
        QVERIFY(dialogs_->fileRequests.isEmpty());
        QVERIFY(!Connected());
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        QVERIFY(!QFile::exists(PathIni()));
    }

    void badRegistryPathFallsBackToPathIni() {
        RegistryPath(Missing());
        const std::string line = good_ + "\r\nsecond line is ignored\r\n";
        WritePathIni(line);
        formstest::MainWindow window;
        QVERIFY(dialogs_->log.isEmpty());
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), QString::fromStdString(good_));
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        QCOMPARE(ReadPathIni(), line);
    }

    void emptyPathIniReportsTheMissingName() {
        RegistryPath(Missing());
        WritePathIni("");
        formstest::MainWindow window;
        QCOMPARE(dialogs_->log, QStringList{QStringLiteral("message: Database name is missing.")});
        QCOMPARE(dialogs_->messages[0].caption, forms::ApplicationTitle());
        QVERIFY(!Connected());
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        QCOMPARE(ReadPathIni(), std::string());
    }

    void noPathIniAsksTheUserAndRecordsTheChoice() {
        RegistryPath(Missing());
        dialogs_->answers << QString::fromStdString(good_);
        {
            formstest::MainWindow window;
            QCOMPARE(dialogs_->log, (QStringList{QStringLiteral("message: ") + kNotFound,
                                                 QStringLiteral("file")}));
            QCOMPARE(dialogs_->messages[0].caption, QStringLiteral("Error"));
            QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::Error);
            QCOMPARE(dialogs_->fileRequests[0].initialDir, QDir::toNativeSeparators(Cwd()));
            QVERIFY2(
                dialogs_->fileRequests[0].filter.startsWith(QStringLiteral("База данных (*.kvd)")),
                qPrintable(dialogs_->fileRequests[0].filter));
            QVERIFY(dialogs_->fileRequests[0].filter.contains(QStringLiteral("Все файлы (*.*)")));
            QCOMPARE(ReadPathIni(), good_ + "\r\n");
            QVERIFY(Connected());
            QCOMPARE(formstest::TreeListing(), kTinyTree);
        }
        // The next start goes silently to the recorded file.
        dialogs_->log.clear();
        formstest::MainWindow again;
        QVERIFY(dialogs_->log.isEmpty());
        QCOMPARE(formstest::TreeListing(), kTinyTree);
    }

    void cancelledChoiceLeavesNoPathIni() {
        RegistryPath(Missing());
        formstest::MainWindow window;
        QCOMPARE(dialogs_->log,
                 (QStringList{QStringLiteral("message: ") + kNotFound, QStringLiteral("file")}));
        QVERIFY(!Connected());
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        QVERIFY(!QFile::exists(PathIni()));
    }

    void databaseBesideUsIsOpenedAndRecorded() {
        RegistryPath(Missing());
        const std::string beside = (folder_->Path() / "cwd" / "x.kvd").string();
        std::filesystem::copy_file(good_, beside);
        formstest::MainWindow window;
        QVERIFY(dialogs_->log.isEmpty());
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), QString::fromStdString(beside));
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        QCOMPARE(ReadPathIni(), beside + "\r\n");
    }

    void cyrillicFolderOpensByEveryRoute_data() {
        QTest::addColumn<QString>("route");
        for (const char* route : {"registry", "path.ini", "start-up dialog", "open command"}) {
            QTest::newRow(route) << QString::fromLatin1(route);
        }
    }

    void cyrillicFolderOpensByEveryRoute() {
        QFETCH(QString, route);
        const std::filesystem::path folder = folder_->Path() / u8"Мои документы" / u8"Сметы 2024";
        std::filesystem::create_directories(folder);
        const std::filesystem::path file = folder / u8"Библиотека норм.kvd";
        std::filesystem::copy_file(good_, file);
        const QString library = QString::fromStdU16String(file.u16string());
        const std::string bytes = library.toStdString();

        QStringList expectedLog;
        if (route == QStringLiteral("registry")) {
            RegistryPath(bytes);
        } else if (route == QStringLiteral("path.ini")) {
            RegistryPath(Missing());
            WritePathIni(bytes + "\r\n");
        } else if (route == QStringLiteral("start-up dialog")) {
            RegistryPath(Missing());
            dialogs_->answers << library;
            expectedLog << QStringLiteral("message: ") + kNotFound << QStringLiteral("file");
        } else {
            Registry(formstest::RegistryText(""));
        }
        formstest::MainWindow window;
        if (route == QStringLiteral("open command")) {
            dialogs_->answers << library;
            forms::Form2->N3Click();
            formstest::WaitForLibrary();
            expectedLog << QStringLiteral("file");
        }
        QCOMPARE(dialogs_->log, expectedLog);
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), library);
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        if (route == QStringLiteral("start-up dialog")) {
            QCOMPARE(ReadPathIni(), bytes + "\r\n");
        }
    }

    void missingLibraryInACyrillicFolderIsNamedReadably() {
        const std::filesystem::path folder = folder_->Path() / u8"Сметы 2024";
        std::filesystem::create_directories(folder);
        const QString missing = QString::fromStdU16String((folder / u8"Нет такой.kvd").u16string());
        RegistryPath(Missing());
        WritePathIni(missing.toStdString() + "\r\n");
        formstest::MainWindow window;
        QCOMPARE(dialogs_->messages.size(), 1);
        QVERIFY2(dialogs_->messages[0].text.contains(missing),
                 qPrintable(dialogs_->messages[0].text));
    }

    void aChoiceIsRecordedOnlyWhenItOpened_data() {
        QTest::addColumn<bool>("badBeside");
        QTest::addColumn<QString>("pick"); // "good", "bad" or "" (cancel)
        QTest::newRow("bad beside, good picked") << true << "good";
        QTest::newRow("bad beside, cancelled") << true << "";
        QTest::newRow("bad beside, bad picked") << true << "bad";
        QTest::newRow("bad picked") << false << "bad";
    }

    void aChoiceIsRecordedOnlyWhenItOpened() {
        QFETCH(bool, badBeside);
        QFETCH(QString, pick);
        RegistryPath(Missing());
        const std::string bad = (folder_->Path() / "cwd" / "bad.kvd").string();
        fixtures::WriteFile(badBeside ? bad : folder_->File("dbs/bad.kvd"), "not a database");
        if (pick == QStringLiteral("good")) {
            dialogs_->answers << QString::fromStdString(good_);
        } else if (pick == QStringLiteral("bad")) {
            dialogs_->answers << QString::fromStdString(badBeside ? bad
                                                                  : folder_->File("dbs/bad.kvd"));
        }
        formstest::MainWindow window;

        // A database beside us that does not open is passed over for the user's choice.
        QCOMPARE(dialogs_->log.mid(0, 2),
                 (QStringList{QStringLiteral("message: ") + kNotFound, QStringLiteral("file")}));
        if (pick == QStringLiteral("good")) {
            QCOMPARE(dialogs_->log.size(), 2);
            QVERIFY(Connected());
            QCOMPARE(formstest::TreeListing(), kTinyTree);
            QCOMPARE(ReadPathIni(), good_ + "\r\n");
            return;
        }
        // A failed choice is reported, and nothing is recorded for the next start to repeat.
        QCOMPARE(dialogs_->log.size(), pick.isEmpty() ? 2 : 3);
        QVERIFY(!Connected());
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        QVERIFY(!QFile::exists(PathIni()));
    }

    void kvdFolderIsNoDatabase() {
        // An entry named *.kvd that is no file does not count as a database to open.
        RegistryPath(Missing());
        std::filesystem::create_directory(folder_->Path() / "cwd" / "folder.kvd");
        formstest::MainWindow window;
        QCOMPARE(dialogs_->log,
                 (QStringList{QStringLiteral("message: ") + kNotFound, QStringLiteral("file")}));
        QVERIFY(!QFile::exists(PathIni()));
    }

    void blanksAroundThePathAreKept() {
        RegistryPath(Missing());
        WritePathIni(" " + good_ + " \r\n");
        formstest::MainWindow window;
        // The line goes to the connection as it stands; the server itself ignores the blanks
        // around a file name, so the database opens.
        QCOMPARE(DatabaseName(), QString::fromStdString(" " + good_ + " "));
        QVERIFY(dialogs_->fileRequests.isEmpty());
        QVERIFY(dialogs_->messages.isEmpty());
        QVERIFY(Connected());
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        QCOMPARE(ReadPathIni(), " " + good_ + " \r\n");
    }

    void failedTreeLoadWithSamePathIni() {
        RegistryPath(broken_);
        WritePathIni(broken_ + "\r\n");
        formstest::MainWindow window;
        QCOMPARE(dialogs_->log, QStringList{QStringLiteral("message: ") + kOpenError});
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), QString::fromStdString(broken_));
    }

    void failedPartWayLoadKeepsWhatWasLoaded() {
        const std::string partial = folder_->File("dbs/partial.kvd");
        formstest::BuildRegisterFailingAt231(partial);
        RegistryPath(partial);
        WritePathIni(partial + "\r\n");
        formstest::MainWindow window;
        QCOMPARE(dialogs_->log, QStringList{QStringLiteral("message: ") + kOpenError});
        QVERIFY(Connected());
        QStringList expected = kTinyTree;
        expected.removeAll(QStringLiteral("    D 231 Глубокий документ"));
        QCOMPARE(formstest::TreeListing(), expected);
    }

    void failedTreeLoadWithAnotherPathIni_data() {
        QTest::addColumn<bool>("pick");
        QTest::newRow("cancelled") << false;
        QTest::newRow("picked") << true;
    }

    void failedTreeLoadWithAnotherPathIni() {
        QFETCH(bool, pick);
        RegistryPath(broken_);
        WritePathIni(other_ + "\r\n");
        if (pick) {
            dialogs_->answers << QString::fromStdString(other_);
        }
        formstest::MainWindow window;
        QCOMPARE(dialogs_->log,
                 (QStringList{QStringLiteral("file"), QStringLiteral("message: ") + kOpenError}));
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), QString::fromStdString(broken_));
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        QCOMPARE(ReadPathIni(), other_ + "\r\n");
    }
};

FORMS_TEST_MAIN(StartupTest)

#include "tst_startup.moc"
