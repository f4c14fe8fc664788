// The "Поиск" tab: the index built in the background when a library opens, results while
// typing, a chosen result opened through the tree, the build's progress and cancel button, a
// library switched while indexing, an unwritable cache folder.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "forms/FindBar.h"
#include "forms/SearchPanel.h"
#include "forms/SearchResultDelegate.h"
#include "forms/TitleFilter.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "search/IndexBuilder.h"
#include "search/SearchLibrary.h"
#include "viewer/BrowserView.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

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
    // Past the pause after typing, however late a loaded machine delivers its timer.
    QTest::qWait(400);
    (void)QTest::qWaitFor([] { return !Panel().SearchPending(); }, 10000);
    return *Panel().ResultList;
}

// Kilobytes of this process's memory from /proc/self/status ("VmRSS", "VmHWM").
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stol(line.substr(std::string_view(key).size() + 1));
        }
    }
    return -1;
}

QString Html(int row) {
    const QListWidget& list = *Panel().ResultList;
    return forms::SearchResultDelegate::Html(list.model()->index(row, 0), list.fontMetrics(), 0);
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
        // Keys reach the search field and the title filter from anywhere, named in tooltips.
        forms::Form2->show();
        forms::Form2->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(forms::Form2));
        QTest::keyClick(forms::Form2, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QTRY_VERIFY(Panel().SearchEdit->hasFocus());
        QVERIFY(Panel().SearchEdit->toolTip().contains(QStringLiteral("Ctrl+Shift+F")));
        QTest::keyClick(forms::Form2, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        QTRY_VERIFY(forms::Form2->TitleFilter1->hasFocus());
        QVERIFY(forms::Form2->TitleFilter1->toolTip().contains(QStringLiteral("Ctrl+Shift+L")));
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
        // Folders stay on one line: elided in the middle to the width there is.
        const QString narrow =
            forms::SearchResultDelegate::Html(prices.model()->index(0, 0), prices.fontMetrics(),
                                              prices.fontMetrics().averageCharWidth() * 8);
        QVERIFY2(narrow.contains(QChar(0x2026)) &&
                     !narrow.contains(QStringLiteral("Сметные нормативы")),
                 qPrintable(narrow));
        QVERIFY(Results(QStringLiteral("котлов")).count() >= 1);

        // Document text stays text.
        Results(QStringLiteral("откос"));
        QCOMPARE(Panel().ResultList->count(), 1);
        QVERIFY2(Html(0).contains(QStringLiteral("a &lt; b &amp; c")), qPrintable(Html(0)));

        // A click opens the entry as a click in the tree would, every word of the query marked
        // in the page; F3 goes through the marks, with the words in the find bar.
        QListWidget& deep = Results(QStringLiteral("проходки образец"));
        QCOMPARE(deep.count(), 1);
        QTest::mouseClick(deep.viewport(), Qt::LeftButton, {},
                          deep.visualItemRect(deep.item(0)).center());
        QTreeWidgetItem* item = formstest::ItemById(kDeep);
        QCOMPARE(forms::Form2->TreeView1->currentItem(), item);
        QVERIFY(item->parent()->isExpanded());
        QTRY_COMPARE_WITH_TIMEOUT(forms::Form2->StatusPanelText(0), QStringLiteral("Глубоко"),
                                  20000);
        const QString marks =
            QStringLiteral("Array.from(document.querySelectorAll('mark[data-orvelle-hit]'))"
                           ".map(m=>m.textContent).join('|')");
        QTRY_COMPARE_WITH_TIMEOUT(formstest::Eval(*forms::Form2->WebBrowser1, marks).toString(),
                                  QStringLiteral("проходка|образца"), 10000);
        forms::FindBar& bar = *forms::Form2->FindBar1;
        for (const char* expected : {"1 из 2", "2 из 2", "1 из 2"}) {
            QSignalSpy counted(&bar, &forms::FindBar::Counted);
            QTest::keyClick(forms::Form2, Qt::Key_F3);
            QVERIFY(counted.wait(10000));
            QCOMPARE(bar.CountText(), QString::fromUtf8(expected));
        }
        QCOMPARE(bar.Field()->text(), QStringLiteral("проходка образца"));
        bar.Close();

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

    // What the panel says when a build ends: every thing that went wrong, in one line; the
    // documents left out by name in the tooltip.
    void buildNotes_data() {
        QTest::addColumn<bool>("complete");
        QTest::addColumn<int>("unreadable");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<bool>("setAside");
        QTest::addColumn<QString>("note");
        QTest::newRow("all went well") << true << 0 << 0 << false << QString();
        QTest::newRow("two left out")
            << true << 0 << 2 << false << QStringLiteral("Пропущено документов: 2");
        QTest::newRow("cancelled with an unreadable one")
            << false << 1 << 0 << false
            << QStringLiteral("Индексирование остановлено: поиск по части документов; "
                              "не проиндексировано документов: 1");
        QTest::newRow("rebuilt, one left out")
            << true << 0 << 1 << true
            << QStringLiteral("Пропущено документов: 1; индекс был повреждён и построен заново");
    }
    void buildNotes() {
        QFETCH(bool, complete);
        QFETCH(int, unreadable);
        QFETCH(int, skipped);
        QFETCH(bool, setAside);
        QFETCH(QString, note);
        search::BuildOutcome outcome;
        outcome.complete = complete;
        outcome.unreadable = unreadable;
        for (int i = 0; i < skipped; ++i) {
            outcome.skipped.push_back(
                {100 + i, QStringLiteral("Документ %1").arg(i), search::SkipReason::TooSlow});
        }
        if (setAside) {
            outcome.setAside = QStringLiteral("/cache/index.damaged");
        }
        QString details;
        QCOMPARE(forms::SearchPanel::BuildNote(outcome, QString(), &details), note);
        for (int i = 0; i < skipped; ++i) {
            QVERIFY2(details.contains(QStringLiteral("Документ %1 (читался слишком долго)").arg(i)),
                     qPrintable(details));
        }
    }

    // Above the results: how many were found, that nothing was (with the query), or why the
    // query was not understood; "*" ends a word's beginning.
    void panelSaysWhatItFound() {
        StartWith(library_);
        formstest::MainWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        const QLabel& summary = *Panel().SummaryLabel();
        const struct {
            QString query;
            QString says;
            bool found;
        } cases[] = {
            {QStringLiteral("засекреченный"),
             QStringLiteral("Ничего не найдено по запросу «засекреченный»"), false},
            {QStringLiteral("AND OR NOT"),
             QStringLiteral("Ничего не найдено по запросу «AND OR NOT»"), false},
            {QStringLiteral("*"), QStringLiteral("Запрос не понят"), false},
            {QStringLiteral("\""), QStringLiteral("Запрос не понят"), false},
            {QStringLiteral("расценк* земляные"), QStringLiteral("Найдено документов: "), true},
            {QStringLiteral("смет*"), QStringLiteral("Найдено документов: "), true},
        };
        for (const auto& c : cases) {
            const int count = Results(c.query).count();
            QVERIFY2((count > 0) == c.found, qPrintable(c.query));
            QVERIFY2(summary.isVisibleTo(&Panel()) && summary.text().startsWith(c.says),
                     qPrintable(c.query + QStringLiteral(": ") + summary.text()));
        }
        QVERIFY(summary.text().endsWith(QString::number(Panel().ResultList->count())));

        // While a library is indexed, its indexed part is searched and the results grow.
        dialogs_->answers << QString::fromStdString(wide_);
        forms::Form2->N3Click();
        formstest::WaitForLibrary();
        QVERIFY(Panel().Indexing());
        QTRY_VERIFY_WITH_TIMEOUT(Results(QStringLiteral("w1")).count() > 0 || !Panel().Indexing(),
                                 60000);
        if (Panel().Indexing()) {
            QVERIFY2(summary.text().startsWith(QStringLiteral("Найдено в ")) &&
                         summary.text().endsWith(QStringLiteral("индексирование продолжается")),
                     qPrintable(summary.text()));
        }
        Results(QStringLiteral("w3999"));
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(Panel().ResultList->count(), 1, 5000); // refreshed on its own
        QCOMPARE(summary.text(), QStringLiteral("Найдено документов: 1"));
    }

    void switchedLibraryWhileIndexing() {
        StartWith(wide_);
        formstest::MainWindow window;
        QVERIFY(Panel().Indexing());
        QVERIFY(Panel().ProgressBar()->isVisibleTo(forms::Form2));
        QVERIFY(Panel().CancelButton()->isVisibleTo(forms::Form2));
        dialogs_->answers << QString::fromStdString(library_);
        forms::Form2->N3Click();
        formstest::WaitForLibrary();
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QCOMPARE(Results(QStringLiteral("w1")).count(), 0); // the old library's words
        QVERIFY(Results(QStringLiteral("расценки")).count() >= 2);
        QVERIFY(Panel().StateLabel()->text().isEmpty());

        // The same library twice in a row: the second build waits for the stopped first one
        // to let go of the index, then finishes it.
        dialogs_->answers << QString::fromStdString(wide_) << QString::fromStdString(wide_);
        forms::Form2->N3Click();
        formstest::WaitForLibrary();
        forms::Form2->N3Click();
        formstest::WaitForLibrary();
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
        // Unless the build won the race, the state says the index is partial, and the build
        // can be resumed without opening the library again.
        const bool stopped = !Panel().StateLabel()->text().isEmpty();
        QVERIFY(!stopped ||
                Panel().StateLabel()->text().startsWith(QStringLiteral("Индексирование")));
        QCOMPARE(Panel().ResumeButton()->isVisibleTo(forms::Form2), stopped);
        if (stopped) {
            QTest::mouseClick(Panel().ResumeButton(), Qt::LeftButton);
            QVERIFY(Panel().Indexing());
            QVERIFY(!Panel().ResumeButton()->isVisibleTo(forms::Form2));
            QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
            QVERIFY2(Panel().StateLabel()->text().isEmpty(),
                     qPrintable(Panel().StateLabel()->text()));
            QVERIFY(!Panel().ResumeButton()->isVisibleTo(forms::Form2));
        }
        QCOMPARE(Results(QStringLiteral("w3999")).count(), 1);
    }

    // The documents are parsed in the builder's process: the window's memory stays where it
    // was, and the words after the hostile markup are found.
    void hostileLibraryLeavesTheWindowSmall() {
#ifdef __linux__
        const std::string hostile = folder_.File("hostile.kvd");
        BuildHostileLibrary(hostile);
        StartWith(library_);
        formstest::MainWindow window;
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts from here
        const long before = StatusKb("VmRSS");
        Panel().OpenLibrary(hostile);
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 120000);
        const long grownKb = StatusKb("VmHWM") - before;
        QVERIFY2(grownKb < 150L * 1024, qPrintable(QString::number(grownKb)));
        QVERIFY2(Panel().StateLabel()->text().isEmpty(), qPrintable(Panel().StateLabel()->text()));
        for (int i = 1; i <= kHostileDocuments; ++i) {
            const int found = Results(QStringLiteral("хвост%1").arg(i)).count();
            QVERIFY2(found == 1, qPrintable(QStringLiteral("хвост%1: %2 found; «%3»")
                                                .arg(i)
                                                .arg(found)
                                                .arg(Panel().SummaryLabel()->text())));
        }
#endif
    }

    void damagedIndexIsBuiltAnew() {
        StartWith(library_);
        formstest::MainWindow window;
        fixtures::TempDir cache;
        Panel().SetIndexRoot(QString::fromStdString(cache.Path().string()));
        Panel().OpenLibrary(library_);
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        Panel().CloseLibrary();
        for (const auto& index : std::filesystem::directory_iterator(cache.Path())) {
            fixtures::WriteFile((index.path() / "shard-0" / "postlist.glass").string(),
                                std::string(9000, 'x'));
        }
        Panel().OpenLibrary(library_);
        QTRY_VERIFY_WITH_TIMEOUT(!Panel().Indexing(), 60000);
        QVERIFY2(Panel().StateLabel()->text().contains(QStringLiteral("построен заново")),
                 qPrintable(Panel().StateLabel()->text()));
        QVERIFY(Results(QStringLiteral("расценки")).count() >= 2);
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
