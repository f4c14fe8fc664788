// The commands: open another database file, About, exit and the close box.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "forms/Unit1.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "kvdbuild/KvdBuilder.h"
#include "viewer/BrowserView.h"

#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

using namespace orvelle;
using formstest::RecordingDialogs;

namespace {

const QStringList kTinyTree = {
    QStringLiteral("D 6 Ёлка «№ 6»"),           QStringLiteral("D 1 Справка"),
    QStringLiteral("F 2 Нормативы и расценки"), QStringLiteral("  D 22 Раздел 2"),
    QStringLiteral("  F 23 Подпапка"),          QStringLiteral("    D 231 Глубокий документ"),
    QStringLiteral("  D 21 Раздел 1"),          QStringLiteral("F 5 "),
};
const QStringList kWideTree = {QStringLiteral("D 1 Entry 1"), QStringLiteral("D 2 Entry 2"),
                               QStringLiteral("D 3 Entry 3")};

bool Connected() {
    return forms::CustomerData->IBDatabase1.Connected();
}

QString DatabaseName() {
    return QString::fromStdString(forms::CustomerData->IBDatabase1.DatabaseName());
}

// Runs the application's loop until it is told to end, or 5 s; true when it was told.
bool LoopEnds() {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    return QCoreApplication::exec() == 0;
}

} // namespace

class CommandsTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::string tiny_, wide_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;

    QString Tiny() const { return QString::fromStdString(tiny_); }
    QString Wide() const { return QString::fromStdString(wide_); }
    void StartWith(const std::string& registryText) {
        formstest::UseRegistry(folder_.File("machine.reg"), registryText);
    }
    void StartWithTiny() { StartWith(formstest::RegistryText(formstest::PathValueLine(tiny_))); }
    void Open(const QString& file) {
        dialogs_->answers << file;
        forms::Form2->N3Click();
        formstest::WaitForLibrary();
    }

private slots:
    void initTestCase() {
        tiny_ = folder_.File("tiny.kvd");
        wide_ = folder_.File("wide.kvd");
        fixtures::BuildTinyRegister(tiny_);
        fixtures::BuildWideRegister(wide_, 3);
        cwd_ = std::make_unique<formstest::CurrentDirectory>(
            QString::fromStdU16String(folder_.Path().u16string()));
    }

    void init() { dialogs_ = std::make_unique<RecordingDialogs>(); }
    void cleanup() { dialogs_.reset(); }
    void cleanupTestCase() { cwd_.reset(); }

    void openCancelledChangesNothing() {
        StartWithTiny();
        formstest::MainWindow window;
        forms::Form2->N3Click();
        formstest::WaitForLibrary();
        QCOMPARE(dialogs_->log, QStringList{QStringLiteral("file")});
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), Tiny());
    }

    void openGoodFileReplacesTheTree() {
        StartWithTiny();
        formstest::MainWindow window;
        Open(Wide());
        QCOMPARE(formstest::TreeListing(), kWideTree);
        QVERIFY(Connected());
        QVERIFY(forms::CustomerData->IBTransaction1.Active());
        QCOMPARE(DatabaseName(), Wide());
        Open(Wide()); // the same file again: reloaded, not doubled
        QCOMPARE(formstest::TreeListing(), kWideTree);
        Open(Tiny());
        QCOMPARE(formstest::TreeListing(), kTinyTree);
        QCOMPARE(dialogs_->messages.size(), 0);
    }

    void openAfterAnEmptyStart() {
        StartWith(formstest::RegistryText(""));
        formstest::MainWindow window;
        QVERIFY(!Connected());
        Open(Wide());
        QVERIFY(Connected());
        QCOMPARE(formstest::TreeListing(), kWideTree);
    }

    void openBadFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty") << "empty";
        QTest::newRow("text") << "text";
        QTest::newRow("random bytes") << "random";
        QTest::newRow("truncated database") << "truncated";
        QTest::newRow("no register tables") << "no tables";
        QTest::newRow("missing file") << "missing";
    }

    void openBadFile() {
        QFETCH(QString, kind);
        const std::string bad = folder_.File("bad-" + kind.toStdString() + ".kvd");
        if (kind == "empty") {
            fixtures::WriteFile(bad, "");
        } else if (kind == "text") {
            fixtures::WriteFile(bad, "path=/tmp/x.kvd\r\nnot a database\r\n");
        } else if (kind == "random") {
            fixtures::WriteFile(bad, fixtures::BigBlobBytes(std::size_t{64} * 1024));
        } else if (kind == "truncated") {
            const std::string whole = fixtures::ReadFile(tiny_);
            fixtures::WriteFile(bad, whole.substr(0, whole.size() / 3));
        } else if (kind == "no tables") {
            kvdbuild::KvdBuilder::Create(bad).Close();
        }

        StartWithTiny();
        formstest::MainWindow window;
        Open(QString::fromStdString(bad));
        QCOMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].caption, QStringLiteral("Ошибка при открытии файла"));
        QCOMPARE(dialogs_->messages[0].text,
                 QStringLiteral("Данный файл не является базой данных"));
        QCOMPARE(dialogs_->messages[0].icon, RecordingDialogs::Icon::None);
        // The tree and the connection agree: the library shown before is back.
        QVERIFY(Connected());
        QCOMPARE(DatabaseName(), Tiny());
        QCOMPARE(formstest::TreeListing(), kTinyTree);
    }

    void openLibraryOfAnOlderEngineSaysHowToConvertIt() {
        const std::string old = folder_.File("old-engine.kvd");
        std::string bytes = fixtures::ReadFile(tiny_);
        bytes[18] = 11; // on-disk structure 11 (Firebird 2.x)
        fixtures::WriteFile(old, bytes);
        StartWithTiny();
        formstest::MainWindow window;
        Open(QString::fromStdString(old));
        QCOMPARE(dialogs_->messages.size(), 1);
        const QString text = dialogs_->messages[0].text;
        QVERIFY2(text.contains("older database engine") && text.contains("structure 11.") &&
                     text.contains("gbak -b") && text.contains("host:path"),
                 qPrintable(text));
        QCOMPARE(DatabaseName(), Tiny());
        QCOMPARE(formstest::TreeListing(), kTinyTree);
    }

    void openBadFileWithNothingOpen() {
        StartWith(formstest::RegistryText(""));
        formstest::MainWindow window;
        const std::string bad = folder_.File("bad-nothing.kvd");
        fixtures::WriteFile(bad, "not a database");
        Open(QString::fromStdString(bad));
        QCOMPARE(dialogs_->messages.size(), 1);
        QCOMPARE(dialogs_->messages[0].text,
                 QStringLiteral("Данный файл не является базой данных"));
        QVERIFY(!Connected());
        QCOMPARE(forms::Form2->TreeView1->topLevelItemCount(), 0);
        // A good file afterwards opens as usual.
        Open(Wide());
        QCOMPARE(formstest::TreeListing(), kWideTree);
    }

    void aboutTwiceShowsOneBox() {
        StartWith(formstest::RegistryText(""));
        formstest::MainWindow window;
        forms::AboutBox = new forms::TAboutBox();
        forms::Form2->show();
        forms::Form2->N10Click();
        QVERIFY(QTest::qWaitForWindowExposed(forms::AboutBox));
        forms::Form2->N10Click();
        int shown = 0;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<forms::TAboutBox*>(top) && top->isVisible()) {
                ++shown;
            }
        }
        QCOMPARE(shown, 1);
        QVERIFY(!forms::AboutBox->isModal());
        QVERIFY(forms::Form2->isEnabled());
        delete forms::AboutBox;
        forms::AboutBox = nullptr;
    }

    void exitTearsDownInOrderAndEndsTheLoop() {
        StartWithTiny();
        formstest::MainWindow window;
        forms::AboutBox = new forms::TAboutBox();
        forms::Form2->show();
        forms::Form2->N10Click();
        QVERIFY(forms::AboutBox->isVisible());

        QStringList destroyed;
        auto record = [&destroyed](const char* name) {
            return [&destroyed, name] { destroyed << QString::fromLatin1(name); };
        };
        QObject::connect(forms::Form2->WebBrowser1.data(), &QObject::destroyed,
                         record("WebBrowser1"));
        QObject::connect(forms::Form2->TreeView1, &QObject::destroyed, record("TreeView1"));
        QObject::connect(forms::CustomerData, &QObject::destroyed, record("CustomerData"));
        QTimer::singleShot(0, forms::Form2, [] { forms::Form2->N6Click(); });
        QVERIFY(LoopEnds());
        QCOMPARE(destroyed, (QStringList{QStringLiteral("WebBrowser1"), QStringLiteral("TreeView1"),
                                         QStringLiteral("CustomerData")}));
        QVERIFY(!forms::CustomerData);
        QVERIFY(!forms::Form2->isVisible());
        QVERIFY(dialogs_->messages.isEmpty());
        delete forms::AboutBox;
        forms::AboutBox = nullptr;
    }

    void closeBoxEndsTheLoopWithoutTheTeardown() {
        StartWithTiny();
        formstest::MainWindow window;
        forms::Form2->show();
        QVERIFY(QTest::qWaitForWindowExposed(forms::Form2));
        QPointer<viewer::BrowserView> view = forms::Form2->WebBrowser1.data();
        QTimer::singleShot(0, forms::Form2, [] { forms::Form2->close(); });
        QVERIFY(LoopEnds());
        QVERIFY(!forms::Form2->isVisible());
        QVERIFY(view);
        QVERIFY(forms::CustomerData);
        QVERIFY(Connected());
    }
};

FORMS_TEST_MAIN(CommandsTest)

#include "tst_commands.moc"
