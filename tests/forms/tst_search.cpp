// The "Поиск" tab: the index built in the background when a library opens, results while
// typing, a chosen result opened through the tree, the build's progress and cancel button, a
// library switched while indexing, an unwritable cache folder.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "forms/SearchPanel.h"
#include "forms/SearchResultDelegate.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "search/SearchLibrary.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace orvelle;
using formstest::RecordingDialogs;
using namespace orvelle::searchtest;

namespace {

forms::SearchPanel& Panel() {
    return *forms::Form2->SearchPanel1;
}

// Types `text` into the field and waits for the results.
QListWidget& Results(const QString& text) {
    Panel().SearchEdit->clear();
    Panel().SearchEdit->insert(text); // as typed: keyClicks takes Latin-1 only
    QTest::qWait(400);                // past the pause after typing
    return *Panel().ResultList;
}

QString Html(int row) {
    return Panel().ResultList->item(row)->data(forms::SearchResultDelegate::HtmlRole).toString();
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::string library_, wide_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<RecordingDialogs> dialogs_;

    void StartWith(const std::string& file) {
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(file)));
    }

private slots:
    void initTestCase() {
        library_ = folder_.File("library.kvd");
        wide_ = folder_.File("wide.kvd");
        BuildSearchLibrary(library_);
        BuildWideLibrary(wide_, 4000);
        cwd_ =
            std::make_unique<formstest::CurrentDirectory>(QString::fromStdString(folder_.Path()));
    }
    void init() { dialogs_ = std::make_unique<RecordingDialogs>(); }
    void cleanup() { dialogs_.reset(); }
    void cleanupTestCase() { cwd_.reset(); }

    void resultsWhileTypingOpenThroughTheTree() {
        StartWith(library_);
        formstest::MainWindow window;
        auto* tabs = forms::Form2->PageControl1;
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Содержание"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Поиск"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Избранное"));
        QVERIFY(tabs->widget(0)->isAncestorOf(forms::Form2->TreeView1));
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QVERIFY(!Panel().ProgressBar()->isVisible());
        QVERIFY(!Panel().CancelButton()->isVisible());
        tabs->setCurrentIndex(1);

        // Ranked, the name first, then folders and the snippet; the last word may be cut short.
        QListWidget& prices = Results(QStringLiteral("расценкам"));
        QVERIFY(prices.count() >= 2);
        QVERIFY2(Html(0).startsWith(QStringLiteral("<b>Расценки на земляные работы</b><br>")),
                 qPrintable(Html(0)));
        QVERIFY(Html(0).contains(QStringLiteral("Сметные нормативы")));
        QVERIFY(Results(QStringLiteral("котлов")).count() >= 1);

        // Document text stays text.
        Results(QStringLiteral("откос"));
        QCOMPARE(Panel().ResultList->count(), 1);
        QVERIFY2(Html(0).contains(QStringLiteral("a &lt; b &amp; c")), qPrintable(Html(0)));

        // A click opens the entry as a click in the tree would.
        QListWidget& deep = Results(QStringLiteral("проходки"));
        QCOMPARE(deep.count(), 1);
        QTest::mouseClick(deep.viewport(), Qt::LeftButton, {},
                          deep.visualItemRect(deep.item(0)).center());
        QTreeWidgetItem* item = formstest::ItemById(kDeep);
        QCOMPARE(forms::Form2->TreeView1->currentItem(), item);
        QVERIFY(item->parent()->isExpanded());
        QTRY_COMPARE_WITH_TIMEOUT(forms::Form2->StatusPanelText(0), QStringLiteral("Глубоко"),
                                  20000);

        // Enter in the field opens the first result.
        Results(QStringLiteral("елочный"));
        QTest::keyClick(Panel().SearchEdit, Qt::Key_Return);
        QCOMPARE(forms::Form2->TreeView1->currentItem(), formstest::ItemById(kEDocument));
        QTRY_COMPARE_WITH_TIMEOUT(forms::Form2->StatusPanelText(0), QStringLiteral("Игрушки"),
                                  20000);

        // Hidden entries are not found; nothing found is an empty list.
        QCOMPARE(Results(QStringLiteral("засекреченный")).count(), 0);
        QCOMPARE(dialogs_->messages.size(), 0);
    }

    void switchedLibraryWhileIndexing() {
        StartWith(wide_);
        formstest::MainWindow window;
        QVERIFY(Panel().Indexing());
        QVERIFY(Panel().ProgressBar()->isVisibleTo(forms::Form2));
        QVERIFY(Panel().CancelButton()->isVisibleTo(forms::Form2));
        dialogs_->answers << QString::fromStdString(library_);
        forms::Form2->N3Click();
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QCOMPARE(Results(QStringLiteral("w1")).count(), 0); // the old library's words
        QVERIFY(Results(QStringLiteral("расценки")).count() >= 2);
        QVERIFY(Panel().StateLabel()->text().isEmpty());

        // The same library twice in a row: the second build waits for the stopped first one
        // to let go of the index, then finishes it.
        dialogs_->answers << QString::fromStdString(wide_) << QString::fromStdString(wide_);
        forms::Form2->N3Click();
        forms::Form2->N3Click();
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 120000);
        QVERIFY2(Panel().StateLabel()->text().isEmpty(), qPrintable(Panel().StateLabel()->text()));
        QCOMPARE(Results(QStringLiteral("w3999")).count(), 1);
    }

    void cancelLeavesSearchOnWhatIsIndexed() {
        StartWith(wide_);
        formstest::MainWindow window;
        QVERIFY(Panel().Indexing());
        QTest::mouseClick(Panel().CancelButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QVERIFY(!Panel().ProgressBar()->isVisibleTo(forms::Form2));
        // Unless the build won the race, the state says the index is partial.
        QVERIFY(Panel().StateLabel()->text().isEmpty() ||
                Panel().StateLabel()->text().startsWith(QStringLiteral("Индексирование")));
    }

    void unwritableCacheStillSearches() {
        StartWith(library_);
        formstest::MainWindow window;
        fixtures::WriteFile(folder_.File("cache-file"), "x");
        Panel().SetIndexRoot(QString::fromStdString(folder_.File("cache-file")));
        Panel().OpenLibrary(library_);
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QVERIFY2(Panel().StateLabel()->text().contains(QStringLiteral("недоступна для записи")),
                 qPrintable(Panel().StateLabel()->text()));
        QVERIFY(Results(QStringLiteral("расценки")).count() >= 2);
    }
};

FORMS_TEST_MAIN(SearchTest)
#include "tst_search.moc"
