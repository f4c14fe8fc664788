// The main window and the library it shows: made ready off the window's thread (closing the
// window stops it), and a library that changes on disk is said so and read again in place.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "store/CacheLayout.h"
#include "viewer/BrowserView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace orvelle;

namespace {

QString ShownText() {
    return formstest::Eval(*forms::Form2->WebBrowser1, QStringLiteral("document.body.innerText"))
        .toString();
}

QWidget* ChangeBar() {
    return forms::Form2->findChild<QWidget*>(QStringLiteral("LibraryChangeBar"));
}

// Runs `action` the first time `watched` is shown within its window.
class OnFirstShow : public QObject {
public:
    OnFirstShow(QWidget* watched, std::function<void()> action) : action_(std::move(action)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent && action_) {
            watched->removeEventFilter(this);
            std::exchange(action_, nullptr)();
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace

class LibraryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<fixtures::TempDir> folder_;
    std::unique_ptr<formstest::RecordingDialogs> dialogs_;

    std::string Library(const std::string& name, const std::string& content) {
        std::string file = folder_->File(name);
        fixtures::BuildBigBlobDatabase(file, 106, content); // entry 6 shows content 106
        return file;
    }
    void StartWith(const std::string& file) {
        formstest::UseRegistry(folder_->File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(file)));
    }

private slots:
    void init() {
        folder_ = std::make_unique<fixtures::TempDir>();
        dialogs_ = std::make_unique<formstest::RecordingDialogs>();
    }
    void cleanup() {
        dialogs_.reset();
        folder_.reset();
    }

    void changedLibraryIsSaidSoAndReadAgainAtTheSameEntry() {
        const std::string file = Library("library.kvd", "state one");
        StartWith(file);
        formstest::MainWindow window;
        forms::Form2->show();
        QVERIFY(QTest::qWaitForWindowExposed(forms::Form2));
        formstest::ClickTreeItem(6);
        QTRY_COMPARE(ShownText(), QStringLiteral("state one"));
        QVERIFY(ChangeBar()->isHidden());

        std::filesystem::rename(Library("next.kvd", "state two"), file);
        QTRY_VERIFY(ChangeBar()->isVisibleTo(forms::Form2));
        QTest::mouseClick(ChangeBar()->findChild<QPushButton*>(QStringLiteral("LibraryReload")),
                          Qt::LeftButton);
        formstest::WaitForLibrary();
        QVERIFY(ChangeBar()->isHidden());
        QCOMPARE(forms::Form2->TreeView1->currentItem(), formstest::ItemById(6));
        QTRY_COMPARE(ShownText(), QStringLiteral("state two"));

        // The entry is gone from the next state: nothing of the old text stays on screen.
        const std::string without = folder_->File("without.kvd");
        fixtures::BuildWideRegister(without, 3);
        std::filesystem::rename(without, file);
        QTRY_VERIFY(ChangeBar()->isVisibleTo(forms::Form2));
        forms::Form2->ReloadLibrary();
        formstest::WaitForLibrary();
        QCOMPARE(formstest::TreeListing().size(), 3);
        QTRY_COMPARE(ShownText(), QString());
        QVERIFY(dialogs_->log.isEmpty());
    }

    void closingWhileALibraryIsCopiedStopsTheCopy() {
        // Big enough for the copy to report before it is done.
        const std::string file = Library("big.kvd", "big");
        {
            std::ofstream grow(file, std::ios::binary | std::ios::app);
            const std::string block(std::size_t(1) << 20, '\x5a');
            for (int i = 0; i < 256; ++i) {
                grow << block;
            }
        }
        StartWith(file);
        forms::CustomerData = new forms::TCustomerData();
        forms::Form2 = new forms::TForm2();
        auto* text = forms::Form2->findChild<QLabel*>(QStringLiteral("LibraryPreparationText"));
        QElapsedTimer closing;
        QString shown;
        OnFirstShow closeAtOnce(text->parentWidget(), [&] {
            shown = text->text();
            closing.start();
            forms::Form2->close();
            QTimer::singleShot(0, [] {
                delete forms::Form2;
                forms::Form2 = nullptr;
            });
        });
        QTRY_VERIFY_WITH_TIMEOUT(!forms::Form2, 30000);
        QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
        const QRegularExpression words(
            QStringLiteral("^Подготовка библиотеки: (\\d+) из (\\d+) МБ$"));
        const QRegularExpressionMatch said = words.match(shown);
        QVERIFY2(said.hasMatch(), qPrintable(shown));
        QVERIFY(said.captured(2).toInt() >= 256);
        QVERIFY(forms::CustomerData->IBDatabase1.DatabaseName().empty() ||
                !forms::CustomerData->IBDatabase1.Connected());
        delete forms::CustomerData;
        forms::CustomerData = nullptr;
        const std::string prefix = store::LibraryKey(file) + "-";
        for (const auto& entry : std::filesystem::directory_iterator(store::LibrariesFolder())) {
            const std::string name = entry.path().filename().string();
            QVERIFY2(name.rfind(prefix, 0) != 0 || entry.path().extension() != ".part",
                     name.c_str());
        }
    }
};

FORMS_TEST_MAIN(LibraryTest)
#include "tst_library.moc"
